// Shared by the window-system tests: a fresh window system with a scripted
// display per test, a test window class whose procedure records what it gets
// and calls a per-test handler, and a pump that drains the queue.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/display.h"
#include "platform/win/win32.h"
#include "tests/support/scripted_display.h"

namespace korvel::win::testing {

struct Received {
  HWND window;
  UINT message;
  WPARAM wparam;
  LPARAM lparam;
};

// What a tree notification carried, copied while it was valid.
struct Notification {
  UINT code = 0;
  UINT_PTR control_id = 0;
  HWND from = nullptr;
  UINT action = 0;
  HTREEITEM item = nullptr;
  LPARAM item_data = 0;
  HTREEITEM old_item = nullptr;
  std::optional<std::u16string> text;
  WORD key = 0;
  HTREEITEM caret_during = nullptr;
};

using Handler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

inline std::vector<Received>& received() {
  static std::vector<Received> list;
  return list;
}
inline Handler& handler() {
  static Handler current;
  return current;
}

inline LRESULT test_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  received().push_back(Received{window, message, wparam, lparam});
  if (handler()) return handler()(window, message, wparam, lparam);
  return DefWindowProcW(window, message, wparam, lparam);
}

inline Notification read_notification(HWND tree, LPARAM lparam) {
  Notification out;
  const auto* header = reinterpret_cast<const NMHDR*>(lparam);
  out.code = header->code;
  out.control_id = header->idFrom;
  out.from = header->hwndFrom;
  if (out.code == TVN_ITEMEXPANDINGW || out.code == TVN_SELCHANGEDW) {
    const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lparam);
    out.action = change->action;
    out.item = change->itemNew.hItem;
    out.item_data = change->itemNew.lParam;
    out.old_item = change->itemOld.hItem;
  } else if (out.code == TVN_BEGINLABELEDITW || out.code == TVN_ENDLABELEDITW) {
    const auto* info = reinterpret_cast<const NMTVDISPINFOW*>(lparam);
    out.item = info->item.hItem;
    out.item_data = info->item.lParam;
    if (info->item.pszText != nullptr) out.text = std::u16string(info->item.pszText);
  } else if (out.code == TVN_KEYDOWN) {
    out.key = reinterpret_cast<const NMTVKEYDOWN*>(lparam)->wVKey;
  }
  out.caret_during =
      reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  return out;
}

class WindowTest : public ::testing::Test {
 protected:
  static constexpr const char16_t* kClass = u"korvel test window";
  static constexpr const char16_t* kDoubleClickClass = u"korvel test dblclk";

  void SetUp() override {
    reset_window_system();
    received().clear();
    handler() = nullptr;
    display = std::make_shared<ScriptedDisplay>();
    set_display(display);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &test_window_proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kClass;
    ASSERT_NE(RegisterClassW(&window_class), 0);
    window_class.style = CS_DBLCLKS;
    window_class.lpszClassName = kDoubleClickClass;
    ASSERT_NE(RegisterClassW(&window_class), 0);
  }

  void TearDown() override {
    handler() = nullptr;
    reset_window_system();
  }

  HWND popup(int x = 0, int y = 0, int width = 0, int height = 0, LPCWSTR title = u"") {
    return CreateWindowExW(0, kClass, title, WS_POPUP, x, y, width, height, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  }

  HWND tree_in(HWND parent, int control_id = 0x213, DWORD style = 0x5000002F) {
    return CreateWindowExW(0, WC_TREEVIEWW, nullptr, style, 0, 0, 100, 100, parent,
                           reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(control_id)),
                           GetModuleHandleW(nullptr), nullptr);
  }

  // Dispatches everything pending, as the program's loop would; answers the
  // WM_QUIT code when the queue handed one out.
  std::optional<int> pump() {
    MSG msg{};
    while (next_pending_message(&msg)) {
      if (msg.message == WM_QUIT) return static_cast<int>(msg.wParam);
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    return std::nullopt;
  }

  std::vector<Received> received_by(HWND window, UINT message) const {
    std::vector<Received> out;
    for (const Received& one : received()) {
      if (one.window == window && one.message == message) out.push_back(one);
    }
    return out;
  }

  std::shared_ptr<ScriptedDisplay> display;
};

}  // namespace korvel::win::testing
