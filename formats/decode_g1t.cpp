// G1T texture container: listing, extraction as a DDS file, rebuild with one
// texture replaced.
//
// Container (offsets from its start; u32 fields in the archive's byte order):
//    0  magic          "G1TG" or "GT1G" (which one matters for A8R8G8B8 words)
//    4  version        0x30303630 ("0600" little-endian, "0060" big-endian)
//    8  total_size     the container's length: where the last texture ends
//   12  table_offset   where the offset table begins
//   16  texture_count
//   20  ..table_offset not interpreted; kept
// Offset table at table_offset: texture_count u32, each the start of a
// texture measured from the table. Texture i ends where texture i + 1 begins,
// the last one at total_size. Bytes between the table's end and the first
// texture are global data; a rebuild keeps them.
// Texture record at the start of each texture:
//    0  mip_byte       mip count; the DDS gets it with its nibbles exchanged
//    1  format         0, 1 A8R8G8B8; 6 DXT1; 7 DXT3; 8 DXT5; others unknown
//    2  dims           log2(height) << 4 | log2(width), nibbles exchanged in
//                      big-endian archives
//    3  4 bytes        not interpreted; kept
//    8  extension      12 bytes, present only when they equal a known pattern
//    8 or 20           pixel data of every mip level, largest first; A8R8G8B8
//                      words are byte-reversed in big-endian "G1TG" containers
// Not read: the header bytes after 20, the global data, the record's bytes 3
// to 7. A texture whose record or extent lies outside the payload is listed
// but never extracted; a container whose layout does not hold together is
// passed through a rebuild unchanged, and a replacement inside it refused.
// A replacement DDS must match its slot's format exactly, have power-of-two
// sides and hold every level it declares; the record then takes its dims and
// mip count, and bytes after the last declared level are dropped.
#include <cstdint>
#include <cstring>

#include "archive/archive.h"
#include "archive/byte_reader.h"
#include "archive/console_message.h"
#include "archive/format_text.h"
#include "archive/large_buffer.h"
#include "archive/limits.h"
#include "formats/dds_templates.h"

namespace korvel {
namespace {

constexpr char kMagicG1tg[4] = {'G', '1', 'T', 'G'};
constexpr char kMagicGt1g[4] = {'G', 'T', '1', 'G'};
constexpr std::uint32_t kG1tVersion = 0x30303630;

constexpr std::uint64_t kVersionOffset = 4;
constexpr std::uint64_t kTotalSizeOffset = 8;
constexpr std::uint64_t kTableOffsetOffset = 12;
constexpr std::uint64_t kTextureCountOffset = 16;
constexpr std::uint64_t kHeaderSize = 20;

constexpr std::uint64_t kMipByteOffset = 0;
constexpr std::uint64_t kFormatOffset = 1;
constexpr std::uint64_t kDimsOffset = 2;
constexpr std::uint64_t kRecordSize = 8;
constexpr std::uint64_t kExtensionSize = 12;

// Compared in this order; any match means the extension is present.
constexpr std::uint8_t kExtensionPatterns[4][kExtensionSize] = {
    {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01},
    {0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00},
    {0, 0, 0, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0x01},
    {0, 0, 0, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0x00},
};

// A side's log2 must fit a nibble of the dims byte.
constexpr std::uint32_t kMaxDdsSideForDims = 0xFFFF;
// The record keeps the mip count in a nibble.
constexpr std::uint32_t kMaxMipCountInRecord = 15;

constexpr const char* kUnknownFormatMessage = "pause | 隐患警告：未知的图片格式标记！";

struct PixelFormat {
  const DdsTemplate* dds_template;
  DdsLayout layout;
  bool uncompressed;  // 32-bit words, byte-reversed in big-endian "G1TG" containers
};

// nullptr for a code we cannot describe in a DDS header.
const PixelFormat* pixel_format_of(std::uint8_t code) {
  static const PixelFormat kArgb{&kDdsTemplateA8R8G8B8, kLayoutA8R8G8B8, true};
  static const PixelFormat kDxt1{&kDdsTemplateDxt1, kLayoutDxt1, false};
  static const PixelFormat kDxt3{&kDdsTemplateDxt3, kLayoutDxt3, false};
  static const PixelFormat kDxt5{&kDdsTemplateDxt5, kLayoutDxt5, false};
  switch (code) {
    case 0:
    case 1:
      return &kArgb;
    case 6:
      return &kDxt1;
    case 7:
      return &kDxt3;
    case 8:
      return &kDxt5;
    default:
      return nullptr;
  }
}

bool is_uncompressed_format(std::uint8_t code) {
  return code == 0 || code == 1;
}

std::uint8_t exchange_nibbles(std::uint8_t value) {
  return static_cast<std::uint8_t>((value << 4) | (value >> 4));
}

void reverse_words(std::uint8_t* bytes, std::uint64_t length) {
  for (std::uint64_t i = 0; i + 4 <= length; i += 4) {
    std::uint32_t word;
    std::memcpy(&word, bytes + i, 4);
    word = __builtin_bswap32(word);
    std::memcpy(bytes + i, &word, 4);
  }
}

// The number of halvings until the value is 1: the log2 of the next lower
// power of two.
std::uint8_t halvings_to_one(std::uint32_t value) {
  std::uint8_t count = 0;
  while (value > 1) {
    value >>= 1;
    ++count;
  }
  return count;
}

// What the header and table say, with every position in 64 bits.
struct G1tContainer {
  bool magic_is_g1tg = false;
  bool header_complete = false;
  std::uint32_t total_size = 0;
  std::uint32_t table_offset = 0;
  std::uint32_t texture_count = 0;
  // Starts of the textures whose table slot lies inside the payload, up to
  // the listing limit, from the container's start.
  std::vector<std::uint64_t> starts;

