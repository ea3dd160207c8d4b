#include "archive/checksum.h"
#include "archive/file_io.h"
#include "archive/format_text.h"
#include "archive/mod_transfer.h"
#include "tools/cli/cli.h"

namespace korvel::cli {
namespace {

constexpr const char* kUsage =
    "usage: korvel-cli mod export ARCHIVE.idx OUT.kmod\n"
    "       korvel-cli mod apply ARCHIVE.idx IN.kmod\n"
    "       korvel-cli mod show IN.kmod\n";

int export_to(const std::string& index_path, const std::string& out_path, std::ostream& out) {
  ModFile mod;
  std::string error;
  if (!export_mod(index_path, &mod, &error)) {
    out << "failed: " << error << '\n';
    return kExitError;
  }
  const std::vector<std::uint8_t> bytes = encode_mod(mod);
  make_dirs_for_path(out_path.c_str());
  if (replace_file_atomically(out_path.c_str(), bytes.data(), bytes.size(), &error) != 1) {
    out << "failed: " << error << '\n';
    return kExitError;
  }
  out << format_text("wrote %zu entries to %s\n", mod.entries.size(), out_path.c_str());
  return kExitOk;
}

int apply_from(const std::string& index_path, const std::string& mod_path, std::ostream& out) {
  ModFile mod;
  std::uint32_t mod_crc = 0;
  std::string error, report;
  if (!read_mod_file(mod_path, &mod, &mod_crc, &error) ||
      !apply_mod(index_path, mod, mod_path, mod_crc, &report, &error)) {
    out << "failed: " << error << '\n';
    return kExitError;
  }
  out << report << '\n';
  return kExitOk;
}

int show(const std::string& mod_path, std::ostream& out) {
  ModFile mod;
  std::uint32_t mod_crc = 0;
  std::string error;
  if (!read_mod_file(mod_path, &mod, &mod_crc, &error)) {
    out << "failed: " << error << '\n';
    return kExitError;
  }
  out << format_text("mod version %u from %s, %zu entries\n", kModVersion, mod.archive_name.c_str(),
                     mod.entries.size());
  for (const ModEntry& entry : mod.entries) {
    out << format_text("%08u\t%s\t%zu bytes\treplaces %08X\n", entry.entry, entry.output_id.c_str(),
                       entry.payload.size(), entry.replaced_crc);
  }
  return kExitOk;
}

}  // namespace

int run_mod(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() == 3 && arguments[0] == "export") {
    return export_to(arguments[1], arguments[2], out);
  }
  if (arguments.size() == 3 && arguments[0] == "apply") {
    return apply_from(arguments[1], arguments[2], out);
  }
  if (arguments.size() == 2 && arguments[0] == "show") return show(arguments[1], out);
  err << kUsage;
  return kExitError;
}

}  // namespace korvel::cli
