#include "tests/support/fixture_archives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace korvel::test {

int run_command(const std::string& command_line) {
  const int status = std::system(command_line.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void write_independent_archive(const std::string& directory, const std::string& json_description) {
  const std::string description_path = directory + "/description.json";
  std::ofstream(description_path) << json_description;
  const std::string command = std::string("/usr/bin/python3 ") + KORVEL_SOURCE_DIR +
                              "/tests/fixtures/independent_archive.py '" + directory + "' '" +
                              description_path + "'";
  ASSERT_EQ(run_command(command), 0) << command;
}

}  // namespace korvel::test
