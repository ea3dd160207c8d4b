#include "archive/mod_file.h"

#include <cstring>
#include <set>

#include "archive/checksum.h"
#include "archive/field_codec.h"
#include "archive/file_io.h"
#include "archive/format_text.h"

namespace korvel {

std::vector<std::uint8_t> encode_mod(const ModFile& mod) {
  FieldWriter out;
  out.raw(kModMagic, 4);
  out.u16(kModVersion);
  out.u16(0);
  out.u32(static_cast<std::uint32_t>(mod.entries.size()));
  out.text(mod.archive_name.substr(0, kMaxModNameLength));
  for (const ModEntry& entry : mod.entries) {
    out.u32(entry.entry);
    out.text(entry.output_id.substr(0, kMaxKeyLength));
    out.u32(entry.replaced_crc);
    out.u64(entry.replaced_size);
    out.u32(entry.decoded_size);
    out.u32(static_cast<std::uint32_t>(entry.payload.size()));
    out.u32(entry.payload_crc);
    out.raw(entry.payload.data(), entry.payload.size());
  }
  out.u32(crc32_of(out.bytes().data(), out.size()));
  return std::move(out.bytes());
}

namespace {

bool decode_mod_fields(const std::uint8_t* bytes, std::size_t size, ModFile* mod,
                       std::string* error) {
  if (size < 4 || std::memcmp(bytes, kModMagic, 4) != 0) {
    *error = "not a korvel mod file (no KMOD at its start)";
    return false;
  }
  // The smallest mod: the header with no name and no entries, and the trailer.
  constexpr std::size_t kSmallestMod = 18;
  if (size < kSmallestMod) {
    *error = "the mod file is cut short";
    return false;
  }
  FieldCursor in(bytes, size);
  in.bytes(4);
  const std::uint16_t version = in.u16();
  const std::uint16_t flags = in.u16();
  if (version != kModVersion || flags != 0) {
    *error = format_text("mod version %u with flags %04X: this korvel reads version %u only",
                         version, flags, kModVersion);
    return false;
  }
  // Checked first: nothing past this point trusts a damaged file.
  std::uint32_t stored_crc = 0;
  for (int i = 0; i < 4; ++i)
    stored_crc |= static_cast<std::uint32_t>(bytes[size - 4 + static_cast<std::size_t>(i)])
                  << (8 * i);
  if (crc32_of(bytes, size - 4) != stored_crc) {
    *error = "the mod file is damaged or cut short (its checksum does not match)";
    return false;
  }
  FieldCursor body(bytes, size - 4);
  body.bytes(8);
  const std::uint32_t count = body.u32();
  if (count > kMaxModEntries) {
    *error = format_text("the mod claims %u entries; at most %u are read", count, kMaxModEntries);
    return false;
  }
  mod->archive_name = body.text(kMaxModNameLength);
  std::set<std::uint32_t> seen;
  for (std::uint32_t i = 0; i < count && body.ok(); ++i) {
    ModEntry entry;
    entry.entry = body.u32();
    entry.output_id = body.text(kMaxKeyLength);
    entry.replaced_crc = body.u32();
    entry.replaced_size = body.u64();
    entry.decoded_size = body.u32();
    const std::uint32_t length = body.u32();
    entry.payload_crc = body.u32();
    if (!body.ok()) break;
    if (length > kMaxModPayloadLength || length == 0) {
      *error = format_text("mod entry %u: a payload of %u bytes (1 to %u are read)", i, length,
                           kMaxModPayloadLength);
      return false;
    }
    const std::uint8_t* payload = body.bytes(length);
    if (payload == nullptr) break;
    entry.payload.assign(payload, payload + length);
    if (crc32_of(payload, length) != entry.payload_crc) {
      *error = format_text("mod entry %u: its payload does not match its checksum", i);
      return false;
    }
    if (!seen.insert(entry.entry).second) {
      *error = format_text("the mod changes entry %u twice", entry.entry);
      return false;
    }
    mod->entries.push_back(std::move(entry));
  }
  if (!body.ok() || body.remaining() != 0) {
    *error = body.ok() ? "the mod file has bytes after its last entry"
                       : "the mod file is cut short inside its entries";
    *mod = ModFile();
    return false;
  }
  return true;
}

}  // namespace

bool decode_mod(const std::uint8_t* bytes, std::size_t size, ModFile* mod, std::string* error) {
  *mod = ModFile();
  // A refused mod holds nothing, wherever it was refused.
  if (decode_mod_fields(bytes, size, mod, error)) return true;
  *mod = ModFile();
  return false;
}

bool read_mod_file(const std::string& path, ModFile* mod, std::uint32_t* file_crc,
                   std::string* error) {
  const std::int64_t size = file_size64(path.c_str());
  if (size < 0) {
    *error = "cannot read " + path;
    return false;
  }
  if (static_cast<std::uint64_t>(size) > kMaxModFileBytes) {
    *error = format_text("%s is larger than the %llu bytes a mod file may have", path.c_str(),
                         static_cast<unsigned long long>(kMaxModFileBytes));
    return false;
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (size > 0 && read_file_part(path.c_str(), bytes.data(), 0, bytes.size()) != size) {
    *error = "cannot read " + path;
    return false;
  }
  *file_crc = crc32_of(bytes.data(), bytes.size());
  if (!decode_mod(bytes.data(), bytes.size(), mod, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace korvel
