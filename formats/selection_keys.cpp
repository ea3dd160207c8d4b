#include "formats/selection_keys.h"

#include <vector>

#include "platform/win/win32.h"

namespace korvel {

ListNode* selected_list_node() {
  if (g_hwndTree == nullptr) return nullptr;
  const auto caret = reinterpret_cast<win::HTREEITEM>(
      win::SendMessageW(g_hwndTree, win::TVM_GETNEXTITEM, win::TVGN_CARET, 0));
  if (caret == nullptr) return nullptr;
  win::TVITEMW item{};
  item.mask = win::TVIF_PARAM;
  item.hItem = caret;
  if (win::SendMessageW(g_hwndTree, win::TVM_GETITEM, 0, reinterpret_cast<win::LPARAM>(&item)) ==
      0) {
    return nullptr;
  }
  return reinterpret_cast<ListNode*>(item.lParam);
}

const char* list_attribute(const ListNode* node, const char* name) {
  if (node == nullptr) return nullptr;
  const rapidxml::xml_attribute<char>* attribute = node->first_attribute(name);
  return attribute != nullptr ? attribute->value() : nullptr;
}

bool utf8_to_ansi_key(const char* utf8, std::string* ansi) {
  ansi->clear();
  if (utf8 == nullptr || *utf8 == '\0') return true;
  const int wide_size = win::MultiByteToWideChar(win::CP_UTF8, 0, utf8, -1, nullptr, 0);
  if (wide_size <= 0) return false;
  std::vector<char16_t> wide(static_cast<std::size_t>(wide_size) + 4, 0);
  win::MultiByteToWideChar(win::CP_UTF8, 0, utf8, -1, wide.data(), wide_size);
  char buffer[kKeyBufferSize] = {};
  // Nothing is written when the text does not fit, so it is never cut.
  if (win::WideCharToMultiByte(win::CP_ACP, 0, wide.data(), -1, buffer, sizeof buffer, nullptr,
                               nullptr) == 0) {
    return false;
  }
  ansi->assign(buffer);
  return true;
}

ArchiveKeys archive_keys_of(const ListNode* node) {
  ArchiveKeys keys;
  if (node == nullptr) return keys;
  bool fit = utf8_to_ansi_key(list_attribute(node, "output_id"), &keys.output_id);
  for (const ListNode* above = node->parent(); above != nullptr; above = above->parent()) {
    if (const char* path = list_attribute(above, "idx_file_path")) {
      fit = utf8_to_ansi_key(path, &keys.idx_path) && fit;
      break;
    }
  }
  if (!fit) keys = ArchiveKeys{"", "", false};
  return keys;
}

}  // namespace korvel
