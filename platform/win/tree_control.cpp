// The "SysTreeView32" control: items, caret, expand state and label editing.
// It draws nothing itself: every change goes to the display, which draws the
// tree and sends back what the user does there (tree_user_action).
#include <algorithm>
#include <optional>
#include <vector>

#include "platform/limits.h"
#include "platform/win/message_queue.h"
#include "platform/win/text_conversion.h"
#include "platform/win/tree_view.h"
#include "platform/win/window_state.h"

namespace korvel::win {
namespace {

struct Item {
  HTREEITEM parent = nullptr;
  HTREEITEM previous = nullptr;  // the sibling it was inserted after
  std::vector<HTREEITEM> children;
  std::u16string text;
  LPARAM param = 0;
  int children_indicator = 0;  // cChildren as given
  bool expanded = false;
};

struct Tree {
  std::map<std::uintptr_t, Item> items;
  std::vector<HTREEITEM> roots;
  HTREEITEM caret = nullptr;
  HTREEITEM editing = nullptr;
};

// Guarded by the window system's lock. Item handles are never reused, so a
// handle of a removed item or of another tree is simply not found.
std::map<std::uintptr_t, Tree> g_trees;
std::uintptr_t g_next_item = 0x20000;

using detail::handle_value;

// The tree of a live control window; null once the window is gone.
Tree* tree_of(detail::State& st, HWND window) {
  if (detail::find_window(st, window) == nullptr) return nullptr;
  return &g_trees[handle_value(window)];
}

Item* find_item(Tree& tree, HTREEITEM item) {
  const auto found = tree.items.find(handle_value(item));
  return found != tree.items.end() ? &found->second : nullptr;
}

bool has_button(const Item& item) {
  return item.children_indicator != 0 || !item.children.empty();
}

TreeItemView make_item_view(HWND window, HTREEITEM handle, const Item& item) {
  return TreeItemView{
      window,           handle,       item.parent, item.previous, utf16_to_utf8(item.text),
      has_button(item), item.expanded};
}

// The item as notifications describe it: handle, state and data.
TVITEMW describe(Tree& tree, HTREEITEM handle) {
  TVITEMW out{};
  const Item* item = find_item(tree, handle);
  if (item == nullptr) return out;
  out.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
  out.hItem = handle;
  out.state = (tree.caret == handle ? TVIS_SELECTED : 0u) | (item->expanded ? TVIS_EXPANDED : 0u);
  out.stateMask = TVIS_SELECTED | TVIS_EXPANDED;
  out.lParam = item->param;
  return out;
}

std::shared_ptr<Display> current_display() {
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  return st.display;
}

void publish_items(const std::vector<TreeItemView>& views) {
  if (views.empty()) return;
  if (const auto display = current_display()) {
    for (const TreeItemView& view : views) display->tree_item_changed(view);
  }
}

// Sends a notification to the control's parent; 0 when it has none.
LRESULT notify_parent(HWND window, NMHDR& header, UINT code) {
  HWND parent = nullptr;
  UINT_PTR control_id = 0;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    const detail::WindowRecord* record = detail::find_window(st, window);
    if (record == nullptr) return 0;
    parent = record->parent;
    control_id = record->control_id;
  }
  if (parent == nullptr) return 0;
  header = NMHDR{window, control_id, code};
  return SendMessageW(parent, WM_NOTIFY, control_id, reinterpret_cast<LPARAM>(&header));
}

LRESULT insert_item(HWND window, const TVINSERTSTRUCTW* insert) {
  if (insert == nullptr) return 0;
  std::vector<TreeItemView> views;
  HTREEITEM handle = nullptr;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return 0;
    Tree& tree = *tree_pointer;
    const bool at_root = insert->hParent == nullptr || insert->hParent == TVI_ROOT;
    Item* parent = at_root ? nullptr : find_item(tree, insert->hParent);
    if (!at_root && parent == nullptr) return 0;
    std::vector<HTREEITEM>& siblings = at_root ? tree.roots : parent->children;
    // TVI_ROOT and TVI_LAST append; a sibling's handle inserts after it.
    auto place = std::find(siblings.begin(), siblings.end(), insert->hInsertAfter);
    place = place != siblings.end() ? place + 1 : siblings.end();

    Item item;
    item.parent = at_root ? nullptr : insert->hParent;
    item.previous = place == siblings.begin() ? nullptr : *(place - 1);
    const TVITEMW& fields = insert->item;
    if ((fields.mask & TVIF_TEXT) && fields.pszText != nullptr) item.text = fields.pszText;
    if (fields.mask & TVIF_PARAM) item.param = fields.lParam;
    if (fields.mask & TVIF_CHILDREN) item.children_indicator = fields.cChildren;

    handle = reinterpret_cast<HTREEITEM>(g_next_item++);
    siblings.insert(place, handle);
    const Item& stored = tree.items[handle_value(handle)] = std::move(item);
    views.push_back(make_item_view(window, handle, stored));
    if (!at_root) {
      // The parent may have just gained its button.
      views.push_back(make_item_view(window, stored.parent, *find_item(tree, stored.parent)));
    }
  }
  publish_items(views);
  return reinterpret_cast<LRESULT>(handle);
}

