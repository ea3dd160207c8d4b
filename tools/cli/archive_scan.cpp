#include "tools/cli/archive_scan.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <vector>

#include <map>

#include "archive/archive.h"
#include "archive/byte_reader.h"
#include "archive/entry_walk.h"
#include "archive/format_text.h"
#include "file_layouts/dds_file.h"
#include "tools/cli/entry_items.h"

namespace korvel::cli {
namespace {

using ListNode = rapidxml::xml_node<char>;

class ListBuilder {
 public:
  explicit ListBuilder(ListNode* parent) : document_(parent->document()) {}

  // An element with a label: the text is the element's value and its first
  // child, as a parsed list document has it.
  ListNode* append(ListNode* parent, const std::string& name, const std::string& label) {
    ++elements_;
    ListNode* element =
        document_->allocate_node(rapidxml::node_element, document_->allocate_string(name.c_str()));
    const char* text = document_->allocate_string(label.c_str());
    element->value(text);
    if (!label.empty())
      element->append_node(document_->allocate_node(rapidxml::node_data, nullptr, text));
    parent->append_node(element);
    return element;
  }

  void attribute(ListNode* element, const char* name, const std::string& value) {
    element->append_attribute(document_->allocate_attribute(
        document_->allocate_string(name), document_->allocate_string(value.c_str())));
  }

  ListNode* clone(ListNode* parent, const ListNode* source) {
    ++elements_;
    ListNode* copy = document_->clone_node(source);
    parent->append_node(copy);
    return copy;
  }

  std::uint64_t elements() const { return elements_; }

 private:
  rapidxml::memory_pool<char>* document_;
  std::uint64_t elements_ = 0;
};

// Labels of one entry's items, all worked out from one decoding of the entry,
// which also lists it under its element.
class ItemLabels {
 public:
  explicit ItemLabels(EntryItems& items) {
    items.take_items([&](const std::string& output_id) {
      details_[output_id] = details_of(items.archive(), output_id);
    });
  }

  std::string texture(const std::string& number, const std::string& output_id) const {
    const auto found = details_.find(output_id);
    return "texture " + number + (found != details_.end() ? found->second : " (unreadable)");
  }

  std::string model(const std::string& output_id) const {
    const auto found = details_.find(output_id);
    return found != details_.end() ? "model" + found->second : "model";
  }

 private:
  // What follows "texture N" or "model" in the label of the item the archive holds.
  static std::string details_of(const Archive& archive, const std::string& output_id) {
    const bool is_model =
        output_id.size() >= std::strlen(vocab::kModelSuffix) &&
        keys_equal(output_id.substr(output_id.size() - std::strlen(vocab::kModelSuffix)),
                   vocab::kModelSuffix);
    if (archive.image.empty() || archive.image_size == 0) return is_model ? "" : " (unreadable)";
    if (is_model) {
      const std::uint32_t submeshes = archive.model_view.submesh_count();
      return format_text(" \xC2\xB7 %u submesh%s", submeshes, submeshes == 1 ? "" : "es");
    }
    if (archive.image_size < kDdsFileHeaderSize) return "";
    DdsFileHeader dds;
    std::memcpy(&dds, archive.image.data(), sizeof dds);
    std::string kind = "A8R8G8B8";
    if ((dds.header.ddspf.dwFlags & kDdpfFourCc) != 0) {
      kind.assign(reinterpret_cast<const char*>(&dds.header.ddspf.dwFourCC), 4);
    }
    return format_text(" \xC2\xB7 %s %u\xC3\x97%u", kind.c_str(), dds.header.dwWidth,
                       dds.header.dwHeight);
  }

  std::map<std::string, std::string> details_;
};

std::string label_of(const ContentNode* node, const ItemLabels& labels) {
  const std::string name(node->name(), node->name_size());
  const std::string number = attribute_value(node, vocab::kNumber);
  if (name == vocab::kZlib) return "zlib stream";
  if (name == vocab::kPack) return "pack item " + number;
  if (name == vocab::kG1t) return labels.texture(number, attribute_value(node, vocab::kOutputId));
  if (name == vocab::kG1m) return labels.model(attribute_value(node, vocab::kOutputId));
  if (name == vocab::kUnknown) return "unknown data";
  return name;
}

bool is_item(const std::string& name) {
  return name == vocab::kG1t || name == vocab::kG1m;
}

// Copies a content subtree into the list, labelling every element; a model is
// followed by copies of its entry's textures, which the viewer puts on it.
void copy_subtree(const ContentNode* content, ListNode* list, ListBuilder& builder,
                  const ItemLabels& labels, const std::vector<ListNode*>& entry_textures) {
  for (const ContentNode* child = content->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const std::string name(child->name(), child->name_size());
    ListNode* element = builder.append(list, name, label_of(child, labels));
    if (is_item(name)) {
      builder.attribute(element, vocab::kOutputId, attribute_value(child, vocab::kOutputId));
      builder.attribute(element, vocab::kContent, attribute_value(child, vocab::kContent));
    }
    copy_subtree(child, element, builder, labels, entry_textures);
    if (name == vocab::kG1m) {
      const std::size_t copies = std::min(entry_textures.size(), kMaxTexturesPerModel);
      for (std::size_t i = 0; i < copies; ++i) builder.clone(list, entry_textures[i]);
    }
  }
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
  bool too_large = false;
  for_each_entry(archive, tree, [&](const EntryLocation& location) {
    if (options.progress && ++done % 1024 == 0)
      options.progress(location.number, archive.entry_count);
    ByteBuffer payload;
    std::string read_error;
    if (!read_entry_payload(location, &payload, &read_error)) {
      if (options.skipped) options.skipped(read_error);
      return true;
    }
    EntryItems items(archive, location, std::move(payload));
    const ItemLabels labels(items);
    const ItemNodes found = items_below(location.element);
    const std::vector<const ContentNode*>& textures = found.textures;
    const bool has_model = !found.models.empty();
    if (!options.all_entries && textures.empty() && !has_model) return true;

    ListNode* entry = builder.append(
        archive_element, std::string(location.element->name(), location.element->name_size()),
        format_text("entry %u", location.number));
    // The textures a model's siblings repeat, labelled once.
    ListNode holder(rapidxml::node_element);
    std::vector<ListNode*> entry_textures;
    if (has_model) {
      for (const ContentNode* texture : textures) {
        ListNode* copy = builder.append(&holder, vocab::kG1t, label_of(texture, labels));
        builder.attribute(copy, vocab::kOutputId, attribute_value(texture, vocab::kOutputId));
        builder.attribute(copy, vocab::kContent, attribute_value(texture, vocab::kContent));
        entry_textures.push_back(copy);
      }
    }
    copy_subtree(location.element, entry, builder, labels, entry_textures);
    if (builder.elements() > options.max_elements) {
      *error = format_text("the list would hold more than %" PRIu64
                           " elements; the scan stopped at entry %u",
                           options.max_elements, location.number);
      too_large = true;
      return false;
    }
    return true;
  });
  if (too_large) {
    parent->remove_node(archive_element);
    archive.release();
    return nullptr;
  }
  if (options.progress) options.progress(archive.entry_count, archive.entry_count);
  archive.release();
  return archive_element;
}

}  // namespace korvel::cli
