// Rebuilding packs and zlib chunk streams: the round-trip laws, and what a
// rebuild does with content that changed.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive/console_message.h"
#include "archive/decode_pack.h"
#include "archive/decode_zlib.h"
#include "tests/support/container_laws.h"
#include "tests/support/test_bytes.h"
#include "tools/forge/pack_writer.h"
#include "tools/forge/samples.h"
#include "tools/forge/zlib_stream_writer.h"

namespace korvel {
namespace {

using forge::Bytes;

using test::noise_of;
using test::text_of;

void ignore_message(const char*) {}

class QuietConsole : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = set_console_message_handler(&ignore_message); }
  void TearDown() override { set_console_message_handler(previous_); }

 private:
  ConsoleMessageHandler previous_ = nullptr;
};

struct Payload {
  std::string name;
  Bytes bytes;
  bool big_endian;
};

std::vector<Payload> recognised_payloads() {
  std::vector<Payload> payloads;
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    if (archive.name.rfind("containers", 0) != 0) continue;
    for (std::size_t i = 0; i < archive.entries.size(); ++i) {
      payloads.push_back({archive.name + " entry " + std::to_string(i), archive.entries[i].payload,
                          archive.big_endian});
    }
  }
  forge::ZlibStreamSpec stored = forge::zlib_stream_spec_of(text_of(0x600, "s"), 0x200);
  stored.chunks[0].data = noise_of(0x1FC, 4);
  stored.chunks[0].stored = true;
  payloads.push_back(
      {"a stream with a stored chunk", forge::write_zlib_stream(stored, false), false});
  forge::ZlibStreamSpec broken = forge::zlib_stream_spec_of(text_of(0x600, "b"), 0x200);
  broken.chunks[1].raw_body = Bytes(60, 0x33);
  payloads.push_back(
      {"a stream whose chunk does not decompress", forge::write_zlib_stream(broken, true), true});
  forge::ZlibStreamSpec overflowing = forge::zlib_stream_spec_of(text_of(0x700, "o"), 0x200);
  overflowing.total_size = 0x680;
  payloads.push_back(
      {"a stream whose chunks overflow", forge::write_zlib_stream(overflowing, false), false});
  payloads.push_back({"a pack whose item 0 has an odd size",
                      forge::pack_of({Bytes(5, 'a'), Bytes(6, 'b'), Bytes(3, 'c')}, false), false});
  payloads.push_back(
      {"a stream of a pack of streams",
       forge::zlib_stream_of(
           forge::pack_of({forge::zlib_stream_of(text_of(0x900, "i"), 0x400, true), Bytes(9, 'u')},
                          true),
           0x800, true),
       true});
  return payloads;
}

using ContainerLaws = QuietConsole;

TEST_F(ContainerLaws, UnchangedContentRebuildsToTheSameBytes) {
  for (const Payload& payload : recognised_payloads()) {
    const auto length = static_cast<std::uint32_t>(payload.bytes.size());
    const std::uint8_t big_endian = payload.big_endian ? 1 : 0;
    const std::string tree = test::content_tree_of(payload.bytes.data(), length, big_endian);
    ASSERT_TRUE(tree.find("<zlib number=\"0\">") != std::string::npos ||
                tree.find("<pack number=\"0\">") != std::string::npos)
        << payload.name;

    EXPECT_EQ(test::check_unchanged_rebuild(payload.bytes.data(), payload.bytes.size()), "")
        << payload.name;
    const test::RebuildResult rebuilt =
        test::rebuild_unchanged(payload.bytes.data(), length, big_endian);
    EXPECT_EQ(test::content_tree_of(rebuilt.bytes.data(), rebuilt.stored_size, big_endian), tree)
        << payload.name;
    EXPECT_EQ(test::leaf_payloads_of(rebuilt.bytes.data(), rebuilt.stored_size, big_endian),
              test::leaf_payloads_of(payload.bytes.data(), length, big_endian))
        << payload.name;
  }
}

// What a built stream holds, read back: its chunk count and decoded bytes.
struct ReadBack {
  bool recognised = false;
  std::uint32_t chunk_count = 0;
  Bytes decoded;
};

