// Element handles are counted and stay safe: a removed element refuses new
// references, and no operation follows a null, stale or made-up handle.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/page_host.h"

namespace korvel::engine {
namespace {

using test::id_of;
using Handles = test::PageHost;

BOOL count_calls(HELEMENT, LPVOID param) {
  ++*static_cast<int*>(param);
  return 0;
}

BOOL count_events(LPVOID tag, HELEMENT, UINT, LPVOID) {
  ++*static_cast<int*>(tag);
  return 0;
}

// Every element operation, called on one handle; each answers its result.
std::vector<std::pair<const char*, std::function<HLDOM_RESULT()>>> every_operation(HELEMENT he) {
  static RECT rect;
  static BOOL flag;
  static LPCSTR narrow;
  static LPCWSTR wide;
  static UINT number;
  static HELEMENT other;
  static int calls;
  static METHOD_PARAMS method{1};
  return {
      {"Use", [=] { return HTMLayout_UseElement(he); }},
      {"Location", [=] { return HTMLayoutGetElementLocation(he, &rect, VIEW_RELATIVE); }},
      {"Visible", [=] { return HTMLayoutIsElementVisible(he, &flag); }},
      {"Type", [=] { return HTMLayoutGetElementType(he, &narrow); }},
      {"UID", [=] { return HTMLayoutGetElementUID(he, &number); }},
      {"GetAttribute", [=] { return HTMLayoutGetAttributeByName(he, "id", &wide); }},
      {"SetAttribute", [=] { return HTMLayoutSetAttributeByName(he, "id", u"x"); }},
      {"AttributeCount", [=] { return HTMLayoutGetAttributeCount(he, &number); }},
      {"NthAttribute", [=] { return HTMLayoutGetNthAttribute(he, 0, &narrow, &wide); }},
      {"GetState", [=] { return HTMLayoutGetElementState(he, &number); }},
      {"SetState", [=] { return HTMLayoutSetElementState(he, STATE_FOCUS, 0, 1); }},
      {"SetText", [=] { return HTMLayoutSetElementInnerText16(he, u"x", 1); }},
      {"GetText", [=] { return HTMLayoutGetElementInnerText16(he, &wide); }},
      {"SetHtml",
       [=] { return HTMLayoutSetElementHtml(he, reinterpret_cast<const BYTE*>("<b>"), 3, 0); }},
      {"GetHtml", [=] { return HTMLayoutGetElementHtml(he, &narrow, 1); }},
      {"Update", [=] { return HTMLayoutUpdateElement(he, 1); }},
      {"Parent", [=] { return HTMLayoutGetParentElement(he, &other); }},
      {"Index", [=] { return HTMLayoutGetElementIndex(he, &number); }},
      {"Count", [=] { return HTMLayoutGetChildrenCount(he, &number); }},
      {"Nth", [=] { return HTMLayoutGetNthChild(he, 0, &other); }},
      {"Select", [=] { return HTMLayoutSelectElements(he, "*", count_calls, &calls); }},
      {"SelectW", [=] { return HTMLayoutSelectElementsW(he, u"*", count_calls, &calls); }},
      {"SelectParent", [=] { return HTMLayoutSelectParent(he, "*", 0, &other); }},
      {"Visit",
       [=] { return HTMLayoutVisitElements(he, nullptr, "id", nullptr, count_calls, &calls, 0); }},
      {"Send", [=] { return HTMLayoutSendEvent(he, 0x92, he, 0, &flag); }},
      {"Post", [=] { return HTMLayoutPostEvent(he, 0x90, he, 0); }},
      {"Method", [=] { return HTMLayoutCallBehaviorMethod(he, &method); }},
      {"Attach",
       [=] { return HTMLayoutAttachEventHandlerEx(he, count_events, &calls, HANDLE_ALL); }},
      {"Detach", [=] { return HTMLayoutDetachEventHandler(he, count_events, &calls); }},
  };
}

TEST_F(Handles, ARemovedElementRefusesReferencesAndStillBalances) {
  load("<body><div id=box><span id=kept></span></div>");
  const HELEMENT kept = by_id("kept");
  ASSERT_EQ(HTMLayout_UseElement(kept), HLDOM_OK);
  const HELEMENT never_used = by_id("box");
  HTMLayoutSetElementInnerText16(by_id("box"), u"", 0);

  EXPECT_EQ(HTMLayout_UseElement(kept), HLDOM_PASSIVE_HANDLE);
  LPCSTR type = nullptr;
  EXPECT_EQ(HTMLayoutGetElementType(kept, &type), HLDOM_PASSIVE_HANDLE);
  EXPECT_EQ(HTMLayout_UnuseElement(kept), HLDOM_OK);  // the one reference taken
  EXPECT_EQ(HTMLayout_UnuseElement(kept), HLDOM_INVALID_HANDLE);
  EXPECT_EQ(HTMLayout_UseElement(kept), HLDOM_INVALID_HANDLE);
  EXPECT_EQ(HTMLayout_UseElement(never_used), HLDOM_OK);  // still in the page
  EXPECT_EQ(HTMLayout_UnuseElement(never_used), HLDOM_OK);
  EXPECT_EQ(HTMLayout_UnuseElement(never_used), HLDOM_INVALID_PARAMETER);  // none left

  // A new page takes the old one's elements with it; numbers are not reused.
  const HELEMENT old_root = root();
  load("<body><div id=box></div>");
  EXPECT_NE(HTMLayout_UseElement(never_used), HLDOM_OK);
  EXPECT_NE(HTMLayout_UseElement(old_root), HLDOM_OK);
  EXPECT_NE(by_id("box"), never_used);
}

TEST_F(Handles, NoOperationFollowsANullStaleOrMadeUpHandle) {
  load("<body><div id=gone></div>");
  const HELEMENT stale = by_id("gone");
  HTMLayoutSetElementInnerText16(by_id("gone"), u"", 0);
  HTMLayoutSetElementHtml(by_id("gone"), reinterpret_cast<const BYTE*>("x"), 1, SOH_REPLACE);
  ASSERT_EQ(by_id("gone"), nullptr);
  const HELEMENT made_up[] = {nullptr, stale,
                              reinterpret_cast<HELEMENT>(std::uintptr_t{0x7FFFFFF0}),
                              reinterpret_cast<HELEMENT>(~std::uintptr_t{0})};
  for (HELEMENT he : made_up) {
    for (const auto& [name, operation] : every_operation(he)) {
      EXPECT_NE(operation(), HLDOM_OK) << name << " on " << he;
    }
    EXPECT_NE(HTMLayout_UnuseElement(he), HLDOM_OK);
    BOOL handled = 1;
    HTMLayoutSendEvent(he, 0, he, 0, &handled);
    EXPECT_EQ(handled, 0);
  }
  // Null outputs and inputs are refused, not written through.
  const HELEMENT live = root();
  EXPECT_EQ(HTMLayoutGetElementState(live, nullptr), HLDOM_INVALID_PARAMETER);
  EXPECT_EQ(HTMLayoutGetAttributeByName(live, nullptr, nullptr), HLDOM_INVALID_PARAMETER);
  EXPECT_EQ(HTMLayoutSelectElements(live, nullptr, count_calls, nullptr), HLDOM_INVALID_PARAMETER);
  EXPECT_EQ(HTMLayoutSelectParent(live, ":root", 0, nullptr), HLDOM_INVALID_PARAMETER);
  EXPECT_EQ(HTMLayoutGetRootElement(nullptr, nullptr), HLDOM_INVALID_PARAMETER);
  EXPECT_EQ(HTMLayoutLoadHtmlEx(window, nullptr, 5, u"/"), 0);
  EXPECT_EQ(HTMLayoutDataReady(window, nullptr, nullptr, 0), 0);
  EXPECT_EQ(HTMLayoutGetMinWidth(nullptr), 0u);
}

TEST_F(Handles, EveryOperationWorksOnALiveElement) {
  load("<body><div id=live a=1><i></i></div>");
  const HELEMENT live = by_id("live");
  for (const auto& [name, operation] : every_operation(live)) {
    if (std::string(name) == "Method") continue;  // nothing attached answers it
    const std::string label = name;
    if (label == "SetHtml" || label == "SetText") continue;  // would empty the element
    EXPECT_EQ(operation(), HLDOM_OK) << name;
  }
  HTMLayout_UnuseElement(live);
  UINT uid = 0;
  HTMLayoutGetElementUID(live, &uid);
  HELEMENT found = nullptr;
  EXPECT_EQ(HTMLayoutGetElementByUID(window, uid, &found), HLDOM_OK);
  EXPECT_EQ(found, live);
  EXPECT_NE(HTMLayoutGetElementByUID(window, uid + 100000, &found), HLDOM_OK);
  EXPECT_EQ(found, nullptr);
}

}  // namespace
}  // namespace korvel::engine
