// The browsing windows without start-up: a host window with the engine and a
// "content" element, a tree popup with TreeWindowProc and its control, the
// executable's directory with the entry pages, copies of the forged sample
// archives and a list document scanned from them, its archives as root items.
// Dialogs take the answers a test queues (cancel when none is left); boxes are
// acknowledged.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "formats/shared_ui_state.h"
#include "formats/texture_display.h"
#include "platform/engine/htmlayout.h"
#include "platform/engine/view.h"
#include "platform/win/scripted_display.h"
#include "platform/win/win32.h"
#include "platform/win/window_system.h"
#include "shell/idx_list_document.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/cli.h"
#include "ui/archive_tree_view.h"
#include "ui/dom_element.h"

namespace korvel::test {

class BrowseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    win::reset_window_system();
    reset_shared_ui_state();
    display = std::make_shared<win::ScriptedDisplay>();
    win::set_display(display);
    display->set_answerer(
        [this](const win::ModalRequest& request) -> std::optional<win::ModalAnswer> {
          if (request.kind == win::ModalKind::kMessageBox) return win::ModalAnswer{true, ""};
          if (answers.empty()) return win::ModalAnswer{};
          win::ModalAnswer next{true, answers.front()};
          answers.pop_front();
          return next;
        });

    const std::string pages = dir.path() + "/exe/korvel_res/frame_content";
    std::filesystem::create_directories(pages);
    write_text(pages + "/g1tg.html", "<img id=\"picture\" src=\"korvel:G1TG\">");
    write_text(pages + "/g1m_.html", "<div id=\"mywindow_dx\"></div>");
    std::strcpy(g_exeDir, (dir.path() + "/exe").c_str());
    for (const auto& sample :
         std::filesystem::directory_iterator(KORVEL_BUILD_DIR "/korvel_res/samples")) {
      std::filesystem::copy_file(sample.path(), dir.file(sample.path().filename().string()));
    }

    win::WNDCLASSW host_class{};
    host_class.lpfnWndProc = &host_proc;
    host_class.lpszClassName = u"korvel test host";
    win::RegisterClassW(&host_class);
    host = win::CreateWindowExW(0, u"korvel test host", u"", win::WS_POPUP, 0, 0, 400, 300, nullptr,
                                nullptr, nullptr, nullptr);
    win::ShowWindow(host, win::SW_SHOW);
    engine::HTMLayoutSetCallback(host, &host_notify, nullptr);
    const std::string main_page =
        "<div id=\"content\"></div><button id=\"pick_up_pic\"></button>"
        "<button id=\"change_pic\"></button>";
    engine::HTMLayoutLoadHtmlEx(host, reinterpret_cast<const engine::BYTE*>(main_page.data()),
                                static_cast<engine::UINT>(main_page.size()), u"/korvel_res/");
    g_contentElement = by_id("content");

