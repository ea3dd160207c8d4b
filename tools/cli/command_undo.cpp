#include <cstdlib>

#include "archive/replacement_history.h"
#include "tools/cli/cli.h"

namespace korvel::cli {

int run_undo(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.empty() || arguments.size() > 2) {
    err << "usage: korvel-cli undo ARCHIVE.idx [N]\n";
    return kExitError;
  }
  std::size_t number = 1;
  if (arguments.size() == 2) {
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(arguments[1].c_str(), &end, 10);
    if (arguments[1].empty() || *end != '\0' || arguments[1][0] == '-' || parsed == 0) {
      err << "korvel-cli: N counts the replacements from the newest, 1 first\n";
      return kExitError;
    }
    number = static_cast<std::size_t>(parsed);
  }
  std::string message;
  const int result = undo_replacement(arguments[0], number, &message);
  if (result != 1) {
    out << "failed: " << message << '\n';
    return kExitError;
  }
  out << message << '\n';
  return kExitOk;
}

}  // namespace korvel::cli
