// Damaged models: whatever a header or size says, nothing outside the copy is
// read or written, the walk always ends, and the viewer only ever gets
// references to bytes that are there.
#include <gtest/gtest.h>

#include "tests/formats/g1m_fixtures.h"

namespace korvel::test {
namespace {

class G1mBounds : public testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(ByteOrders, G1mBounds, testing::Values(false, true), byte_order_name);

forge::G1mModel skipped_then_quad(bool be) {
  return model_of(be, {forge::plain_chunk(g1m::kChunkG1mf, 0, raw_bytes(be, {1, 2})),
                       forge::geometry_chunk(g1m::kGeometryVersion44, quad_sections())});
}

// Every prefix of a model (cutting every header, count and buffer in turn):
// recognised once the version is there, never a reference past the end.
TEST_P(G1mBounds, EveryTruncationStaysInsideTheCopy) {
  const Bytes payload = forge::write_g1m(skipped_then_quad(GetParam()));
  for (std::size_t length = 0; length <= payload.size(); ++length) {
    SCOPED_TRACE(length);
    ModelDecoder decoder(GetParam());
    const int result = decoder.decode(Bytes(payload.begin(), payload.begin() + length));
    ASSERT_EQ(result, length >= 8 ? 1 : 0);
    ASSERT_TRUE(fuzz::model_view_within_image(decoder.archive));
    const ModelView& view = decoder.archive.model_view;
    // The submeshes come last: they are there exactly when the model is whole.
    EXPECT_EQ(view.sm_section != nullptr, length == payload.size());
    // Cut headers end the walk quietly, with nothing converted before them.
    EXPECT_TRUE(decoder.messages().empty());
    if (length >= 8 && view.vb_section == nullptr) {
      EXPECT_EQ(Bytes(decoder.archive.image.begin(), decoder.archive.image.begin() + length),
                Bytes(payload.begin(), payload.begin() + length));
    }
  }
}

// A section that does not fit whole is neither converted nor recorded.
TEST_P(G1mBounds, ACutSectionChangesNothing) {
  const bool be = GetParam();
  const Bytes payload = forge::write_g1m(quad_model(be));
  const std::size_t cut = kFirstSectionOffset + 12 + 16 + 4 * 36 - 1;  // one vertex byte short
  ModelDecoder decoder(be);
  ASSERT_EQ(decoder.decode(Bytes(payload.begin(), payload.begin() + cut)), 1);
  EXPECT_EQ(decoder.archive.model_view.vb_section, nullptr);
  EXPECT_EQ(Bytes(decoder.archive.image.begin(), decoder.archive.image.begin() + cut),
            Bytes(payload.begin(), payload.begin() + cut));
}

TEST_P(G1mBounds, AnEarlierSectionSurvivesALaterOneThatIsCut) {
  const bool be = GetParam();
  std::vector<forge::G1mSection> sections = quad_sections();
  forge::G1mSection second = forge::vertex_section({vertex_buffer(48, 2)});
  second.vertex_buffers[0].vertex_count = 1000;  // declares far more than it holds
  sections.push_back(second);
  ModelDecoder decoder(be);
  ASSERT_EQ(decoder.decode(forge::write_g1m(
                model_of(be, {forge::geometry_chunk(g1m::kGeometryVersion44, sections)}))),
            1);
  const ModelView& view = decoder.archive.model_view;
  ASSERT_EQ(view.vertex_buffer_count(), 1u);
  EXPECT_EQ(ModelView::word(view.vb_headers[0], g1m::kVertexBufferStrideWord), 36u);
  EXPECT_EQ(view.submesh_count(), 1u);
  EXPECT_TRUE(fuzz::model_view_within_image(decoder.archive));
}

struct SizeCase {
  const char* name;
  std::uint32_t stride_or_bits;
  std::uint32_t count;
};

// Products that wrap in 32 bits would look small; in 64 bits they are what
// they are, and far past the end.
TEST_P(G1mBounds, CountTimesWidthIsNeverWrapped) {
  const bool be = GetParam();
  const SizeCase vertex_cases[] = {
      {"2^31 x 2 wraps to 0", 0x80000000, 2},
      {"2^16 x 2^16 wraps to 0", 0x10000, 0x10000},
      {"all ones", 0xFFFFFFFF, 0xFFFFFFFF},
      {"one vertex too many", 36, 5},
  };
  for (const SizeCase& c : vertex_cases) {
    SCOPED_TRACE(c.name);
    forge::G1mVertexBuffer buffer = vertex_buffer(36, 4);
    buffer.stride = c.stride_or_bits;
    buffer.vertex_count = c.count;
    ModelDecoder decoder(be);
    ASSERT_EQ(decoder.decode(forge::write_g1m(
                  model_of(be, {forge::geometry_chunk(g1m::kGeometryVersion44,
                                                      {forge::vertex_section({buffer})})}))),
              1);
    EXPECT_EQ(decoder.archive.model_view.vb_section, nullptr);
  }
  const SizeCase index_cases[] = {
      {"32 bits x 2^30 wraps to 0", 32, 0x40000000},
      {"huge width", 0xFFFFFFFF, 0x8},
      {"16 bits x all ones", 16, 0xFFFFFFFF},
      {"one index too many", 16, 5},
  };
  for (const SizeCase& c : index_cases) {
    SCOPED_TRACE(c.name);
    forge::G1mIndexBuffer buffer = index_buffer(16, {0, 1, 2, 3});
    buffer.declared_bits = c.stride_or_bits;
    buffer.declared_count = c.count;
    ModelDecoder decoder(be);
    ASSERT_EQ(decoder.decode(forge::write_g1m(
                  model_of(be, {forge::geometry_chunk(g1m::kGeometryVersion44,
                                                      {forge::index_section({buffer})})}))),
              1);
    EXPECT_EQ(decoder.archive.model_view.ib_section, nullptr);
  }
}

// Counts that would make the view's arrays enormous are refused before
// anything is allocated, because each buffer must be there to be counted.
TEST_P(G1mBounds, HugeCountsAllocateNothing) {
  const bool be = GetParam();
  for (std::uint32_t type :
       {g1m::kSectionVertexBuffers, g1m::kSectionIndexBuffers, g1m::kSectionSubmeshes}) {
    for (std::uint32_t count : {0xFFFFFFFFu, 0x04924925u /* x 56 wraps to 24 */}) {
      SCOPED_TRACE(testing::Message() << type << " " << count);
      std::vector<forge::G1mSection> sections = quad_sections();
      forge::G1mSection& section = sections[type == g1m::kSectionVertexBuffers  ? 0
                                            : type == g1m::kSectionIndexBuffers ? 1
                                                                                : 2];
      section.declared_count = count;
      ModelDecoder decoder(be);
      ASSERT_EQ(decoder.decode(forge::write_g1m(
                    model_of(be, {forge::geometry_chunk(g1m::kGeometryVersion44, sections)}))),
                1);
      const ModelView& view = decoder.archive.model_view;
      // The damaged section stops the walk: it and what follows are absent.
      EXPECT_EQ(view.vb_section == nullptr, type == g1m::kSectionVertexBuffers);
      EXPECT_EQ(view.ib_section == nullptr, type != g1m::kSectionSubmeshes);
      EXPECT_EQ(view.sm_section, nullptr);
      EXPECT_TRUE(fuzz::model_view_within_image(decoder.archive));
    }
  }
}

struct SkipCase {
  const char* name;
  std::uint32_t size;
};

// A skipped chunk or section whose size would not move the walk on, or would
// move it past the end, stops the walk: a chunk_count of 2^32 - 1 can then
// not make it spin.
TEST_P(G1mBounds, SkipsThatGoNowhereOrTooFarStopTheWalk) {
  const bool be = GetParam();
  const SkipCase cases[] = {{"size 0", 0},
                            {"inside its own header", 11},
                            {"past the end", 0x10000},
                            {"all ones", 0xFFFFFFFF}};
  for (const SkipCase& c : cases) {
    SCOPED_TRACE(c.name);
    forge::G1mModel chunk_model = skipped_then_quad(be);
    chunk_model.chunks[0].declared_size = c.size;
    chunk_model.declared_chunk_count = 0xFFFFFFFF;
    ModelDecoder chunk_decoder(be);
    ASSERT_EQ(chunk_decoder.decode(forge::write_g1m(chunk_model)), 1);
    EXPECT_EQ(chunk_decoder.archive.model_view.vb_section, nullptr);
    EXPECT_TRUE(chunk_decoder.messages().empty());

    std::vector<forge::G1mSection> sections = quad_sections();
    forge::G1mSection skipped = forge::plain_section(0x00010002, raw_bytes(be, {1, 2}));
    skipped.declared_size = c.size >= 8 && c.size <= 11 ? 7 : c.size;
    sections.insert(sections.begin() + 1, skipped);
    forge::G1mChunk geometry = forge::geometry_chunk(g1m::kGeometryVersion44, sections);
    geometry.declared_section_count = 0xFFFFFFFF;
    ModelDecoder section_decoder(be);
    ASSERT_EQ(section_decoder.decode(forge::write_g1m(model_of(be, {geometry}))), 1);
    const ModelView& view = section_decoder.archive.model_view;
    EXPECT_EQ(view.vertex_buffer_count(), 1u);  // before the bad section
    EXPECT_EQ(view.ib_section, nullptr);        // after it
    EXPECT_TRUE(section_decoder.messages().empty());
  }
}

// Sizes the format does not use are not checked: a G1MG or a parsed section
// that declares a wrong size is read by its contents.
TEST_P(G1mBounds, SizesTheFormatDoesNotUseAreIgnored) {
  const bool be = GetParam();
  forge::G1mModel model = quad_model(be);
  model.chunks[0].declared_size = 0xFFFFFFFF;
  for (forge::G1mSection& section : model.chunks[0].sections) section.declared_size = 0;
  ModelDecoder decoder(be);
  ASSERT_EQ(decoder.decode(forge::write_g1m(model)), 1);
  EXPECT_EQ(decoder.archive.model_view.submesh_count(), 1u);
}

}  // namespace
}  // namespace korvel::test
