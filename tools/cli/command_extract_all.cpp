#include <cctype>
#include <vector>

#include "archive/archive.h"
#include "archive/entry_walk.h"
#include "archive/format_text.h"
#include "tools/cli/cli.h"
#include "tools/cli/entry_items.h"
#include "tools/cli/item_file.h"

namespace korvel::cli {
namespace {

// ".\00000012\0\3.dds" -> "00000012_0_3.dds": separators become '_', and
// anything but letters, digits, '-' and inner dots too, so that a name never
// leaves the folder.
std::string file_name_of_id(const std::string& id, bool as_png) {
  std::string name = id.compare(0, 2, ".\\") == 0 ? id.substr(2) : id;
  if (as_png) name.replace(name.size() - 4, 4, ".png");
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (!std::isalnum(c) && c != '-' && (c != '.' || i == 0)) name[i] = '_';
  }
  return name;
}

struct Totals {
  std::uint32_t written = 0;
  std::uint32_t failed = 0;
};

void extract_entry(EntryItems& items, const ContentNode* entry_element, std::uint32_t number,
                   std::uint32_t entry_count, const std::string& directory, bool as_png,
                   std::ostream& err, Totals* totals) {
  items.list();
  const std::vector<const ContentNode*> textures = items_below(entry_element).textures;
  if (textures.empty()) return;
  std::uint32_t written = 0;
  for (const ContentNode* texture : textures) {
    const std::string id = attribute_value(texture, vocab::kOutputId);
    if (!items.load(id)) {
      const std::string& why = items.archive().error;
      err << "korvel-cli: " << id << ": not extracted ("
          << (why.empty() ? "unknown format or damaged container" : why) << ")\n";
      ++totals->failed;
      continue;
    }
    std::string error;
    const Archive& archive = items.archive();
    const std::string path = directory + "/" + file_name_of_id(id, as_png);
    if (!write_item_file(path, archive.image.data(), archive.image_size, as_png, &error)) {
      err << "korvel-cli: " << id << ": " << error << '\n';
      ++totals->failed;
      continue;
    }
    ++written;
  }
  totals->written += written;
  err << format_text("extract-all: entry %08u of %u: %u of %zu textures written\n", number,
                     entry_count, written, textures.size());
}

}  // namespace

int run_extract_all(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  const bool as_png = arguments.size() == 3 && arguments[2] == "--png";
  if (arguments.size() != 2 && !as_png) {
    err << "usage: korvel-cli extract-all ARCHIVE.idx DIR [--png]\n";
    return kExitError;
  }
  const std::string& directory = arguments[1];
  Archive archive;
  if (!open_archive(arguments[0], &archive, err)) return kExitError;
  Totals totals;
  ContentTree tree;
  for_each_entry(archive, tree, [&](const EntryLocation& location) {
    ByteBuffer payload;
    std::string error;
    if (!read_entry_payload(location, &payload, &error)) {
      err << "korvel-cli: " << error << '\n';
      ++totals.failed;
      return true;
    }
    EntryItems items(archive, location, std::move(payload));
    extract_entry(items, location.element, location.number, archive.entry_count, directory, as_png,
                  err, &totals);
    return true;
  });
  archive.release();
  out << format_text("extract-all: %u textures written to %s, %u failed\n", totals.written,
                     directory.c_str(), totals.failed);
  return totals.failed == 0 ? kExitOk : kExitError;
}

}  // namespace korvel::cli
