#include "ui/archive_tree_view.h"

#include <string>
#include <vector>

#include "archive/file_stream.h"
#include "archive/format_text.h"
#include "archive/limits.h"
#include "formats/selection_keys.h"
#include "formats/shared_ui_state.h"
#include "platform/win/win32.h"
#include "ui/dom_element.h"

namespace korvel {
namespace {

constexpr win::UINT_PTR kTreeControlId = 0x213;
constexpr win::DWORD kModelHandOverPauseMs = 500;

// Pairs of description and pattern, each NUL-ended, the list ended by an empty string.
constexpr char kIndexFilter[] = "idx文件（*.idx）\0*.idx\0所有文件（*.*）\0*.*\0";
constexpr const char* kIndexDialogTitle =
    "请手工指定idx文件（idx文件在游戏安装目录中，与主程序exe文件同处一个目录）：";

// A copy of text in the node's document pool, which lives until exit, so the
// pointers the tree and the viewer hold stay valid; null without a document.
char* pool_copy(ListNode* node, const std::string& text) {
  rapidxml::xml_document<char>* document = node->document();
  if (document == nullptr) return nullptr;
  return document->allocate_string(text.c_str(), text.size() + 1);
}

// ANSI (a path from the dialog or the file system) to the document's UTF-8.
std::string ansi_to_utf8(const char* ansi) {
  const std::u16string wide = win::utf8_to_utf16(ansi);  // CP_ACP is UTF-8 here
  return win::utf16_to_utf8(wide);
}

// Whether the index at path exists and holds bytes. Reading is all that is
// needed, so a read-only archive passes; a path too long for its buffer
// counts as missing rather than being cut.
bool index_file_found(const char* utf8_path) {
  std::string ansi;
  if (!utf8_to_ansi_key(utf8_path, &ansi) || ansi.empty()) return false;
  FileStream stream;
  stream.open(ansi.c_str(), kStreamBufferCapacity, FileStream::kReadOnly);
  const std::uint64_t size = stream.seek(0, FileStream::kFromEnd);
  stream.close();
  return size != 0;
}

// Asks the user for the index file; the chosen path becomes the attribute's
// value. False when the dialog was cancelled.
bool ask_for_index_file(ListNode* node, rapidxml::xml_attribute<char>* attribute) {
  char file_name[kKeyBufferSize] = {};
  win::OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = g_hwndTree;
  dialog.lpstrFilter = kIndexFilter;
  dialog.lpstrFile = file_name;
  dialog.nMaxFile = sizeof file_name;
  dialog.lpstrTitle = kIndexDialogTitle;
  dialog.Flags = win::OFN_OVERWRITEPROMPT;
  win::GetOpenFileNameA(&dialog);
  if (file_name[0] == '\0') return false;
  if (char* value = pool_copy(node, ansi_to_utf8(file_name))) attribute->value(value);
  return true;
}

int element_child_count(const ListNode* node) {
  int count = 0;
  for (const ListNode* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() == rapidxml::node_element) ++count;
  }
  return count;
}

std::u16string label_of(const ListNode* node) {
  return win::utf8_to_utf16(std::string(node->value(), node->value_size()));
}

void on_expanding(const win::NMTREEVIEWW& change) {
  auto* node = reinterpret_cast<ListNode*>(change.itemNew.lParam);
  if (node == nullptr) return;
  if (rapidxml::xml_attribute<char>* path = node->first_attribute("idx_file_path")) {
    if (!index_file_found(path->value()) && !ask_for_index_file(node, path)) return;
  }
  const win::HWND tree = change.hdr.hwndFrom;
  if (win::SendMessageW(tree, win::TVM_GETNEXTITEM, win::TVGN_CHILD,
                        reinterpret_cast<win::LPARAM>(change.itemNew.hItem)) != 0) {
    return;  // filled on an earlier expansion
  }
  for (ListNode* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const int grandchildren = element_child_count(child);
    std::u16string label = label_of(child);
    win::TVINSERTSTRUCTW insert{};
    insert.hParent = change.itemNew.hItem;
    insert.hInsertAfter = win::TVI_LAST;
    insert.item.mask = win::TVIF_TEXT | win::TVIF_PARAM;
    insert.item.pszText = label.data();
    insert.item.lParam = reinterpret_cast<win::LPARAM>(child);
    if (grandchildren >= 1) {
      insert.item.mask |= win::TVIF_CHILDREN;
      insert.item.cChildren = grandchildren;
    }
    win::SendMessageW(tree, win::TVM_INSERTITEMW, 0, reinterpret_cast<win::LPARAM>(&insert));
  }
}

// Markup characters of the page name are escaped so that a list document
// cannot write anything but the frame into the page.
std::string escaped_for_attribute(const char* text) {
  std::string out;
  for (; *text != '\0'; ++text) {
    switch (*text) {
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += *text;
    }
  }
  return out;
}

void clear_content_pane() {
  const htmlayout::dom::element content(g_contentElement);
  if (!content.is_valid()) return;
  engine::HTMLayoutSetElementInnerText16(content, u"", 0);
  content.update(false);
}

// The selection a model viewer will load: the index path and output id, both
// empty when either does not fit, so the viewer reports a failure instead of
// loading from a cut path.
void store_selection(ListNode* node) {
  const ArchiveKeys keys = archive_keys_of(node);
  g_selectionRef.store(keys.idx_path, keys.output_id);
  g_selectedNode.store(node, std::memory_order_relaxed);
}

void on_selection_changed(const win::NMTREEVIEWW& change) {
  auto* node = reinterpret_cast<ListNode*>(change.itemNew.lParam);
  if (node == nullptr) return;
  const char* page = list_attribute(node, "content");
  if (page == nullptr) {
    clear_content_pane();
    return;
  }
  if (g_contentElement == nullptr) return;
  const htmlayout::dom::element content(g_contentElement);
  engine::HTMLayoutSetElementInnerText16(content, u"", 0);
  const std::string html =
      format_text("<frame src=\"frame_content/%s\"/>", escaped_for_attribute(page).c_str());
  content.set_html(reinterpret_cast<const engine::BYTE*>(html.data()), html.size());
  content.update(true);
  if (content.get_element_by_id("mywindow_dx") == nullptr) {
    g_modelElement.store(nullptr, std::memory_order_release);  // a running viewer ends
    return;
  }
  // A model page: the viewer of the previous selection sees the null and ends
  // within the pause; the selection is complete before the new element is
  // published, since a viewer reads it once it sees the element.
  g_modelElement.store(nullptr, std::memory_order_release);
  win::Sleep(kModelHandOverPauseMs);
  const engine::HELEMENT model_element = content.get_element_by_id("mywindow_dx");
  win::TVITEMW caret{};
  caret.mask = win::TVIF_PARAM;
  caret.hItem = reinterpret_cast<win::HTREEITEM>(
      win::SendMessageW(g_hwndTree, win::TVM_GETNEXTITEM, win::TVGN_CARET, 0));
  win::SendMessageW(g_hwndTree, win::TVM_GETITEMW, 0, reinterpret_cast<win::LPARAM>(&caret));
  store_selection(reinterpret_cast<ListNode*>(caret.lParam));
  g_modelElement.store(model_element, std::memory_order_release);
}

void on_label_edited(win::NMTVDISPINFOW& info) {
  if (info.item.pszText == nullptr) return;  // cancelled
  win::SendMessageW(g_hwndTree, win::TVM_SETITEMW, 0, reinterpret_cast<win::LPARAM>(&info.item));
  auto* node = reinterpret_cast<ListNode*>(info.item.lParam);
  if (node == nullptr || node->first_node() == nullptr) return;
  // The first child of an element with text is its text node, which the list
  // written at exit holds.
  if (char* text = pool_copy(node, win::utf16_to_utf8(info.item.pszText))) {
    node->first_node()->value(text);
  }
}

void on_key_down(const win::NMTVKEYDOWN& key) {
  if (key.wVKey != win::VK_F2) return;
  const win::LRESULT caret =
      win::SendMessageW(g_hwndTree, win::TVM_GETNEXTITEM, win::TVGN_CARET, 0);
  win::SendMessageW(g_hwndTree, win::TVM_EDITLABELW, 0, caret);
}

}  // namespace

win::LRESULT TreeWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                            win::LPARAM lparam) {
  if (message == win::WM_NOTIFY && wparam == kTreeControlId && lparam != 0) {
    auto* header = reinterpret_cast<win::NMHDR*>(lparam);
    switch (header->code) {
      case win::TVN_ITEMEXPANDINGW:
        on_expanding(*reinterpret_cast<const win::NMTREEVIEWW*>(lparam));
        break;
      case win::TVN_SELCHANGEDW:
        on_selection_changed(*reinterpret_cast<const win::NMTREEVIEWW*>(lparam));
        break;
      case win::TVN_ENDLABELEDITW:
        on_label_edited(*reinterpret_cast<win::NMTVDISPINFOW*>(lparam));
        break;
      case win::TVN_KEYDOWN:
        on_key_down(*reinterpret_cast<const win::NMTVKEYDOWN*>(lparam));
        break;
      default:
        break;
    }
  }
  return win::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace korvel
