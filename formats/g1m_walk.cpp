#include "formats/g1m_walk.h"

#include <vector>

#include "archive/byte_reader.h"
#include "archive/console_message.h"
#include "archive/limits.h"
#include "formats/g1m_format.h"

namespace korvel {
namespace {

constexpr const char* kUnknownChunkMessage = "pause | 致命错误：未知的 G1M_ 子数据块 格式！";
constexpr const char* kUnknownSectionMessage = "pause | 致命错误：未知的 G1MG子数据块 格式！";

bool is_skipped_chunk(std::uint32_t id) {
  switch (id) {
    case g1m::kChunkG1mf:
    case g1m::kChunkG1ms:
    case g1m::kChunkG1mm:
    case g1m::kChunkColl:
    case g1m::kChunkNuno:
    case g1m::kChunkNunv:
    case g1m::kChunkExtr:
      return true;
    default:
      return false;
  }
}

bool is_known_section(std::uint32_t type) {
  return type >= g1m::kSectionFirst && type <= g1m::kSectionLast;
}

class ModelWalk {
 public:
  ModelWalk(std::uint8_t* copy, std::uint32_t size, std::uint8_t big_endian, ModelView* view)
      : copy_(copy),
        reader_(copy, size, big_endian),
        native_(copy, size, 0),
        convert_(big_endian == 1),
        view_(view) {}

  void run() {
    std::uint32_t chunk_count = 0;
    if (!reader_.read_u32(g1m::kChunkCountOffset, &chunk_count)) return;
    std::uint64_t position = g1m::kFirstChunkOffset;
    // Every step below moves on by at least 8 bytes or stops, so a lying
    // chunk_count cannot keep the walk going past the end.
    for (std::uint32_t chunk = 0; chunk < chunk_count; ++chunk) {
      const std::uint64_t start = position;
      if (!reader_.has(start, g1m::kChunkHeaderSize)) return;
      const std::uint32_t id = reader_.u32_or_zero(start + g1m::kChunkIdOffset);
      const std::uint32_t size = reader_.u32_or_zero(start + g1m::kChunkSizeOffset);
      if (id == g1m::kChunkG1mg) {
        if (!walk_geometry(start, &position)) return;
      } else if (is_skipped_chunk(id)) {
        // The size includes the header: a smaller one would not move the
        // walk on, a larger one than what is left cannot be trusted.
        if (size < g1m::kChunkHeaderSize || !reader_.has(start, size)) return;
        position = start + size;
      } else {
        warn(kUnknownChunkMessage);
        position = start + g1m::kChunkHeaderSize;
      }
    }
  }

 private:
  bool walk_geometry(std::uint64_t start, std::uint64_t* position) {
    if (!reader_.has(start, g1m::kGeometryHeaderSize)) return false;
    const std::uint32_t version = reader_.u32_or_zero(start + g1m::kGeometryVersionOffset);
    const std::uint32_t section_count = reader_.u32_or_zero(start + g1m::kSectionCountOffset);
    *position = start + g1m::kGeometryHeaderSize;
    // Another version is stepped over by its header only: the chunk walk goes
    // on inside it, as the format's readers always have.
    if (version != g1m::kGeometryVersion43 && version != g1m::kGeometryVersion44) return true;
    for (std::uint32_t index = 0; index < section_count; ++index) {
      const std::uint64_t section = *position;
      if (!reader_.has(section, g1m::kSectionHeaderSize)) return false;
      const std::uint32_t type = reader_.u32_or_zero(section + g1m::kSectionTypeOffset);
      const std::uint32_t size = reader_.u32_or_zero(section + g1m::kSectionSizeOffset);
      bool went_on = true;
      if (!is_known_section(type)) {
        warn(kUnknownSectionMessage);
        *position = section + g1m::kSectionHeaderSize;
      } else if (type == g1m::kSectionVertexBuffers) {
        went_on = parse_vertex_buffers(section, position);
      } else if (type == g1m::kSectionIndexBuffers) {
        went_on = parse_index_buffers(section, position);
      } else if (type == g1m::kSectionSubmeshes) {
        went_on = parse_submeshes(section, position);
      } else {
        went_on = size >= g1m::kSectionHeaderSize && reader_.has(section, size);
        if (went_on) *position = section + size;
      }
      if (!went_on) return false;
    }
    return true;
  }

