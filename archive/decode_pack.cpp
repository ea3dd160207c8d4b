// Pack container: a list of items, each a payload of its own.
//
//   header (every number 32-bit, in the archive's byte order)
//     0          item_count   number of items, at least 1
//     4 + 8 × i  offset       item i's position from the container's start;
//                             item 0's offset is also the header length
//     8 + 8 × i  size         item i's length
//     ...        rest of the header, up to item 0's offset: kept unchanged
//   items, back to back from item 0's offset. Item 0 takes its size as it
//   stands, every later item its size rounded up to 4 (for placement and for
//   the bytes handed on); the container ends where the last item so taken
//   ends.
#include "archive/decode_pack.h"

#include <algorithm>
#include <cstring>

#include "archive/archive.h"
#include "archive/format_text.h"
#include "archive/large_buffer.h"
#include "archive/limits.h"

namespace korvel {
namespace {

constexpr std::uint64_t kItemCountOffset = 0;
constexpr std::uint64_t kPairsOffset = 4;
constexpr std::uint64_t kPairWidth = 8;
constexpr std::uint64_t kPairSizeOffset = 4;  // within a pair, after the item offset
constexpr std::uint64_t kItemAlignment = 4;

std::uint64_t pair_offset(std::uint64_t index) {
  return kPairsOffset + kPairWidth * index;
}

std::uint64_t taken_size(std::uint64_t index, std::uint32_t recorded_size) {
  if (index == 0) return recorded_size;
  return (static_cast<std::uint64_t>(recorded_size) + kItemAlignment - 1) / kItemAlignment *
         kItemAlignment;
}

}  // namespace

bool read_pack_header(const ByteReader& payload, std::uint32_t* item_count,
                      std::uint32_t* header_length) {
  const std::uint64_t length = payload.size();
  const std::uint64_t count = payload.u32_or_zero(kItemCountOffset);
  const std::uint64_t header = payload.u32_or_zero(pair_offset(0));
  if (kPairWidth * count + kPairsOffset > header) return false;
  if (header + count >= length || header >= length) return false;
  if (count == 0) return false;
  // The pairs lie inside the header, and the header inside the payload.
  std::uint64_t expected_offset = header;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint32_t offset = payload.u32_or_zero(pair_offset(i));
    if (offset != expected_offset) return false;
    expected_offset += taken_size(i, payload.u32_or_zero(pair_offset(i) + kPairSizeOffset));
  }
  if (expected_offset != length) return false;
  *item_count = static_cast<std::uint32_t>(count);
  *header_length = static_cast<std::uint32_t>(header);
  return true;
}

PackItem read_pack_item(const ByteReader& payload, std::uint32_t index) {
  PackItem item;
  item.offset = payload.u32_or_zero(pair_offset(index));
  item.recorded_size = payload.u32_or_zero(pair_offset(index) + kPairSizeOffset);
  item.size = taken_size(index, item.recorded_size);
  return item;
}

PackRebuilder::PackRebuilder(const ByteReader& payload, std::uint32_t header_length)
    : payload_(payload), header_length_(header_length) {
  reserve_large(&rebuilt_, static_cast<std::size_t>(payload.size()) + kPayloadSlack);
  if (payload.has(0, header_length)) {
    rebuilt_.assign(payload.data(), payload.data() + header_length);
  }
}

