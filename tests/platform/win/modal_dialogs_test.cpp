#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/platform/win/window_fixture.h"

namespace korvel::win::testing {
namespace {

constexpr UINT kPing = WM_USER + 7;

class ModalDialogs : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    host = popup(0, 0, 300, 200);
    tree_popup = popup(10, 40, 100, 100);
    ShowWindow(host, SW_SHOW);
    ShowWindow(tree_popup, SW_SHOW);
    tree = tree_in(tree_popup);
    pump();
    received().clear();
  }

  // The record the program fills for its open dialogs.
  OPENFILENAMEA dialog_record(DWORD flags) {
    OPENFILENAMEA dialog{};
    dialog.lStructSize = 88;
    dialog.hwndOwner = tree;
    dialog.lpstrFilter = "idx文件（*.idx）\0*.idx\0所有文件（*.*）\0*.*\0";
    dialog.lpstrFile = file_name;
    dialog.nMaxFile = sizeof(file_name);
    dialog.lpstrTitle = "打开文件：";
    dialog.Flags = flags;
    return dialog;
  }

  static std::optional<ModalAnswer> choose(const std::string& path) {
    ModalAnswer answer;
    answer.accepted = true;
    answer.file_name = path;
    return answer;
  }

  HWND host = nullptr;
  HWND tree_popup = nullptr;
  HWND tree = nullptr;
  char file_name[1024] = {};
};

TEST_F(ModalDialogs, FileDialogsCarryTheirRecordAndReturnTheChosenPath) {
  display->set_answerer([](const ModalRequest&) { return choose("/data/game/LINKDATA.idx"); });
  OPENFILENAMEA dialog = dialog_record(OFN_OVERWRITEPROMPT);
  EXPECT_TRUE(GetOpenFileNameA(&dialog));
  EXPECT_STREQ(file_name, "/data/game/LINKDATA.idx");

  const auto history = display->modal_history();
  ASSERT_EQ(history.size(), 1u);
  const ModalRequest& request = history[0];
  EXPECT_EQ(request.kind, ModalKind::kOpenFile);
  EXPECT_EQ(request.owner, tree);
  EXPECT_EQ(request.title, "打开文件：");
  EXPECT_EQ(request.flags, OFN_OVERWRITEPROMPT);
  EXPECT_EQ(request.initial_file_name, "");
  ASSERT_EQ(request.filters.size(), 2u);
  EXPECT_EQ(request.filters[0].description, "idx文件（*.idx）");
  EXPECT_EQ(request.filters[0].pattern, "*.idx");
  EXPECT_EQ(request.filters[1].pattern, "*.*");
  EXPECT_TRUE(display->open_modals().empty());

  dialog = dialog_record(OFN_READONLY);
  EXPECT_TRUE(GetSaveFileNameA(&dialog));
  EXPECT_EQ(display->modal_history()[1].kind, ModalKind::kSaveFile);
  EXPECT_EQ(display->modal_history()[1].initial_file_name, "/data/game/LINKDATA.idx");
}

TEST_F(ModalDialogs, CancelledOrUnfittingAnswersLeaveNoName) {
  struct Case {
    const char* name;
    std::optional<ModalAnswer> answer;
  };
  ModalAnswer cancelled;
  const std::string too_long(1024, 'a');  // no room for the NUL
  const Case cases[] = {{"cancelled", cancelled},
                        {"accepted empty", choose("")},
                        {"too long", choose(too_long)},
                        {"embedded NUL", choose(std::string("a\0b", 3))}};
  for (const Case& one : cases) {
    std::memset(file_name, 0, sizeof(file_name));
    display->set_answerer([&one](const ModalRequest&) { return one.answer; });
    OPENFILENAMEA dialog = dialog_record(0);
    EXPECT_FALSE(GetOpenFileNameA(&dialog)) << one.name;
    EXPECT_EQ(file_name[0], 0) << one.name;
  }
  display->set_answerer([](const ModalRequest&) { return choose(std::string(1023, 'b')); });
  OPENFILENAMEA dialog = dialog_record(0);
  EXPECT_TRUE(GetOpenFileNameA(&dialog));  // exactly fits with its NUL
  EXPECT_EQ(std::strlen(file_name), 1023u);

  dialog.lpstrFile = nullptr;
  EXPECT_FALSE(GetOpenFileNameA(&dialog));
  EXPECT_FALSE(GetOpenFileNameA(nullptr));
}

TEST_F(ModalDialogs, MessageBoxesCarryOwnerTextCaptionAndIcon) {
  display->set_answerer([](const ModalRequest&) { return ModalAnswer{true, ""}; });
  EXPECT_EQ(MessageBoxW(tree, u"提取成功，碉堡了！", u"korvel info", MB_ICONINFORMATION), IDOK);
  const ModalRequest request = display->modal_history().at(0);
  EXPECT_EQ(request.kind, ModalKind::kMessageBox);
  EXPECT_EQ(request.owner, tree);
  EXPECT_EQ(request.text, "提取成功，碉堡了！");
  EXPECT_EQ(request.title, "korvel info");
  EXPECT_EQ(request.flags, MB_ICONINFORMATION);

  DestroyWindow(host);
  EXPECT_EQ(MessageBoxW(host, u"x", u"y", MB_OK), 0);  // no such owner: no box
  EXPECT_EQ(display->modal_history().size(), 1u);
}