LRESULT next_item(HWND window, WPARAM code, HTREEITEM item) {
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  Tree* const tree_pointer = tree_of(st, window);
  if (tree_pointer == nullptr) return 0;
  Tree& tree = *tree_pointer;
  auto first_of = [](const std::vector<HTREEITEM>& list) {
    return list.empty() ? nullptr : list.front();
  };
  HTREEITEM answer = nullptr;
  if (code == TVGN_ROOT) {
    answer = first_of(tree.roots);
  } else if (code == TVGN_CARET) {
    answer = tree.caret;
  } else if (code == TVGN_CHILD && (item == nullptr || item == TVI_ROOT)) {
    answer = first_of(tree.roots);
  } else if (const Item* found = find_item(tree, item)) {
    if (code == TVGN_CHILD) {
      answer = first_of(found->children);
    } else if (code == TVGN_PARENT) {
      answer = found->parent;
    } else if (code == TVGN_NEXT) {
      const Item* parent = find_item(tree, found->parent);
      const std::vector<HTREEITEM>& siblings = parent != nullptr ? parent->children : tree.roots;
      auto place = std::find(siblings.begin(), siblings.end(), item);
      if (place != siblings.end() && place + 1 != siblings.end()) answer = *(place + 1);
    }
  }
  return reinterpret_cast<LRESULT>(answer);
}

LRESULT get_item(HWND window, TVITEMW* fields) {
  if (fields == nullptr) return FALSE;
  detail::State& st = detail::state();
  std::lock_guard<std::mutex> lock(st.mutex);
  Tree* const tree_pointer = tree_of(st, window);
  if (tree_pointer == nullptr) return FALSE;
  Tree& tree = *tree_pointer;
  const Item* item = find_item(tree, fields->hItem);
  if (item == nullptr) return FALSE;
  if ((fields->mask & TVIF_TEXT) && fields->pszText != nullptr && fields->cchTextMax > 0) {
    const std::size_t count =
        std::min(item->text.size(), static_cast<std::size_t>(fields->cchTextMax) - 1);
    std::copy_n(item->text.data(), count, fields->pszText);
    fields->pszText[count] = 0;
  }
  if (fields->mask & TVIF_PARAM) fields->lParam = item->param;
  if (fields->mask & TVIF_CHILDREN) fields->cChildren = item->children_indicator;
  if (fields->mask & TVIF_STATE)
    fields->state = describe(tree, fields->hItem).state & fields->stateMask;
  return TRUE;
}