ReadBack read_back(const ByteBuffer& stream, std::uint32_t size, std::uint8_t big_endian) {
  ReadBack result;
  const ByteReader reader(stream.data(), size, big_endian);
  ZlibStreamHeader header;
  if (!read_zlib_stream_header(reader, &header)) return result;
  result.recognised = true;
  result.chunk_count = header.chunk_count;
  const std::vector<ByteBuffer> leaves = test::leaf_payloads_of(stream.data(), size, big_endian);
  if (leaves.size() == 1) result.decoded = leaves[0];
  return result;
}

TEST(ZlibStreamBuilding, EveryBuiltStreamReadsBackOrTheBuildFails) {
  struct Case {
    const char* name;
    Bytes content;
    std::uint32_t chunk_size;
    bool builds;
    std::uint32_t chunk_count;  // when it builds
  } cases[] = {
      {"a size with a remainder", text_of(0x500, "r"), 0x200, true, 3},
      // Recognition wants size / chunk_size + 1 chunks: the last decodes to nothing.
      {"a size that is a multiple of chunk_size", text_of(0x400, "m"), 0x200, true, 3},
      {"one chunk", text_of(0x150, "o"), 0x20000, true, 1},
      {"incompressible data goes stored", noise_of(0x1000, 1), 0x400, true, 5},
      {"incompressible data, chunk_size not a multiple of 128", noise_of(0x300, 2), 0x250, true, 2},
      {"compressible data, chunk_size not a multiple of 128", text_of(0x1000, "n"), 0x250, true, 7},
      // Every stored chunk holds 4 bytes less than chunk_size; one spare
      // chunk cannot make up for 64 of them.
      {"too many incompressible chunks", noise_of(0x2000, 3), 0x80, false, 0},
      {"fewer than 128 bytes: no chunk fits the total", text_of(100, "f"), 0x200, false, 0},
      {"chunk_size below 128", text_of(0x400, "c"), 0x40, false, 0},
      {"chunk_size 0", text_of(0x400, "z"), 0, false, 0},
  };
  for (const Case& c : cases) {
    for (const std::uint8_t big_endian : {std::uint8_t{0}, std::uint8_t{1}}) {
      ByteBuffer stream;
      std::uint32_t size = 0;
      const bool built =
          deflate_zlib_stream(c.content.data(), static_cast<std::uint32_t>(c.content.size()),
                              c.chunk_size, big_endian, &stream, &size);
      ASSERT_EQ(built, c.builds) << c.name;
      if (!built) continue;
      const ReadBack back = read_back(stream, size, big_endian);
      EXPECT_TRUE(back.recognised) << c.name;
      EXPECT_EQ(back.chunk_count, c.chunk_count) << c.name;
      EXPECT_EQ(back.decoded, c.content) << c.name;
      EXPECT_GE(stream.size(), size + 256u) << c.name;
    }
  }
}

TEST(ZlibStreamBuilding, ChunkGCompressesChunkSizeBytesFromGTimesChunkSize) {
  const Bytes content = text_of(0x500, "g");
  ByteBuffer stream;
  std::uint32_t size = 0;
  ASSERT_TRUE(deflate_zlib_stream(content.data(), 0x500, 0x200, 0, &stream, &size));
  const ByteReader reader(stream.data(), size, 0);
  std::uint64_t offset = 128;
  for (std::uint32_t g = 0; g < 3; ++g) {
    const std::uint32_t piece = g < 2 ? 0x200 : 0x100;
    uLongf expected_length = compressBound(piece);
    Bytes expected(expected_length);
    ASSERT_EQ(compress(expected.data(), &expected_length, content.data() + g * 0x200, piece), Z_OK);
    EXPECT_EQ(reader.u32_or_zero(12 + 4 * g), expected_length + 4) << "table entry " << g;
    EXPECT_EQ(reader.u32_or_zero(offset), expected_length) << "length word " << g;
    EXPECT_TRUE(reader.bytes_equal(offset + 4, expected.data(), expected_length)) << "chunk " << g;
    offset += (expected_length + 4 + 127) / 128 * 128;
  }
  EXPECT_EQ(offset, size);
}

