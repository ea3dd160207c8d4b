#include "archive/archive.h"
#include "tools/cli/cli.h"
#include "tools/cli/entry_items.h"
#include "tools/cli/item_file.h"

namespace korvel::cli {

int run_extract(const Arguments& arguments, std::ostream&, std::ostream& err) {
  if (arguments.size() != 3) {
    err << "usage: korvel-cli extract ARCHIVE.idx KEY OUT\n";
    return kExitError;
  }
  const std::string& key = arguments[1];
  const std::string& out_path = arguments[2];
  Archive archive;
  if (!open_archive(arguments[0], &archive, err)) return kExitError;
  if (archive.load_entry(key.c_str()) != 1) {
    err << "korvel-cli: nothing extracted for " << key << ": " << archive.error << '\n';
    archive.release();
    return exit_code_of_load_failure(archive.error_kind);
  }
  std::string error;
  const bool written = write_item_file(out_path, archive.image.data(), archive.image_size,
                                       names_png_file(out_path), &error);
  archive.release();
  if (!written) {
    err << "korvel-cli: " << key << ": " << error << '\n';
    return kExitError;
  }
  return kExitOk;
}

}  // namespace korvel::cli
