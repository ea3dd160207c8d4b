// Internal: the state shared by the window system's files, behind one lock.
// Rule: no window procedure and no display is ever called with the lock held,
// and every record is looked up again by handle after such a call.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win/display.h"
#include "platform/win/win_types.h"
#include "platform/win/window_registry.h"

namespace korvel::win::detail {

constexpr std::uintptr_t kDesktopHandle = 0x10000;
constexpr std::uintptr_t kFirstWindowHandle = 0x10010;
constexpr int kDefaultDesktopWidth = 1280;
constexpr int kDefaultDesktopHeight = 800;

struct ClassRecord {
  std::u16string name;
  WNDPROC proc = nullptr;
  UINT style = 0;
  HINSTANCE instance = nullptr;
  bool built_in = false;
};

struct WindowRecord {
  HWND handle = nullptr;
  std::u16string class_name;
  WNDPROC proc = nullptr;
  UINT class_style = 0;
  std::u16string title;
  DWORD style = 0;
  DWORD ex_style = 0;
  HWND parent = nullptr;  // WS_CHILD windows only
  UINT_PTR control_id = 0;
  int x = 0;  // relative to the parent's client area, or the desktop
  int y = 0;
  int width = 0;
  int height = 0;
  bool visible = false;
  bool invalid = false;
  RECT invalid_rect{};  // client coordinates, valid while invalid
  bool painting = false;
  RECT paint_rect{};  // what the retrieved WM_PAINT covers, for BeginPaint
  bool destroy_started = false;
  std::vector<HWND> children;
};

struct InputEvent {
  enum class Kind { kMouse, kKey, kTree, kClose };
  Kind kind = Kind::kMouse;
  MouseInput mouse;
  KeyInput key;
  TreeAction tree;
  HWND close = nullptr;
};

struct ModalRecord {
  ModalRequest request;
  bool blocks_all = false;  // a console message on the UI thread freezes every window
  bool answered = false;
  ModalAnswer answer;
};

struct DragState {
  bool active = false;
  HWND window = nullptr;
  POINT start_cursor{};
  POINT start_origin{};
};

struct FrameState {
  std::uint64_t published = 0;
  std::uint64_t taken = 0;
};

struct State {
  std::mutex mutex;
  std::condition_variable changed;  // queue, modal answers, frames taken
  std::shared_ptr<Display> display;
  bool has_ui_thread = false;
  std::thread::id ui_thread;

  std::vector<ClassRecord> classes;
  std::map<std::uintptr_t, WindowRecord> windows;
  std::vector<HWND> z_order;  // top-level windows, top first
  std::uintptr_t next_window = kFirstWindowHandle;

  std::deque<MSG> posted;
  std::deque<InputEvent> input;
  bool quit_posted = false;
  int quit_code = 0;

  std::map<std::uint64_t, ModalRecord> modals;
  std::uint64_t next_modal = 1;

  std::map<std::uintptr_t, FrameState> frames;

  int desktop_width = kDefaultDesktopWidth;
  int desktop_height = kDefaultDesktopHeight;
  POINT cursor{};
  std::uint32_t mouse_element_key = 0;  // of the mouse message retrieved last
  bool left_button_down = false;
  DragState drag;
};

State& state();

inline std::uintptr_t handle_value(const void* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// With the lock held.
WindowRecord* find_window(State& st, HWND window);
bool claim_ui_thread(State& st);  // true when the caller is (now) the UI thread
bool on_ui_thread(const State& st);
POINT client_origin(State& st, const WindowRecord& record);   // desktop coordinates
bool window_is_shown(State& st, const WindowRecord& record);  // it and its ancestors
HWND root_window(State& st, HWND window);
bool blocked_by_modal(State& st, HWND window);  // input to it is refused
WindowView make_view(State& st, const WindowRecord& record);
// Takes the WM_PAINT of the first shown invalid window, validating it.
bool take_paint(State& st, MSG* msg);

// What to tell the display, gathered while the lock is held and sent after
// it is released.
struct Publication {
  std::shared_ptr<Display> display;
  std::vector<WindowView> changed;
  std::vector<HWND> destroyed;
  bool z_order_changed = false;
  std::vector<HWND> z_order;

  void add_window_and_children(State& st, const WindowRecord& record);
  void add_z_order(State& st);
  void send() const;
};

bool class_name_equal(const std::u16string& first, const std::u16string& second);

// A coordinate held to ±kMaxWindowCoordinate; a size to 0..kMaxWindowCoordinate.
int held_coordinate(std::int64_t value);
int held_size(int value);

// Calls a window's procedure on the caller's thread; 0 when the window is gone.
LRESULT call_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

enum class Retrieved { kMessage, kQuit, kNothing };
// The core of GetMessageW (UI thread, lock not held). Stops with kNothing
// when stop (called with the lock held) answers true, or when nothing is
// pending and wait is false.
Retrieved retrieve_message(MSG* msg, bool wait, bool (*stop)(State&, std::uint64_t),
                           std::uint64_t stop_argument);

// Turns one input event into a message (true) or handles it in place
// (false). UI thread, lock not held.
bool input_to_message(const InputEvent& event, MSG* msg);

// Hooks of the built-in tree control (tree_control.cpp).
LRESULT tree_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void tree_user_action(const TreeAction& action);  // UI thread, lock not held
void forget_trees();                              // lock held

// Hooks of the default procedure (default_window_proc.cpp): true when a
// running caption drag took the mouse input. UI thread, lock not held.
bool drag_takes_mouse(const MouseInput& input);

}  // namespace korvel::win::detail