bool PackRebuilder::add_item(std::uint32_t index, const PackItem& old_item,
                             const std::uint8_t* content, std::uint32_t content_size) {
  // Unchanged items keep their recorded size, so an unchanged pack comes
  // back byte for byte.
  const bool unchanged =
      content_size == old_item.size && payload_.bytes_equal(old_item.offset, content, content_size);
  const std::uint32_t recorded_size = unchanged ? old_item.recorded_size : content_size;
  const std::uint64_t position = rebuilt_.size();
  const std::uint64_t end =
      position + std::max<std::uint64_t>(content_size, taken_size(index, recorded_size));
  if (end > kMaxPayloadLength) return false;
  ByteWriter pairs(rebuilt_.data(), header_length_, payload_.big_endian());
  if (!pairs.write_u32(pair_offset(index), static_cast<std::uint32_t>(position)) ||
      !pairs.write_u32(pair_offset(index) + kPairSizeOffset, recorded_size)) {
    return false;
  }
  rebuilt_.insert(rebuilt_.end(), content, content + content_size);
  rebuilt_.resize(static_cast<std::size_t>(end), 0);
  return true;
}

bool PackRebuilder::finish(ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                           std::uint32_t* out_stored_size) {
  const std::uint64_t length = rebuilt_.size();
  std::uint32_t item_count = 0;
  std::uint32_t header_length = 0;
  if (!read_pack_header(ByteReader(rebuilt_.data(), length, payload_.big_endian()), &item_count,
                        &header_length)) {
    return false;
  }
  rebuilt_.resize(static_cast<std::size_t>(length) + kPayloadSlack, 0);
  *out_buffer = std::move(rebuilt_);
  rebuilt_.clear();
  *out_decoded_size = static_cast<std::uint32_t>(length);
  *out_stored_size = static_cast<std::uint32_t>(length);
  return true;
}

int Archive::decode_pack(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                         ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                         std::uint32_t* out_stored_size) {
  if (parent == nullptr) return 0;
  const ByteReader reader(payload, length, big_endian);
  std::uint32_t item_count = 0;
  std::uint32_t header_length = 0;
  if (!read_pack_header(reader, &item_count, &header_length)) return 0;
  // Each item's element, and at least one node of its content.
  if (!claim_content_nodes(2ull * item_count)) return 0;
  // A rebuild holds one item's rebuilt bytes at a time: the largest is what
  // the pack holds.
  std::uint64_t largest_item = 0;
  for (std::uint32_t i = 0; i < item_count; ++i) {
    largest_item = std::max<std::uint64_t>(largest_item, read_pack_item(reader, i).size);
  }
  const BytesInFlight claim(*this, largest_item + kPayloadSlack);
  if (!claim.granted()) return 0;
  const bool rebuild = is_rebuild(out_buffer, out_decoded_size, out_stored_size);

  // The rebuilt pack grows item by item: each item's place depends only on
  // the items before it, so no rebuilt item has to be kept until the end.
  PackRebuilder rebuilder(reader, header_length);
  for (std::uint32_t i = 0; i < item_count; ++i) {
    const PackItem item = read_pack_item(reader, i);
    ContentNode* element = append_element(parent, vocab::kPack);
    append_attribute(element, vocab::kNumber, format_text("%d", static_cast<int>(i)));
    if (!reader.has(item.offset, item.size)) {  // recognition rules this out
      if (rebuild) fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
      return 1;
    }
    const auto item_length = static_cast<std::uint32_t>(item.size);
    // Items are handed on in place, not copied: the bytes after an item (the
    // next item, or the pack's own slack at its end) are the room every
    // payload has, and no decoder writes into what it is given.
    const std::uint8_t* item_bytes = payload + item.offset;
    if (!rebuild) {
      dispatch_content(element, item_bytes, item_length);
      continue;
    }
    ByteBuffer inner;
    std::uint32_t inner_decoded_size = 0;
    std::uint32_t inner_stored_size = 0;
    dispatch_content(element, item_bytes, item_length, &inner, &inner_decoded_size,
                     &inner_stored_size);
    if (rebuild_failed || inner.size() < inner_stored_size ||
        !rebuilder.add_item(i, item, inner.data(), inner_stored_size)) {
      fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
      return 1;
    }
  }
  if (rebuild && !rebuilder.finish(out_buffer, out_decoded_size, out_stored_size)) {
    fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
  }
  return 1;
}

}  // namespace korvel
