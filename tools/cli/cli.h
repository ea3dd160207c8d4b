// korvel-cli: the archive features without the window, for users' scripts,
// bug reports and tests. Each command lives in a file of its own.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "archive/error_kind.h"

namespace korvel::cli {

using Arguments = std::vector<std::string>;

// Exit codes shared by the commands.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitNothingProduced = 2;

// The exit code of a command whose item did not come out, by the kind of the
// archive's failure: an archive that could not be read is an error; one that
// was read but yields no such item produced nothing.
constexpr int exit_code_of_load_failure(ErrorKind kind) {
  return kind == ErrorKind::kInputOutput ? kExitError : kExitNothingProduced;
}

struct Command {
  const char* name;
  const char* usage;  // arguments after the command name
  const char* summary;
  int (*run)(const Arguments& arguments, std::ostream& out, std::ostream& err);
};

// Runs the command named by arguments[0] with the rest; prints usage on a
// missing or unknown command or a wrong argument count.
int run_cli(const Arguments& arguments, std::ostream& out, std::ostream& err);

int run_entries(const Arguments& arguments, std::ostream& out, std::ostream& err);
int run_tree(const Arguments& arguments, std::ostream& out, std::ostream& err);
int run_scan(const Arguments& arguments, std::ostream& out, std::ostream& err);
int run_replace(const Arguments& arguments, std::ostream& out, std::ostream& err);
int run_model(const Arguments& arguments, std::ostream& out, std::ostream& err);
int run_extract(const Arguments& arguments, std::ostream& out, std::ostream& err);
int run_export(const Arguments& arguments, std::ostream& out, std::ostream& err);
int run_extract_all(const Arguments& arguments, std::ostream& out, std::ostream& err);

}  // namespace korvel::cli
