// zlib chunk stream: a payload cut into chunks of chunk_size decoded bytes,
// each zlib-compressed or stored, every chunk padded to 128 bytes.
//
//   header area (every number 32-bit, in the archive's byte order)
//     0   chunk_size    decoded bytes per chunk (only the last decodes to fewer)
//     4   chunk_count   always total_size / chunk_size + 1
//     8   total_size    decoded size of the whole stream
//     12  chunk table   per chunk: length word + data, before padding
//     ... zero padding up to a multiple of 128
//   chunks, back to back, each padded to a multiple of 128
//     0   data_length   length of the zlib data
//     4   data          compressed when data_length + 4 equals the table
//                       entry; any other chunk is stored: all its bytes after
//                       the length word, padding included, taken as they stand
//
// Not supported: preset dictionaries, and chunks that decode to more than
// chunk_size bytes (they count as not decompressing).
#include "archive/decode_zlib.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "archive/console_message.h"
#include "archive/decode_pack.h"
#include "archive/format_text.h"
#include "archive/large_buffer.h"
#include "archive/limits.h"

namespace korvel {
namespace {

constexpr std::uint64_t kChunkSizeOffset = 0;
constexpr std::uint64_t kChunkCountOffset = 4;
constexpr std::uint64_t kTotalSizeOffset = 8;
constexpr std::uint64_t kChunkTableOffset = 12;
constexpr std::uint64_t kTableEntryWidth = 4;
constexpr std::uint64_t kLengthWordWidth = 4;
constexpr std::uint64_t kAlignment = 128;
// A stream holds more than a header area of 128 bytes and a length word.
constexpr std::uint64_t kMinStreamLengthExclusive = 132;

// The text is the system's own; keep it as it stands.
constexpr const char* kDecompressionWarning = "pause | echo 隐患警告：数据解压失败！";

// Atomic like the console handler: the model viewer decodes on its own thread.
std::atomic<ZlibCompressFunction> g_compress{&::compress};

// Below this many decoded bytes a stream is built or decoded on the calling
// thread alone.
constexpr std::uint64_t kParallelMinimum = 4u << 20;

std::uint64_t round_up(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

std::uint64_t round_down(std::uint64_t value, std::uint64_t alignment) {
  return value / alignment * alignment;
}

std::uint64_t header_size_for(std::uint64_t chunk_count) {
  return round_up(kChunkTableOffset + kTableEntryWidth * chunk_count, kAlignment);
}

std::uint32_t table_entry(const ByteReader& payload, std::uint64_t index) {
  return payload.u32_or_zero(kChunkTableOffset + kTableEntryWidth * index);
}

// Compressed chunks are those whose table entry counts exactly the length
// word and the data; 64 bits, so a length word near 4 GiB cannot wrap.
bool is_compressed(std::uint32_t data_length, std::uint32_t entry) {
  return static_cast<std::uint64_t>(data_length) + kLengthWordWidth == entry;
}

// One chunk of a stream, as its table entry and length word lay it out.
struct Chunk {
  std::uint64_t index;
  std::uint64_t body;         // first byte after the length word
  std::uint64_t body_size;    // padded size less the length word
  std::uint32_t data_length;  // the length word
  bool compressed;
};

// Calls visit(chunk) for every chunk that occupies bytes, in order, until
// visit returns false. An entry of 0 leaves no room for a length word: that
// chunk holds nothing and is passed over. False when visit stopped the walk
// or a chunk lies outside the payload (recognition rules that out).
template <typename Visit>
bool for_each_chunk(const ByteReader& payload, const ZlibStreamHeader& header, Visit visit) {
  std::uint64_t offset = header.header_size;
  for (std::uint64_t i = 0; i < header.chunk_count; ++i) {
    const std::uint32_t entry = table_entry(payload, i);
    const std::uint64_t padded = round_up(entry, kAlignment);
    if (padded == 0) continue;
    if (!payload.has(offset, padded)) return false;
    const std::uint32_t data_length = payload.u32_or_zero(offset);
    const Chunk chunk{i, offset + kLengthWordWidth, padded - kLengthWordWidth, data_length,
                      is_compressed(data_length, entry)};
    offset += padded;
    if (!visit(chunk)) return false;
  }
  return true;
}

// The most decoded bytes the chunks of a laid-out stream could give: stored
// chunks their exact size, compressed ones no more than deflate can expand.
std::uint64_t decodable_bytes(const ByteReader& payload, const ZlibStreamHeader& header) {
  std::uint64_t total = 0;
  for_each_chunk(payload, header, [&](const Chunk& chunk) {
    total += chunk.compressed ? std::min<std::uint64_t>(header.chunk_size,
                                                        kMaxDeflateExpansion * chunk.data_length)
                              : chunk.body_size;
    return true;
  });
  return total;
}

}  // namespace

ZlibCompressFunction set_zlib_compress_function(ZlibCompressFunction function) {
  return g_compress.exchange(function != nullptr ? function : &::compress);
}

bool read_zlib_stream_header(const ByteReader& payload, ZlibStreamHeader* header) {
  const std::uint64_t length = payload.size();
  if (length <= kMinStreamLengthExclusive) return false;
  ZlibStreamHeader read;
  read.chunk_size = payload.u32_or_zero(kChunkSizeOffset);
  read.chunk_count = payload.u32_or_zero(kChunkCountOffset);
  read.total_size = payload.u32_or_zero(kTotalSizeOffset);
  if (read.chunk_size == 0 || read.chunk_size >= kZlibChunkSizeLimit) return false;
  if (read.chunk_count != static_cast<std::uint64_t>(read.total_size) / read.chunk_size + 1) {
    return false;
  }
  // A table that runs past the payload cannot pass the length test below;
  // stopping here keeps every read inside the payload.
  if (!payload.has(kChunkTableOffset, kTableEntryWidth * read.chunk_count)) return false;
  read.header_size = header_size_for(read.chunk_count);
  std::uint64_t chunks_length = 0;
  for (std::uint64_t i = 0; i < read.chunk_count; ++i) {
    const std::uint64_t padded = round_up(table_entry(payload, i), kAlignment);
    if (padded > read.chunk_size || padded > length || padded > read.total_size) return false;
    chunks_length += padded;
  }
  if (read.header_size + chunks_length != length) return false;
  // Before anything of total_size is allocated: a stream that claims more
  // than its chunks could hold is malformed, whatever its header says.
  if (read.total_size > kMaxDecodedStreamLength ||
      read.total_size > decodable_bytes(payload, read)) {
    return false;
  }
  *header = read;
  return true;
}

namespace {

bool inflate_sequentially(const ByteReader& payload, const ZlibStreamHeader& header,
                          std::uint8_t* decoded) {
  ByteWriter output(decoded, header.total_size, payload.big_endian());
  ByteBuffer work;  // for chunks that would run past total_size
  std::uint64_t position = 0;
  const bool complete = for_each_chunk(payload, header, [&](const Chunk& chunk) {
    const std::uint64_t room = header.total_size - position;
    // Bytes beyond total_size have nowhere to go; they are dropped.
    if (!chunk.compressed) {
      const std::uint64_t count = std::min(chunk.body_size, room);
      output.write_bytes(position, payload.data() + chunk.body, count);
      position += count;
      return true;
    }
    uLongf produced = header.chunk_size;
    bool inflated = false;
    if (output.has(position, header.chunk_size)) {
      // The common case decodes in place: at most chunk_size bytes, all room.
      inflated = ::uncompress(decoded + position, &produced, payload.data() + chunk.body,
                              chunk.data_length) == Z_OK;
    } else {
      work.resize(header.chunk_size);
      inflated = ::uncompress(work.data(), &produced, payload.data() + chunk.body,
                              chunk.data_length) == Z_OK;
      if (inflated) {
        output.write_bytes(position, work.data(), std::min<std::uint64_t>(produced, room));
      }
    }
    if (inflated) position += std::min<std::uint64_t>(produced, room);
    return inflated;
  });
  // What no chunk gave (after an error, including what the failing chunk
  // wrote, or when the chunks hold less than total_size) reads as zero.
  std::memset(decoded + position, 0, header.total_size - position);
  return complete;
}

// Large streams decode on every core: each compressed chunk is inflated in
// place at the position it takes when every chunk before it decodes to what
// its kind promises (chunk_size bytes, or a stored chunk's bytes). That is how
// streams are written; when any chunk says otherwise, or fails, the answer is
// false and the caller decodes one chunk after another instead.
bool inflate_in_parallel(const ByteReader& payload, const ZlibStreamHeader& header,
                         std::uint8_t* decoded) {
  struct Job {
    std::uint64_t body;
    std::uint32_t data_length;
    std::uint64_t position;
    uLongf produced;
    int status;
  };
  std::vector<Job> compressed;
  Job tail{};
  bool has_tail = false;
  std::uint64_t position = 0;
  const bool laid_out = for_each_chunk(payload, header, [&](const Chunk& chunk) {
    const std::uint64_t room = header.total_size - position;
    if (!chunk.compressed) {
      const std::uint64_t count = std::min(chunk.body_size, room);
      std::memcpy(decoded + position, payload.data() + chunk.body, count);
      position += count;
      return true;
    }
    // The last chunk may have less room than chunk_size: it is decoded after
    // the others, through a buffer of its own, as one-by-one decoding does.
    if (room < header.chunk_size) {
      if (chunk.index + 1 != header.chunk_count) return false;
      tail = Job{chunk.body, chunk.data_length, position, 0, Z_OK};
      has_tail = true;
      return true;
    }
    compressed.push_back({chunk.body, chunk.data_length, position, 0, Z_OK});
    position += header.chunk_size;
    return true;
  });
  if (!laid_out) return false;
  std::atomic<std::size_t> next{0};
  auto inflate_chunks = [&] {
    for (std::size_t i = next++; i < compressed.size(); i = next++) {
      Job& chunk = compressed[i];
      chunk.produced = header.chunk_size;
      chunk.status = ::uncompress(decoded + chunk.position, &chunk.produced,
                                  payload.data() + chunk.body, chunk.data_length);
    }
  };
  std::vector<std::thread> helpers;
  const unsigned cores =
      std::max(1u, std::min(kMaxZlibThreads, std::thread::hardware_concurrency()));
  for (unsigned t = 1; t < cores; ++t) helpers.emplace_back(inflate_chunks);
  inflate_chunks();
  for (std::thread& helper : helpers) helper.join();
  for (const Job& chunk : compressed) {
    if (chunk.status != Z_OK || chunk.produced != header.chunk_size) return false;
  }
  if (has_tail) {
    ByteBuffer work(header.chunk_size);
    uLongf produced = header.chunk_size;
    if (::uncompress(work.data(), &produced, payload.data() + tail.body, tail.data_length) !=
        Z_OK) {
      return false;
    }
    const std::uint64_t count = std::min<std::uint64_t>(produced, header.total_size - position);
    std::memcpy(decoded + position, work.data(), count);
    position += count;
  }
  std::memset(decoded + position, 0, header.total_size - position);
  return true;
}

}  // namespace

bool inflate_zlib_stream(const ByteReader& payload, const ZlibStreamHeader& header,
                         std::uint8_t* decoded) {
  if (header.total_size >= kParallelMinimum && inflate_in_parallel(payload, header, decoded)) {
    return true;
  }
  return inflate_sequentially(payload, header, decoded);
}

namespace {

// Compresses chunk i (the chunk_size bytes from i * chunk_size) into slot i
// (room bytes from slots + i * room): its length word (host order), then its
// zlib data. Answers each chunk's zlib status; -1 where nothing was done. Large
// streams use every core: the chunks are independent, so the bytes are the
// same as from one thread.
std::vector<int> compress_into_slots(const std::uint8_t* data, std::uint32_t size,
                                     std::uint32_t chunk_size, std::uint64_t chunk_count,
                                     std::uint8_t* slots, std::uint64_t room,
                                     ZlibCompressFunction compress_chunk) {
  std::vector<int> status(chunk_count, -1);
  std::atomic<std::uint64_t> next{0};
  auto work = [&] {
    for (std::uint64_t i = next++; i < chunk_count; i = next++) {
      const std::uint64_t begin = i * chunk_size;
      const std::uint64_t take =
          begin >= size ? 0 : std::min<std::uint64_t>(chunk_size, size - begin);
      uLongf compressed = room - kLengthWordWidth;
      status[i] =
          compress_chunk(slots + i * room + kLengthWordWidth, &compressed, data + begin, take);
      const auto length = static_cast<std::uint32_t>(compressed);
      std::memcpy(slots + i * room, &length, kLengthWordWidth);
    }
  };
  const unsigned cores =
      std::max(1u, std::min(kMaxZlibThreads, std::thread::hardware_concurrency()));
  std::vector<std::thread> helpers;
  if (size >= kParallelMinimum) {
    for (unsigned t = 1; t < cores; ++t) helpers.emplace_back(work);
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  return status;
}

}  // namespace

bool deflate_zlib_stream(const std::uint8_t* data, std::uint32_t size, std::uint32_t chunk_size,
                         std::uint8_t big_endian, ByteBuffer* stream, std::uint32_t* stream_size) {
  if (chunk_size == 0 || chunk_size >= kZlibChunkSizeLimit) return false;
  if (size > kMaxDecodedStreamLength) return false;
  // The count recognition demands: a size that is a multiple of chunk_size
  // gets a last chunk that decodes to nothing.
  const std::uint64_t chunk_count = static_cast<std::uint64_t>(size) / chunk_size + 1;
  const std::uint64_t header_size = header_size_for(chunk_count);
  // Each chunk's padded size may be no larger than chunk_size or the total.
  const std::uint64_t largest_padded =
      std::min(round_down(chunk_size, kAlignment), round_down(size, kAlignment));
  if (largest_padded < kAlignment) return false;
  const std::uint64_t largest_chunk_input = std::min<std::uint64_t>(chunk_size, size);
  const std::uint64_t room_per_chunk =
      round_up(kLengthWordWidth + ::compressBound(largest_chunk_input), kAlignment);
  const std::uint64_t capacity = header_size + chunk_count * room_per_chunk;

  ByteBuffer built(capacity + kPayloadSlack, 0);
  ByteWriter writer(built.data(), capacity, big_endian);
  writer.write_u32(kChunkSizeOffset, chunk_size);
  writer.write_u32(kChunkCountOffset, static_cast<std::uint32_t>(chunk_count));
  writer.write_u32(kTotalSizeOffset, size);
  const ZlibCompressFunction compress_chunk = g_compress.load();
  // Chunk i is first compressed into slot i of the buffer, side by side on the
  // machine's cores; the loop below then lays the chunks out in order, exactly
  // as a one-by-one build would (a chunk that went stored shifts the data of
  // every later one, which are then compressed again where they really start).
  const std::vector<int> slot_status =
      compress_into_slots(data, size, chunk_size, chunk_count, built.data() + header_size,
                          room_per_chunk, compress_chunk);
  std::uint64_t position = 0;  // in data
  std::uint64_t offset = header_size;
  for (std::uint64_t i = 0; i < chunk_count; ++i) {
    const std::uint64_t remaining = size - position;
    const std::uint64_t take = std::min<std::uint64_t>(chunk_size, remaining);
    const std::uint64_t entry_offset = kChunkTableOffset + kTableEntryWidth * i;
    if (!writer.has(offset, room_per_chunk)) return false;
    uLongf compressed = room_per_chunk - kLengthWordWidth;
    const std::uint64_t slot = header_size + i * room_per_chunk;
    if (position == i * chunk_size && slot_status[i] >= 0) {
      if (slot_status[i] != Z_OK) return false;
      std::uint32_t slot_length = 0;
      std::memcpy(&slot_length, built.data() + slot, kLengthWordWidth);
      compressed = slot_length;
      if (slot != offset) {
        std::memmove(built.data() + offset + kLengthWordWidth,
                     built.data() + slot + kLengthWordWidth, compressed);
      }
    } else if (compress_chunk(built.data() + offset + kLengthWordWidth, &compressed,
                              data + position, take) != Z_OK) {
      return false;
    }
    const std::uint64_t padded = round_up(kLengthWordWidth + compressed, kAlignment);
    if (padded <= largest_padded) {
      // The padding may hold what a slot held before the chunk moved down.
      std::memset(built.data() + offset + kLengthWordWidth + compressed, 0,
                  padded - kLengthWordWidth - compressed);
      writer.write_u32(offset, static_cast<std::uint32_t>(compressed));
      writer.write_u32(entry_offset, static_cast<std::uint32_t>(compressed + kLengthWordWidth));
      position += take;
      offset += padded;
      continue;
    }
    // Data that does not shrink enough goes stored. A stored chunk gives its
    // whole padded size minus the length word, so it holds whole 128-byte
    // units less 4 bytes; the spare last chunk takes up what stays behind.
    const std::uint64_t stored_padded =
        std::min(largest_padded, round_down(remaining + kLengthWordWidth, kAlignment));
    if (stored_padded < kAlignment) return false;
    const std::uint64_t stored_bytes = stored_padded - kLengthWordWidth;
    std::memset(built.data() + offset, 0, room_per_chunk);
    // Length word 0 with an entry of 4 + the bytes: never taken as compressed.
    writer.write_u32(offset, 0);
    writer.write_u32(entry_offset, static_cast<std::uint32_t>(stored_padded));
    writer.write_bytes(offset + kLengthWordWidth, data + position, stored_bytes);
    position += stored_bytes;
    offset += stored_padded;
  }
  if (position != size || offset > kMaxPayloadLength) return false;
  built.resize(offset);
  built.resize(offset + kPayloadSlack, 0);
  // What we wrote must be what we read: the same header tests, including the
  // decoded-size limits, decide whether the stream can be used.
  ZlibStreamHeader check;
  if (!read_zlib_stream_header(ByteReader(built.data(), offset, big_endian), &check)) return false;
  *stream = std::move(built);
  *stream_size = static_cast<std::uint32_t>(offset);
  return true;
}

bool rebuild_zlib_stream(const ByteReader& payload, const ZlibStreamHeader& header,
                         const std::uint8_t* decoded, bool decoded_complete,
                         const std::uint8_t* content, std::uint32_t content_size,
                         ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                         std::uint32_t* out_stored_size) {
  // Compared byte for byte: a checksum match alone could hide a change.
  if (content_size == header.total_size && std::memcmp(content, decoded, header.total_size) == 0) {
    *out_buffer = make_payload_buffer(payload.data(), static_cast<std::uint32_t>(payload.size()));
    *out_decoded_size = header.total_size;
    *out_stored_size = static_cast<std::uint32_t>(payload.size());
    return true;
  }
  // Changed content would carry zeros where chunks could not be read; we
  // refuse rather than write them over data another tool might still read.
  if (!decoded_complete) return false;
  ByteBuffer rebuilt;
  std::uint32_t rebuilt_size = 0;
  if (!deflate_zlib_stream(content, content_size, header.chunk_size, payload.big_endian(), &rebuilt,
                           &rebuilt_size)) {
    return false;
  }
  // Dispatch tries packs first; a stream that a pack would claim is unusable.
  std::uint32_t pack_items = 0;
  std::uint32_t pack_header = 0;
  if (read_pack_header(ByteReader(rebuilt.data(), rebuilt_size, payload.big_endian()), &pack_items,
                       &pack_header)) {
    return false;
  }
  *out_buffer = std::move(rebuilt);
  *out_decoded_size = content_size;
  *out_stored_size = rebuilt_size;
  return true;
}

int Archive::decode_zlib(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                         ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                         std::uint32_t* out_stored_size) {
  if (parent == nullptr) return 0;
  const ByteReader reader(payload, length, big_endian);
  ZlibStreamHeader header;
  if (!read_zlib_stream_header(reader, &header)) return 0;
  const BytesInFlight claim(*this, static_cast<std::uint64_t>(header.total_size) + kPayloadSlack);
  if (!claim.granted()) return 0;

  ContentNode* element = append_element(parent, vocab::kZlib);
  append_attribute(element, vocab::kNumber, format_text("%d", 0));
  // Not zero-filled first: inflate writes every byte up to total_size, and
  // filling 64 MiB twice would cost a good part of the decoding time.
  const std::size_t decoded_length = static_cast<std::size_t>(header.total_size);
  const std::unique_ptr<std::uint8_t[]> decoded =
      allocate_large_buffer(decoded_length + kPayloadSlack);
  std::memset(decoded.get() + decoded_length, 0, kPayloadSlack);
  const bool complete = inflate_zlib_stream(reader, header, decoded.get());
  if (!complete) show_console_message(kDecompressionWarning);

  if (!is_rebuild(out_buffer, out_decoded_size, out_stored_size)) {
    dispatch_content(element, decoded.get(), header.total_size);
    return 1;
  }

  ByteBuffer inner;
  std::uint32_t inner_decoded_size = 0;
  std::uint32_t inner_stored_size = 0;
  dispatch_content(element, decoded.get(), header.total_size, &inner, &inner_decoded_size,
                   &inner_stored_size);
  if (rebuild_failed || inner.size() < inner_stored_size ||
      !rebuild_zlib_stream(reader, header, decoded.get(), complete, inner.data(), inner_stored_size,
                           out_buffer, out_decoded_size, out_stored_size)) {
    fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
  }
  return 1;
}

}  // namespace korvel
