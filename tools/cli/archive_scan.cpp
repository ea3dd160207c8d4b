#include "tools/cli/archive_scan.h"

#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "archive/byte_reader.h"
#include "archive/entry_walk.h"
#include "archive/format_text.h"

namespace korvel::cli {
namespace {

using ListNode = rapidxml::xml_node<char>;

// Where a DDS header keeps what a texture's label shows.
constexpr std::uint64_t kDdsHeightOffset = 12;
constexpr std::uint64_t kDdsWidthOffset = 16;
constexpr std::uint64_t kDdsFourCcOffset = 84;
constexpr std::uint64_t kDdsHeaderSize = 128;

class ListBuilder {
 public:
  explicit ListBuilder(ListNode* parent) : document_(parent->document()) {}

  // An element with a label: the text is the element's value and its first
  // child, as a parsed list document has it.
  ListNode* append(ListNode* parent, const std::string& name, const std::string& label) {
    ListNode* element =
        document_->allocate_node(rapidxml::node_element, document_->allocate_string(name.c_str()));
    const char* text = document_->allocate_string(label.c_str());
    element->value(text);
    if (!label.empty()) element->append_node(document_->allocate_node(rapidxml::node_data, nullptr, text));
    parent->append_node(element);
    return element;
  }

  void attribute(ListNode* element, const char* name, const std::string& value) {
    element->append_attribute(document_->allocate_attribute(
        document_->allocate_string(name), document_->allocate_string(value.c_str())));
  }

  ListNode* clone(ListNode* parent, const ListNode* source) {
    ListNode* copy = document_->clone_node(source);
    parent->append_node(copy);
    return copy;
  }

 private:
  rapidxml::memory_pool<char>* document_;
};

// One non-empty entry: its payload, decoded once for the tree and again per
// item for the facts its label shows.
class EntryScanner {
 public:
  EntryScanner(Archive& archive, const EntryLocation& location, const ByteBuffer& payload)
      : archive_(archive), location_(location), payload_(payload) {}

  // Decodes the item with this output id as load_entry would; false when the
  // decoders left nothing.
  bool load_item(const std::string& output_id) {
    archive_.requested_key = output_id;
    archive_.image.clear();
    archive_.image_size = 0;
    ContentTree scratch;
    ContentNode* element = scratch.allocate_node(rapidxml::node_element, "entry");
    scratch.append_node(element);
    append_attribute(element, vocab::kNumber, format_text("%08u", location_.number));
    archive_.dispatch_content(element, payload_.data(),
                              static_cast<std::uint32_t>(location_.record.size_comp));
    return archive_.image_size > 0;
  }

  std::string texture_label(const std::string& number, const std::string& output_id) {
    std::string label = "texture " + number;
    if (!load_item(output_id)) return label + " (unreadable)";
    ByteReader dds(archive_.image.data(), archive_.image_size, 0);
    if (!dds.has(0, kDdsHeaderSize)) return label;
    std::string kind = "A8R8G8B8";
    if (dds.u32_or_zero(kDdsFourCcOffset) != 0) {
      kind.assign(reinterpret_cast<const char*>(archive_.image.data() + kDdsFourCcOffset), 4);
    }
    return label + format_text(" \xC2\xB7 %s %u\xC3\x97%u", kind.c_str(),
                               dds.u32_or_zero(kDdsWidthOffset), dds.u32_or_zero(kDdsHeightOffset));
  }

  std::string model_label(const std::string& output_id) {
    if (!load_item(output_id) || archive_.model_view.sm_section == nullptr) return "model";
    ByteReader section(archive_.model_view.sm_section, 12, 0);
    const std::uint32_t submeshes = section.u32_or_zero(8);
    return format_text("model \xC2\xB7 %u submesh%s", submeshes, submeshes == 1 ? "" : "es");
  }