  std::uint64_t table_end() const { return std::uint64_t{table_offset} + 4ull * texture_count; }

  // Where texture i begins and ends; false when its end is not known (its
  // successor's slot lies outside the payload).
  bool extent(std::uint32_t i, std::uint64_t* begin, std::uint64_t* end) const {
    if (i >= starts.size()) return false;
    *begin = starts[i];
    if (i + 1 == texture_count) {
      *end = total_size;
    } else if (i + 1 < starts.size()) {
      *end = starts[i + 1];
    } else {
      return false;
    }
    return true;
  }

  // Texture i's bytes can be copied: its extent is known, ordered and inside
  // the payload.
  bool extent_inside(std::uint32_t i, std::uint64_t length, std::uint64_t* begin,
                     std::uint64_t* end) const {
    return extent(i, begin, end) && *begin <= *end && *end <= length;
  }

  // The whole layout holds together, so that it can be written again: header
  // before the table, every texture listed and inside the payload.
  bool can_be_laid_out_again(std::uint64_t length) const {
    if (!header_complete || table_offset < kHeaderSize || table_end() > length ||
        starts.size() != texture_count) {
      return false;
    }
    if (texture_count == 0) return total_size <= length;
    for (std::uint32_t i = 0; i < texture_count; ++i) {
      std::uint64_t begin = 0, end = 0;
      if (!extent_inside(i, length, &begin, &end)) return false;
    }
    return true;
  }

