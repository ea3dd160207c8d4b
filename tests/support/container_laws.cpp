#include "tests/support/container_laws.h"

#include <cstring>
#include <iterator>

#include <rapidxml_print.hpp>

#include "archive/decode_pack.h"
#include "archive/decode_zlib.h"
#include "archive/limits.h"

namespace korvel::test {
namespace {

void collect_leaves(const std::uint8_t* payload, std::uint32_t length, std::uint8_t big_endian,
                    int depth, std::vector<ByteBuffer>* leaves) {
  const ByteReader reader(payload, length, big_endian);
  if (depth < kMaxContainerDepth) {
    std::uint32_t item_count = 0;
    std::uint32_t header_length = 0;
    if (read_pack_header(reader, &item_count, &header_length)) {
      for (std::uint32_t i = 0; i < item_count; ++i) {
        const PackItem item = read_pack_item(reader, i);
        collect_leaves(payload + item.offset, static_cast<std::uint32_t>(item.size), big_endian,
                       depth + 1, leaves);
      }
      return;
    }
    ZlibStreamHeader header;
    if (read_zlib_stream_header(reader, &header)) {
      // Filled with a marker: inflate must write every byte itself.
      ByteBuffer decoded(static_cast<std::size_t>(header.total_size) + kPayloadSlack, 0xCD);
      inflate_zlib_stream(reader, header, decoded.data());
      collect_leaves(decoded.data(), header.total_size, big_endian, depth + 1, leaves);
      return;
    }
  }
  leaves->emplace_back(payload, payload + length);
}

// True when a zlib stream inside, rebuilt with nothing replaced, gets content
// that differs from what it held (a texture container in it is laid out
// afresh without the bytes it does not own) and cannot be built soundly:
// - fewer than 128 decoded bytes: no stream holds so few, as a chunk with
//   bytes pads to 128 and none may pad past the decoded size;
// - a chunk of the old stream did not decompress: a new stream would write
//   zeros over bytes another tool may still read.
// Such a rebuild fails by design rather than write a stream that does not
// read back, or one that loses data.
bool a_stream_inside_cannot_be_rebuilt(const std::uint8_t* payload, std::uint32_t length,
                                       std::uint8_t big_endian, int depth) {
  if (depth >= kMaxContainerDepth) return false;
  const ByteReader reader(payload, length, big_endian);
  std::uint32_t item_count = 0;
  std::uint32_t header_length = 0;
  if (read_pack_header(reader, &item_count, &header_length)) {
    for (std::uint32_t i = 0; i < item_count; ++i) {
      const PackItem item = read_pack_item(reader, i);
      if (a_stream_inside_cannot_be_rebuilt(payload + item.offset,
                                            static_cast<std::uint32_t>(item.size), big_endian,
                                            depth + 1)) {
        return true;
      }
    }
    return false;
  }
  ZlibStreamHeader header;
  if (!read_zlib_stream_header(reader, &header)) return false;
  ByteBuffer decoded(static_cast<std::size_t>(header.total_size) + kPayloadSlack, 0);
  const bool complete = inflate_zlib_stream(reader, header, decoded.data());
  const RebuildResult inner = rebuild_unchanged(decoded.data(), header.total_size, big_endian);
  if (!inner.failed) {
    // A recognised stream holds at least 128 bytes, so fewer is a change.
    if (inner.stored_size < 128) return true;
    const bool changed = inner.bytes.size() != header.total_size ||
                         std::memcmp(inner.bytes.data(), decoded.data(), header.total_size) != 0;
    if (!complete && changed) return true;
  }
  return a_stream_inside_cannot_be_rebuilt(decoded.data(), header.total_size, big_endian,
                                           depth + 1);
}

std::string describe(const char* law, std::uint8_t big_endian) {
  return std::string(law) + (big_endian ? " (big-endian)" : " (little-endian)");
}

// A failed rebuild is a broken law unless a stream inside could not soundly
// hold its rebuilt content; even then it must leave nothing to write.
std::string judge_failed_rebuild(const std::uint8_t* data, std::uint32_t length,
                                 std::uint8_t big_endian, const RebuildResult& rebuilt) {
  if (!a_stream_inside_cannot_be_rebuilt(data, length, big_endian, 0)) {
    return describe("rebuild of unchanged content failed", big_endian);
  }
  if (rebuilt.stored_size != 0 || !rebuilt.bytes.empty()) {
    return describe("a failed rebuild left a payload", big_endian);
  }
  return {};
}

std::uint64_t taken_size(std::uint32_t index, std::uint64_t size) {
  return index == 0 ? size : (size + 3) / 4 * 4;
}

}  // namespace

std::string content_tree_of(const std::uint8_t* payload, std::uint32_t length,
                            std::uint8_t big_endian) {
  ContentTree tree;
  ContentNode* root = tree.allocate_node(rapidxml::node_element, "root");
  tree.append_node(root);
  Archive archive;
  archive.big_endian = big_endian;
  const ByteBuffer copy = make_payload_buffer(payload, length);
  archive.dispatch_content(root, copy.data(), length);
  std::string printed;
  rapidxml::print(std::back_inserter(printed), tree, 0);
  return printed;
}

std::vector<ByteBuffer> leaf_payloads_of(const std::uint8_t* payload, std::uint32_t length,
                                         std::uint8_t big_endian) {
  std::vector<ByteBuffer> leaves;
  collect_leaves(payload, length, big_endian, 0, &leaves);
  return leaves;
}

RebuildResult rebuild_unchanged(const std::uint8_t* payload, std::uint32_t length,
                                std::uint8_t big_endian) {
  ContentTree tree;
  ContentNode* root = tree.allocate_node(rapidxml::node_element, "root");
  tree.append_node(root);
  Archive archive;
  archive.big_endian = big_endian;
  const ByteBuffer copy = make_payload_buffer(payload, length);
  RebuildResult result;
  ByteBuffer out;
  archive.dispatch_content(root, copy.data(), length, &out, &result.decoded_size,
                           &result.stored_size);
  result.failed = archive.rebuild_failed;
  if (out.size() >= result.stored_size) {
    result.bytes.assign(out.begin(), out.begin() + result.stored_size);
  }
  return result;
}

std::string check_unchanged_rebuild(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxPayloadLength) return {};
  const auto length = static_cast<std::uint32_t>(size);
  for (const std::uint8_t big_endian : {std::uint8_t{0}, std::uint8_t{1}}) {
    // A texture container is laid out afresh by every rebuild (gap-free
    // table, nothing after total_size), so only content without one must
    // come back byte for byte; with one, it must read back the same.
    bool lays_out_afresh = false;
    for (const ByteBuffer& leaf : leaf_payloads_of(data, length, big_endian)) {
      lays_out_afresh =
          lays_out_afresh || (leaf.size() >= 4 && (std::memcmp(leaf.data(), "G1TG", 4) == 0 ||
                                                   std::memcmp(leaf.data(), "GT1G", 4) == 0));
    }
    const RebuildResult rebuilt = rebuild_unchanged(data, length, big_endian);
    if (rebuilt.failed) {
      const std::string broken = judge_failed_rebuild(data, length, big_endian, rebuilt);
      if (!broken.empty()) return broken;
      continue;
    }
    if (lays_out_afresh) continue;
    if (rebuilt.stored_size != length || rebuilt.bytes.size() != size ||
        (size > 0 && std::memcmp(rebuilt.bytes.data(), data, size) != 0)) {
      return describe("unchanged content did not come back byte for byte", big_endian);
    }
    const ByteReader reader(data, size, big_endian);
    std::uint32_t item_count = 0;
    std::uint32_t header_length = 0;
    ZlibStreamHeader header;
    const bool is_stream = !read_pack_header(reader, &item_count, &header_length) &&
                           read_zlib_stream_header(reader, &header);
    if (rebuilt.decoded_size != (is_stream ? header.total_size : length)) {
      return describe("the rebuilt decoded size is not the content's", big_endian);
    }
  }
  return {};
}

