// The tabs behaviour, driven as the user and the page drive it: presses on
// tabs, keys with and without focus, Ctrl+Tab, ACTIVATE_CHILD and the script
// call "select", on a small page attached through the behaviour registry.
#include <gtest/gtest.h>

#include "tests/support/page_host.h"
#include "ui/behavior.h"

namespace korvel::htmlayout {
namespace {

using engine::HELEMENT;
using engine::UINT;
using test::id_of;

constexpr int kRight = 39;
constexpr int kLeft = 37;
constexpr int kEnd = 35;
constexpr int kHome = 36;
constexpr int kTab = 9;
constexpr int kControl = 0x11;
constexpr int kShift = 0x10;

std::string page(const std::string& strip) {
  return "<html><body id=body><div id=tabs behavior=tabs><ul id=strip class=strip>" + strip +
         "</ul>"
         "<div id=p1 name=p1><button id=in_panel>b</button></div>"
         "<div id=p2 name=p2></div><div id=p3 name=p3></div></div>"
         "<div id=outside tabindex=0></div></body></html>";
}

const std::string kThreeTabs =
    "<li id=t1 panel=p1 selected><span id=t1_label>One</span></li>"
    "<li id=t2 panel=p2><span id=t2_label>Two</span></li>"
    "<li id=t3 panel=p3><span id=t3_label>Three</span></li>";

struct Posted {
  UINT code;
  std::string target;
};

std::vector<Posted>& posted() {
  static std::vector<Posted> list;
  return list;
}

engine::BOOL record_expand_events(engine::LPVOID, HELEMENT, UINT group, engine::LPVOID params) {
  if (group != engine::HANDLE_BEHAVIOR_EVENT) return 0;
  const auto* record = static_cast<engine::BEHAVIOR_EVENT_PARAMS*>(params);
  const UINT code = record->cmd & ~engine::HANDLED;
  if (code == engine::ELEMENT_COLLAPSED || code == engine::ELEMENT_EXPANDED) {
    posted().push_back({code, id_of(record->heTarget)});
  }
  return 0;
}

class Tabs : public test::PageHost {
 protected:
  void SetUp() override {
    PageHost::SetUp();
    attach = [](engine::NMHL_ATTACH_BEHAVIOR& request) { attach_behavior(&request); };
    engine::HTMLayoutWindowAttachEventHandler(window, record_expand_events, nullptr,
                                              engine::HANDLE_ALL);
    posted().clear();
  }

  void open(const std::string& strip) {
    load(page(strip));
    report({{"tabs", {0, 0, 300, 200}},
            {"strip", {0, 0, 300, 20}},
            {"t1", {0, 0, 50, 20}},
            {"t1_label", {5, 2, 45, 18}},
            {"t2", {50, 0, 100, 20}},
            {"t2_label", {55, 2, 95, 18}},
            {"t3", {100, 0, 150, 20}},
            {"t3_label", {105, 2, 145, 18}},
            {"x", {150, 0, 200, 20}},
            {"p1", {0, 20, 300, 200}},
            {"in_panel", {10, 30, 60, 50}},
            {"outside", {0, 210, 300, 300}}});
    pump();
    posted().clear();
    engine_answers.clear();
  }

  // The ids carrying state among candidates.
  std::vector<std::string> with_state(UINT state, std::vector<const char*> candidates) const {
    std::vector<std::string> out;
    for (const char* id : candidates) {
      if ((state_of(id) & state) != 0) out.push_back(id);
    }
    return out;
  }
  std::string current_tab() const {
    const auto current = with_state(engine::STATE_CURRENT, {"t1", "t2", "t3", "x"});
    return current.size() == 1 ? current[0] : "<" + std::to_string(current.size()) + " current>";
  }
  std::string expanded_panel() const {
    const auto expanded = with_state(engine::STATE_EXPANDED, {"p1", "p2", "p3"});
    return expanded.size() == 1 ? expanded[0]
                                : "<" + std::to_string(expanded.size()) + " expanded>";
  }
  std::vector<std::string> carrying_selected(std::vector<const char*> candidates) const {
    std::vector<std::string> out;
    for (const char* id : candidates) {
      if (has_attribute(id, "selected")) out.push_back(id);
    }
    return out;
  }

