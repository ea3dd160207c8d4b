// ElementEventProc's routing table: each event group reaches one operation
// with the record's fields, and answers as the table says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/event_handler.h"

namespace korvel::htmlayout {
namespace {

using engine::BOOL;
using engine::UINT;

HELEMENT fake(std::uintptr_t value) {
  return reinterpret_cast<HELEMENT>(value);
}

// Records each operation it reaches and answers true from all of them.
class Recording : public event_handler {
 public:
  Recording() : event_handler(0xFFFF) {}
  std::vector<std::string> calls;

  void element_detached(HELEMENT he) override { note("detached", he); }
  void element_attached(HELEMENT he) override { note("attached", he); }
  bool mouse_event(HELEMENT he, HELEMENT target, UINT code, int x, int y, UINT buttons,
                   UINT keys) override {
    return note("mouse", he, target, code, x, y, buttons, keys);
  }
  bool key_event(HELEMENT he, HELEMENT target, UINT code, UINT key, UINT keys) override {
    return note("key", he, target, code, key, keys);
  }
  bool focus_event(HELEMENT he, HELEMENT target, UINT code) override {
    return note("focus", he, target, code);
  }
  bool timer_event_id(HELEMENT he, engine::UINT_PTR id) override {
    return note("timer_id", he, id);
  }
  bool timer_event(HELEMENT he) override { return note("timer", he); }
  bool draw_event(HELEMENT he, UINT code, engine::HDC, const engine::RECT* area) override {
    return note("draw", he, code, area->left, area->bottom);
  }
  void size_changed(HELEMENT he) override { note("size", he); }
  bool method_call(HELEMENT he, UINT id, engine::METHOD_PARAMS*) override {
    return note("method", he, id);
  }
  bool script_call(HELEMENT he, const char* name, UINT argc, engine::VALUE*,
                   engine::VALUE*) override {
    return note(std::string("script ") + name, he, argc);
  }
  bool behavior_event(HELEMENT he, HELEMENT target, UINT code, engine::UINT_PTR reason) override {
    return note("behavior", he, target, code, reason);
  }
  bool data_arrived(HELEMENT he, HELEMENT initiator, const engine::BYTE*, UINT size,
                    UINT type) override {
    return note("data", he, initiator, size, type);
  }
  bool scroll_event(HELEMENT he, HELEMENT target, UINT code, int position, bool vertical) override {
    return note("scroll", he, target, code, position, vertical);
  }

 private:
  template <typename... Values>
  bool note(const std::string& name, Values... values) {
    std::string line = name;
    ((line += " " + std::to_string(reinterpret_cast<std::uintptr_t>(as_pointer(values)))), ...);
    calls.push_back(line);
    return true;
  }
  template <typename Value>
  static const void* as_pointer(Value value) {
    if constexpr (std::is_pointer_v<Value>) {
      return value;
    } else {
      return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(value));
    }
  }
};

TEST(ElementEventProc, RoutesEachGroupToItsOperation) {
  engine::INITIALIZATION_PARAMS detach{0}, attach{1}, other{2};
  engine::MOUSE_PARAMS mouse{4, fake(7), {3, 5}, {0, 0}, 1, 2};
  engine::KEY_PARAMS key{0, fake(7), 39, 1};
  engine::FOCUS_PARAMS focus{1, fake(7), 0, 0};
  engine::TIMER_PARAMS timer_id{9}, timer{0};
  engine::SCROLL_PARAMS scroll{3, fake(7), 40, 1};
  engine::DRAW_PARAMS draw{2, nullptr, {11, 12, 13, 14}, 0};
  engine::DATA_ARRIVED_PARAMS data{fake(7), nullptr, 5, 1};
  engine::BEHAVIOR_EVENT_PARAMS behavior{0x92, fake(7), fake(8), 3};
  engine::METHOD_PARAMS method{6};
  engine::VALUE argument;
  engine::XCALL_PARAMS script{};
  script.methodID = 0xFF;
  script.method_name = "select";
  script.argc = 1;
  script.argv = &argument;
  int group_1000 = 0;

  struct Case {
    UINT group;
    void* record;
    BOOL answer;
    const char* call;  // empty: no operation reached
  } cases[] = {
      {0x0000, &detach, 1, "detached 1"},
      {0x0000, &attach, 1, "attached 1"},
      {0x0000, &other, 1, ""},
      {0x0001, &mouse, 1, "mouse 1 7 4 3 5 1 2"},
      {0x0002, &key, 1, "key 1 7 0 39 1"},
      {0x0004, &focus, 1, "focus 1 7 1"},
      {0x0008, &scroll, 1, "scroll 1 7 3 40 1"},
      {0x0010, &timer_id, 1, "timer_id 1 9"},
      {0x0010, &timer, 1, "timer 1"},
      {0x0020, &mouse, 0, "size 1"},
      {0x0040, &draw, 1, "draw 1 2 11 14"},
      {0x0080, &data, 1, "data 1 7 5 1"},
      {0x0100, &behavior, 1, "behavior 1 7 146 3"},
      {0x0200, &method, 1, "method 1 6"},
      {0x0200, &script, 1, "script select 1 1"},
      {0x1000, &group_1000, 0, ""},
      {0x2000, &group_1000, 0, ""},
      {0x0400, &mouse, 0, ""},
      {0x8000, &mouse, 0, ""},
  };
  for (const Case& c : cases) {
    Recording handler;
    EXPECT_EQ(ElementEventProc(&handler, fake(1), c.group, c.record), c.answer) << c.group;
    const std::vector<std::string> expected =
        c.call[0] == 0 ? std::vector<std::string>{} : std::vector<std::string>{c.call};
    EXPECT_EQ(handler.calls, expected) << c.group;
  }
}

TEST(ElementEventProc, TheBaseClassAnswersFalseAndANullTagNothing) {
  event_handler plain(0x307);
  engine::MOUSE_PARAMS mouse{4, nullptr, {0, 0}, {0, 0}, 0, 0};
  engine::BEHAVIOR_EVENT_PARAMS behavior{0, nullptr, nullptr, 0};
  engine::METHOD_PARAMS method{1};
  for (UINT group : {0x1u, 0x100u, 0x200u}) {
    void* record = group == 0x1     ? static_cast<void*>(&mouse)
                   : group == 0x100 ? static_cast<void*>(&behavior)
                                    : static_cast<void*>(&method);
    EXPECT_EQ(ElementEventProc(&plain, nullptr, group, record), 0) << group;
    EXPECT_EQ(ElementEventProc(nullptr, nullptr, group, record), 0) << group;
    EXPECT_EQ(ElementEventProc(&plain, nullptr, group, nullptr), 0) << group;
  }
  EXPECT_EQ(plain.instance_for(nullptr), &plain);
  EXPECT_EQ(plain.subscription, 0x307u);
}

}  // namespace
}  // namespace korvel::htmlayout
