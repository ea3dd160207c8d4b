// Recognition and the "G1M_" node: what listing an entry shows of a model.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/formats/g1m_fixtures.h"

namespace korvel::test {
namespace {

struct RecognitionCase {
  const char* name;
  bool big_endian;
  Bytes header;  // the first bytes; a quad's chunks follow when long enough
  int expected;
};

Bytes bytes_of(const char* text, std::size_t size) {
  return Bytes(reinterpret_cast<const std::uint8_t*>(text),
               reinterpret_cast<const std::uint8_t*>(text) + size);
}

TEST(G1mListing, RecognisesBothMagicsAndOnlyTheSupportedVersion) {
  const RecognitionCase cases[] = {
      {"little-endian file", false, bytes_of("_M1G6300", 8), 1},
      {"big-endian file", true, bytes_of("G1M_0036", 8), 1},
      // The magic's two spellings are accepted whatever the archive's order.
      {"big-endian magic, little-endian archive", false, bytes_of("G1M_6300", 8), 1},
      {"little-endian magic, big-endian archive", true, bytes_of("_M1G0036", 8), 1},
      {"version in the other order", false, bytes_of("_M1G0036", 8), 0},
      {"other version", false, bytes_of("_M1G7300", 8), 0},
      {"other magic", false, bytes_of("_M1T6300", 8), 0},
      {"lower-case magic", false, bytes_of("_m1g6300", 8), 0},
      {"texture magic", false, bytes_of("GT1G0600", 8), 0},
      {"version cut short", false, bytes_of("_M1G630", 7), 0},
      {"magic only", false, bytes_of("_M1G", 4), 0},
      {"empty", false, {}, 0},
  };
  for (const RecognitionCase& c : cases) {
    SCOPED_TRACE(c.name);
    ModelDecoder decoder(c.big_endian);
    EXPECT_EQ(decoder.decode(c.header), c.expected);
    EXPECT_EQ(decoder.entry->first_node() != nullptr, c.expected == 1);
    EXPECT_TRUE(decoder.messages().empty());
  }
}

TEST(G1mListing, NullParentDeclines) {
  Archive archive;
  const Bytes payload = forge::write_g1m(quad_model(false));
  EXPECT_EQ(archive.decode_g1m(nullptr, payload.data(), static_cast<std::uint32_t>(payload.size()),
                               nullptr, nullptr, nullptr),
            0);
}

TEST(G1mListing, NodeHasNumberContentAndOutputIdInOrder) {
  ModelDecoder decoder(false, "no such key");
  ASSERT_EQ(decoder.decode(forge::write_g1m(quad_model(false))), 1);
  const ContentNode* node = decoder.entry->first_node();
  ASSERT_NE(node, nullptr);
  EXPECT_STREQ(node->name(), "G1M_");
  EXPECT_EQ(node->next_sibling(), nullptr);
  std::vector<std::pair<std::string, std::string>> attributes;
  for (const auto* a = node->first_attribute(); a != nullptr; a = a->next_attribute()) {
    attributes.emplace_back(a->name(), std::string(a->value(), a->value_size()));
  }
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"number", "0"}, {"content", "g1m_.html"}, {"output_id", ".\\00000000\\0.G1M_"}};
  EXPECT_EQ(attributes, expected);
}

TEST(G1mListing, OutputIdFollowsTheNumbersOfEveryLevelAbove) {
  ModelDecoder decoder(false);
  ContentNode* pack = append_element(decoder.entry, vocab::kPack);
  append_attribute(pack, vocab::kNumber, "3");
  ContentNode* zlib = append_element(pack, vocab::kZlib);
  append_attribute(zlib, vocab::kNumber, "0");
  const Bytes payload = forge::write_g1m(quad_model(false));
  ASSERT_EQ(
      decoder.archive.decode_g1m(zlib, payload.data(), static_cast<std::uint32_t>(payload.size()),
                                 nullptr, nullptr, nullptr),
      1);
  EXPECT_EQ(attribute_value(zlib->first_node(), "output_id"), ".\\00000000\\3\\0\\0.G1M_");
}

TEST(G1mListing, OtherKeyLeavesImageAndModelViewUntouched) {
  ModelDecoder decoder(false);
  ASSERT_EQ(decoder.decode(forge::write_g1m(quad_model(false))), 1);
  const ByteBuffer image_before = decoder.archive.image;
  const std::uint8_t* section_before = decoder.archive.model_view.vb_section;
  ASSERT_NE(section_before, nullptr);

  decoder.archive.requested_key = ".\\00000000\\0\\0.G1M_";
  ASSERT_EQ(decoder.decode(forge::write_g1m(model_of(false, {}))), 1);
  EXPECT_EQ(decoder.archive.image, image_before);
  EXPECT_EQ(decoder.archive.model_view.vb_section, section_before);
  EXPECT_EQ(decoder.archive.model_view.vertex_buffer_count(), 1u);
}

TEST(G1mListing, KeyComparesIgnoringCase) {
  ModelDecoder decoder(false, ".\\00000000\\0.g1m_");
  ASSERT_EQ(decoder.decode(forge::write_g1m(quad_model(false))), 1);
  EXPECT_FALSE(decoder.archive.image.empty());
}

}  // namespace
}  // namespace korvel::test
