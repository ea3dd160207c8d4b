// Runs korvel-cli in-process and keeps what it printed.
#pragma once

#include <sstream>
#include <string>

#include "tools/cli/cli.h"

namespace korvel::test {

struct CliRun {
  int status;
  std::string out, err;
};

inline CliRun cli(const cli::Arguments& arguments) {
  std::ostringstream out, err;
  const int status = cli::run_cli(arguments, out, err);
  return {status, out.str(), err.str()};
}

}  // namespace korvel::test