LRESULT set_item(HWND window, const TVITEMW* fields) {
  if (fields == nullptr) return FALSE;
  std::vector<TreeItemView> views;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return FALSE;
    Tree& tree = *tree_pointer;
    Item* item = find_item(tree, fields->hItem);
    if (item == nullptr) return FALSE;
    if ((fields->mask & TVIF_TEXT) && fields->pszText != nullptr) item->text = fields->pszText;
    if (fields->mask & TVIF_PARAM) item->param = fields->lParam;
    if (fields->mask & TVIF_CHILDREN) item->children_indicator = fields->cChildren;
    views.push_back(make_item_view(window, fields->hItem, *item));
  }
  publish_items(views);
  return TRUE;
}

// Ends the open edit of item: with the edited text, or cancelled (nullopt).
// Windows' rule: the parent's answer 0 declines the text, non-zero takes it.
void end_edit(HWND window, HTREEITEM item, std::optional<std::u16string> text) {
  if (text && text->size() > kMaxEditedLabelUnits) text.reset();
  NMTVDISPINFOW info{};
  std::vector<char16_t> buffer;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return;
    Tree& tree = *tree_pointer;
    if (item == nullptr || tree.editing != item) return;  // not the open edit
    tree.editing = nullptr;
    info.item = describe(tree, item);
    info.item.mask = TVIF_TEXT | TVIF_HANDLE | TVIF_PARAM;
    if (text) {
      buffer.assign(text->begin(), text->end());
      buffer.push_back(0);
      info.item.pszText = buffer.data();
      info.item.cchTextMax = static_cast<int>(buffer.size());
    }
  }
  if (const auto display = current_display()) display->tree_edit_changed(window, nullptr, "");
  if (info.item.hItem == nullptr) return;  // the item is gone
  const LRESULT answer = notify_parent(window, info.hdr, TVN_ENDLABELEDITW);
  if (!text || answer == 0) return;
  std::vector<TreeItemView> views;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return;
    Tree& tree = *tree_pointer;
    Item* found = find_item(tree, item);
    if (found == nullptr) return;
    found->text = *text;
    views.push_back(make_item_view(window, item, *found));
  }
  publish_items(views);
}

// TVM_EDITLABELW: asks the parent (TVN_BEGINLABELEDITW, non-zero refuses),
// then opens the label editor on the display.
LRESULT edit_label(HWND window, HTREEITEM item) {
  HTREEITEM open_edit = nullptr;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return 0;
    Tree& tree = *tree_pointer;
    if (find_item(tree, item) == nullptr) return 0;
    if (tree.editing == item) return reinterpret_cast<LRESULT>(window);
    open_edit = tree.editing;
  }
  // The text of an edit in progress lives on the display, so switching ends
  // that edit as cancelled.
  if (open_edit != nullptr) end_edit(window, open_edit, std::nullopt);

  NMTVDISPINFOW info{};
  std::vector<char16_t> buffer;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return 0;
    Tree& tree = *tree_pointer;
    const Item* found = find_item(tree, item);
    if (found == nullptr) return 0;
    buffer.assign(found->text.begin(), found->text.end());
    buffer.push_back(0);
    info.item = describe(tree, item);
    info.item.mask |= TVIF_TEXT;
    info.item.pszText = buffer.data();
    info.item.cchTextMax = static_cast<int>(buffer.size());
  }
  if (notify_parent(window, info.hdr, TVN_BEGINLABELEDITW) != 0) return 0;
  std::string text;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return 0;
    Tree& tree = *tree_pointer;
    const Item* found = find_item(tree, item);
    if (found == nullptr || tree.editing != nullptr) return 0;
    tree.editing = item;
    text = utf16_to_utf8(found->text);
  }
  if (const auto display = current_display()) display->tree_edit_changed(window, item, text);
  return reinterpret_cast<LRESULT>(window);  // non-null: the editor is open
}

