// Recognition and decoding of zlib chunk streams.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/console_message.h"
#include "archive/decode_zlib.h"
#include "tests/support/container_laws.h"
#include "tests/support/test_bytes.h"
#include "tools/forge/zlib_stream_writer.h"

namespace korvel {
namespace {

using forge::Bytes;
using forge::ZlibChunkSpec;
using forge::ZlibStreamSpec;

using test::noise_of;
using test::text_of;

ZlibChunkSpec compressed(Bytes data) {
  ZlibChunkSpec chunk;
  chunk.data = std::move(data);
  return chunk;
}

ZlibChunkSpec stored(Bytes data, std::optional<std::uint32_t> table_entry = std::nullopt) {
  ZlibChunkSpec chunk;
  chunk.data = std::move(data);
  chunk.stored = true;
  chunk.table_entry = table_entry;
  return chunk;
}

ZlibStreamSpec spec_of(std::uint32_t chunk_size, std::vector<ZlibChunkSpec> chunks,
                       std::optional<std::uint32_t> total_size = std::nullopt,
                       std::optional<std::uint32_t> chunk_count = std::nullopt) {
  ZlibStreamSpec layout;
  layout.chunk_size = chunk_size;
  layout.chunks = std::move(chunks);
  layout.total_size = total_size;
  layout.chunk_count = chunk_count;
  return layout;
}

bool recognised(const Bytes& payload, std::uint8_t big_endian = 0) {
  ZlibStreamHeader header;
  const bool by_header =
      read_zlib_stream_header(ByteReader(payload.data(), payload.size(), big_endian), &header);
  // The decoder must agree with the header test it is built on.
  const std::string tree =
      test::content_tree_of(payload.data(), static_cast<std::uint32_t>(payload.size()), big_endian);
  EXPECT_EQ(by_header, tree.find("<zlib number=\"0\">") != std::string::npos) << tree;
  return by_header;
}

struct RecognitionCase {
  const char* name;
  std::function<Bytes()> payload;
  bool expected;
};

TEST(ZlibStreamRecognition, FollowsTheHeaderTestsInOrder) {
  const RecognitionCase cases[] = {
      {"a well-formed stream",
       [] { return forge::zlib_stream_of(text_of(1000, "a"), 0x200, false); }, true},
      {"128 bytes: a header area alone",
       [] { return forge::write_zlib_stream(spec_of(0x200, {stored({}, 0)}, 0), false); }, false},
      {"chunk_size 0",
       [] {
         Bytes payload = forge::zlib_stream_of(text_of(1000, "a"), 0x200, false);
         payload[0] = payload[1] = 0;
         return payload;
       },
       false},
      {"chunk_size 0x10000000",
       [] { return forge::zlib_stream_of(text_of(300, "a"), 0x10000000, false); }, false},
      {"chunk_size 0x0FFFFFFF",
       [] { return forge::zlib_stream_of(text_of(300, "a"), 0x0FFFFFFF, false); }, true},
      {"total 0x50000 in 3 chunks of 0x20000",
       [] { return forge::zlib_stream_of(text_of(0x50000, "b"), 0x20000, false); }, true},
      {"total 0x50000 in 2 chunks",
       [] {
         ZlibStreamSpec layout = forge::zlib_stream_spec_of(text_of(0x50000, "b"), 0x20000);
         layout.chunks.pop_back();
         return forge::write_zlib_stream(layout, false);
       },
       false},
      {"total 0x50000 in 4 chunks",
       [] {
         ZlibStreamSpec layout = forge::zlib_stream_spec_of(text_of(0x50000, "b"), 0x20000);
         layout.chunks.push_back(compressed({}));
         return forge::write_zlib_stream(layout, false);
       },
       false},
      {"total 0x40000 in 3 chunks, the third decoding to nothing",
       [] { return forge::zlib_stream_of(text_of(0x40000, "c"), 0x20000, false); }, true},
      {"total 0x40000 in 2 chunks",
       [] {
         ZlibStreamSpec layout = forge::zlib_stream_spec_of(text_of(0x40000, "c"), 0x20000);
         layout.chunks.pop_back();
         return forge::write_zlib_stream(layout, false);
       },
       false},
      {"fewer than 128 decoded bytes in a chunk of 128",
       [] { return forge::zlib_stream_of(text_of(100, "d"), 0x200, false); }, false},
      {"a chunk padded beyond chunk_size",
       [] {
         return forge::write_zlib_stream(
             spec_of(0x100, {stored(text_of(0x17C, "e")), compressed(text_of(0x80, "e"))}), false);
       },
       false},
      {"entry 0x1F4 occupies 0x200 bytes",
       [] {
         return forge::write_zlib_stream(
             spec_of(0x200, {stored(text_of(0x1F0, "f")), compressed(text_of(0x100, "f"))}), false);
       },
       true},
      {"entry 0x200 occupies exactly 0x200 bytes",
       [] {
         return forge::write_zlib_stream(
             spec_of(0x200, {stored(text_of(0x1FC, "g")), compressed(text_of(0x100, "g"))}), false);
       },
       true},
      {"one byte more than the chunks",
       [] {
         Bytes payload = forge::zlib_stream_of(text_of(1000, "h"), 0x200, false);
         payload.push_back(0);
         return payload;
       },
       false},
      {"128 bytes more than the chunks",
       [] {
         Bytes payload = forge::zlib_stream_of(text_of(1000, "h"), 0x200, false);
         payload.resize(payload.size() + 128, 0);
         return payload;
       },
       false},
      {"a chunk table longer than the payload",
       [] {
         return forge::write_zlib_stream(
             spec_of(0x80, {compressed(text_of(0x80, "i"))}, 0x80 * 1000, 1001), false);
       },
       false},
      // Refused before anything of that size is allocated.
      {"a total far beyond what the chunks can hold",
       [] {
         return forge::write_zlib_stream(
             spec_of(0x0FFFFFF0, {compressed(text_of(300, "j"))}, 0x0FFFFFE0), false);
       },
       false},
      {"incompressible data in stored chunks",
       [] {
         return forge::write_zlib_stream(
             spec_of(0x200, {stored(noise_of(0x1FC, 1)), stored(noise_of(0x17C, 2))}), false);
       },
       true},
  };
  for (const RecognitionCase& c : cases) {
    EXPECT_EQ(recognised(c.payload()), c.expected) << c.name;
  }
}

TEST(ZlibStreamRecognition, ReadsNumbersInTheArchiveByteOrder) {
  const Bytes big = forge::zlib_stream_of(text_of(0x900, "k"), 0x400, true);
  EXPECT_TRUE(recognised(big, 1));
  EXPECT_FALSE(recognised(big, 0));
  const Bytes little = forge::zlib_stream_of(text_of(0x900, "k"), 0x400, false);
  EXPECT_FALSE(recognised(little, 1));
}

// What a stream decodes to, as the decoder hands it on.
Bytes decoded_of(const Bytes& payload) {
  test::content_tree_of(payload.data(), static_cast<std::uint32_t>(payload.size()), 0);
  const std::vector<ByteBuffer> leaves =
      test::leaf_payloads_of(payload.data(), static_cast<std::uint32_t>(payload.size()), 0);
  EXPECT_EQ(leaves.size(), 1u);
  return leaves.empty() ? Bytes{} : leaves[0];
}

Bytes concat(std::vector<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::vector<std::string> g_messages;
void record_message(const char* command_line) {
  g_messages.push_back(command_line);
}

class ZlibStreamDecoding : public ::testing::Test {
 protected:
  void SetUp() override {
    g_messages.clear();
    previous_ = set_console_message_handler(&record_message);
  }
  void TearDown() override { set_console_message_handler(previous_); }

 private:
  ConsoleMessageHandler previous_ = nullptr;
};

TEST_F(ZlibStreamDecoding, ChunksAppendWhatTheyHold) {
  const Bytes a = text_of(0x200, "a");
  const Bytes b = text_of(0x100, "b");
  const Bytes kept = noise_of(0x1F0, 3);
  Bytes kept_padded = kept;
  kept_padded.resize(0x1FC, 0);         // a stored chunk gives its padded size minus 4
  const Bytes small_stored(124, 0x77);  // entries 1 to 3 round up to 128: 124 bytes after the word
  ZlibChunkSpec entry_3 = stored({}, 3);
  entry_3.raw_body = small_stored;
  struct Case {
    const char* name;
    ZlibStreamSpec layout;
    Bytes expected;
  } cases[] = {
      {"compressed chunks", spec_of(0x200, {compressed(a), compressed(b)}), concat({a, b})},
      {"a stored chunk gives its padded size minus 4",
       spec_of(0x200, {stored(kept), compressed(b)}), concat({kept_padded, b})},
      {"an entry of 0 holds nothing",
       spec_of(0x200, {compressed(a), stored({}, 0), compressed(b)}, 0x400, 3),
       concat({a, b, Bytes(0x100, 0)})},
      {"an entry of 3 is a stored chunk of 124 bytes",
       spec_of(0x200, {compressed(a), entry_3, compressed(b)}, 0x400, 3),
       concat({a, small_stored, b, Bytes(0x84, 0)})},
      {"bytes beyond total_size are dropped",
       spec_of(0x200, {compressed(a), compressed(a), compressed(a)}, 0x500),
       concat({a, a, Bytes(a.begin(), a.begin() + 0x100)})},
      {"a stored chunk beyond total_size is cut",
       spec_of(0x200, {stored(kept), compressed(b)}, 0x200),
       Bytes(kept_padded.begin(), kept_padded.begin() + 0x1FC)},
  };
  // The last case: 0x1FC stored bytes, then 4 of chunk b, then nothing more.
  cases[5].expected.insert(cases[5].expected.end(), b.begin(), b.begin() + 4);
  for (const Case& c : cases) {
    EXPECT_EQ(decoded_of(forge::write_zlib_stream(c.layout, false)), c.expected) << c.name;
  }
  EXPECT_TRUE(g_messages.empty());
}

TEST_F(ZlibStreamDecoding, AChunkThatDoesNotDecompressWarnsAndStillLists) {
  const Bytes a = text_of(0x200, "a");
  ZlibChunkSpec broken = compressed(text_of(0x200, "b"));
  broken.raw_body = Bytes(40, 0x5A);  // not a zlib stream
  const Bytes payload = forge::write_zlib_stream(
      spec_of(0x200, {compressed(a), broken, compressed(text_of(0x80, "c"))}, 0x480), false);

  const std::string tree =
      test::content_tree_of(payload.data(), static_cast<std::uint32_t>(payload.size()), 0);
  ASSERT_EQ(g_messages.size(), 1u);
  EXPECT_EQ(g_messages[0], "pause | echo 隐患警告：数据解压失败！");
  EXPECT_EQ(console_message_text(g_messages[0].c_str()), "隐患警告：数据解压失败！");
  g_messages.clear();
  EXPECT_NE(tree.find("<zlib number=\"0\">"), std::string::npos) << tree;
  EXPECT_NE(tree.find("<unknow number=\"0\" rawdata=\"61203020"), std::string::npos) << tree;

  // The chunks from the broken one on are skipped; their bytes read as zero.
  Bytes expected = a;
  expected.resize(0x480, 0);
  EXPECT_EQ(decoded_of(payload), expected);
  EXPECT_EQ(g_messages.size(), 1u);
}

TEST_F(ZlibStreamDecoding, AChunkDecodingToMoreThanChunkSizeCountsAsBroken) {
  ZlibChunkSpec too_long = compressed(text_of(0x300, "a"));
  const Bytes payload =
      forge::write_zlib_stream(spec_of(0x200, {too_long, compressed({})}, 0x200), false);
  Bytes expected(0x200, 0);
  EXPECT_EQ(decoded_of(payload), expected);
  EXPECT_EQ(g_messages.size(), 1u);
}

}  // namespace
}  // namespace korvel