  // The parsers check the whole section first and only then convert and
  // record it, so a section cut short changes nothing. Their sections end
  // after the last buffer or record; the declared size is not used.
  bool parse_vertex_buffers(std::uint64_t section, std::uint64_t* position) {
    std::uint32_t count = 0;
    if (!reader_.read_u32(section + g1m::kSectionCountFieldOffset, &count)) return false;
    std::vector<std::uint64_t> headers;
    std::uint64_t at = section + g1m::kParsedSectionHeaderSize;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!reader_.has(at, g1m::kVertexBufferHeaderSize)) return false;
      const std::uint64_t stride = reader_.u32_or_zero(at + 4 * g1m::kVertexBufferStrideWord);
      const std::uint64_t vertices = reader_.u32_or_zero(at + 4 * g1m::kVertexBufferCountWord);
      const std::uint64_t data_size = stride * vertices;  // < 2^64: both are 32-bit
      if (!reader_.has(at + g1m::kVertexBufferHeaderSize, data_size)) return false;
      headers.push_back(at);
      at += g1m::kVertexBufferHeaderSize + data_size;
    }
    convert_words(section, 3);
    view_->vb_headers.assign(headers.size() + 1, nullptr);
    view_->vb_data.assign(headers.size() + 1, nullptr);
    for (std::size_t i = 0; i < headers.size(); ++i) {
      convert_words(headers[i], 4);
      view_->vb_headers[i] = copy_ + headers[i];
      view_->vb_data[i] = copy_ + headers[i] + g1m::kVertexBufferHeaderSize;
    }
    view_->vb_section = copy_ + section;
    *position = at;
    return true;
  }

  bool parse_index_buffers(std::uint64_t section, std::uint64_t* position) {
    std::uint32_t count = 0;
    if (!reader_.read_u32(section + g1m::kSectionCountFieldOffset, &count)) return false;
    struct Buffer {
      std::uint64_t header;
      std::uint64_t index_count;
      std::uint64_t width;
    };
    std::vector<Buffer> buffers;
    std::uint64_t at = section + g1m::kParsedSectionHeaderSize;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!reader_.has(at, g1m::kIndexBufferHeaderSize)) return false;
      const std::uint64_t index_count = reader_.u32_or_zero(at + 4 * g1m::kIndexBufferCountWord);
      const std::uint64_t width = reader_.u32_or_zero(at + 4 * g1m::kIndexBufferBitsWord) / 8;
      const std::uint64_t data_size = width * index_count;
      if (!reader_.has(at + g1m::kIndexBufferHeaderSize, data_size)) return false;
      buffers.push_back({at, index_count, width});
      at += g1m::kIndexBufferHeaderSize + data_size;
    }
    convert_words(section, 3);
    view_->ib_headers.assign(buffers.size() + 1, nullptr);
    view_->ib_data.assign(buffers.size() + 1, nullptr);
    for (std::size_t i = 0; i < buffers.size(); ++i) {
      const Buffer& buffer = buffers[i];
      const std::uint64_t data = buffer.header + g1m::kIndexBufferHeaderSize;
      convert_words(buffer.header, 3);
      // Widths other than 16 and 32 bits are left as stored.
      if (buffer.width == 4) convert_words(data, buffer.index_count);
      if (buffer.width == 2) convert_halves(data, buffer.index_count);
      view_->ib_headers[i] = copy_ + buffer.header;
      view_->ib_data[i] = copy_ + data;
    }
    view_->ib_section = copy_ + section;
    *position = at;
    return true;
  }

  bool parse_submeshes(std::uint64_t section, std::uint64_t* position) {
    std::uint32_t count = 0;
    if (!reader_.read_u32(section + g1m::kSectionCountFieldOffset, &count)) return false;
    const std::uint64_t records = section + g1m::kParsedSectionHeaderSize;
    if (!reader_.has(records, count * g1m::kSubmeshRecordSize)) return false;
    convert_words(section, 3);
    convert_words(records, count * std::uint64_t{g1m::kSubmeshWords});
    view_->sm_records.assign(static_cast<std::size_t>(count) + 1, nullptr);
    for (std::uint32_t i = 0; i < count; ++i) {
      view_->sm_records[i] = copy_ + records + i * g1m::kSubmeshRecordSize;
    }
    view_->sm_section = copy_ + section;
    *position = records + count * g1m::kSubmeshRecordSize;
    return true;
  }

  // In a little-endian archive the stored order is already the host's.
  void convert_words(std::uint64_t offset, std::uint64_t count) {
    if (!convert_) return;
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint32_t value = 0;
      if (reader_.read_u32(offset + 4 * i, &value)) native_.write_u32(offset + 4 * i, value);
    }
  }

  void convert_halves(std::uint64_t offset, std::uint64_t count) {
    if (!convert_) return;
    for (std::uint64_t i = 0; i < count; ++i) {
      std::uint16_t value = 0;
      if (reader_.read_u16(offset + 2 * i, &value)) native_.write_u16(offset + 2 * i, value);
    }
  }

  void warn(const char* command_line) {
    if (messages_shown_ >= kMaxModelFormatMessages) return;
    ++messages_shown_;
    show_console_message(command_line);
  }

  std::uint8_t* copy_;
  ByteReader reader_;  // the stored order
  ByteWriter native_;  // host order
  bool convert_;
  ModelView* view_;
  int messages_shown_ = 0;
};

}  // namespace

void walk_g1m_copy(std::uint8_t* copy, std::uint32_t size, std::uint8_t big_endian,
                   ModelView* view) {
  if (copy == nullptr || view == nullptr) return;
  ModelWalk(copy, size, big_endian, view).run();
}

}  // namespace korvel