TEST_F(ModalDialogs, OnTheUiThreadTheWaitKeepsDispatchingButTheOwnerTakesNoInput) {
  // A message posted by another thread while the box is open is dispatched;
  // its handler answers the box. Input for the owner's window is dropped,
  // input for the host still arrives.
  handler() = [this](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (window == host && message == kPing) {
      display->key(tree, VK_F2);
      display->key(host, VK_RETURN);
    }
    if (window == host && message == WM_KEYUP) {
      for (const ModalRequest& open : display->open_modals()) {
        display->answer(open.id, ModalAnswer{true, ""});
      }
    }
    return DefWindowProcW(window, message, wparam, lparam);
  };
  std::thread poster([this] {
    while (display->open_modals().empty())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    PostMessageW(host, kPing, 0, 0);
  });
  EXPECT_EQ(MessageBoxW(tree, u"text", u"caption", MB_ICONINFORMATION), IDOK);
  poster.join();
  EXPECT_EQ(received_by(host, kPing).size(), 1u);
  EXPECT_EQ(received_by(host, WM_KEYDOWN).size(), 1u);
  EXPECT_TRUE(received_by(tree_popup, WM_NOTIFY).empty());  // the tree heard no key

  // Once closed, the owner takes input again.
  display->key(tree, VK_F2);
  pump();
  EXPECT_EQ(received_by(tree_popup, WM_NOTIFY).size(), 1u);  // TVN_KEYDOWN
  EXPECT_EQ(display->open_modals().size(), 0u);
}

TEST_F(ModalDialogs, FromAnotherThreadTheCallerJustWaits) {
  std::atomic<int> result{-1};
  std::thread viewer([&] {
    result = MessageBoxW(host, u"悲剧…… 模型数据解析失败！", u"korvel 信息", MB_ICONINFORMATION);
  });
  while (display->open_modals().empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  // The owner is blocked while the box is open.
  display->click(host, 5, 5);
  pump();
  EXPECT_TRUE(received_by(host, WM_LBUTTONDOWN).empty());
  EXPECT_EQ(result.load(), -1);

  const std::uint64_t id = display->open_modals().at(0).id;
  display->answer(id, ModalAnswer{true, ""});
  viewer.join();
  EXPECT_EQ(result.load(), IDOK);
  display->answer(id, ModalAnswer{true, ""});  // no longer open: ignored
  display->answer(987654, ModalAnswer{true, ""});
  display->click(host, 5, 5);
  pump();
  EXPECT_EQ(received_by(host, WM_LBUTTONDOWN).size(), 1u);
}

TEST_F(ModalDialogs, AQuitDuringTheWaitClosesTheDialogAndReachesTheLoop) {
  handler() = [](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == kPing) PostQuitMessage(4);
    return DefWindowProcW(window, message, wparam, lparam);
  };
  PostMessageW(host, kPing, 0, 0);
  OPENFILENAMEA dialog = dialog_record(0);
  EXPECT_FALSE(GetOpenFileNameA(&dialog));
  EXPECT_TRUE(display->open_modals().empty());
  MSG msg{};
  EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
  EXPECT_EQ(msg.wParam, 4u);
}

TEST_F(ModalDialogs, AConsoleMessageOnTheUiThreadBlocksEveryWindow) {
  // Input queued while the message is open is taken (and dropped) before the
  // host's paint, which then acknowledges the message.
  handler() = [this](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == kPing) {
      display->click(host, 5, 5);
      display->key(tree, VK_F2);
      InvalidateRect(host, nullptr, TRUE);
    }
    if (window == host && message == WM_PAINT) {
      for (const ModalRequest& open : display->open_modals()) {
        display->answer(open.id, ModalAnswer{true, ""});
      }
    }
    return DefWindowProcW(window, message, wparam, lparam);
  };
  PostMessageW(host, kPing, 0, 0);
  show_console_message_modal("隐患警告：数据解压失败！");
  const ModalRequest request = display->modal_history().at(0);
  EXPECT_EQ(request.kind, ModalKind::kConsoleMessage);
  EXPECT_EQ(request.text, "隐患警告：数据解压失败！");
  EXPECT_EQ(request.owner, nullptr);
  EXPECT_EQ(received_by(host, kPing).size(), 1u);  // posted messages went on
  EXPECT_EQ(received_by(host, WM_PAINT).size(), 1u);
  EXPECT_TRUE(received_by(host, WM_LBUTTONDOWN).empty());
  EXPECT_TRUE(received_by(tree_popup, WM_NOTIFY).empty());
}

TEST_F(ModalDialogs, DestroyingTheOwnerClosesItsDialog) {
  handler() = [this](HWND window, UINT message, WPARAM wparam, LPARAM lparam) -> LRESULT {
    if (message == kPing) DestroyWindow(tree_popup);
    return DefWindowProcW(window, message, wparam, lparam);
  };
  PostMessageW(host, kPing, 0, 0);
  EXPECT_EQ(MessageBoxW(tree, u"text", u"caption", MB_OK), IDOK);
  EXPECT_TRUE(display->open_modals().empty());
}

}  // namespace
}  // namespace korvel::win::testing