    win::WNDCLASSW tree_class{};
    tree_class.lpfnWndProc = &TreeWindowProc;
    tree_class.lpszClassName = u"korvel_engine_v1 treeview";
    win::RegisterClassW(&tree_class);
    const win::HWND popup =
        win::CreateWindowExW(0, u"korvel_engine_v1 treeview", u"", win::WS_POPUP, 0, 0, 200, 300,
                             nullptr, nullptr, nullptr, nullptr);
    win::ShowWindow(popup, win::SW_SHOW);
    g_hwndTree =
        win::CreateWindowExW(0, win::WC_TREEVIEWW, nullptr, 0x5000002F, 0, 0, 200, 300, popup,
                             reinterpret_cast<win::HMENU>(std::uintptr_t{0x213}), nullptr, nullptr);
  }

  void TearDown() override { win::reset_window_system(); }

  // Scans the named sample archives into a list document and shows its
  // archives as root items, as start-up does.
  void load_list(const std::vector<std::string>& archives) {
    for (const std::string& name : archives) {
      ASSERT_EQ(run_cli({"scan", dir.file(name + ".idx"), "--into", list_path(), "--all"}), 0);
    }
    list.load(list_path().c_str(), nullptr);
    ASSERT_NE(list.root(), nullptr);
    for (ListNode* node = list.root()->first_node(); node; node = node->next_sibling()) {
      if (node->type() != rapidxml::node_element) continue;
      const std::u16string label = win::utf8_to_utf16(node_text(node));
      win::TVINSERTSTRUCTW insert{};
      insert.hInsertAfter = win::TVI_ROOT;
      insert.item.mask = win::TVIF_TEXT | win::TVIF_PARAM | win::TVIF_CHILDREN;
      insert.item.pszText = const_cast<char16_t*>(label.c_str());
      insert.item.cChildren = 1;
      insert.item.lParam = reinterpret_cast<win::LPARAM>(node);
      win::SendMessageW(g_hwndTree, win::TVM_INSERTITEMW, 0,
                        reinterpret_cast<win::LPARAM>(&insert));
    }
  }

  std::string list_path() const { return dir.file("list.xml"); }

  void act(win::HTREEITEM item, win::TreeActionKind kind, const std::string& text = {}) {
    display->tree(g_hwndTree, item, kind, text);
    pump();
  }
  void pump() {
    win::MSG msg{};
    while (win::next_pending_message(&msg)) {
      win::TranslateMessage(&msg);
      win::DispatchMessageW(&msg);
    }
  }

  std::vector<win::HTREEITEM> children(win::HTREEITEM parent) const {
    return display->tree_children(g_hwndTree, parent);
  }
  std::string label(win::HTREEITEM item) const { return display->tree_item(item)->text; }
  ListNode* node_of(win::HTREEITEM item) const {
    win::TVITEMW fields{};
    fields.mask = win::TVIF_PARAM;
    fields.hItem = item;
    win::SendMessageW(g_hwndTree, win::TVM_GETITEMW, 0, reinterpret_cast<win::LPARAM>(&fields));
    return reinterpret_cast<ListNode*>(fields.lParam);
  }
  // The first item below parent (expanding on the way) whose label starts with prefix.
  win::HTREEITEM find(win::HTREEITEM parent, const std::string& prefix) {
    act(parent, win::TreeActionKind::kExpand);
    for (win::HTREEITEM item : children(parent)) {
      if (label(item).rfind(prefix, 0) == 0) return item;
    }
    return nullptr;
  }
  // Follows labels from the root level down, expanding each step.
  win::HTREEITEM path_to(const std::vector<std::string>& labels) {
    win::HTREEITEM item = nullptr;
    for (const std::string& prefix : labels) {
      if (item == nullptr) {
        for (win::HTREEITEM root : children(nullptr)) {
          if (label(root).rfind(prefix, 0) == 0) item = root;
        }
      } else {
        item = find(item, prefix);
      }
      if (item == nullptr) return nullptr;
    }
    return item;
  }

  engine::HELEMENT by_id(const char* id) const {
    engine::HELEMENT root = nullptr;
    engine::HTMLayoutGetRootElement(host, &root);
    return htmlayout::dom::element(root).get_element_by_id(id);
  }
  // What the engine was last answered for uri, forgotten once taken; nullopt
  // when it was not answered since.
  std::optional<std::vector<engine::BYTE>> take_delivered(const std::u16string& uri) const {
    engine::View* view = engine::find_view(host);
    const auto found = view->resources.find(uri);
    if (found == view->resources.end()) return std::nullopt;
    std::vector<engine::BYTE> bytes = std::move(found->second);
    view->resources.erase(found);
    return bytes;
  }
  // The message boxes shown so far, by text.
  std::vector<std::string> boxes() const {
    std::vector<std::string> texts;
    for (const win::ModalRequest& request : display->modal_history()) {
      if (request.kind == win::ModalKind::kMessageBox) {
        EXPECT_EQ(request.title, "korvel info");
        EXPECT_EQ(request.owner, g_hwndTree);
        texts.push_back(request.text);
      }
    }
    return texts;
  }

  static int run_cli(const std::vector<std::string>& arguments) {
    std::ostringstream out, err;
    return cli::run_cli(arguments, out, err);
  }
  static void write_text(const std::string& path, const std::string& text) {
    write_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
  }

  TempDir dir;
  std::shared_ptr<win::ScriptedDisplay> display;
  win::HWND host = nullptr;
  IdxListDocument list;
  std::deque<std::string> answers;  // file names for the next dialogs

 private:
  static win::LRESULT host_proc(win::HWND window, win::UINT message, win::WPARAM wparam,
                                win::LPARAM lparam) {
    engine::BOOL handled = 0;
    const win::LRESULT result = engine::HTMLayoutProcND(window, message, wparam, lparam, &handled);
    return handled != 0 ? result : win::DefWindowProcW(window, message, wparam, lparam);
  }
  static win::LRESULT host_notify(win::UINT, win::WPARAM, win::LPARAM lparam, win::LPVOID) {
    auto* header = reinterpret_cast<win::NMHDR*>(lparam);
    if (header->code == engine::HLN_LOAD_DATA) {
      return LoadDataHandler(reinterpret_cast<engine::NMHL_LOAD_DATA*>(lparam));
    }
    return 0;
  }
};

}  // namespace korvel::test
