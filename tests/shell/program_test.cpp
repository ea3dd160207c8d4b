// The program as a user starts it: the list it reads and writes, the windows
// and the page, on the forged samples with a scripted display.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "shell/module_paths.h"
#include "tests/support/program_fixture.h"

namespace korvel {
namespace {

using test::read_text;

void write_text(const std::string& path, const std::string& text) {
  test::write_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

struct RootItem {
  std::string text;
  bool has_button;
};

class Program : public test::ProgramFixture {
 protected:
  std::vector<RootItem> root_items() const {
    std::vector<RootItem> items;
    for (win::HTREEITEM item : display->tree_children(g_hwndTree, nullptr)) {
      const auto view = display->tree_item(item);
      items.push_back({view->text, view->has_button});
    }
    return items;
  }
};

TEST(ModulePaths, DirectoryAndListPath) {
  struct Case {
    const char* module;
    bool has_directory;
    const char* directory;
    const char* list;
  } cases[] = {
      {"/opt/korvel/korvel", true, "/opt/korvel", "/opt/korvel/korvel.xml"},
      {"/opt/korvel/tool.exe", true, "/opt/korvel", "/opt/korvel/tool.xml"},
      {"/home/me/build.d/korvel", true, "/home/me/build.d", "/home/me/build.d/korvel.xml"},
      {"/a.b/tool.v2.bin", true, "/a.b", "/a.b/tool.v2.xml"},
      {"/korvel", true, "", "/korvel.xml"},
      {"korvel", false, "", "korvel.xml"},
  };
  for (const Case& c : cases) {
    std::string directory;
    EXPECT_EQ(directory_of_module(c.module, &directory), c.has_directory) << c.module;
    if (c.has_directory) {
      EXPECT_EQ(directory, c.directory) << c.module;
    }
    EXPECT_EQ(list_path_for_module(c.module), c.list) << c.module;
  }
}

TEST_F(Program, StartsOnTheDefaultListAndWritesItBesideTheExecutable) {
  start();
  EXPECT_STREQ(g_exeDir, scratch.path().c_str());
  const auto host = display->window(g_hwndHost);
  ASSERT_TRUE(host);
  EXPECT_TRUE(host->visible);
  EXPECT_EQ(host->title, "korvel_engine_v1 2014-07-02 16:32");
  EXPECT_EQ(host->ex_style, win::WS_EX_LAYERED);
  EXPECT_NE(by_id("treeview"), nullptr);
  EXPECT_EQ(g_treeElement, by_id("treeview"));
  EXPECT_EQ(g_contentElement, by_id("content"));
  EXPECT_FALSE(window_visible(g_hwndModel));
  // The tab set got its behaviour through the host: the tree's panel is open.
  engine::UINT panel_state = 0;
  engine::HTMLayoutGetElementState(by_name("panel-id2"), &panel_state);
  EXPECT_NE(panel_state & engine::STATE_EXPANDED, 0u);

  // One expandable item per archive of the default list, in its order.
  const std::vector<RootItem> items = root_items();
  const std::vector<std::string> archives = {
      "containers.idx", "containers_big.idx", "game.idx",   "game_be.idx",  "models.idx",
      "models_be.idx",  "plain.idx",          "series.idx", "textures.idx", "textures_be.idx"};
  ASSERT_EQ(items.size(), archives.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].text, archives[i]);
    EXPECT_TRUE(items[i].has_button) << items[i].text;
  }

  EXPECT_EQ(finish(), 0);
  EXPECT_EQ(read_text(list_path()), read_text(resources() + "/default_idx_list.xml"));
}

TEST_F(Program, OnlyElementChildrenOfTheRootBecomeItems) {
  write_text(list_path(),
             "<other><x>not shown</x></other><xml_root>text<!-- note --><a>Alpha</a>more<b/>"
             "<![CDATA[data]]><c idx_file_path=\"c.idx\">Fish &amp; Chips</c></xml_root>");
  start();
  const std::vector<RootItem> items = root_items();
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "Alpha");
  EXPECT_EQ(items[1].text, "");
  EXPECT_EQ(items[2].text, "Fish & Chips");
  for (const RootItem& item : items) EXPECT_TRUE(item.has_button);
  EXPECT_EQ(finish(), 0);
  EXPECT_EQ(read_text(list_path()),
            std::string(kListDeclaration) +
                "<other><x>not shown</x></other><xml_root>text<a>Alpha</a>more<b/>"
                "<![CDATA[data]]><c idx_file_path=\"c.idx\">Fish &amp; Chips</c></xml_root>");
}