int failing_compress(unsigned char*, unsigned long*, const unsigned char*, unsigned long) {
  return Z_MEM_ERROR;
}

// Large streams are compressed on several threads; a stored chunk in the middle
// shifts every later chunk, which must then still hold the right bytes.
TEST(ZlibStreamBuilding, LargeStreamsWithStoredChunksReadBack) {
  Bytes content(6u << 20);
  std::uint32_t seed = 99;
  for (std::size_t i = 0; i < content.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    const bool noise = i >= (2u << 20) && i < (2u << 20) + 300000;
    content[i] = noise ? static_cast<std::uint8_t>(seed >> 24) : static_cast<std::uint8_t>(i / 97);
  }
  for (const std::uint8_t big_endian : {std::uint8_t{0}, std::uint8_t{1}}) {
    ByteBuffer stream;
    std::uint32_t size = 0;
    ASSERT_TRUE(deflate_zlib_stream(content.data(), static_cast<std::uint32_t>(content.size()),
                                    0x20000, big_endian, &stream, &size));
    const ByteReader reader(stream.data(), size, big_endian);
    ZlibStreamHeader header;
    ASSERT_TRUE(read_zlib_stream_header(reader, &header));
    ByteBuffer decoded(header.total_size + 256u, 0);
    ASSERT_TRUE(inflate_zlib_stream(reader, header, decoded.data()));
    EXPECT_TRUE(std::equal(content.begin(), content.end(), decoded.begin()));
  }
}

// Large streams decode on several threads; what they give must be what a
// chunk-by-chunk decoding gives, also when a chunk is broken.
TEST(ZlibStreamLargeDecoding, DecodesAsOneByOne) {
  Bytes content((6u << 20) + 1000);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i / 61);
  Bytes stream = forge::zlib_stream_of(content, 0x20000, false);
  auto decode = [](const Bytes& bytes, ByteBuffer* decoded) {
    const ByteReader reader(bytes.data(), bytes.size(), 0);
    ZlibStreamHeader header;
    EXPECT_TRUE(read_zlib_stream_header(reader, &header));
    decoded->assign(header.total_size + 256u, 0xEE);
    return inflate_zlib_stream(reader, header, decoded->data());
  };
  ByteBuffer decoded;
  ASSERT_TRUE(decode(stream, &decoded));
  EXPECT_TRUE(std::equal(content.begin(), content.end(), decoded.begin()));

  // Break chunk 20's zlib data: chunks 0 to 19 decode, the rest reads as zeros.
  const std::uint32_t chunk_count = static_cast<std::uint32_t>(content.size() / 0x20000 + 1);
  std::size_t offset = (12 + 4 * chunk_count + 127) / 128 * 128;
  for (int i = 0; i < 20; ++i) {
    std::uint32_t entry = 0;
    std::memcpy(&entry, stream.data() + 12 + 4 * i, 4);
    offset += (entry + 127) / 128 * 128;
  }
  stream[offset + 4 + 10] ^= 0xFF;
  stream[offset + 4 + 11] ^= 0xFF;
  EXPECT_FALSE(decode(stream, &decoded));
  EXPECT_TRUE(std::equal(content.begin(), content.begin() + 20 * 0x20000, decoded.begin()));
  EXPECT_TRUE(std::all_of(decoded.begin() + 20 * 0x20000, decoded.begin() + content.size(),
                          [](std::uint8_t byte) { return byte == 0; }));
}

TEST(ZlibStreamBuilding, AFailingCompressFailsTheBuild) {
  const Bytes content = text_of(0x500, "x");
  const ZlibCompressFunction previous = set_zlib_compress_function(&failing_compress);
  ByteBuffer stream;
  std::uint32_t size = 0;
  EXPECT_FALSE(deflate_zlib_stream(content.data(), 0x500, 0x200, 0, &stream, &size));
  set_zlib_compress_function(previous);
  EXPECT_TRUE(stream.empty());
  EXPECT_TRUE(deflate_zlib_stream(content.data(), 0x500, 0x200, 0, &stream, &size));
}

