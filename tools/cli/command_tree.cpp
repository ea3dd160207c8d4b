#include <iterator>
#include <string>

#include <rapidxml_print.hpp>

#include "archive/archive.h"
#include "tools/cli/cli.h"
#include "tools/cli/entry_items.h"

namespace korvel::cli {

int run_tree(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 2) {
    err << "usage: korvel-cli tree ARCHIVE.idx KEY\n";
    return kExitError;
  }
  Archive archive;
  if (!open_archive(arguments[0], &archive, err)) return kExitError;
  ContentTree tree;
  const int produced = archive.load_entry_into(tree, arguments[1].c_str());
  std::string printed;
  rapidxml::print(std::back_inserter(printed), tree, 0);
  out << printed;
  archive.release();
  if (produced != 1) {
    if (!archive.error.empty()) err << "korvel-cli: " << archive.error << '\n';
    return exit_code_of_load_failure(archive.error_kind);
  }
  return kExitOk;
}

}  // namespace korvel::cli