TEST_F(Program, AMalformedListIsReportedAndNeverWrittenOver) {
  const std::string broken = "<xml_root>\n  <a>One</a>\n  <b attr=oops>Two</b>\n</xml_root>";
  write_text(list_path(), broken);
  start();
  const auto boxes = display->modal_history();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].kind, win::ModalKind::kMessageBox);
  EXPECT_EQ(boxes[0].owner, g_hwndHost);
  EXPECT_NE(boxes[0].text.find(list_path()), std::string::npos) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("expected ' or \""), std::string::npos) << boxes[0].text;
  EXPECT_NE(boxes[0].text.find("line 3, column 11"), std::string::npos) << boxes[0].text;
  // The default list is shown instead.
  EXPECT_EQ(root_items().size(), 10u);
  EXPECT_EQ(finish(), 0);
  EXPECT_EQ(read_text(list_path()), broken);
}

TEST_F(Program, TheTreePopupFollowsTheVisibilityOfItsSlot) {
  struct Case {
    const char* name;
    const char* page;
    bool shown;
  } cases[] = {
      {"visible slot", "<html><body><div id=treeview></div><div id=content></div></body></html>",
       true},
      {"hidden slot",
       "<html><body><div hidden><div id=treeview></div></div><div id=content></div></body></html>",
       false},
      {"no slot", "<html><body><div id=content></div></body></html>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    replace_resource("main.html", c.page);
    start();
    const win::HWND popup = tree_popup();
    EXPECT_EQ(window_visible(popup), c.shown);
    if (g_treeElement == nullptr) {
      const win::RECT rect = window_rect(popup);
      EXPECT_EQ(rect.right - rect.left, 0);
      EXPECT_EQ(rect.bottom - rect.top, 0);
    }
  }
}

TEST_F(Program, TheHostIsCentredAndAPageLargerThanTheDesktopStaysReachable) {
  start();
  struct Case {
    engine::UINT width, height;
    win::RECT expected;
  } cases[] = {
      {1200, 740, {40, 30, 1240, 770}},
      {1600, 700, {0, 50, 1600, 750}},
      {900, 1000, {190, 0, 1090, 1000}},
  };
  for (const Case& c : cases) {
    // A page measured late places the host once it has a size.
    win::MoveWindow(g_hwndHost, 0, 0, 0, 0, win::FALSE);
    report({{by_id("treeview"), {10, 70, 350, 700}}}, c.width, c.height);
    const win::RECT rect = window_rect(g_hwndHost);
    EXPECT_EQ(rect.left, c.expected.left) << c.width;
    EXPECT_EQ(rect.top, c.expected.top) << c.width;
    EXPECT_EQ(rect.right, c.expected.right) << c.width;
    EXPECT_EQ(rect.bottom, c.expected.bottom) << c.width;
    // The tree popup lies over its slot.
    const win::RECT tree = window_rect(tree_popup());
    EXPECT_EQ(tree.left, rect.left + 10);
    EXPECT_EQ(tree.top, rect.top + 70);
    EXPECT_EQ(tree.right, rect.left + 350);
  }
}

// A dialog waiting for an answer holds off the user's close; the second
// signal closes the window over it, still through the usual exit.
TEST_F(Program, AForcedCloseEndsAnOpenDialogAndStillWritesTheList) {
  start();
  display->set_answerer(nullptr);
  std::thread closer([this] {
    while (display->open_modals().empty()) std::this_thread::yield();
    request_close();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(display->open_modals().size(), 1u) << "the plain close waits for the dialog";
    force_close();
  });
  win::MessageBoxW(g_hwndHost, u"waiting", u"korvel info", win::MB_OK);
  closer.join();
  EXPECT_TRUE(pump());
  finished = true;
  EXPECT_EQ(finish_program(&run, quit_code), 0);
  EXPECT_EQ(read_text(list_path()), read_text(resources() + "/default_idx_list.xml"));
}

// The executable itself, ended by a signal, leaves by the usual exit.
TEST_F(Program, ASignalEndsTheProgramAndTheListIsWritten) {
#if defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "ThreadSanitizer's own thread runs before main with the signals open";
#endif
  namespace fs = std::filesystem;
  const std::string executable = scratch.file("korvel");
  fs::copy_file(fs::path(KORVEL_BUILD_DIR) / "korvel", executable);
  for (int signal_number : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal_number);
    fs::remove(list_path());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    // Once the signals are blocked, the program takes them itself.
    const std::string status_path = "/proc/" + std::to_string(child) + "/status";
    const unsigned long long mask = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1));
    for (int attempt = 0; attempt < 500; ++attempt) {
      std::ifstream status(status_path);
      std::string line;
      unsigned long long blocked = 0;
      while (std::getline(status, line)) {
        if (line.rfind("SigBlk:", 0) == 0) blocked = std::stoull(line.substr(7), nullptr, 16);
      }
      if ((blocked & mask) == mask) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(child, signal_number);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(read_text(list_path()), read_text(resources() + "/default_idx_list.xml"));
  }
}

}  // namespace
}  // namespace korvel
