// Rebuild mode: a model is carried through unchanged, so that an entry
// rebuilt around it (a texture replaced beside it) keeps it.
#include <gtest/gtest.h>

#include "tests/formats/g1m_fixtures.h"
#include "tools/forge/sample_models.h"

namespace korvel::test {
namespace {

TEST(G1mRebuild, AModelComesBackByteForByteInBothOrders) {
  for (bool be : {false, true}) {
    SCOPED_TRACE(be);
    const Bytes model = forge::write_g1m(forge::robot_model(be));
    const auto length = static_cast<std::uint32_t>(model.size());
    Archive archive;
    archive.big_endian = be ? 1 : 0;
    archive.requested_key = fuzz::kModelKey;  // even the model itself is not extracted
    ContentTree tree;
    ContentNode* entry = fuzz::entry_element(&tree);
    const ByteBuffer payload = make_payload_buffer(model.data(), length);
    ByteBuffer out(3, 0xEE);  // a buffer that was there is replaced
    std::uint32_t decoded_size = 7;
    std::uint32_t stored_size = 7;
    archive.dispatch_content(entry, payload.data(), length, &out, &decoded_size, &stored_size);

    ASSERT_TRUE(fuzz::first_child_is_model(entry));
    EXPECT_EQ(attribute_value(entry->first_node(), "output_id"), fuzz::kModelKey);
    EXPECT_EQ(decoded_size, length);
    EXPECT_EQ(stored_size, length);
    ASSERT_EQ(out.size(), model.size() + 256);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + length), model);
    EXPECT_EQ(Bytes(out.begin() + length, out.end()), Bytes(256, 0));
    EXPECT_TRUE(archive.image.empty());
    EXPECT_EQ(archive.model_view.vb_section, nullptr);
  }
}

TEST(G1mRebuild, ADamagedModelComesBackUnchangedToo) {
  forge::G1mModel model = quad_model(true);
  model.chunks[0].sections[0].vertex_buffers[0].vertex_count = 0xFFFFFFFF;
  model.declared_chunk_count = 0xFFFFFFFF;
  const Bytes bytes = forge::write_g1m(model);
  Archive archive;
  archive.big_endian = 1;
  ContentTree tree;
  ContentNode* entry = fuzz::entry_element(&tree);
  ByteBuffer out;
  std::uint32_t decoded_size = 0;
  std::uint32_t stored_size = 0;
  EXPECT_EQ(archive.decode_g1m(entry, bytes.data(), static_cast<std::uint32_t>(bytes.size()), &out,
                               &decoded_size, &stored_size),
            1);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(bytes.size())), bytes);
  EXPECT_EQ(stored_size, bytes.size());
}

TEST(G1mRebuild, DeclinedPayloadsLeaveTheOutputsAlone) {
  const Bytes not_a_model = {'_', 'M', '1', 'G', '0', '0', '0', '0'};
  Archive archive;
  ContentTree tree;
  ContentNode* entry = fuzz::entry_element(&tree);
  ByteBuffer out(5, 0xEE);
  std::uint32_t decoded_size = 9;
  std::uint32_t stored_size = 9;
  EXPECT_EQ(archive.decode_g1m(entry, not_a_model.data(), 8, &out, &decoded_size, &stored_size), 0);
  EXPECT_EQ(out, ByteBuffer(5, 0xEE));
  EXPECT_EQ(decoded_size, 9u);
  EXPECT_EQ(stored_size, 9u);
  EXPECT_EQ(entry->first_node(), nullptr);
}

}  // namespace
}  // namespace korvel::test
