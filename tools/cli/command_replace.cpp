#include "archive/archive.h"
#include "tools/cli/cli.h"

namespace korvel::cli {

int run_replace(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 3) {
    err << "usage: korvel-cli replace ARCHIVE.idx KEY FILE.dds\n";
    return kExitError;
  }
  Archive archive;
  if (archive.open(arguments[0].c_str()) != 1) {
    out << "failed: cannot open " << arguments[0] << ": " << archive.error << '\n';
    return kExitError;
  }
  const int result = archive.replace_entry(arguments[1].c_str(), arguments[2].c_str());
  archive.release();
  switch (result) {
    case 1:
      out << "replaced\n";
      return kExitOk;
    case 2:
      out << "unchanged\n";
      return kExitOk;
    default:
      out << "failed: " << (archive.error.empty() ? "the replacement was refused" : archive.error)
          << '\n';
      return kExitError;
  }
}

}  // namespace korvel::cli