  // The engine's answer for the last key press: whether the tabs took it.
  bool press(int virtual_key) {
    engine_answers.clear();
    key(virtual_key);
    for (const auto& [message, handled] : engine_answers) {
      if (message == win::WM_KEYDOWN) return handled;
    }
    return false;
  }

  void focus(const char* id) {
    engine::HTMLayoutSetElementState(by_id(id), engine::STATE_FOCUS, 0, 0);
  }

  // Calls the script method "select" on the tabs element.
  engine::HLDOM_RESULT script_select(const char* method, std::vector<std::u16string> arguments) {
    std::vector<engine::VALUE> values(arguments.size());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      engine::ValueStringDataSet(&values[i], arguments[i].c_str(),
                                 static_cast<UINT>(arguments[i].size()));
    }
    engine::XCALL_PARAMS call{};
    call.methodID = engine::XCALL;
    call.method_name = method;
    call.argc = static_cast<UINT>(values.size());
    call.argv = values.data();
    return engine::HTMLayoutCallBehaviorMethod(by_id("tabs"), &call);
  }
};

TEST_F(Tabs, AttachingSelectsTheInitialTab) {
  open(kThreeTabs);
  EXPECT_EQ(attach_requests, std::vector<std::string>{"tabs"});
  EXPECT_EQ(current_tab(), "t1");
  EXPECT_NE(state_of("strip") & engine::STATE_CURRENT, 0u);
  EXPECT_EQ(expanded_panel(), "p1");
  EXPECT_EQ(carrying_selected({"p1", "p2", "p3"}), std::vector<std::string>{});
}

TEST_F(Tabs, ArrowsHomeAndEndSkipDisabledTabsWhileTheTabsHaveFocus) {
  open(
      "<li id=t1 panel=p1 selected>1</li><li id=t2 panel=p2 disabled>2</li>"
      "<li id=t3 panel=p3>3</li>");
  click(150, 150);  // on the panel: the focus goes to the tabs element
  ASSERT_NE(state_of("tabs") & engine::STATE_FOCUS, 0u);
  struct Step {
    int key;
    bool answer;
    const char* current;
    const char* expanded;
  } steps[] = {{kRight, true, "t3", "p3"},
               {kLeft, true, "t1", "p1"},
               {kEnd, true, "t3", "p3"},
               {kHome, true, "t1", "p1"}};
  for (const Step& step : steps) {
    EXPECT_EQ(press(step.key), step.answer) << step.key;
    EXPECT_EQ(current_tab(), step.current) << step.key;
    EXPECT_EQ(expanded_panel(), step.expanded) << step.key;
  }
}

TEST_F(Tabs, SteppingPastDisabledTabsOrOntoATabWithoutPanelChangesNothing) {
  open(
      "<li id=t1 panel=p1 disabled>1</li><li id=t2 panel=p2 disabled>2</li>"
      "<li id=t3 panel=p3 selected>3</li>");
  focus("t3");
  EXPECT_TRUE(press(kHome));  // ends on t3 itself
  EXPECT_EQ(current_tab(), "t3");
  EXPECT_FALSE(press(kLeft));
  EXPECT_EQ(current_tab(), "t3");
  EXPECT_TRUE(posted().empty());

  open("<li id=t1 panel=p1 selected>1</li><li id=x>no panel</li><li id=t3 panel=p3>3</li>");
  focus("tabs");
  EXPECT_FALSE(press(kRight));
  EXPECT_EQ(current_tab(), "t1");
  EXPECT_EQ(expanded_panel(), "p1");
}

TEST_F(Tabs, CtrlTabWorksWithoutFocusOnTheStripAndArrowsDoNot) {
  open(
      "<li id=t1 panel=p1 selected>1</li><li id=t2 panel=p2 disabled>2</li>"
      "<li id=t3 panel=p3>3</li>");
  click(20, 40);  // the button in the panel takes the focus
  ASSERT_NE(state_of("in_panel") & engine::STATE_FOCUS, 0u);
  EXPECT_FALSE(press(kRight));
  EXPECT_FALSE(press(kTab));
  EXPECT_EQ(current_tab(), "t1");

  key_down(kControl);
  EXPECT_TRUE(press(kTab));
  EXPECT_EQ(current_tab(), "t3");  // the next enabled tab
  key_down(kShift);
  EXPECT_TRUE(press(kTab));
  EXPECT_EQ(current_tab(), "t1");
  key_up(kShift);
  EXPECT_TRUE(press(kTab));
  key_up(kControl);
  EXPECT_FALSE(press(kTab));
  EXPECT_EQ(current_tab(), "t3");

  focus("in_panel");  // inside the tabs element, but not on the strip
  EXPECT_FALSE(press(kLeft));
  EXPECT_FALSE(press(kHome));
  EXPECT_EQ(current_tab(), "t3");
  focus("outside");  // keys there never reach the tabs element
  EXPECT_FALSE(press(kLeft));
  EXPECT_EQ(current_tab(), "t3");
}

TEST_F(Tabs, PressesSelectTheTabUnderThePointer) {
  open(kThreeTabs);
  engine_answers.clear();
  click(20, 10);  // the current tab
  EXPECT_TRUE(engine_answers.at(0).second);
  EXPECT_EQ(current_tab(), "t1");
  EXPECT_TRUE(posted().empty());

  click(60, 10);  // on the label inside the second tab
  EXPECT_EQ(current_tab(), "t2");
  EXPECT_EQ(expanded_panel(), "p2");
  EXPECT_EQ(state_of("p1") & engine::STATE_COLLAPSED, engine::STATE_COLLAPSED);

  mouse(win::MouseAction::kLeftDoubleClick, 110, 10);
  EXPECT_EQ(current_tab(), "t3");
}

TEST_F(Tabs, ExpandEventsArePostedToTheOldAndNewTab) {
  open(kThreeTabs);
  engine::BOOL handled = 0;
  engine::HTMLayoutSendEvent(by_id("t3_label"), engine::ACTIVATE_CHILD, by_id("t3_label"), 0,
                             &handled);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(current_tab(), "t3");
  EXPECT_TRUE(posted().empty());  // not yet: they wait in the queue
  pump();
  ASSERT_EQ(posted().size(), 2u);
  EXPECT_EQ(posted()[0].code, engine::ELEMENT_COLLAPSED);
  EXPECT_EQ(posted()[0].target, "t1");
  EXPECT_EQ(posted()[1].code, engine::ELEMENT_EXPANDED);
  EXPECT_EQ(posted()[1].target, "t3");

  // Asked from outside any tab, the event is still taken.
  engine::HTMLayoutSendEvent(by_id("in_panel"), engine::ACTIVATE_CHILD, by_id("in_panel"), 0,
                             &handled);
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(current_tab(), "t3");
}

TEST_F(Tabs, ATabWithoutItsPanelCannotBeSelected) {
  open("<li id=t1 panel=p1 selected>1</li><li id=t2 panel=nowhere>2</li>");
  click(60, 10);
  EXPECT_EQ(current_tab(), "t1");
  EXPECT_EQ(expanded_panel(), "p1");
  EXPECT_EQ(carrying_selected({"t1", "t2"}), std::vector<std::string>{"t1"});
}

TEST_F(Tabs, EverySelectionLeavesOneSelectedTabAndPanel) {
  open(kThreeTabs);
  focus("tabs");
  const std::function<void()> selections[] = {
      [&] { click(60, 10); },
      [&] { press(kRight); },
      [&] { press(kHome); },
      [&] { script_select("select", {u"p2"}); },
      [&] {
        engine::HTMLayoutSendEvent(by_id("t3"), engine::ACTIVATE_CHILD, by_id("t3"), 0, nullptr);
      },
      [&] { press(kLeft); },
  };
  std::string previous_panel = "p1";
  for (std::size_t i = 0; i < std::size(selections); ++i) {
    selections[i]();
    pump();
    const std::string tab = current_tab();
    EXPECT_EQ(carrying_selected({"t1", "t2", "t3"}), std::vector<std::string>{tab}) << i;
    const std::string panel = expanded_panel();
    EXPECT_EQ(panel, "p" + tab.substr(1)) << i;
    EXPECT_EQ(carrying_selected({"p1", "p2", "p3"}), std::vector<std::string>{panel}) << i;
    EXPECT_NE(state_of(previous_panel.c_str()) & engine::STATE_COLLAPSED, 0u) << i;
    previous_panel = panel;
  }
}

TEST_F(Tabs, TheScriptCallSelectsByPanelName) {
  open(kThreeTabs);
  struct Call {
    const char* method;
    std::vector<std::u16string> arguments;
    engine::HLDOM_RESULT answer;
    const char* current;
  } calls[] = {
      {"select", {u"p3"}, engine::HLDOM_OK, "t3"},
      {"select", {u"p2", u"p1"}, engine::HLDOM_OK_NOT_HANDLED, "t3"},
      {"Select", {u"p2"}, engine::HLDOM_OK_NOT_HANDLED, "t3"},
      {"select", {u"missing"}, engine::HLDOM_OK, "t3"},
      {"select", {}, engine::HLDOM_OK_NOT_HANDLED, "t3"},
      {"select", {u"p1"}, engine::HLDOM_OK, "t1"},
  };
  for (const Call& call : calls) {
    EXPECT_EQ(script_select(call.method, call.arguments), call.answer) << call.method;
    EXPECT_EQ(current_tab(), call.current);
  }
  // A value that is not a text selects nothing, and is still answered.
  engine::VALUE number;
  engine::ValueIntDataSet(&number, 2);
  engine::XCALL_PARAMS call{};
  call.methodID = engine::XCALL;
  call.method_name = "select";
  call.argc = 1;
  call.argv = &number;
  EXPECT_EQ(engine::HTMLayoutCallBehaviorMethod(by_id("tabs"), &call), engine::HLDOM_OK);
  EXPECT_EQ(current_tab(), "t1");
}

TEST_F(Tabs, WithoutASelectedTabNoPathSelectsThePanelWithAnEmptyName) {
  load(
      "<html><body><div id=tabs behavior=tabs tabindex=0><ul id=strip class=strip>"
      "<li id=t1 panel=pa>1</li><li id=t2 panel=pb>2</li><li id=x>no panel</li></ul>"
      "<section id=pa name=pa></section><section id=pe name=\"\"></section></div></body></html>");
  report({{"tabs", {0, 0, 300, 200}}, {"strip", {0, 0, 300, 20}}, {"x", {150, 0, 200, 20}}});
  pump();
  const std::vector<const char*> ids = {"tabs", "strip", "t1", "t2", "x", "pa", "pe"};
  const auto states = [&] {
    std::vector<UINT> out;
    for (const char* id : ids) out.push_back(state_of(id) & ~engine::STATE_FOCUS);
    return out;
  };
  const std::vector<UINT> as_written = states();
  engine::VALUE number;
  engine::ValueIntDataSet(&number, 2);
  const std::pair<const char*, std::function<void()>> paths[] = {
      {"attach", [] {}},
      {"mouse", [&] { click(170, 10); }},
      {"keys",
       [&] {
         focus("tabs");
         press(kRight);
         key_down(kControl);
         press(kTab);
         key_up(kControl);
       }},
      {"event",
       [&] {
         engine::HTMLayoutSendEvent(by_id("x"), engine::ACTIVATE_CHILD, by_id("x"), 0, nullptr);
       }},
      {"script, empty text", [&] { script_select("select", {u""}); }},
      {"script, not a text",
       [&] {
         engine::XCALL_PARAMS call{};
         call.methodID = engine::XCALL;
         call.method_name = "select";
         call.argc = 1;
         call.argv = &number;
         engine::HTMLayoutCallBehaviorMethod(by_id("tabs"), &call);
       }},
  };
  for (const auto& [name, path] : paths) {
    path();
    pump();
    EXPECT_EQ(states(), as_written) << name;
    EXPECT_EQ(carrying_selected({"t1", "t2", "x", "pa", "pe"}), std::vector<std::string>{}) << name;
  }
  EXPECT_EQ(state_of("pe") & engine::STATE_EXPANDED, 0u);
}

TEST_F(Tabs, APanelNameTooLongForTheSelectorBufferSelectsNothing) {
  const std::string fits(2048 - 16, 'n');  // ":root>[name=\"\"]" and the zero take 16
  const std::string too_long(fits.size() + 1, 'n');
  open(kThreeTabs);
  for (const auto& [name, selects] :
       std::vector<std::pair<std::string, bool>>{{too_long, false}, {fits, true}}) {
    HTMLayoutSetAttributeByName(by_id("t2"), "panel",
                                std::u16string(name.begin(), name.end()).c_str());
    HTMLayoutSetAttributeByName(by_id("p2"), "name",
                                std::u16string(name.begin(), name.end()).c_str());
    click(60, 10);
    EXPECT_EQ(current_tab(), selects ? "t2" : "t1") << name.size();
  }
}

}  // namespace
}  // namespace korvel::htmlayout
