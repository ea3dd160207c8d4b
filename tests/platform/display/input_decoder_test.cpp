// POST /input bodies decoded alone: a malformed body gets 400 and reaches no
// window (not even the modifier keys it carries); a valid one reaches its
// window as the messages a user's action makes, modifiers first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display/input_decoder.h"
#include "platform/limits.h"
#include "tests/platform/win/window_fixture.h"

namespace korvel::display {
namespace {

using win::testing::Received;

constexpr win::UINT kWmKeyDown = 0x0100;
constexpr win::UINT kWmLButtonDown = 0x0201;

class InputDecoder : public win::testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window_ = popup(10, 20, 200, 100);
    ASSERT_NE(window_, nullptr);
    win::ShowWindow(window_, win::SW_SHOW);
    pump();
    win::testing::received().clear();
  }

  // The key and mouse messages the window got, as (message, wParam).
  std::vector<std::pair<win::UINT, win::WPARAM>> input_messages() {
    pump();
    std::vector<std::pair<win::UINT, win::WPARAM>> out;
    for (const Received& one : win::testing::received()) {
      if (one.window == window_ && (one.message == kWmKeyDown || one.message == kWmLButtonDown)) {
        out.emplace_back(one.message, one.wparam);
      }
    }
    win::testing::received().clear();
    return out;
  }

  std::string window_number() const {
    return std::to_string(reinterpret_cast<std::uintptr_t>(window_));
  }

  win::HWND window_ = nullptr;
  ModifierState modifiers_;
};

TEST_F(InputDecoder, MalformedBodiesAreRefusedAndChangeNothing) {
  const std::string w = window_number();
  const std::string ctrl = ",\"mods\":{\"ctrl\":true}";
  const std::string long_text(kMaxInputTextBytes + 1, 'a');
  const std::string box = "[1,0,0,10,10,true]";
  std::string many_boxes = "[";
  for (std::size_t i = 0; i <= kMaxReportedBoxes; ++i) many_boxes += (i ? "," : "") + box;
  many_boxes += "]";
  const std::string layout =
      "{\"type\":\"layout\",\"window\":" + w + ",\"min_width\":1,\"min_height\":1,\"boxes\":";
  const std::string nested(200000, '[');

  struct Case {
    const char* what;
    std::string body;
  };
  const Case cases[] = {
      {"not JSON", "{\"type\":"},
      {"not an object", "[1,2]"},
      {"nested deep", nested},
      {"no type", "{\"window\":" + w + "}"},
      {"unknown type", "{\"type\":\"paste\",\"window\":" + w + "}"},
      {"unknown mouse action", "{\"type\":\"mouse\",\"window\":" + w +
                                   ",\"action\":\"right\",\"x\":1,\"y\":1" + ctrl + "}"},
      {"a coordinate past the limit", "{\"type\":\"mouse\",\"window\":" + w +
                                          ",\"action\":\"down\",\"x\":99999999,\"y\":1" + ctrl +
                                          "}"},
      {"a fractional coordinate", "{\"type\":\"mouse\",\"window\":" + w +
                                      ",\"action\":\"down\",\"x\":1.5,\"y\":1" + ctrl + "}"},
      {"a negative window",
       "{\"type\":\"mouse\",\"window\":-1,\"action\":\"down\",\"x\":1,\"y\":1" + ctrl + "}"},
      {"modifiers not true or false",
       "{\"type\":\"key\",\"window\":" + w + ",\"vk\":65,\"down\":true,\"mods\":{\"ctrl\":1}}"},
      {"a key past 0xFE",
       "{\"type\":\"key\",\"window\":" + w + ",\"vk\":255,\"down\":true" + ctrl + "}"},
      {"a key without down", "{\"type\":\"key\",\"window\":" + w + ",\"vk\":65" + ctrl + "}"},
      {"a label with NUL",
       "{\"type\":\"tree\",\"tree\":1,\"item\":1,\"action\":\"end_edit\",\"text\":\"a\\u0000b\"}"},
      {"a label too long",
       "{\"type\":\"tree\",\"tree\":1,\"item\":1,\"action\":\"end_edit\",\"text\":\"" + long_text +
           "\"}"},
      {"a box of five", layout + "[[1,0,0,10,10]]}"},
      {"a box past the limit", layout + "[[1,0,0,99999999,10,true]]}"},
      {"too many boxes", layout + many_boxes + "}"},
      {"a desktop too wide", "{\"type\":\"desktop\",\"width\":70000,\"height\":10}"},
      {"a frame number below 0", "{\"type\":\"frame_taken\",\"window\":" + w + ",\"number\":-1}"},
  };
  for (const Case& one : cases) {
    SCOPED_TRACE(one.what);
    const InputOutcome outcome = apply_input(one.body, modifiers_);
    EXPECT_EQ(outcome.status, 400);
    EXPECT_FALSE(outcome.error.empty());
    EXPECT_TRUE(input_messages().empty());
  }
}

TEST_F(InputDecoder, ValidInputReachesItsWindowModifiersFirst) {
  const std::string w = window_number();
  struct Case {
    const char* what;
    std::string body;
    std::vector<std::pair<win::UINT, win::WPARAM>> messages;
  };
  const Case cases[] = {
      {"a key with Ctrl held",
       "{\"type\":\"key\",\"window\":" + w + ",\"vk\":65,\"down\":true,\"mods\":{\"ctrl\":true}}",
       {{kWmKeyDown, 0x11}, {kWmKeyDown, 0x41}}},
      {"Ctrl still held: no second press",
       "{\"type\":\"key\",\"window\":" + w + ",\"vk\":66,\"down\":true,\"mods\":{\"ctrl\":true}}",
       {{kWmKeyDown, 0x42}}},
      {"a press at the window's client point",
       "{\"type\":\"mouse\",\"window\":" + w +
           ",\"action\":\"down\",\"x\":15,\"y\":25,\"key\":3,"
           "\"mods\":{\"ctrl\":true}}",
       {{kWmLButtonDown, 0x1}}},
  };
  for (const Case& one : cases) {
    SCOPED_TRACE(one.what);
    EXPECT_EQ(apply_input(one.body, modifiers_).status, 204);
    EXPECT_EQ(input_messages(), one.messages);
  }
}

}  // namespace
}  // namespace korvel::display
