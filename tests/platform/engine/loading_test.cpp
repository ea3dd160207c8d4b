// Loading: every resource is asked of the host, frames load their pages at
// once and hold them as their child, and behaviours are asked for by name.
#include <gtest/gtest.h>

#include "platform/engine/page_loader.h"
#include "tests/support/page_host.h"

namespace korvel::engine {
namespace {

using Loading = test::PageHost;
using test::id_of;

std::vector<std::u16string> uris(const std::vector<test::DataRequest>& requests) {
  std::vector<std::u16string> out;
  for (const auto& request : requests) out.push_back(request.uri);
  return out;
}

TEST_F(Loading, EveryResourceIsAskedOfTheHostWithItsUrlResolved) {
  resources[u"/korvel_res/frame_content/g1tg.html"] =
      "<link rel=\"Stylesheet icon\" href=\"../pic.css\"><img id=pic src=\"korvel:G1TG\">";
  load(
      "<head><link rel=stylesheet href=main.css><link rel=icon href=x.ico></head>"
      "<body><img src=\"/abs.png\"><img src=''><div id=content>"
      "<frame src=\"frame_content/g1tg.html\"></div>",
      u"/korvel_res/");
  const std::vector<std::u16string> expected{u"/korvel_res/main.css", u"/abs.png",
                                             u"/korvel_res/frame_content/g1tg.html",
                                             u"/korvel_res/pic.css", u"korvel:G1TG"};
  EXPECT_EQ(uris(requests), expected);
  const std::vector<UINT> types{HLRT_DATA_STYLE, HLRT_DATA_IMAGE, HLRT_DATA_HTML, HLRT_DATA_STYLE,
                                HLRT_DATA_IMAGE};
  for (std::size_t i = 0; i < requests.size() && i < types.size(); ++i) {
    EXPECT_EQ(requests[i].type, types[i]) << i;
  }
  EXPECT_EQ(requests.back().initiator, by_id("pic"));
}

TEST_F(Loading, AFrameHoldsItsPageAsItsOnlyChild) {
  resources[u"/pages/inner.html"] = "<html id=inner_root><body><p id=deep>in</p></body></html>";
  load("<body><div id=content><frame id=f src=inner.html></div><p id=top>t</p>");
  const HELEMENT frame = by_id("f");
  const HELEMENT deep = by_id("deep");
  ASSERT_NE(deep, nullptr);  // found from above, across the frame

  UINT count = 0;
  HTMLayoutGetChildrenCount(frame, &count);
  EXPECT_EQ(count, 1u);
  HELEMENT child = nullptr;
  HTMLayoutGetNthChild(frame, 0, &child);
  EXPECT_EQ(id_of(child), "inner_root");
  HELEMENT up = nullptr;
  HTMLayoutGetParentElement(child, &up);
  EXPECT_EQ(up, frame);
  UINT index = 7;
  HTMLayoutGetElementIndex(child, &index);
  EXPECT_EQ(index, 0u);

  // The climb from inside ends at the window's root.
  HELEMENT current = deep;
  for (HELEMENT parent = nullptr;
       HTMLayoutGetParentElement(current, &parent) == HLDOM_OK && parent != nullptr;) {
    current = parent;
  }
  EXPECT_EQ(current, root());
  EXPECT_EQ(ids_matching("#content p"), std::vector<std::string>{"deep"});
  EXPECT_EQ(ids_matching("frame > html > body > p"), std::vector<std::string>{"deep"});
}

TEST_F(Loading, FramesPlacedLaterLoadAtOnceAndGoWithTheirElement) {
  resources[u"/pages/frame_content/g1m_.html"] = "<body><div id=mywindow_dx></div>";
  load("<body><div id=content></div>");
  const std::string html = "<frame src=\"frame_content/g1m_.html\"/>";
  HTMLayoutSetElementHtml(by_id("content"), reinterpret_cast<const BYTE*>(html.data()),
                          static_cast<DWORD>(html.size()), SIH_REPLACE_CONTENT);
  const HELEMENT model = by_id("mywindow_dx", by_id("content"));
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(HTMLayout_UseElement(model), HLDOM_OK);
  HTMLayout_UnuseElement(model);

  HTMLayoutSetElementInnerText16(by_id("content"), u"", 0);
  EXPECT_NE(HTMLayout_UseElement(model), HLDOM_OK);
  EXPECT_EQ(by_id("mywindow_dx"), nullptr);
}

TEST_F(Loading, MissingAndSelfFramingPagesEndQuietly) {
  load("<body><frame id=f src=missing.html>");
  UINT count = 5;
  HTMLayoutGetChildrenCount(by_id("f"), &count);
  EXPECT_EQ(count, 0u);

  requests.clear();
  resources[u"/pages/self.html"] = "<body><frame src=self.html>";
  load("<body><frame src=self.html>");
  EXPECT_EQ(requests.size(), 8u);  // kMaxFrameNesting pages, then no more

  // A page whose two frames both load it again would make 2^8 pages.
  requests.clear();
  resources[u"/pages/twice.html"] = "<body><frame src=twice.html><frame src=twice.html>";
  load("<body><frame src=twice.html>");
  EXPECT_EQ(requests.size(), engine::kMaxFramesPerWindow);
}

TEST_F(Loading, AnswersComeThroughDataReadyOrTheRecord) {
  static std::string debug;
  HTMLayoutSetupDebugOutput(nullptr, [](LPVOID, WCHAR c) { debug += static_cast<char>(c); });
  debug.clear();
  load("<body><frame id=f src=nowhere.html><img src=late.png>");
  EXPECT_NE(debug.find("no data for /pages/nowhere.html"), std::string::npos) << debug;
  HTMLayoutSetupDebugOutput(nullptr, nullptr);

  // An answer after the request is kept for the display.
  const BYTE png[] = {1, 2, 3};
  EXPECT_EQ(HTMLayoutDataReady(window, u"/pages/late.png", png, 3), 1);

  // A host may answer in the record instead.
  static const char page[] = "<body><i id=from_record></i>";
  HTMLayoutSetCallback(
      window,
      [](UINT, WPARAM, LPARAM lparam, LPVOID) -> LRESULT {
        auto* request = reinterpret_cast<NMHL_LOAD_DATA*>(lparam);
        if (request->hdr.code == HLN_LOAD_DATA) {
          request->outData = const_cast<char*>(page);
          request->outDataSize = sizeof page - 1;
        }
        return 0;
      },
      nullptr);
  load("<body><frame src=any.html>");
  EXPECT_NE(by_id("from_record"), nullptr);
}

BOOL record_initialization(LPVOID tag, HELEMENT he, UINT group, LPVOID params) {
  auto* log = static_cast<std::vector<std::string>*>(tag);
  if (group == HANDLE_INITIALIZATION) {
    const UINT command = static_cast<INITIALIZATION_PARAMS*>(params)->cmd;
    log->push_back((command == BEHAVIOR_ATTACH ? "attach " : "detach ") + test::id_of(he));
  }
  return 0;
}

TEST_F(Loading, BehavioursAreAskedForByNameAndAttachedWhenFilled) {
  static std::vector<std::string> log;
  log.clear();
  attach = [](NMHL_ATTACH_BEHAVIOR& request) {
    if (std::string(request.behaviorName) != "tabs") return;
    request.elementProc = record_initialization;
    request.elementTag = &log;
    request.elementEvents = 0x307;
  };
  resources[u"/pages/f.html"] = "<body><div id=framed behavior=tabs></div>";
  load(
      "<body><div id=a behavior=\"tabs extra\"></div><div id=b behavior=Tabs></div>"
      "<frame src=f.html>");
  const std::vector<std::string> asked{"tabs", "extra", "Tabs", "tabs"};
  EXPECT_EQ(attach_requests, asked);
  EXPECT_EQ(log, (std::vector<std::string>{"attach a", "attach framed"}));

  // Elements placed later ask too; removed ones are told before they go.
  const std::string more = "<p id=c behavior=tabs></p>";
  HTMLayoutSetElementHtml(by_id("b"), reinterpret_cast<const BYTE*>(more.data()),
                          static_cast<DWORD>(more.size()), SIH_APPEND_AFTER_LAST);
  HTMLayoutSetElementHtml(by_id("a"), reinterpret_cast<const BYTE*>("x"), 1, SOH_REPLACE);
  load("<body>");
  EXPECT_EQ(log, (std::vector<std::string>{"attach a", "attach framed", "attach c", "detach a",
                                           "detach c", "detach framed"}));

  // Destroying the window takes its page, with notices.
  log.clear();
  load("<body><div id=last behavior=tabs></div>");
  win::DestroyWindow(window);
  EXPECT_EQ(log, (std::vector<std::string>{"attach last", "detach last"}));
  HELEMENT gone = nullptr;
  EXPECT_EQ(HTMLayoutGetRootElement(window, &gone), HLDOM_INVALID_HWND);
}

}  // namespace
}  // namespace korvel::engine