  // Where the global data between the table and the first texture end (the
  // table's end when there are none).
  std::uint64_t global_data_end() const {
    const std::uint64_t first = texture_count > 0 ? starts[0] : total_size;
    return first > table_end() ? first : table_end();
  }
};

// False when the payload is not a G1T container of the version we read.
bool read_container(const ByteReader& reader, G1tContainer* container) {
  bool g1tg = reader.bytes_equal(0, kMagicG1tg, 4);
  if (!g1tg && !reader.bytes_equal(0, kMagicGt1g, 4)) return false;
  std::uint32_t version = 0;
  if (!reader.read_u32(kVersionOffset, &version) || version != kG1tVersion) return false;
  container->magic_is_g1tg = g1tg;
  // A header cut short is still a G1T; it just lists nothing.
  container->header_complete = reader.read_u32(kTotalSizeOffset, &container->total_size) &&
                               reader.read_u32(kTableOffsetOffset, &container->table_offset) &&
                               reader.read_u32(kTextureCountOffset, &container->texture_count);
  if (!container->header_complete) return true;
  const std::uint32_t listed = container->texture_count < kMaxTexturesPerContainer
                                   ? container->texture_count
                                   : kMaxTexturesPerContainer;
  // Room for no more offsets than the payload holds: a declared count alone
  // must not take memory.
  const std::uint64_t table_room =
      reader.size() > container->table_offset ? (reader.size() - container->table_offset) / 4 : 0;
  container->starts.reserve(listed < table_room ? listed : table_room);
  for (std::uint32_t i = 0; i < listed; ++i) {
    std::uint32_t offset = 0;
    if (!reader.read_u32(std::uint64_t{container->table_offset} + 4ull * i, &offset)) break;
    container->starts.push_back(std::uint64_t{container->table_offset} + offset);
  }
  return true;
}

ContentNode* append_texture_node(ContentNode* parent, std::uint32_t number) {
  ContentNode* node = append_element(parent, vocab::kG1t);
  append_attribute(node, vocab::kNumber, format_text("%u", number));
  append_attribute(node, vocab::kOutputId, output_id_of(node, vocab::kTextureSuffix));
  append_attribute(node, vocab::kContent, vocab::kTexturePage);
  return node;
}

bool is_requested(const Archive& archive, const ContentNode* node) {
  return keys_equal(attribute_value(node, vocab::kOutputId), archive.requested_key);
}

bool has_extension(const ByteReader& reader, std::uint64_t record, std::uint64_t end) {
  // The pattern must lie inside the texture's own extent.
  if (end - record < kRecordSize + kExtensionSize) return false;
  for (const auto& pattern : kExtensionPatterns) {
    if (reader.bytes_equal(record + kRecordSize, pattern, kExtensionSize)) return true;
  }
  return false;
}

// Builds the DDS file of texture i into the archive's image. False when the
// texture cannot be extracted; the image is then as it was.
bool extract_texture(Archive& archive, const ByteReader& reader, const G1tContainer& container,
                     std::uint32_t i, const std::string& output_id) {
  std::uint64_t begin = 0, end = 0;
  if (!container.extent_inside(i, reader.size(), &begin, &end) || end - begin < kRecordSize) {
    archive.set_error(ErrorKind::kInvalidData,
                      format_text("texture %s lies outside its container", output_id.c_str()));
    return false;
  }
  const std::uint8_t mip_byte = reader.u8_or_zero(begin + kMipByteOffset);
  const std::uint8_t format_code = reader.u8_or_zero(begin + kFormatOffset);
  const std::uint8_t dims = cond_swap8(reader.u8_or_zero(begin + kDimsOffset), archive.big_endian);
  const std::uint64_t pixels_begin =
      begin + kRecordSize + (has_extension(reader, begin, end) ? kExtensionSize : 0);
  const std::uint64_t pixel_length = end - pixels_begin;

  const PixelFormat* format = pixel_format_of(format_code);
  if (format == nullptr) {
    show_console_message(kUnknownFormatMessage);
    archive.set_error(
        ErrorKind::kNotSupported,
        format_text("texture %s has the unknown format code %u", output_id.c_str(), format_code));
    return false;
  }
  DdsTemplate header = *format->dds_template;
  header.header.dwHeight = 1u << (dims >> 4);
  header.header.dwWidth = 1u << (dims & 0x0F);
  // Big-endian containers keep the count in the other nibble, so the exchange
  // can claim 16 or more levels; a DDS never claims more than its data hold.
  const std::uint32_t claimed = exchange_nibbles(mip_byte);
  const std::uint32_t held =
      format->layout.levels_held(header.header.dwWidth, header.header.dwHeight, pixel_length);
  header.header.dwMipMapCount = claimed <= held ? claimed : held;

  // pixel_length < 4 GiB - 256, so the sizes below fit 32 bits.
  // Copied in, not zeroed first: textures run to tens of megabytes.
  const auto* header_bytes = reinterpret_cast<const std::uint8_t*>(&header);
  archive.image.clear();
  reserve_large(&archive.image, kDdsFileHeaderSize + pixel_length + kImageZeroTail);
  archive.image.assign(header_bytes, header_bytes + sizeof header);
  archive.image.insert(archive.image.end(), reader.data() + pixels_begin,
                       reader.data() + pixels_begin + pixel_length);
  archive.image.resize(kDdsFileHeaderSize + pixel_length + kImageZeroTail, 0);
  std::uint8_t* pixels = archive.image.data() + kDdsFileHeaderSize;
  if (format->uncompressed && container.magic_is_g1tg && archive.big_endian == 1) {
    reverse_words(pixels, pixel_length);
  }
  archive.image_size = static_cast<std::uint32_t>(kDdsFileHeaderSize + pixel_length);
  return true;
}

void list_and_extract(Archive& archive, ContentNode* parent, const ByteReader& reader,
                      const G1tContainer& container) {
  for (std::uint32_t i = 0; i < container.starts.size(); ++i) {
    const ContentNode* node = append_texture_node(parent, i);
    if (archive.item_sink) {
      archive.model_view.clear();  // its references point into the image
      archive.image.clear();
      archive.image_size = 0;
      archive.clear_error();
      const std::string output_id = attribute_value(node, vocab::kOutputId);
      extract_texture(archive, reader, container, i, output_id);
      archive.item_sink(output_id);
      continue;
    }
    if (!is_requested(archive, node)) continue;
    // Textures after the extracted one get no nodes in this call.
    if (extract_texture(archive, reader, container, i, archive.requested_key)) return;
  }
}

// The bytes of the replacement DDS file that the image really holds.
std::uint64_t replacement_file_size(const Archive& archive) {
  return archive.image_size < archive.image.size() ? archive.image_size : archive.image.size();
}

// What a replacement DDS puts into its slot: the record's dims byte and mip
// count, and the pixel bytes of the levels it declares.
struct Replacement {
  std::uint8_t dims = 0;
  std::uint8_t mip_count = 0;
  std::uint64_t pixel_length = 0;
};

bool is_power_of_two(std::uint32_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

// The DDS in the archive's image, checked against the slot it replaces: its
// pixels must be laid out exactly as the slot's format code says (a DXT5 file
// or swapped channels in an A8R8G8B8 slot would be read as garbage by the
// game), its sides must be what the dims byte can say, and its data must hold
// every level its header declares. False, with the reason in the archive's
// error, otherwise.
bool check_replacement(Archive& archive, const PixelFormat& slot, std::uint8_t slot_format_code,
                       Replacement* out) {
  const std::uint64_t size = replacement_file_size(archive);
  if (size < kDdsFileHeaderSize) {
    archive.set_error(ErrorKind::kInvalidData, "the DDS file is shorter than its 128-byte header");
    return false;
  }
  DdsFileHeader file;
  std::memcpy(&file, archive.image.data(), sizeof file);
  const DdsHeader& header = file.header;
  const DdsPixelFormat& given = header.ddspf;
  const DdsPixelFormat& wanted = slot.dds_template->header.ddspf;
  const bool same_layout =
      slot.uncompressed
          ? (given.dwFlags & kDdpfRgb) != 0 && given.dwRGBBitCount == 32 &&
                given.dwRBitMask == wanted.dwRBitMask && given.dwGBitMask == wanted.dwGBitMask &&
                given.dwBBitMask == wanted.dwBBitMask && given.dwABitMask == wanted.dwABitMask
          : (given.dwFlags & kDdpfFourCc) != 0 && given.dwFourCC == wanted.dwFourCC;
  if (!same_layout) {
    archive.set_error(ErrorKind::kInvalidArgument,
                      format_text("the DDS file's pixel format differs from texture %s's (code %u)",
                                  archive.requested_key.c_str(), slot_format_code));
    return false;
  }
  const std::uint32_t width = header.dwWidth;
  const std::uint32_t height = header.dwHeight;
  if (width > kMaxDdsSideForDims || height > kMaxDdsSideForDims || !is_power_of_two(width) ||
      !is_power_of_two(height)) {
    archive.set_error(
        ErrorKind::kInvalidArgument,
        format_text("the DDS file is %ux%u; a texture's sides are powers of two from 1 to 32768",
                    width, height));
    return false;
  }
  // A count of 0 is the DDS way of saying there is one level.
  const std::uint32_t declared = header.dwMipMapCount > 0 ? header.dwMipMapCount : 1;
  const std::uint32_t chain = slot.layout.levels_held(width, height, UINT64_MAX);
  if (declared > chain || declared > kMaxMipCountInRecord) {
    archive.set_error(
        ErrorKind::kInvalidArgument,
        format_text("the DDS file declares %u mip levels; a %ux%u texture has at most %u", declared,
                    width, height, chain < kMaxMipCountInRecord ? chain : kMaxMipCountInRecord));
    return false;
  }
  std::uint64_t needed = 0;
  for (std::uint32_t level = 0, w = width, h = height; level < declared; ++level) {
    needed += slot.layout.level_size(w, h);
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  const std::uint64_t held = size - kDdsFileHeaderSize;
  if (held < needed) {
    archive.set_error(ErrorKind::kInvalidData,
                      format_text("the DDS file holds %llu bytes of pixels; its %ux%u header with "
                                  "%u mip levels needs %llu",
                                  static_cast<unsigned long long>(held), width, height, declared,
                                  static_cast<unsigned long long>(needed)));
    return false;
  }
  out->dims =
      cond_swap8(static_cast<std::uint8_t>(halvings_to_one(height) << 4 | halvings_to_one(width)),
                 archive.big_endian);
  out->mip_count = static_cast<std::uint8_t>(declared);
  out->pixel_length = needed;
  // Bytes after the last declared level are no texture's: they are dropped,
  // and the read-back compares what was stored.
  archive.image_size = static_cast<std::uint32_t>(kDdsFileHeaderSize + needed);
  return true;
}

// The stored mip byte with its count replaced. The count sits in the high
// nibble, which big-endian archives store as the low one, as with dims.
std::uint8_t with_mip_count(std::uint8_t stored, std::uint8_t count, std::uint8_t big_endian) {
  const std::uint8_t as_read = cond_swap8(stored, big_endian);
  return cond_swap8(static_cast<std::uint8_t>(count << 4 | (as_read & 0x0F)), big_endian);
}

void rebuild(Archive& archive, ContentNode* parent, const ByteReader& reader,
             const G1tContainer& container, ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
             std::uint32_t* out_stored_size) {
  // Every texture gets its node in rebuild mode; at most one is the target.
  std::int64_t target = -1;
  for (std::uint32_t i = 0; i < container.starts.size(); ++i) {
    const ContentNode* node = append_texture_node(parent, i);
    if (target < 0 && is_requested(archive, node)) target = i;
  }
  const std::uint64_t length = reader.size();
  if (!container.can_be_laid_out_again(length)) {
    // Nothing in it changes: keep it as stored rather than guess at a layout.
    if (target >= 0) return archive.fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
    *out_buffer = make_payload_buffer(reader.data(), static_cast<std::uint32_t>(length));
    *out_decoded_size = static_cast<std::uint32_t>(length);
    *out_stored_size = static_cast<std::uint32_t>(length);
    return;
  }

  Replacement replacement;
  bool target_extension = false;
  std::uint64_t replacement_length = 0;
  if (target >= 0) {
    std::uint64_t begin = 0, end = 0;
    container.extent(static_cast<std::uint32_t>(target), &begin, &end);
    if (end - begin < kRecordSize) {
      archive.set_error(
          ErrorKind::kInvalidData,
          format_text("texture %s is too short to hold its record", archive.requested_key.c_str()));
      return archive.fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
    }
    const std::uint8_t format_code = reader.u8_or_zero(begin + kFormatOffset);
    // A texture of a format we cannot decode cannot be read back to check a
    // replacement, and nobody could have extracted it to edit: refused, with
    // nothing written, rather than written blind.
    const PixelFormat* slot_format = pixel_format_of(format_code);
    if (slot_format == nullptr) {
      archive.set_error(
          ErrorKind::kNotSupported,
          format_text("texture %s has the unknown format code %u; it cannot be replaced",
                      archive.requested_key.c_str(), format_code));
      return archive.fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
    }
    if (!check_replacement(archive, *slot_format, format_code, &replacement)) {
      return archive.fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
    }
    target_extension = has_extension(reader, begin, end);
    replacement_length = replacement.pixel_length;
  }

  // Size first, in 64 bits: the result must still fit a 32-bit payload.
  const std::uint64_t global_data_end = container.global_data_end();
  std::uint64_t new_size = global_data_end;
  for (std::uint32_t i = 0; i < container.texture_count; ++i) {
    std::uint64_t begin = 0, end = 0;
    container.extent(i, &begin, &end);
    new_size += i == target
                    ? kRecordSize + (target_extension ? kExtensionSize : 0) + replacement_length
                    : end - begin;
  }
  if (new_size > kMaxPayloadLength) {
    return archive.fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
  }

  ByteBuffer rebuilt(new_size + kPayloadSlack, 0);
  ByteWriter writer(rebuilt.data(), new_size, archive.big_endian);
  const std::uint8_t* payload = reader.data();
  writer.write_bytes(0, payload, container.table_offset);
  writer.write_u32(kTotalSizeOffset, static_cast<std::uint32_t>(new_size));
  writer.write_bytes(container.table_end(), payload + container.table_end(),
                     global_data_end - container.table_end());
  std::uint64_t position = global_data_end;
  for (std::uint32_t i = 0; i < container.texture_count; ++i) {
    writer.write_u32(container.table_offset + 4ull * i,
                     static_cast<std::uint32_t>(position - container.table_offset));
    std::uint64_t begin = 0, end = 0;
    container.extent(i, &begin, &end);
    if (i != target) {
      writer.write_bytes(position, payload + begin, end - begin);
      position += end - begin;
      continue;
    }
    // The stored record with the replacement's dims and mip count; the format
    // and the rest stay.
    std::uint8_t record[kRecordSize];
    std::memcpy(record, payload + begin, kRecordSize);
    record[kDimsOffset] = replacement.dims;
    record[kMipByteOffset] =
        with_mip_count(record[kMipByteOffset], replacement.mip_count, archive.big_endian);
    writer.write_bytes(position, record, kRecordSize);
    position += kRecordSize;
    if (target_extension) {
      writer.write_bytes(position, payload + begin + kRecordSize, kExtensionSize);
      position += kExtensionSize;
    }
    std::uint8_t* pixels = rebuilt.data() + position;
    writer.write_bytes(position, archive.image.data() + kDdsFileHeaderSize, replacement_length);
    // The same condition as extraction, so that extracting a texture and
    // putting it back leaves the container as it was.
    if (is_uncompressed_format(record[kFormatOffset]) && container.magic_is_g1tg &&
        archive.big_endian == 1) {
      reverse_words(pixels, replacement_length);
    }
    position += replacement_length;
  }
  *out_buffer = std::move(rebuilt);
  *out_decoded_size = static_cast<std::uint32_t>(new_size);
  *out_stored_size = static_cast<std::uint32_t>(new_size);
}

}  // namespace

int Archive::decode_g1t(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                        ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                        std::uint32_t* out_stored_size) {
  if (parent == nullptr) return 0;
  const ByteReader reader(payload, length, big_endian);
  G1tContainer container;
  if (!read_container(reader, &container)) return 0;
  if (!claim_content_nodes(container.starts.size())) return 0;
  if (is_rebuild(out_buffer, out_decoded_size, out_stored_size)) {
    rebuild(*this, parent, reader, container, out_buffer, out_decoded_size, out_stored_size);
  } else {
    list_and_extract(*this, parent, reader, container);
  }
  return 1;
}

}  // namespace korvel
