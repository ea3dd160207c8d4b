// A host window for engine and user-interface tests: a fresh window system
// with a scripted display, one shown window whose procedure hands every
// message to HTMLayoutProcND first, a host callback that serves pages and
// resources from a table and answers attach requests through a replaceable
// function, and helpers to find elements and report layouts.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/engine/htmlayout.h"
#include "platform/engine/layout_report.h"
#include "platform/engine/text_utf.h"
#include "platform/win/win32.h"
#include "tests/support/scripted_display.h"

namespace korvel::test {

using engine::HELEMENT;

// The element's "id", or "" without one.
inline std::string id_of(HELEMENT he) {
  engine::LPCWSTR value = nullptr;
  engine::HTMLayoutGetAttributeByName(he, "id", &value);
  return value == nullptr ? "" : engine::utf16_to_utf8(value);
}

struct DataRequest {
  std::u16string uri;
  engine::UINT type;
  HELEMENT initiator;
};

class PageHost : public ::testing::Test {
 protected:
  static constexpr const char16_t* kHostClass = u"korvel engine test host";
  static constexpr int kHostX = 100;
  static constexpr int kHostY = 50;

  void SetUp() override {
    win::reset_window_system();
    display = std::make_shared<win::ScriptedDisplay>();
    win::set_display(display);
    win::WNDCLASSW window_class{};
    window_class.style = win::CS_DBLCLKS;
    window_class.lpfnWndProc = &host_proc;
    window_class.lpszClassName = kHostClass;
    ASSERT_NE(win::RegisterClassW(&window_class), 0);
    current() = this;
    window = win::CreateWindowExW(0, kHostClass, u"", win::WS_POPUP, kHostX, kHostY, 400, 300,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    win::ShowWindow(window, win::SW_SHOW);
    engine::HTMLayoutSetCallback(window, &host_notify, this);
  }

  void TearDown() override {
    if (win::IsWindow(window)) win::DestroyWindow(window);
    current() = nullptr;
    win::reset_window_system();
  }

  void load(const std::string& html, const char16_t* base = u"/pages/") {
    engine::HTMLayoutLoadHtmlEx(window, reinterpret_cast<const engine::BYTE*>(html.data()),
                                static_cast<engine::UINT>(html.size()), base);
  }

  // Dispatches everything pending, as the program's loop does.
  void pump() {
    win::MSG msg{};
    while (win::next_pending_message(&msg)) {
      if (msg.message == win::WM_QUIT) continue;
      win::TranslateMessage(&msg);
      win::DispatchMessageW(&msg);
    }
  }

  HELEMENT root() const {
    HELEMENT found = nullptr;
    engine::HTMLayoutGetRootElement(window, &found);
    return found;
  }

  // The first element whose id is id: the root itself, or below from (the
  // root by default).
  HELEMENT by_id(const char* id, HELEMENT from = nullptr) const {
    if (from == nullptr && id_of(root()) == id) return root();
    HELEMENT found = nullptr;
    const std::u16string wide = engine::utf8_to_utf16(id);
    engine::HTMLayoutVisitElements(
        from != nullptr ? from : root(), nullptr, "id", wide.c_str(),
        [](HELEMENT he, engine::LPVOID param) -> engine::BOOL {
          *static_cast<HELEMENT*>(param) = he;
          return 1;
        },
        &found, 0);
    return found;
  }

  // The ids of every match of selector below from, in document order.
  std::vector<std::string> ids_matching(const char* selector, HELEMENT from = nullptr) const {
    std::vector<std::string> ids;
    engine::HTMLayoutSelectElements(from != nullptr ? from : root(), selector, &collect_id, &ids);
    return ids;
  }

  engine::UINT state_of(const char* id) const {
    engine::UINT state = 0;
    engine::HTMLayoutGetElementState(by_id(id), &state);
    return state;
  }

  bool has_attribute(const char* id, const char* name) const {
    engine::LPCWSTR value = nullptr;
    engine::HTMLayoutGetAttributeByName(by_id(id), name, &value);
    return value != nullptr;
  }

  // Reports a box for each listed id (visible unless listed hidden), as the
  // browser does after laying the page out.
  struct Box {
    const char* id;
    win::RECT box;
    bool visible = true;
  };
  void report(const std::vector<Box>& boxes, engine::UINT min_width = 0,
              engine::UINT min_height = 0) {
    engine::LayoutReport layout;
    layout.min_width = min_width;
    layout.min_height = min_height;
    for (const Box& box : boxes) {
      engine::UINT uid = 0;
      engine::HTMLayoutGetElementUID(by_id(box.id), &uid);
      layout.boxes.push_back(engine::ReportedBox{uid, box.box, box.visible});
    }
    engine::apply_layout_report(window, layout);
  }

  // Input as the display sends it: client coordinates of the host window.
  void mouse(win::MouseAction action, int x, int y) {
    display->mouse(window, action, kHostX + x, kHostY + y);
    pump();
  }
  void click(int x, int y) {
    display->click(window, kHostX + x, kHostY + y);
    pump();
  }
  void key_down(int virtual_key) {
    win::input_key(win::KeyInput{window, virtual_key, true});
    pump();
  }
  void key_up(int virtual_key) {
    win::input_key(win::KeyInput{window, virtual_key, false});
    pump();
  }
  void key(int virtual_key) {
    key_down(virtual_key);
    key_up(virtual_key);
  }

  std::shared_ptr<win::ScriptedDisplay> display;
  win::HWND window = nullptr;
  std::map<std::u16string, std::string> resources;  // served by URI
  std::vector<DataRequest> requests;
  std::vector<std::string> attach_requests;
  // Answers attach requests; none attaches by default.
  std::function<void(engine::NMHL_ATTACH_BEHAVIOR&)> attach;
  // HTMLayoutProcND's answer for each message the host window got.
  std::vector<std::pair<win::UINT, bool>> engine_answers;

 private:
  static PageHost*& current() {
    static PageHost* host = nullptr;
    return host;
  }

  static engine::BOOL collect_id(HELEMENT he, engine::LPVOID param) {
    static_cast<std::vector<std::string>*>(param)->push_back(id_of(he));
    return 0;
  }

  static win::LRESULT host_proc(win::HWND hwnd, win::UINT message, win::WPARAM wparam,
                                win::LPARAM lparam) {
    engine::BOOL handled = 0;
    const win::LRESULT result = engine::HTMLayoutProcND(hwnd, message, wparam, lparam, &handled);
    if (current() != nullptr) current()->engine_answers.emplace_back(message, handled != 0);
    if (handled != 0) return result;
    return win::DefWindowProcW(hwnd, message, wparam, lparam);
  }

  static win::LRESULT host_notify(win::UINT /*message*/, win::WPARAM /*wparam*/, win::LPARAM lparam,
                                  win::LPVOID param) {
    auto* host = static_cast<PageHost*>(param);
    const auto* header = reinterpret_cast<const win::NMHDR*>(lparam);
    if (header->code == engine::HLN_LOAD_DATA) {
      const auto* request = reinterpret_cast<const engine::NMHL_LOAD_DATA*>(lparam);
      host->requests.push_back(DataRequest{request->uri, request->dataType, request->initiator});
      auto it = host->resources.find(request->uri);
      if (it != host->resources.end()) {
        engine::HTMLayoutDataReady(header->hwndFrom, request->uri,
                                   reinterpret_cast<const engine::BYTE*>(it->second.data()),
                                   static_cast<engine::DWORD>(it->second.size()));
      }
    } else if (header->code == engine::HLN_ATTACH_BEHAVIOR) {
      auto* request = reinterpret_cast<engine::NMHL_ATTACH_BEHAVIOR*>(lparam);
      host->attach_requests.emplace_back(request->behaviorName);
      if (host->attach) host->attach(*request);
    }
    return 0;
  }
};

}  // namespace korvel::test
