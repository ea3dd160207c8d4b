#include <gtest/gtest.h>

#include "archive/archive.h"
#include "archive/limits.h"
#include "tools/forge/pack_writer.h"
#include "tools/forge/zlib_stream_writer.h"

namespace korvel {
namespace {

struct Dispatched {
  ContentTree tree;
  ContentNode* parent;
  Dispatched() {
    parent = tree.allocate_node(rapidxml::node_element, "parent");
    tree.append_node(parent);
  }
};

TEST(DispatchFallback, UnknownPayloadGetsNumberAndSignature) {
  struct Case {
    std::vector<std::uint8_t> payload;
    std::string signature;
  } cases[] = {
      {{0x41, 0x42, 0x43, 0x00, 0x44}, "41424300440000000000000000000000,ABC"},
      // No zero byte in the first 32: exactly 32 characters after the comma.
      {std::vector<std::uint8_t>(40, 'x'),
       "78787878787878787878787878787878," + std::string(32, 'x')},
      // Shorter than 16 bytes: what lies past the end reads as zero.
      {{0x7A}, "7A000000000000000000000000000000,z"},
      {{}, "00000000000000000000000000000000,"},
  };
  for (const Case& c : cases) {
    Dispatched d;
    Archive archive;
    ByteBuffer payload =
        make_payload_buffer(c.payload.data(), static_cast<std::uint32_t>(c.payload.size()));
    archive.dispatch_content(d.parent, payload.data(),
                             static_cast<std::uint32_t>(c.payload.size()));
    const ContentNode* unknown = d.parent->first_node();
    ASSERT_NE(unknown, nullptr);
    EXPECT_STREQ(unknown->name(), "unknow");
    EXPECT_EQ(unknown->next_sibling(), nullptr);
    const auto* number = unknown->first_attribute();
    ASSERT_NE(number, nullptr);
    EXPECT_STREQ(number->name(), "number");
    EXPECT_STREQ(number->value(), "0");
    ASSERT_NE(number->next_attribute(), nullptr);
    EXPECT_STREQ(number->next_attribute()->name(), "rawdata");
    EXPECT_EQ(std::string(number->next_attribute()->value()), c.signature);
    EXPECT_EQ(number->next_attribute()->next_attribute(), nullptr);
  }
}

TEST(DispatchFallback, RebuildPassesUnknownContentThroughUnchanged) {
  const std::vector<std::uint8_t> bytes = {9, 8, 7, 6, 5};
  for (std::size_t existing : {0, 2, 100}) {
    Dispatched d;
    Archive archive;
    ByteBuffer out(existing, 0xEE);
    std::uint32_t decoded = 0, stored = 0;
    ByteBuffer payload = make_payload_buffer(bytes.data(), 5);
    archive.dispatch_content(d.parent, payload.data(), 5, &out, &decoded, &stored);
    EXPECT_EQ(decoded, 5u);
    EXPECT_EQ(stored, 5u);
    ASSERT_GE(out.size(), 5u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), out.begin()));
    // No signature in rebuild mode.
    EXPECT_EQ(d.parent->first_node()->first_attribute("rawdata"), nullptr);
  }
}

// What nested containers hold at once is bounded: past the bound a container
// is not unwrapped but shown as unknown, and a rebuild passes it through.
TEST(Dispatch, NestedContainersStayWithinTheBytesInFlight) {
  const forge::Bytes leaf(1000, 'x');
  const forge::Bytes inner = forge::pack_of({leaf}, false);
  const forge::Bytes outer = forge::pack_of({inner}, false);
  const forge::Bytes stream = forge::zlib_stream_of(outer, 0x400, false);
  struct Case {
    std::uint64_t budget;
    const char* tree;
  } cases[] = {
      {kMaxBytesInFlight, "zlib>pack>pack>unknow"},
      {outer.size() + inner.size() + leaf.size() + 3 * kPayloadSlack, "zlib>pack>pack>unknow"},
      {outer.size() + inner.size() + 2 * kPayloadSlack, "zlib>pack>unknow"},
      {outer.size() + kPayloadSlack, "zlib>unknow"},
      {100, "unknow"},
  };
  for (const Case& c : cases) {
    Dispatched d;
    Archive archive;
    archive.max_bytes_in_flight = c.budget;
    const ByteBuffer payload =
        make_payload_buffer(stream.data(), static_cast<std::uint32_t>(stream.size()));
    archive.dispatch_content(d.parent, payload.data(), static_cast<std::uint32_t>(stream.size()));
    std::string tree;
    for (const ContentNode* n = d.parent->first_node(); n; n = n->first_node()) {
      tree += std::string(tree.empty() ? "" : ">") + n->name();
    }
    EXPECT_EQ(tree, c.tree) << c.budget;
    // A rebuild comes back unchanged whatever was unwrapped.
    Dispatched rebuilt;
    ByteBuffer out;
    std::uint32_t decoded = 0, stored = 0;
    archive.dispatch_content(rebuilt.parent, payload.data(),
                             static_cast<std::uint32_t>(stream.size()), &out, &decoded, &stored);
    ASSERT_FALSE(archive.rebuild_failed) << c.budget;
    EXPECT_TRUE(stored == stream.size() && std::equal(stream.begin(), stream.end(), out.begin()))
        << c.budget;
  }
}

TEST(Dispatch, AbsentParentChangesNothing) {
  Archive archive;
  ByteBuffer out;
  std::uint32_t decoded = 7, stored = 7;
  const std::uint8_t bytes[4] = {1, 2, 3, 4};
  archive.dispatch_content(nullptr, bytes, 4, &out, &decoded, &stored);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(decoded, 7u);
  EXPECT_EQ(stored, 7u);
}

}  // namespace
}  // namespace korvel