class ZlibStreamRebuild : public QuietConsole {
 protected:
  // Rebuilds `payload` (a stream) around `content` as if its inner payload
  // had been rebuilt to it.
  bool rebuild(const Bytes& payload, const Bytes& content) {
    const ByteReader reader(payload.data(), payload.size(), 0);
    ZlibStreamHeader header;
    EXPECT_TRUE(read_zlib_stream_header(reader, &header));
    ByteBuffer decoded(header.total_size + 256u, 0);
    const bool complete = inflate_zlib_stream(reader, header, decoded.data());
    return rebuild_zlib_stream(reader, header, decoded.data(), complete, content.data(),
                               static_cast<std::uint32_t>(content.size()), &out, &decoded_size,
                               &stored_size);
  }

  ByteBuffer out;
  std::uint32_t decoded_size = 0;
  std::uint32_t stored_size = 0;
};

TEST_F(ZlibStreamRebuild, UnchangedContentGivesThePayloadBack) {
  const Bytes content = text_of(0x700, "u");
  forge::ZlibStreamSpec layout = forge::zlib_stream_spec_of(content, 0x200);
  layout.chunks[1].level = 1;  // not what a rebuild would write
  const Bytes payload = forge::write_zlib_stream(layout, false);
  ASSERT_TRUE(rebuild(payload, content));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + stored_size), payload);
  EXPECT_EQ(decoded_size, 0x700u);
  EXPECT_EQ(stored_size, payload.size());
}

TEST_F(ZlibStreamRebuild, ChangedContentGetsANewStream) {
  const Bytes payload = forge::zlib_stream_of(text_of(0x700, "old"), 0x200, false);
  const Bytes content = text_of(0x800, "new");
  ASSERT_TRUE(rebuild(payload, content));
  EXPECT_EQ(decoded_size, 0x800u);
  const ReadBack back = read_back(out, stored_size, 0);
  EXPECT_EQ(back.chunk_count, 5u);
  EXPECT_EQ(back.decoded, content);
}

TEST_F(ZlibStreamRebuild, ChangedContentAfterAChunkFailedIsRefused) {
  forge::ZlibStreamSpec layout = forge::zlib_stream_spec_of(text_of(0x700, "e"), 0x200);
  layout.chunks[2].raw_body = Bytes(20, 0x44);
  const Bytes payload = forge::write_zlib_stream(layout, false);
  out.assign(3, 7);
  EXPECT_FALSE(rebuild(payload, text_of(0x700, "other")));
  EXPECT_EQ(out, ByteBuffer(3, 7));  // left for the caller to empty
}

// Rebuilds the pack with item i's content replaced by contents[i].
struct RebuiltPack {
  bool finished = false;
  Bytes bytes;
};

RebuiltPack rebuild_pack(const Bytes& pack, const std::vector<Bytes>& contents) {
  const ByteReader reader(pack.data(), pack.size(), 0);
  std::uint32_t count = 0;
  std::uint32_t header = 0;
  EXPECT_TRUE(read_pack_header(reader, &count, &header));
  PackRebuilder rebuilder(reader, header);
  for (std::uint32_t i = 0; i < count; ++i) {
    EXPECT_TRUE(rebuilder.add_item(i, read_pack_item(reader, i), contents[i].data(),
                                   static_cast<std::uint32_t>(contents[i].size())));
  }
  RebuiltPack result;
  ByteBuffer out;
  std::uint32_t decoded_size = 0;
  std::uint32_t stored_size = 0;
  result.finished = rebuilder.finish(&out, &decoded_size, &stored_size);
  if (result.finished) result.bytes.assign(out.begin(), out.begin() + stored_size);
  return result;
}

// (offset, recorded size) of every pair.
std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs_of(const Bytes& pack) {
  const ByteReader reader(pack.data(), pack.size(), 0);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pairs;
  for (std::uint32_t i = 0; i < reader.u32_or_zero(0); ++i) {
    pairs.emplace_back(reader.u32_or_zero(4 + 8 * i), reader.u32_or_zero(8 + 8 * i));
  }
  return pairs;
}

