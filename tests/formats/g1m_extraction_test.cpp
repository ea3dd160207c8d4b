// Extraction of the requested model: the private copy, the conversions in
// place and the references the viewer gets, in both byte orders.
#include <gtest/gtest.h>

#include "tests/formats/g1m_fixtures.h"

namespace korvel::test {
namespace {

using W = ModelView;

std::vector<std::uint32_t> words_of(const std::uint8_t* at, std::size_t count) {
  std::vector<std::uint32_t> words;
  for (std::size_t i = 0; i < count; ++i) words.push_back(W::word(at, i));
  return words;
}

std::vector<std::uint32_t> indices_of(const ModelView& view, std::size_t buffer) {
  const std::uint32_t count = W::word(view.ib_headers[buffer], g1m::kIndexBufferCountWord);
  const std::uint32_t width = W::word(view.ib_headers[buffer], g1m::kIndexBufferBitsWord) / 8;
  std::vector<std::uint32_t> indices;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t value = 0;
    std::memcpy(&value, view.ib_data[buffer] + i * width, width);  // host is little-endian
    indices.push_back(value);
  }
  return indices;
}

class G1mExtraction : public testing::TestWithParam<bool> {};
INSTANTIATE_TEST_SUITE_P(ByteOrders, G1mExtraction, testing::Values(false, true), byte_order_name);

TEST_P(G1mExtraction, CopiesThePayloadFollowedByFourZeroBytes) {
  ModelDecoder decoder(GetParam());
  const Bytes payload = forge::write_g1m(quad_model(GetParam()));
  ASSERT_EQ(decoder.decode(payload), 1);
  ASSERT_EQ(decoder.archive.image_size, payload.size());
  ASSERT_EQ(decoder.archive.image.size(), payload.size() + 4);
  EXPECT_EQ(Bytes(decoder.archive.image.end() - 4, decoder.archive.image.end()), Bytes(4, 0));
  // The container and G1MG headers are read, never converted.
  EXPECT_EQ(
      Bytes(decoder.archive.image.begin(), decoder.archive.image.begin() + kFirstSectionOffset),
      Bytes(payload.begin(), payload.begin() + kFirstSectionOffset));
  EXPECT_TRUE(decoder.messages().empty());
}

TEST_P(G1mExtraction, ConvertsHeadersRecordsAndIndicesButNeverVertexData) {
  for (std::uint32_t bits : {16u, 32u}) {
    SCOPED_TRACE(bits);
    ModelDecoder decoder(GetParam());
    forge::G1mModel model =
        model_of(GetParam(), {forge::geometry_chunk(g1m::kGeometryVersion44, quad_sections(bits))});
    ASSERT_EQ(decoder.decode(forge::write_g1m(model)), 1);
    const ModelView& view = decoder.archive.model_view;

    ASSERT_EQ(decoder.offset_in_image(view.vb_section), kFirstSectionOffset);
    EXPECT_EQ(words_of(view.vb_section, 3),
              (std::vector<std::uint32_t>{g1m::kSectionVertexBuffers, 12 + 16 + 4 * 36, 1}));
    ASSERT_EQ(view.vb_headers.size(), 2u);
    EXPECT_EQ(view.vb_headers[1], nullptr);
    EXPECT_EQ(view.vb_data[1], nullptr);
    EXPECT_EQ(words_of(view.vb_headers[0], 4),
              (std::vector<std::uint32_t>{0x11223344, 36, 4, 0x55667788}));
    EXPECT_EQ(view.vb_data[0], view.vb_headers[0] + 16);
    EXPECT_EQ(Bytes(view.vb_data[0], view.vb_data[0] + 4 * 36), vertex_bytes(4 * 36, 1));

    EXPECT_EQ(words_of(view.ib_section, 3),
              (std::vector<std::uint32_t>{g1m::kSectionIndexBuffers, 12 + 12 + 4 * bits / 8, 1}));
    ASSERT_EQ(view.ib_headers.size(), 2u);
    EXPECT_EQ(view.ib_headers[1], nullptr);
    EXPECT_EQ(words_of(view.ib_headers[0], 3), (std::vector<std::uint32_t>{4, bits, 0x01020304}));
    EXPECT_EQ(view.ib_data[0], view.ib_headers[0] + 12);
    EXPECT_EQ(indices_of(view, 0), (std::vector<std::uint32_t>{0, 1, 2, 3}));

    EXPECT_EQ(words_of(view.sm_section, 3),
              (std::vector<std::uint32_t>{g1m::kSectionSubmeshes, 12 + 56, 1}));
    ASSERT_EQ(view.sm_records.size(), 2u);
    EXPECT_EQ(view.sm_records[1], nullptr);
    EXPECT_EQ(
        words_of(view.sm_records[0], 14),
        (std::vector<std::uint32_t>{0xA0B0C000, 0, 0xA0B0C001, 0xA0B0C002, 0xA0B0C003, 0xA0B0C004,
                                    0xA0B0C005, 0xA0B0C006, 0xA0B0C007, 0xA0B0C008, 0, 4, 0, 4}));
    EXPECT_TRUE(fuzz::model_view_within_image(decoder.archive));
  }
}

TEST(G1mExtraction, SixteenBitIndicesReadAsOneAndTwoInBothOrders) {
  struct Case {
    bool big_endian;
    Bytes stored;
  };
  for (const Case& c :
       {Case{true, {0x00, 0x01, 0x00, 0x02}}, Case{false, {0x01, 0x00, 0x02, 0x00}}}) {
    SCOPED_TRACE(c.big_endian);
    const forge::G1mModel model = model_of(
        c.big_endian, {forge::geometry_chunk(g1m::kGeometryVersion44,
                                             {forge::index_section({index_buffer(16, {1, 2})})})});
    const Bytes payload = forge::write_g1m(model);
    const std::size_t data = kFirstSectionOffset + 12 + 12;
    ASSERT_EQ(Bytes(payload.begin() + data, payload.begin() + data + 4), c.stored);
    ModelDecoder decoder(c.big_endian);
    ASSERT_EQ(decoder.decode(payload), 1);
    const std::uint8_t* indices = decoder.archive.model_view.ib_data[0];
    ASSERT_EQ(decoder.offset_in_image(indices), data);
    std::uint16_t first = 0;
    std::uint16_t second = 0;
    std::memcpy(&first, indices, 2);
    std::memcpy(&second, indices + 2, 2);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
  }
}

TEST_P(G1mExtraction, IndexWidthsOtherThan16And32BitsStayAsStored) {
  for (std::uint32_t bits : {8u, 24u, 12u, 0u}) {
    SCOPED_TRACE(bits);
    const forge::G1mModel model =
        model_of(GetParam(),
                 {forge::geometry_chunk(g1m::kGeometryVersion44,
                                        {forge::index_section({index_buffer(bits, {1, 2, 3})})})});
    const Bytes payload = forge::write_g1m(model);
    ModelDecoder decoder(GetParam());
    ASSERT_EQ(decoder.decode(payload), 1);
    const ModelView& view = decoder.archive.model_view;
    EXPECT_EQ(W::word(view.ib_headers[0], g1m::kIndexBufferBitsWord), bits);
    const std::size_t data = decoder.offset_in_image(view.ib_data[0]);
    EXPECT_EQ(Bytes(decoder.archive.image.begin() + data,
                    decoder.archive.image.begin() + decoder.archive.image_size),
              Bytes(payload.begin() + data, payload.end()));
  }
}

TEST_P(G1mExtraction, GeometryVersions43And44AreParsedOthersSteppedInto) {
  const bool be = GetParam();
  struct Case {
    std::uint32_t version;
    bool parsed;
  };
  for (const Case& c : {Case{g1m::kGeometryVersion43, true}, Case{g1m::kGeometryVersion44, true},
                        Case{0x30303432, false}, Case{0x30303435, false}}) {
    SCOPED_TRACE(c.version);
    // Inside the outer G1MG, right after its 48-byte header, lies a complete
    // G1MG: parsing the outer one finds the quad at once, skipping it makes
    // the chunk walk read the inner one as the next chunk.
    const Bytes inner = forge::write_g1m_chunk(
        forge::geometry_chunk(g1m::kGeometryVersion44,
                              {forge::vertex_section({vertex_buffer(52, 2, 7)})}),
        be);
    forge::G1mChunk outer = forge::geometry_chunk(c.version, quad_sections());
    forge::G1mModel model = model_of(be, {outer});
    if (!c.parsed) {
      Bytes raw = raw_bytes(be, {g1m::kChunkG1mg, c.version, 0});
      raw.resize(g1m::kSectionCountOffset, 0);
      const Bytes count = raw_bytes(be, {1});
      raw.insert(raw.end(), count.begin(), count.end());
      raw.insert(raw.end(), inner.begin(), inner.end());
      model.chunks[0].raw = raw;
      model.declared_chunk_count = 2;
    }
    ModelDecoder decoder(be);
    ASSERT_EQ(decoder.decode(forge::write_g1m(model)), 1);
    const ModelView& view = decoder.archive.model_view;
    ASSERT_NE(view.vb_section, nullptr);
    if (c.parsed) {
      EXPECT_EQ(decoder.offset_in_image(view.vb_section), kFirstSectionOffset);
      EXPECT_EQ(view.submesh_count(), 1u);
    } else {
      EXPECT_EQ(decoder.offset_in_image(view.vb_section), kFirstSectionOffset + 48);
      EXPECT_EQ(W::word(view.vb_headers[0], g1m::kVertexBufferStrideWord), 52u);
      EXPECT_EQ(view.sm_section, nullptr);
    }
    EXPECT_TRUE(decoder.messages().empty());
  }
}

TEST_P(G1mExtraction, GeometryWithoutSectionsHandsOnToTheNextChunk) {
  const forge::G1mModel model =
      model_of(GetParam(), {forge::geometry_chunk(g1m::kGeometryVersion44, {}),
                            forge::geometry_chunk(g1m::kGeometryVersion43, quad_sections())});
  ModelDecoder decoder(GetParam());
  ASSERT_EQ(decoder.decode(forge::write_g1m(model)), 1);
  EXPECT_EQ(decoder.offset_in_image(decoder.archive.model_view.vb_section),
            kFirstSectionOffset + 48);
}

TEST_P(G1mExtraction, OfTwoVertexSectionsOnlyTheSecondRemains) {
  std::vector<forge::G1mSection> sections = quad_sections();
  sections.insert(sections.begin() + 1,
                  forge::vertex_section({vertex_buffer(48, 2, 9), vertex_buffer(120, 1, 5)}));
  ModelDecoder decoder(GetParam());
  ASSERT_EQ(decoder.decode(forge::write_g1m(
                model_of(GetParam(), {forge::geometry_chunk(g1m::kGeometryVersion44, sections)}))),
            1);
  const ModelView& view = decoder.archive.model_view;
  ASSERT_EQ(view.vertex_buffer_count(), 2u);
  ASSERT_EQ(view.vb_headers.size(), 3u);
  EXPECT_EQ(W::word(view.vb_headers[0], 1), 48u);
  EXPECT_EQ(W::word(view.vb_headers[1], 1), 120u);
  EXPECT_EQ(Bytes(view.vb_data[1], view.vb_data[1] + 120), vertex_bytes(120, 5));
  EXPECT_EQ(view.index_buffer_count(), 1u);
  EXPECT_EQ(view.submesh_count(), 1u);
}

TEST_P(G1mExtraction, SkippedChunksAndSectionsPassWithoutAMessage) {
  const bool be = GetParam();
  std::vector<forge::G1mSection> sections;
  for (std::uint32_t type : {0x00010001u, 0x00010002u, 0x00010003u}) {
    sections.push_back(forge::plain_section(type, raw_bytes(be, {type, 1, 2})));
  }
  sections.push_back(forge::vertex_section({vertex_buffer(36, 4)}));
  for (std::uint32_t type : {0x00010005u, 0x00010006u}) {
    sections.push_back(forge::plain_section(type, raw_bytes(be, {0x00010004, 0xFFFFFFFF})));
  }
  sections.push_back(forge::index_section({index_buffer(16, {0, 1, 2, 3})}));
  sections.push_back(forge::submesh_section({submesh(0, 0, 4, 0, 4)}));
  sections.push_back(forge::plain_section(0x00010009, {}));
  std::vector<forge::G1mChunk> chunks;
  for (std::uint32_t id : {g1m::kChunkG1mf, g1m::kChunkG1ms, g1m::kChunkG1mm, g1m::kChunkColl,
                           g1m::kChunkNuno, g1m::kChunkNunv, g1m::kChunkExtr}) {
    // Bodies that would read as geometry if the walk looked inside.
    chunks.push_back(
        forge::plain_chunk(id, 0x30303230, raw_bytes(be, {g1m::kChunkG1mg, 0x30303434, 0xFFFF})));
  }
  chunks.push_back(forge::geometry_chunk(g1m::kGeometryVersion44, sections));
  const Bytes payload = forge::write_g1m(model_of(be, chunks));
  ModelDecoder decoder(be);
  ASSERT_EQ(decoder.decode(payload), 1);
  EXPECT_TRUE(decoder.messages().empty());
  const ModelView& view = decoder.archive.model_view;
  EXPECT_EQ(view.vertex_buffer_count(), 1u);
  EXPECT_EQ(view.index_buffer_count(), 1u);
  EXPECT_EQ(view.submesh_count(), 1u);
  // Skipped content is left as stored.
  const std::size_t skipped_end = decoder.offset_in_image(view.vb_section) - 3 * 20;
  EXPECT_EQ(Bytes(decoder.archive.image.begin(), decoder.archive.image.begin() + skipped_end),
            Bytes(payload.begin(), payload.begin() + skipped_end));
}

TEST_P(G1mExtraction, UnknownChunkWarnsAndTheNextHeaderFollowsItsHeader) {
  const bool be = GetParam();
  for (std::uint32_t id : {0x41424344u, 0x47314D40u, 0u}) {
    SCOPED_TRACE(id);
    forge::G1mChunk unknown;
    unknown.raw = raw_bytes(be, {id, 0x30303030, 0x1000});  // a size that is never used
    const forge::G1mModel model =
        model_of(be, {unknown, forge::geometry_chunk(g1m::kGeometryVersion44, quad_sections())});
    ModelDecoder decoder(be);
    ASSERT_EQ(decoder.decode(forge::write_g1m(model)), 1);
    EXPECT_EQ(decoder.messages(), std::vector<std::string>{kUnknownChunkMessage});
    EXPECT_EQ(decoder.offset_in_image(decoder.archive.model_view.vb_section),
              kFirstSectionOffset + 12);
  }
}

TEST_P(G1mExtraction, UnknownSectionWarnsAndTheNextHeaderFollowsItsHeader) {
  const bool be = GetParam();
  std::vector<forge::G1mSection> sections = quad_sections();
  forge::G1mSection below;
  below.raw = raw_bytes(be, {0x00010000, 0x500});
  forge::G1mSection above;
  above.raw = raw_bytes(be, {0x0001000A, 0});
  sections.insert(sections.begin(), {below, above});
  ModelDecoder decoder(be);
  ASSERT_EQ(decoder.decode(forge::write_g1m(
                model_of(be, {forge::geometry_chunk(g1m::kGeometryVersion44, sections)}))),
            1);
  EXPECT_EQ(decoder.messages(),
            (std::vector<std::string>{kUnknownSectionMessage, kUnknownSectionMessage}));
  EXPECT_EQ(decoder.offset_in_image(decoder.archive.model_view.vb_section),
            kFirstSectionOffset + 16);
  EXPECT_EQ(decoder.archive.model_view.submesh_count(), 1u);
}

TEST_P(G1mExtraction, AtMostEightMessagesPerModel) {
  const bool be = GetParam();
  std::vector<forge::G1mChunk> chunks;
  for (int i = 0; i < 20; ++i) {
    forge::G1mChunk unknown;
    unknown.raw = raw_bytes(be, {0x41424344, 0, 0});
    chunks.push_back(unknown);
  }
  chunks.push_back(forge::geometry_chunk(g1m::kGeometryVersion44, quad_sections()));
  ModelDecoder decoder(be);
  ASSERT_EQ(decoder.decode(forge::write_g1m(model_of(be, chunks))), 1);
  EXPECT_EQ(decoder.messages().size(), 8u);
  // The walk itself goes on past the unshown ones.
  EXPECT_EQ(decoder.archive.model_view.submesh_count(), 1u);
}

TEST_P(G1mExtraction, ANewExtractionLeavesNothingOfAnEarlierModel) {
  const bool be = GetParam();
  ModelDecoder decoder(be);
  ASSERT_EQ(decoder.decode(forge::write_g1m(quad_model(be))), 1);
  ASSERT_NE(decoder.archive.model_view.sm_section, nullptr);
  const Bytes plain = forge::write_g1m(
      model_of(be, {forge::plain_chunk(g1m::kChunkG1mf, 0, raw_bytes(be, {1, 2, 3}))}));
  ASSERT_EQ(decoder.decode(plain), 1);
  const ModelView& view = decoder.archive.model_view;
  EXPECT_EQ(view.vb_section, nullptr);
  EXPECT_EQ(view.ib_section, nullptr);
  EXPECT_EQ(view.sm_section, nullptr);
  EXPECT_TRUE(view.vb_headers.empty() && view.ib_data.empty() && view.sm_records.empty());
  EXPECT_EQ(decoder.archive.image_size, plain.size());
}

}  // namespace
}  // namespace korvel::test