std::string check_rebuild_reads_back(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxPayloadLength) return {};
  const auto length = static_cast<std::uint32_t>(size);
  for (const std::uint8_t big_endian : {std::uint8_t{0}, std::uint8_t{1}}) {
    const RebuildResult rebuilt = rebuild_unchanged(data, length, big_endian);
    if (rebuilt.failed) {
      const std::string broken = judge_failed_rebuild(data, length, big_endian, rebuilt);
      if (!broken.empty()) return broken;
      continue;
    }
    if (content_tree_of(rebuilt.bytes.data(), rebuilt.stored_size, big_endian) !=
        content_tree_of(data, length, big_endian)) {
      return describe("the rebuilt payload reads back with another tree", big_endian);
    }
  }
  return {};
}

std::string check_zlib_stream_builder(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > kMaxDecodedStreamLength) return {};
  const std::uint32_t chunk_size =
      128u * (1u + data[0] % 8u) + (data[1] & 0x80 ? data[1] & 0x7F : 0);
  const std::uint8_t big_endian = data[1] & 1;
  const std::uint8_t* content = data + 2;
  const auto content_size = static_cast<std::uint32_t>(size - 2);
  ByteBuffer stream;
  std::uint32_t stream_size = 0;
  if (!deflate_zlib_stream(content, content_size, chunk_size, big_endian, &stream, &stream_size)) {
    return {};
  }
  if (stream.size() < stream_size) return "built stream is shorter than its size";
  const ByteReader reader(stream.data(), stream_size, big_endian);
  ZlibStreamHeader header;
  if (!read_zlib_stream_header(reader, &header)) return "built stream is not recognised";
  std::uint32_t item_count = 0;
  std::uint32_t header_length = 0;
  if (read_pack_header(reader, &item_count, &header_length)) {
    return "built stream would be taken for a pack";
  }
  if (header.total_size != content_size) return "built stream records another size";
  ByteBuffer decoded(static_cast<std::size_t>(content_size) + kPayloadSlack, 0);
  if (!inflate_zlib_stream(reader, header, decoded.data())) return "built stream does not inflate";
  if (content_size > 0 && std::memcmp(decoded.data(), content, content_size) != 0) {
    return "built stream decodes to other bytes";
  }
  return {};
}

