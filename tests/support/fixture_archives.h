// Archives written by a tool that is not ours: tests/fixtures/independent_archive.py,
// written from the format's description without sharing code with the
// decoders, so that a misreading shared by our writer and reader shows.
#pragma once

#include <string>

namespace korvel::test {

// Writes the archive that the JSON description names into directory; fails
// the calling test when the writer fails.
void write_independent_archive(const std::string& directory, const std::string& json_description);

// Runs a command line through the shell; its exit status.
int run_command(const std::string& command_line);

}  // namespace korvel::test
