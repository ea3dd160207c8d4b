#include <cctype>
#include <vector>

#include "archive/archive.h"
#include "archive/entry_walk.h"
#include "archive/format_text.h"
#include "tools/cli/cli.h"
#include "tools/cli/item_file.h"

namespace korvel::cli {
namespace {

// Every texture id the listing of an entry holds, in document order.
void collect_texture_ids(const ContentNode* node, std::vector<std::string>* ids) {
  for (const ContentNode* child = node->first_node(); child != nullptr;
       child = child->next_sibling()) {
    const std::string id = attribute_value(child, vocab::kOutputId);
    const std::string suffix = vocab::kTextureSuffix;
    if (id.size() > suffix.size() && keys_equal(id.substr(id.size() - suffix.size()), suffix)) {
      ids->push_back(id);
    }
    collect_texture_ids(child, ids);
  }
}

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

// A stand-in for the entry's element in a fresh tree: output ids need only
// its number.
ContentNode* entry_element(ContentTree& tree, std::uint32_t number) {
  tree.clear();
  ContentNode* root = tree.allocate_node(rapidxml::node_element, vocab::kRoot);
  tree.append_node(root);
  ContentNode* element = append_element_copy(root, format_text(vocab::kEntryNameFormat, number));
  append_attribute(element, vocab::kNumber, format_text("%08u", number));
  return element;
}

struct Totals {
  std::uint32_t written = 0;
  std::uint32_t failed = 0;
};

void extract_entry(Archive& archive, std::uint32_t number, const std::string& data_file,
                   const std::string& directory, bool as_png, std::ostream& err, Totals* totals) {
  EntryLocation location{number, archive.entries[number], data_file, nullptr};
  ByteBuffer payload;
  std::string error;
  if (!read_entry_payload(location, &payload, &error)) {
    err << "korvel-cli: " << error << '\n';
    ++totals->failed;
    return;
  }
  const auto length = static_cast<std::uint32_t>(location.record.size_comp);
  ContentTree tree;
  archive.requested_key.clear();
  archive.dispatch_content(entry_element(tree, number), payload.data(), length);
  std::vector<std::string> ids;
  collect_texture_ids(tree.first_node(), &ids);
  if (ids.empty()) return;

  std::uint32_t written = 0;
  for (const std::string& id : ids) {
    archive.requested_key = id;
    archive.image.clear();
    archive.image_size = 0;
    archive.dispatch_content(entry_element(tree, number), payload.data(), length);
    if (archive.image.empty() || archive.image_size == 0) {
      err << "korvel-cli: " << id << ": not extracted (unknown format or damaged container)\n";
      ++totals->failed;
      continue;
    }
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
                     archive.entry_count, written, ids.size());
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
  if (archive.open(arguments[0].c_str()) != 1) {
    err << "korvel-cli: cannot open " << arguments[0] << ": " << archive.error << '\n';
    return kExitError;
  }
  Totals totals;
  std::int32_t file_number = archive.first_bin_number;
  for (std::uint32_t i = 0; i < archive.entry_count; ++i) {
    const IndexEntry& record = archive.entries[i];
    // The data-file rule of the entry walk: in a series, an entry after the
    // first at offset 0 begins the next file, empty entries included.
    if (archive.first_bin_number != -1 && i != 0 && record.offset == 0) ++file_number;
    if (record.empty()) continue;
    extract_entry(archive, i,
                  data_file_name(archive.base_path, archive.first_bin_number, file_number),
                  directory, as_png, err, &totals);
  }
  archive.release();
  out << format_text("extract-all: %u textures written to %s, %u failed\n", totals.written,
                     directory.c_str(), totals.failed);
  return totals.failed == 0 ? kExitOk : kExitError;
}

}  // namespace korvel::cli
