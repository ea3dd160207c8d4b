// The screen behind the window system. The window system publishes what a
// screen needs to draw its windows, the tree controls and the modal boxes, and
// takes back what the user does there. A display is called from any thread
// (the UI thread, the model viewer's, a waiting caller's) and never while the
// window system holds its lock, so calls from different threads are not
// ordered among themselves: a frame may arrive after its window's
// window_destroyed (drop it), a modal request after its owner's (its
// modal_closed follows). Its input functions below may be called from any
// thread and never run a window procedure themselves: input is queued for the
// UI thread, answers wake the caller that waits for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/device_frames.h"
#include "platform/win/tree_view.h"
#include "platform/win/win_types.h"

namespace korvel::win {

// One window as the screen shows it. Text is UTF-8.
struct WindowView {
  HWND window = nullptr;
  HWND parent = nullptr;  // null for a top-level window
  std::string class_name;
  std::string title;
  DWORD style = 0;
  DWORD ex_style = 0;
  RECT rect{};           // desktop coordinates
  bool visible = false;  // its own state; a child shows only while its parent does
};

// One tree item. Items keep the place they were inserted at.
struct TreeItemView {
  HWND tree = nullptr;
  HTREEITEM item = nullptr;
  HTREEITEM parent = nullptr;    // null at root level
  HTREEITEM previous = nullptr;  // sibling it follows; null when first
  std::string text;
  bool has_button = false;
  bool expanded = false;
};

enum class ModalKind { kOpenFile, kSaveFile, kMessageBox, kConsoleMessage };

struct FileFilter {
  std::string description;
  std::string pattern;
};

struct ModalRequest {
  std::uint64_t id = 0;
  ModalKind kind = ModalKind::kMessageBox;
  HWND owner = nullptr;  // takes no input while the request is open
  std::string title;     // dialog title or box caption
  std::string text;      // box or console text
  std::vector<FileFilter> filters;
  std::string initial_file_name;
  std::uint32_t flags = 0;  // OFN_* of a file dialog, MB_* of a box
};

struct ModalAnswer {
  bool accepted = false;  // false: cancelled or closed
  std::string file_name;  // the chosen path, for file dialogs
};

class Display {
 public:
  virtual ~Display() = default;

  virtual void window_changed(const WindowView& view) = 0;  // created or changed
  virtual void window_destroyed(HWND window) = 0;           // with its tree items
  virtual void z_order_changed(const std::vector<HWND>& top_level_top_first) = 0;

  virtual void tree_item_changed(const TreeItemView& view) = 0;  // inserted or changed
  virtual void tree_caret_changed(HWND tree, HTREEITEM item) = 0;
  // The label editor opened on item with text; a null item closes it.
  virtual void tree_edit_changed(HWND tree, HTREEITEM item, const std::string& text) = 0;

  virtual void modal_opened(const ModalRequest& request) = 0;
  virtual void modal_closed(std::uint64_t id) = 0;

  // The 3-D device drawing into window made or dropped a resource; frames name
  // resources by id, and a resource is created before any frame names it.
  virtual void device_resource_created(HWND window, const DeviceResource& resource) = 0;
  virtual void device_resource_released(HWND window, std::uint64_t id) = 0;
  // A frame the 3-D device presented in window.
  virtual void frame_published(HWND window, const DeviceFrame& frame) = 0;

  // On the UI thread, each time its queue ran dry and before it waits: the
  // place to look at what the UI thread owns (pages) and publish what changed.
  // Must not run a window procedure.
  virtual void ui_thread_idle() {}
};

// Installs the screen; null leaves the window system headless. A display
// learns of windows only from changes, so it is installed before the first.
// Without a display nobody can answer a modal request: one open when the
// display goes, or one made while there is none, reads as cancelled.
void set_display(std::shared_ptr<Display> display);

enum class MouseAction { kMove, kLeftDown, kLeftUp, kLeftDoubleClick };

struct MouseInput {
  HWND window = nullptr;  // the window under the pointer (or the one that captured it)
  MouseAction action = MouseAction::kMove;
  int x = 0;  // desktop coordinates
  int y = 0;
  // The page element the display found under the pointer (its data-korvel-key);
  // 0 leaves the choice to the page's reported boxes.
  std::uint32_t element_key = 0;
};

struct KeyInput {
  HWND window = nullptr;  // the window with the keyboard focus
  int virtual_key = 0;
  bool down = true;
};

enum class TreeActionKind { kSelect, kExpand, kCollapse, kBeginEdit, kEndEdit, kCancelEdit };

struct TreeAction {
  HWND tree = nullptr;
  HTREEITEM item = nullptr;
  TreeActionKind kind = TreeActionKind::kSelect;
  std::string text;  // the edited label, for kEndEdit
};

// Input that names a window or item that no longer exists, or a window that a
// modal request blocks, is dropped when the UI thread takes it.
void input_mouse(const MouseInput& input);
void input_key(const KeyInput& input);
void input_tree_action(const TreeAction& input);
// The user closes a window (as Alt+F4 does): WM_CLOSE, whose default
// handling destroys the window.
void input_close_window(HWND window);
void input_desktop_size(int width, int height);
// An answer to a request that is no longer open is ignored.
void answer_modal(std::uint64_t id, const ModalAnswer& answer);
void input_frame_taken(HWND window, std::uint64_t number);

}  // namespace korvel::win
