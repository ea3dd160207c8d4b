#include "tools/cli/entry_items.h"

#include <ostream>

#include "archive/format_text.h"

namespace korvel::cli {
namespace {

void collect(const ContentNode* node, ItemNodes* items) {
  for (const ContentNode* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const std::string name(child->name(), child->name_size());
    if (name == vocab::kG1t) items->textures.push_back(child);
    if (name == vocab::kG1m) items->models.push_back(child);
    collect(child, items);
  }
}

}  // namespace

void EntryItems::list() {
  archive_.requested_key.clear();
  archive_.dispatch_content(location_.element, payload_.data(),
                            static_cast<std::uint32_t>(location_.record.size_comp));
}

bool EntryItems::load(const std::string& output_id) {
  archive_.requested_key = output_id;
  archive_.clear_error();
  archive_.image.clear();
  archive_.image_size = 0;
  archive_.model_view.clear();
  // Output ids need only the entry's number above the items.
  ContentTree scratch;
  ContentNode* element = scratch.allocate_node(rapidxml::node_element, "entry");
  scratch.append_node(element);
  append_attribute(element, vocab::kNumber, format_text("%08u", location_.number));
  archive_.dispatch_content(element, payload_.data(),
                            static_cast<std::uint32_t>(location_.record.size_comp));
  return !archive_.image.empty() && archive_.image_size > 0;
}

void EntryItems::take_items(const std::function<void(const std::string& output_id)>& sink) {
  archive_.requested_key.clear();
  archive_.item_sink = sink;
  archive_.dispatch_content(location_.element, payload_.data(),
                            static_cast<std::uint32_t>(location_.record.size_comp));
  archive_.item_sink = nullptr;
  archive_.model_view.clear();  // its references point into the image
  archive_.image.clear();
  archive_.image_size = 0;
}

ItemNodes items_below(const ContentNode* node) {
  ItemNodes items;
  if (node != nullptr) collect(node, &items);
  return items;
}

bool open_archive(const std::string& index_path, Archive* archive, std::ostream& err) {
  if (archive->open(index_path.c_str()) == 1) return true;
  err << "korvel-cli: cannot open " << index_path << ": " << archive->error << '\n';
  return false;
}

std::string file_name_of(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace korvel::cli
