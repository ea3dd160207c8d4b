// The behaviour registry and the attach lookup the host forwards requests to.
#include <gtest/gtest.h>

#include "ui/behavior.h"
#include "ui/shared_wide_string.h"

namespace korvel::htmlayout {
namespace {

engine::NMHL_ATTACH_BEHAVIOR request_for(const char* name) {
  engine::NMHL_ATTACH_BEHAVIOR request{};
  request.hdr.code = engine::HLN_ATTACH_BEHAVIOR;
  request.element = reinterpret_cast<HELEMENT>(std::uintptr_t{42});
  request.behaviorName = name;
  request.elementTag = &request;  // marks the record as untouched
  return request;
}

TEST(BehaviorRegistry, TabsIsRegisteredUnderItsExactName) {
  engine::NMHL_ATTACH_BEHAVIOR request = request_for("tabs");
  EXPECT_TRUE(attach_behavior(&request));
  EXPECT_EQ(request.elementProc, &ElementEventProc);
  ASSERT_NE(request.elementTag, nullptr);
  EXPECT_EQ(request.elementEvents, 0x307u);
  EXPECT_EQ(static_cast<event_handler*>(request.elementTag)->subscription, 0x307u);

  for (const char* other : {"Tabs", "TABS", "tab", "tabs ", ""}) {
    engine::NMHL_ATTACH_BEHAVIOR untouched = request_for(other);
    EXPECT_FALSE(attach_behavior(&untouched)) << other;
    EXPECT_EQ(untouched.elementProc, nullptr);
    EXPECT_EQ(untouched.elementTag, &untouched);
    EXPECT_EQ(untouched.elementEvents, 0u);
  }
  EXPECT_FALSE(attach_behavior(nullptr));
  engine::NMHL_ATTACH_BEHAVIOR no_name = request_for(nullptr);
  EXPECT_FALSE(attach_behavior(&no_name));
}

// A behaviour that hands each element a handler of its own.
class PerElement : public behavior {
 public:
  PerElement() : behavior(0x1, "per_element") {}
  event_handler* instance_for(HELEMENT) override { return &own; }
  event_handler own{0x104};
};

TEST(BehaviorRegistry, TheNewestOfOneNameWinsAndInstanceForIsAsked) {
  static behavior older(0x2, "twice");
  static behavior newer(0x4, "twice");
  static PerElement per_element;
  EXPECT_EQ(BehaviorRegistry, &per_element);
  EXPECT_EQ(per_element.next, &newer);
  EXPECT_EQ(newer.next, &older);

  engine::NMHL_ATTACH_BEHAVIOR request = request_for("twice");
  EXPECT_TRUE(attach_behavior(&request));
  EXPECT_EQ(request.elementTag, &newer);
  EXPECT_EQ(request.elementEvents, 0x4u);

  request = request_for("per_element");
  EXPECT_TRUE(attach_behavior(&request));
  EXPECT_EQ(request.elementTag, &per_element.own);
  EXPECT_EQ(request.elementEvents, 0x104u);
}

TEST(SharedWideString, CountsReferencesAndKeepsNoBlockForEmptyText) {
  SharedWideString empty(u"", 0);
  EXPECT_EQ(empty.use_count(), 0u);
  EXPECT_EQ(std::u16string(empty.c_str()), u"");
  SharedWideString null_text(nullptr, 4);
  EXPECT_EQ(null_text.length(), 0u);

  SharedWideString text(u"panel-id2xyz", 9);
  EXPECT_EQ(std::u16string(text.c_str()), u"panel-id2");
  EXPECT_EQ(text.length(), 9u);
  {
    SharedWideString copy(text);
    EXPECT_EQ(text.use_count(), 2u);
    SharedWideString assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_EQ(text.use_count(), 3u);
  }
  EXPECT_EQ(text.use_count(), 1u);
  text.release();
  EXPECT_EQ(text.use_count(), 0u);
  EXPECT_EQ(std::u16string(text.c_str()), u"");
}

}  // namespace
}  // namespace korvel::htmlayout
