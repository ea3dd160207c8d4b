// The program started in-process as start-up starts it, headless, for tests
// of the program and its windows: a scratch folder laid out like the build
// folder (korvel_res/ with the pages, the forged samples and the default list),
// made the current directory, an executable path inside it (so the list is
// written to <scratch>/korvel.xml), and a scripted display that acknowledges
// message boxes. Layout reports stand in for the browser's layout.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "formats/shared_ui_state.h"
#include "platform/engine/htmlayout.h"
#include "platform/engine/layout_report.h"
#include "platform/win/display.h"
#include "platform/win/win32.h"
#include "shell/program.h"
#include "tests/support/scripted_display.h"
#include "tests/support/temp_dir.h"
#include "ui/host_window.h"

#ifndef KORVEL_BUILD_DIR
#error "KORVEL_BUILD_DIR names the build folder that holds korvel_res/"
#endif

namespace korvel::test {

class ProgramFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    const fs::path built = fs::path(KORVEL_BUILD_DIR) / "korvel_res";
    ASSERT_TRUE(fs::exists(built / "default_idx_list.xml")) << "build korvel_samples first";
    // Each entry is linked, so a test can put its own page or list in place.
    fs::remove_all(resources());
    fs::create_directory(resources());
    for (const auto& entry : fs::directory_iterator(built)) {
      const std::string name = entry.path().filename().string();
      if (name == "CMakeFiles" || name.find("cmake") != std::string::npos) continue;
      fs::create_symlink(entry.path(), fs::path(resources()) / name);
    }
    previous_directory = fs::current_path();
    fs::current_path(scratch.path());

    win::reset_window_system();
    reset_shared_ui_state();
    display = std::make_shared<win::ScriptedDisplay>();
    display->set_answerer([](const win::ModalRequest& request) -> std::optional<win::ModalAnswer> {
      if (request.kind != win::ModalKind::kMessageBox) return std::nullopt;
      return win::ModalAnswer{true, {}};
    });
    win::set_display(display);
    options.module_path = scratch.file("korvel");
  }

  void TearDown() override {
    if (started && !finished) finish();
    started = finished = false;
    win::reset_window_system();
    reset_shared_ui_state();
    std::filesystem::current_path(previous_directory);
  }

  std::string resources() const { return scratch.file("korvel_res"); }
  std::string list_path() const { return scratch.file("korvel.xml"); }

  // Puts a file of the test's own in place of the built one.
  void replace_resource(const std::string& name, const std::string& text) {
    std::filesystem::remove(resources() + "/" + name);
    write_bytes(resources() + "/" + name, std::vector<std::uint8_t>(text.begin(), text.end()));
  }

  // Start-up, up to the message loop.
  void start() {
    ASSERT_EQ(start_program(&run, options), 0);
    started = true;
  }

  // Dispatches everything pending, as the loop does; true when WM_QUIT came.
  bool pump() {
    win::MSG msg{};
    while (win::next_pending_message(&msg)) {
      if (msg.message == win::WM_QUIT) {
        quit_code = static_cast<int>(msg.wParam);
        return true;
      }
      win::TranslateMessage(&msg);
      win::DispatchMessageW(&msg);
    }
    return false;
  }

  // The user closes the window; the loop ends and the exit runs. Answers the
  // exit code.
  int finish() {
    finished = true;
    win::input_close_window(g_hwndHost);
    EXPECT_TRUE(pump()) << "closing the window ends the loop";
    return finish_program(&run, quit_code);
  }

  engine::HELEMENT root() const {
    engine::HELEMENT found = nullptr;
    engine::HTMLayoutGetRootElement(g_hwndHost, &found);
    return found;
  }

  // The first element whose attribute has this value, frames included.
  engine::HELEMENT find(const char* attribute, const char* value) const {
    engine::HELEMENT found = nullptr;
    const std::u16string wide = win::utf8_to_utf16(value);
    engine::HTMLayoutVisitElements(
        root(), nullptr, attribute, wide.c_str(),
        [](engine::HELEMENT he, engine::LPVOID param) -> engine::BOOL {
          *static_cast<engine::HELEMENT*>(param) = he;
          return 1;
        },
        &found, 0);
    return found;
  }
  engine::HELEMENT by_id(const char* id) const { return find("id", id); }
  // A tab panel, by its name.
  engine::HELEMENT by_name(const char* name) const { return find("name", name); }

  struct Box {
    engine::HELEMENT element;
    win::RECT box;  // relative to the view
    bool visible = true;
  };
  // A layout report as the browser sends it after laying the page out.
  void report(const std::vector<Box>& boxes, engine::UINT min_width = 1200,
              engine::UINT min_height = 740) {
    engine::LayoutReport layout;
    layout.min_width = min_width;
    layout.min_height = min_height;
    for (const Box& box : boxes) {
      engine::UINT uid = 0;
      engine::HTMLayoutGetElementUID(box.element, &uid);
      layout.boxes.push_back(engine::ReportedBox{uid, box.box, box.visible});
    }
    engine::submit_layout_report(g_hwndHost, std::move(layout));
    pump();
  }

  win::RECT window_rect(win::HWND window) const {
    const auto view = display->window(window);
    return view ? view->rect : win::RECT{};
  }
  bool window_visible(win::HWND window) const {
    const auto view = display->window(window);
    return view && view->visible;
  }

  TempDir scratch;
  std::filesystem::path previous_directory;
  std::shared_ptr<win::ScriptedDisplay> display;
  StartOptions options;
  ProgramRun run;
  int quit_code = -1;
  bool started = false;
  bool finished = false;
};

}  // namespace korvel::test