TEST(PackRebuild, ItemsArePlacedAsTheyAreRead) {
  forge::PackSpec layout;
  layout.extra_header = Bytes(4, 0xEE);  // H = 4 + 3 × 8 + 4 = 32
  layout.items = {
      {Bytes(8, 'a'), std::nullopt}, {Bytes(6, 'b'), std::nullopt}, {Bytes(4, 'c'), std::nullopt}};
  const Bytes pack = forge::write_pack(layout, false);
  using Pairs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
  // Item 1 is handed on with its size rounded up: six bytes and two of padding.
  const Bytes old_item_1 = {'b', 'b', 'b', 'b', 'b', 'b', 0, 0};
  struct Case {
    const char* name;
    std::vector<Bytes> contents;
    Pairs pairs;
    std::size_t length;
  } cases[] = {
      {"unchanged: the pack comes back byte for byte",
       {Bytes(8, 'a'), old_item_1, Bytes(4, 'c')},
       {{32, 8}, {40, 6}, {48, 4}},
       52},
      {"every item at a multiple of 4, pairs with unrounded sizes",
       {Bytes(12, 'A'), Bytes(5, 'B'), Bytes(3, 'C')},
       {{32, 12}, {44, 5}, {52, 3}},
       56},
      // Item 0's size is read unrounded, so item 1 must follow it directly.
      {"item 0 of an odd size",
       {Bytes(5, 'A'), Bytes(6, 'B'), Bytes(1, 'C')},
       {{32, 5}, {37, 6}, {45, 1}},
       49},
  };
  for (const Case& c : cases) {
    const RebuiltPack rebuilt = rebuild_pack(pack, c.contents);
    ASSERT_TRUE(rebuilt.finished) << c.name;
    EXPECT_EQ(pairs_of(rebuilt.bytes), c.pairs) << c.name;
    EXPECT_EQ(rebuilt.bytes.size(), c.length) << c.name;
    EXPECT_EQ(Bytes(rebuilt.bytes.begin() + 28, rebuilt.bytes.begin() + 32), Bytes(4, 0xEE))
        << c.name;
    const std::vector<ByteBuffer> leaves = test::leaf_payloads_of(
        rebuilt.bytes.data(), static_cast<std::uint32_t>(rebuilt.bytes.size()), 0);
    ASSERT_EQ(leaves.size(), 3u) << c.name;
    EXPECT_EQ(leaves[0], c.contents[0]) << c.name;
  }
  EXPECT_EQ(rebuild_pack(pack, {Bytes(8, 'a'), old_item_1, Bytes(4, 'c')}).bytes, pack);
}

TEST(PackRebuild, APackWhoseItemsShrankToNothingIsRefused) {
  const Bytes pack = forge::pack_of({Bytes(8, 'a'), Bytes(4, 'b')}, false);
  EXPECT_FALSE(rebuild_pack(pack, {Bytes{}, Bytes{}}).finished);
  // H + N < length still holds with three bytes left.
  EXPECT_TRUE(rebuild_pack(pack, {Bytes(3, 'a'), Bytes{}}).finished);
  EXPECT_FALSE(rebuild_pack(pack, {Bytes(2, 'a'), Bytes{}}).finished);
}

TEST(RebuildContract, TheOutermostRebuildStartsWithoutAFailure) {
  ContentTree tree;
  ContentNode* root = tree.allocate_node(rapidxml::node_element, "root");
  tree.append_node(root);
  Archive archive;
  archive.rebuild_failed = true;
  const Bytes pack = forge::pack_of({Bytes(8, 'a'), Bytes(4, 'b')}, false);
  const ByteBuffer payload =
      make_payload_buffer(pack.data(), static_cast<std::uint32_t>(pack.size()));
  ByteBuffer out;
  std::uint32_t decoded_size = 0;
  std::uint32_t stored_size = 0;
  archive.dispatch_content(root, payload.data(), static_cast<std::uint32_t>(pack.size()), &out,
                           &decoded_size, &stored_size);
  EXPECT_FALSE(archive.rebuild_failed);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + stored_size), pack);
}

}  // namespace
}  // namespace korvel
