#include "archive/archive.h"
#include "formats/png_replacement.h"
#include "tools/cli/cli.h"

namespace korvel::cli {
namespace {

// A DDS file replaces as it is; the key must name a texture, since a rebuild
// for a key that names none changes nothing and would read as "unchanged".
int replace_with_dds(const Arguments& arguments, std::string* error) {
  std::vector<std::uint8_t> stored;
  if (!load_stored_texture(arguments[0], arguments[1], &stored, error)) return 0;
  Archive archive;
  if (archive.open(arguments[0].c_str()) != 1) {
    *error = "cannot open " + arguments[0] + ": " + archive.error;
    return 0;
  }
  const int result = archive.replace_entry(arguments[1].c_str(), arguments[2].c_str());
  archive.release();
  if (result == 0) *error = archive.error.empty() ? "the replacement was refused" : archive.error;
  return result;
}

}  // namespace

int run_replace(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 3) {
    err << "usage: korvel-cli replace ARCHIVE.idx KEY FILE.dds|FILE.png\n";
    return kExitError;
  }
  std::string error;
  const int result =
      names_png_path(arguments[2])
          ? replace_texture_with_png(arguments[0], arguments[1], arguments[2], &error)
          : replace_with_dds(arguments, &error);
  switch (result) {
    case 1:
      out << "replaced\n";
      return kExitOk;
    case 2:
      out << "unchanged\n";
      return kExitOk;
    default:
      out << "failed: " << error << '\n';
      return kExitError;
  }
}

}  // namespace korvel::cli