void select_item(HWND window, HTREEITEM item) {
  NMTREEVIEWW change{};
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return;
    Tree& tree = *tree_pointer;
    if (find_item(tree, item) == nullptr || tree.caret == item) return;
    change.action = TVC_BYMOUSE;
    change.itemOld = describe(tree, tree.caret);
    tree.caret = item;  // set before the notification, which may ask for it
    change.itemNew = describe(tree, item);
  }
  if (const auto display = current_display()) display->tree_caret_changed(window, item);
  notify_parent(window, change.hdr, TVN_SELCHANGEDW);
}

void expand_item(HWND window, HTREEITEM item, UINT action) {
  NMTREEVIEWW change{};
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return;
    Tree& tree = *tree_pointer;
    const Item* found = find_item(tree, item);
    if (found == nullptr) return;
    if (action == TVE_EXPAND && (found->expanded || !has_button(*found))) return;
    if (action == TVE_COLLAPSE && !found->expanded) return;
    change.action = action;
    change.itemNew = describe(tree, item);
  }
  if (notify_parent(window, change.hdr, TVN_ITEMEXPANDINGW) != 0) return;  // vetoed
  std::vector<TreeItemView> views;
  {
    detail::State& st = detail::state();
    std::lock_guard<std::mutex> lock(st.mutex);
    Tree* const tree_pointer = tree_of(st, window);
    if (tree_pointer == nullptr) return;
    Tree& tree = *tree_pointer;
    Item* found = find_item(tree, item);
    if (found == nullptr) return;
    // An item that still has no children after its notification stays
    // collapsed with its button, so the next click asks again.
    const bool expanded = action == TVE_EXPAND ? !found->children.empty() : false;
    if (expanded == found->expanded) return;
    found->expanded = expanded;
    views.push_back(make_item_view(window, item, *found));
  }
  publish_items(views);
}

LRESULT key_down(HWND window, WPARAM virtual_key) {
  NMTVKEYDOWN key{};
  key.wVKey = static_cast<WORD>(virtual_key);
  notify_parent(window, key.hdr, TVN_KEYDOWN);
  return 0;
}

}  // namespace

namespace detail {

LRESULT tree_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case TVM_INSERTITEMW:
      return insert_item(window, reinterpret_cast<const TVINSERTSTRUCTW*>(lparam));
    case TVM_GETNEXTITEM:
      return next_item(window, wparam, reinterpret_cast<HTREEITEM>(lparam));
    case TVM_GETITEMW:
      return get_item(window, reinterpret_cast<TVITEMW*>(lparam));
    case TVM_SETITEMW:
      return set_item(window, reinterpret_cast<const TVITEMW*>(lparam));
    case TVM_EDITLABELW:
      return edit_label(window, reinterpret_cast<HTREEITEM>(lparam));
    case WM_KEYDOWN:
      return key_down(window, wparam);
    case WM_DESTROY: {
      State& st = state();
      std::lock_guard<std::mutex> lock(st.mutex);
      g_trees.erase(handle_value(window));
      return 0;
    }
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

void tree_user_action(const TreeAction& action) {
  switch (action.kind) {
    case TreeActionKind::kSelect:
      select_item(action.tree, action.item);
      return;
    case TreeActionKind::kExpand:
      expand_item(action.tree, action.item, TVE_EXPAND);
      return;
    case TreeActionKind::kCollapse:
      expand_item(action.tree, action.item, TVE_COLLAPSE);
      return;
    case TreeActionKind::kBeginEdit: {
      State& st = state();
      std::unique_lock<std::mutex> lock(st.mutex);
      const WindowRecord* record = find_window(st, action.tree);
      if (record == nullptr || !(record->style & TVS_EDITLABELS)) return;  // editing not allowed
      lock.unlock();
      edit_label(action.tree, action.item);
      return;
    }
    case TreeActionKind::kEndEdit:
      end_edit(action.tree, action.item, utf8_to_utf16(action.text));
      return;
    case TreeActionKind::kCancelEdit:
      end_edit(action.tree, action.item, std::nullopt);
      return;
  }
}

void forget_trees() {
  g_trees.clear();
}

}  // namespace detail
}  // namespace korvel::win
