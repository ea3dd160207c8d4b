#include "tools/forge/zlib_stream_writer.h"

#include <zlib.h>

#include <algorithm>
#include <utility>

namespace korvel::forge {
namespace {

constexpr std::size_t kAlignment = 128;

std::size_t padded(std::size_t size) {
  return (size + kAlignment - 1) / kAlignment * kAlignment;
}

Bytes deflate(const Bytes& data, int level) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  Bytes out(length);
  compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), level);
  out.resize(length);
  return out;
}

}  // namespace

Bytes write_zlib_stream(const ZlibStreamSpec& stream, bool big_endian) {
  ByteSink chunks(big_endian);
  std::vector<std::uint32_t> table;
  std::uint64_t decoded_total = 0;
  for (const ZlibChunkSpec& chunk : stream.chunks) {
    const Bytes body = chunk.raw_body
                           ? *chunk.raw_body
                           : (chunk.stored ? chunk.data : deflate(chunk.data, chunk.level));
    const auto natural_entry = static_cast<std::uint32_t>(4 + body.size());
    const std::uint32_t entry = chunk.table_entry.value_or(natural_entry);
    // A stored chunk's length word must not make it look compressed.
    const std::uint32_t length_word =
        chunk.length_word.value_or(chunk.stored ? 0 : static_cast<std::uint32_t>(body.size()));
    // The chunk occupies its table entry rounded up to 128, as readers take
    // it; an entry overridden to less cuts the bytes short.
    ByteSink written(big_endian);
    written.u32(length_word);
    written.raw(body);
    Bytes occupied = written.take();
    occupied.resize(padded(entry), 0);
    chunks.raw(occupied);
    table.push_back(entry);
    decoded_total += chunk.stored ? (entry == 0 ? 0 : padded(entry) - 4) : chunk.data.size();
  }
  ByteSink sink(big_endian);
  sink.u32(stream.chunk_size);
  sink.u32(stream.chunk_count.value_or(static_cast<std::uint32_t>(stream.chunks.size())));
  sink.u32(stream.total_size.value_or(static_cast<std::uint32_t>(decoded_total)));
  for (std::uint32_t entry : table) sink.u32(entry);
  sink.pad_to(kAlignment);
  sink.raw(chunks.bytes());
  return sink.take();
}

ZlibStreamSpec zlib_stream_spec_of(const Bytes& data, std::uint32_t chunk_size) {
  ZlibStreamSpec stream;
  stream.chunk_size = chunk_size;
  const std::size_t count = data.size() / chunk_size + 1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t begin = std::min(data.size(), i * chunk_size);
    const std::size_t end = std::min(data.size(), begin + chunk_size);
    ZlibChunkSpec chunk;
    chunk.data.assign(data.begin() + static_cast<std::ptrdiff_t>(begin),
                      data.begin() + static_cast<std::ptrdiff_t>(end));
    stream.chunks.push_back(std::move(chunk));
  }
  stream.total_size = static_cast<std::uint32_t>(data.size());
  return stream;
}

Bytes zlib_stream_of(const Bytes& data, std::uint32_t chunk_size, bool big_endian) {
  return write_zlib_stream(zlib_stream_spec_of(data, chunk_size), big_endian);
}

}  // namespace korvel::forge