 private:
  Archive& archive_;
  const EntryLocation& location_;
  const ByteBuffer& payload_;
};

std::string label_of(const ContentNode* node, EntryScanner& scanner) {
  const std::string name(node->name(), node->name_size());
  const std::string number = attribute_value(node, vocab::kNumber);
  if (name == vocab::kZlib) return "zlib stream";
  if (name == vocab::kPack) return "pack item " + number;
  if (name == vocab::kG1t) return scanner.texture_label(number, attribute_value(node, vocab::kOutputId));
  if (name == vocab::kG1m) return scanner.model_label(attribute_value(node, vocab::kOutputId));
  if (name == vocab::kUnknown) return "unknown data";
  return name;
}

bool is_item(const std::string& name) { return name == vocab::kG1t || name == vocab::kG1m; }

void collect_items(const ContentNode* node, std::vector<const ContentNode*>* textures,
                   bool* has_model) {
  for (const ContentNode* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const std::string name(child->name(), child->name_size());
    if (name == vocab::kG1t) textures->push_back(child);
    if (name == vocab::kG1m) *has_model = true;
    collect_items(child, textures, has_model);
  }
}

// Copies a content subtree into the list, labelling every element; a model is
// followed by copies of its entry's textures, which the viewer puts on it.
void copy_subtree(const ContentNode* content, ListNode* list, ListBuilder& builder,
                  EntryScanner& scanner, const std::vector<ListNode*>& entry_textures) {
  for (const ContentNode* child = content->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const std::string name(child->name(), child->name_size());
    ListNode* element = builder.append(list, name, label_of(child, scanner));
    if (is_item(name)) {
      builder.attribute(element, vocab::kOutputId, attribute_value(child, vocab::kOutputId));
      builder.attribute(element, vocab::kContent, attribute_value(child, vocab::kContent));
    }
    copy_subtree(child, element, builder, scanner, entry_textures);
    if (name == vocab::kG1m) {
      for (const ListNode* texture : entry_textures) builder.clone(list, texture);
    }
  }
}

std::string file_name_of(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

rapidxml::xml_node<char>* scan_archive(const std::string& index_path, const ScanOptions& options,
                                       rapidxml::xml_node<char>* parent, std::string* error) {
  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    *error = archive.error;
    return nullptr;
  }
  ListBuilder builder(parent);
  ListNode* archive_element = builder.append(parent, "archive", file_name_of(index_path));
  builder.attribute(archive_element, "idx_file_path", index_path);

  ContentTree tree;
  std::uint32_t done = 0;
  for_each_entry(archive, tree, [&](const EntryLocation& location) {
    if (options.progress && ++done % 1024 == 0) options.progress(location.number, archive.entry_count);
    ByteBuffer payload;
    std::string read_error;
    if (!read_entry_payload(location, &payload, &read_error)) return true;
    archive.requested_key.clear();
    archive.dispatch_content(location.element, payload.data(),
                             static_cast<std::uint32_t>(location.record.size_comp));
    std::vector<const ContentNode*> textures;
    bool has_model = false;
    collect_items(location.element, &textures, &has_model);
    if (!options.all_entries && textures.empty() && !has_model) return true;

    EntryScanner scanner(archive, location, payload);
    ListNode* entry = builder.append(archive_element,
                                     std::string(location.element->name(),
                                                 location.element->name_size()),
                                     format_text("entry %u", location.number));
    // The textures a model's siblings will repeat, labelled once.
    ListNode holder(rapidxml::node_element);
    std::vector<ListNode*> entry_textures;
    if (has_model) {
      for (const ContentNode* texture : textures) {
        ListNode* copy = builder.append(&holder, vocab::kG1t,
                                        label_of(texture, scanner));
        builder.attribute(copy, vocab::kOutputId, attribute_value(texture, vocab::kOutputId));
        builder.attribute(copy, vocab::kContent, attribute_value(texture, vocab::kContent));
        entry_textures.push_back(copy);
      }
    }
    copy_subtree(location.element, entry, builder, scanner, entry_textures);
    return true;
  });
  if (options.progress) options.progress(archive.entry_count, archive.entry_count);
  archive.release();
  return archive_element;
}

}  // namespace korvel::cli
