#include <iterator>

#include <rapidxml_print.hpp>

#include "shell/idx_list_document.h"
#include "tools/cli/archive_scan.h"
#include "tools/cli/cli.h"

namespace korvel::cli {

int run_scan(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  std::string index_path;
  std::string list_path;
  ScanOptions options;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i] == "--all") {
      options.all_entries = true;
    } else if (arguments[i] == "--into" && i + 1 < arguments.size()) {
      list_path = arguments[++i];
    } else if (index_path.empty() && arguments[i].rfind("--", 0) != 0) {
      index_path = arguments[i];
    } else {
      index_path.clear();
      break;
    }
  }
  if (index_path.empty()) {
    err << "usage: korvel-cli scan ARCHIVE.idx [--into LIST.xml] [--all]\n";
    return kExitError;
  }
  options.skipped = [&err](const std::string& reason) {
    err << "korvel-cli: skipped " << reason << '\n';
  };
  options.progress = [&err](std::uint32_t done, std::uint32_t total) {
    err << "scan: " << done << '/' << total << " entries\n";
  };

  IdxListDocument list;
  if (!list_path.empty()) {
    const ListLoadResult loaded = list.load(list_path.c_str(), nullptr);
    // A list that does not parse is the user's data: never save over it.
    if (loaded.status == ListLoadStatus::kMalformed) {
      err << "korvel-cli: " << list_path << ':' << loaded.line << ':' << loaded.column << ": "
          << loaded.message << "; the list was left as it is\n";
      return kExitError;
    }
    if (loaded.primary_unreadable) {
      err << "korvel-cli: cannot read " << list_path << "; the list was left as it is\n";
      return kExitError;
    }
  }
  ListNode* root = list.root();
  if (root == nullptr) {
    root = list.document().allocate_node(rapidxml::node_element, "xml_root");
    list.document().append_node(root);
  }
  std::string error;
  ListNode* scanned = scan_archive(index_path, options, root, &error);
  if (scanned == nullptr) {
    err << "korvel-cli: cannot open " << index_path << ": " << error << '\n';
    return kExitError;
  }
  if (list_path.empty()) {
    std::string printed;
    rapidxml::print(std::back_inserter(printed), *scanned, 0);
    out << printed;
    return kExitOk;
  }
  std::string save_error;
  if (list.save(list_path.c_str(), &save_error) != 1) {
    err << "korvel-cli: cannot write " << list_path << ": " << save_error << '\n';
    return kExitError;
  }
  return kExitOk;
}

}  // namespace korvel::cli
