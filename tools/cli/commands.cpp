#include <cstring>

#include "tools/cli/cli.h"

namespace korvel::cli {
namespace {

// The commands, in the order the usage lists them. A command is added here
// and in a file of its own.
const Command kCommands[] = {
    {"entries", "ARCHIVE.idx", "list the index records, one line per entry", &run_entries},
    {"tree", "ARCHIVE.idx KEY", "print the content tree that loading KEY builds", &run_tree},
    {"scan", "ARCHIVE.idx [--into LIST.xml] [--all]",
     "describe the archive's textures and models as a list-document element", &run_scan},
    {"replace", "ARCHIVE.idx KEY FILE.dds|FILE.png",
     "put a DDS file, or a PNG encoded in the texture's own format, in place of the texture KEY "
     "names",
     &run_replace},
    {"history", "ARCHIVE.idx",
     "list the archive's replacements from its journal, newest first, numbered for undo",
     &run_history},
    {"undo", "ARCHIVE.idx [N]",
     "put back what the N-th newest replacement changed (default 1, the newest)", &run_undo},
    {"mod", "export ARCHIVE.idx OUT.kmod | apply ARCHIVE.idx IN.kmod | show IN.kmod",
     "write the replacements in effect as one mod file, apply one to another copy of the "
     "archive, or list what one holds",
     &run_mod},
    {"model", "ARCHIVE.idx KEY", "print the geometry the viewer gets for model KEY", &run_model},
    {"extract", "ARCHIVE.idx KEY OUT",
     "write the item KEY names to OUT (OUT ending in .png: its first level as PNG)", &run_extract},
    {"extract-all", "ARCHIVE.idx DIR [--png]",
     "write every texture of every entry into DIR, named from its output id", &run_extract_all},
    {"export", "ARCHIVE.idx MODEL_KEY OUT.glb",
     "write model MODEL_KEY as binary glTF with the first texture of its entry", &run_export},
};

void print_usage(std::ostream& err) {
  err << "usage: korvel-cli COMMAND ARGUMENTS\n";
  for (const Command& command : kCommands) {
    err << "  korvel-cli " << command.name << ' ' << command.usage << "\n      " << command.summary
        << '\n';
  }
}

}  // namespace

int run_cli(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.empty()) {
    print_usage(err);
    return kExitError;
  }
  for (const Command& command : kCommands) {
    if (arguments[0] == command.name) {
      return command.run(Arguments(arguments.begin() + 1, arguments.end()), out, err);
    }
  }
  if (arguments[0] == "help" || arguments[0] == "--help" || arguments[0] == "-h") {
    print_usage(out);
    return kExitOk;
  }
  err << "korvel-cli: unknown command '" << arguments[0] << "'\n";
  print_usage(err);
  return kExitError;
}

}  // namespace korvel::cli
