#include <cctype>
#include <cstring>
#include <map>
#include <tuple>
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

bool ends_with_texture_suffix(const std::string& id) {
  const std::size_t length = std::strlen(vocab::kTextureSuffix);
  return id.size() >= length && keys_equal(id.substr(id.size() - length), vocab::kTextureSuffix);
}

struct Totals {
  std::uint32_t written = 0;
  std::uint32_t failed = 0;
  bool stopped = false;  // a write failed: the disk is full or the folder unwritable
};

// Decodes the entry once and writes every texture as it is taken out.
void extract_entry(EntryItems& items, std::uint32_t number, std::uint32_t entry_count,
                   const std::string& directory, bool as_png, std::ostream& err, Totals* totals) {
  std::uint32_t written = 0;
  std::uint32_t listed = 0;
  const Archive& archive = items.archive();
  items.take_items([&](const std::string& id) {
    if (!ends_with_texture_suffix(id)) return;  // a model
    ++listed;
    if (totals->stopped) return;
    if (archive.image.empty() || archive.image_size == 0) {
      err << "korvel-cli: " << id << ": not extracted ("
          << (archive.error.empty() ? "unknown format or damaged container" : archive.error)
          << ")\n";
      ++totals->failed;
      return;
    }
    std::string error;
    const std::string path = directory + "/" + file_name_of_id(id, as_png);
    if (!write_item_file(path, archive.image.data(), archive.image_size, as_png, &error)) {
      ++totals->failed;
      // A PNG that cannot be made is this texture's fault; a file that cannot
      // be written will not be the last one, so the run stops there.
      if (error.rfind("cannot make a PNG", 0) == 0) {
        err << "korvel-cli: " << id << ": " << error << '\n';
        return;
      }
      totals->stopped = true;
      err << format_text("korvel-cli: stopped at %s: %s; %u textures were written before it\n",
                         id.c_str(), error.c_str(), totals->written + written);
      return;
    }
    ++written;
  });
  totals->written += written;
  if (listed == 0) return;
  err << format_text("extract-all: entry %08u of %u: %u of %u textures written\n", number,
                     entry_count, written, listed);
}

// Where an entry's stored bytes lie: records that name the same bytes share
// one payload, which is extracted once.
struct PayloadPlace {
  std::string data_file;
  std::uint64_t offset;
  std::uint64_t size;
  bool operator<(const PayloadPlace& other) const {
    return std::tie(data_file, offset, size) < std::tie(other.data_file, other.offset, other.size);
  }
};

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
  std::map<PayloadPlace, std::uint32_t> extracted_places;
  for_each_entry(archive, tree, [&](const EntryLocation& location) {
    const PayloadPlace place{location.data_file, location.record.offset, location.record.size_comp};
    const auto [first, added] = extracted_places.emplace(place, location.number);
    if (!added) {
      err << format_text(
          "extract-all: entry %08u shares its payload with entry %08u; "
          "extracted once, as entry %08u\n",
          location.number, first->second, first->second);
      return true;
    }
    ByteBuffer payload;
    std::string error;
    if (!read_entry_payload(location, &payload, &error)) {
      err << "korvel-cli: " << error << '\n';
      ++totals.failed;
      return true;
    }
    EntryItems items(archive, location, std::move(payload));
    extract_entry(items, location.number, archive.entry_count, directory, as_png, err, &totals);
    return !totals.stopped;
  });
  archive.release();
  out << format_text("extract-all: %u textures written to %s, %u failed%s\n", totals.written,
                     directory.c_str(), totals.failed,
                     totals.stopped ? "; stopped when a file could not be written" : "");
  return totals.failed == 0 ? kExitOk : kExitError;
}

}  // namespace korvel::cli