std::string check_pack_rebuilder(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxPayloadLength) return {};
  for (const std::uint8_t big_endian : {std::uint8_t{0}, std::uint8_t{1}}) {
    const ByteReader reader(data, size, big_endian);
    std::uint32_t item_count = 0;
    std::uint32_t header_length = 0;
    if (!read_pack_header(reader, &item_count, &header_length)) continue;
    PackRebuilder rebuilder(reader, header_length);
    std::vector<ByteBuffer> contents;
    std::uint64_t expected_length = header_length;
    for (std::uint32_t i = 0; i < item_count; ++i) {
      const PackItem item = read_pack_item(reader, i);
      ByteBuffer content(data + item.offset, data + item.offset + item.size);
      const std::uint8_t choice = data[(static_cast<std::uint64_t>(i) * 7 + 3) % size];
      if (choice % 4 == 1) content.resize(content.size() / 2);
      if (choice % 4 == 2) content.resize(content.size() + choice % 7, 0xA5);
      if (choice % 4 == 3) content.assign(choice % 11, static_cast<std::uint8_t>(i));
      if (!rebuilder.add_item(i, item, content.data(),
                              static_cast<std::uint32_t>(content.size()))) {
        return describe("an item could not be added", big_endian);
      }
      expected_length += taken_size(i, content.size());
      contents.push_back(std::move(content));
    }
    ByteBuffer out;
    std::uint32_t decoded_size = 0;
    std::uint32_t stored_size = 0;
    const bool finished = rebuilder.finish(&out, &decoded_size, &stored_size);
    const bool readable = header_length + static_cast<std::uint64_t>(item_count) < expected_length;
    if (finished != readable) {
      return describe(finished ? "an unreadable pack was finished" : "a readable pack was refused",
                      big_endian);
    }
    if (!finished) continue;
    if (stored_size != expected_length || out.size() < stored_size) {
      return describe("the rebuilt pack has the wrong length", big_endian);
    }
    const ByteReader rebuilt(out.data(), stored_size, big_endian);
    std::uint32_t count = 0;
    std::uint32_t header = 0;
    if (!read_pack_header(rebuilt, &count, &header) || count != item_count ||
        header != header_length) {
      return describe("the rebuilt pack does not read back as the same pack", big_endian);
    }
    for (std::uint32_t i = 0; i < item_count; ++i) {
      const PackItem item = read_pack_item(rebuilt, i);
      const ByteBuffer& content = contents[i];
      if (item.size != taken_size(i, content.size()) ||
          !rebuilt.bytes_equal(item.offset, content.data(), content.size())) {
        return describe("a rebuilt item reads back as other bytes", big_endian);
      }
      for (std::uint64_t b = content.size(); b < item.size; ++b) {
        if (rebuilt.u8_or_zero(item.offset + b) != 0) {
          return describe("a rebuilt item's alignment is not zero", big_endian);
        }
      }
    }
  }
  return {};
}

}  // namespace korvel::test
