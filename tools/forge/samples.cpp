#include "tools/forge/samples.h"

#include <string>

#include "tools/forge/g1t_writer.h"
#include "tools/forge/pack_writer.h"
#include "tools/forge/sample_models.h"
#include "tools/forge/zlib_stream_writer.h"

namespace korvel::forge {
namespace {

Bytes text_payload(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

// Deterministic bytes that no decoder recognises.
Bytes noise_payload(std::size_t size, std::uint32_t seed) {
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(seed >> 24);
  }
  return bytes;
}

ForgeArchive plain_archive() {
  ForgeArchive archive;
  archive.name = "plain";
  archive.entries.push_back(
      {text_payload("korvel sample: an entry no decoder knows"), 0, 0, false});
  archive.entries.push_back({{}, 0, 0, false});
  archive.entries.push_back({noise_payload(300, 7), 0, 0x10, false});
  archive.entries.push_back({text_payload("ABC"), 0, 0, false});
  return archive;
}

ForgeArchive series_archive() {
  ForgeArchive archive;
  archive.name = "series";
  archive.big_endian = true;
  archive.numbered_series = true;
  archive.entries.push_back({text_payload("first file, first entry"), 0, 0, false});
  archive.entries.push_back({noise_payload(64, 3), 0, 0, false});
  archive.entries.push_back({text_payload("second file begins here"), 0, 0, true});
  archive.entries.push_back({{}, 0, 0, false});
  archive.entries.push_back({text_payload("third file"), 0, 1, true});
  return archive;
}

// Two models beside an entry that is not one.
ForgeArchive models_archive(const std::string& name, bool big_endian) {
  ForgeArchive archive;
  archive.name = name;
  archive.big_endian = big_endian;
  archive.entries.push_back({write_g1m(robot_model(big_endian)), 0, 0, false});
  archive.entries.push_back({write_g1m(rover_model(big_endian)), 0, 0, false});
  archive.entries.push_back({text_payload("korvel sample: not a model"), 0, 0, false});
  return archive;
}

ForgeTexture sample_texture(std::uint8_t format, std::uint8_t width_log2, std::uint8_t height_log2,
                            std::uint8_t mip_levels, Picture picture, int extension) {
  ForgeTexture texture;
  texture.format = format;
  texture.width_log2 = width_log2;
  texture.height_log2 = height_log2;
  texture.mip_levels = mip_levels;
  texture.picture = picture;
  texture.extension = extension;
  texture.record_tail[0] = 0x12;  // not interpreted; kept through a rebuild
  return texture;
}

// Textures of every kind in G1T entries; the big-endian twin uses the other
// two extension patterns.
ForgeArchive textures_archive(bool big_endian) {
  const int extension_a = big_endian ? 3 : 1, extension_b = big_endian ? 4 : 2;
  ForgeG1t first;
  first.magic_g1tg = false;
  first.textures = {
      sample_texture(kG1tDxt1, 8, 8, 9, Picture::kGradient, 0),
      sample_texture(kG1tDxt5, 7, 7, 4, Picture::kChecker, extension_a),
      sample_texture(kG1tArgb, 7, 5, 1, Picture::kLettering, 0),
  };
  ForgeG1t second;
  second.header_extra = {0x00, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00};
  second.global_data.assign(4 * 3, 0);  // one flag word per texture
  second.global_data[3] = 1;
  second.textures = {
      sample_texture(kG1tDxt3, 8, 7, 1, Picture::kLettering, extension_b),
      sample_texture(kG1tArgb0, 5, 5, 6, Picture::kRings, extension_a),
      sample_texture(kG1tDxt5, 9, 9, 1, Picture::kRings, 0),
  };
  ForgeG1t empty;

  ForgeArchive archive;
  archive.name = big_endian ? "textures_be" : "textures";
  archive.big_endian = big_endian;
  archive.entries.push_back({write_g1t(first, big_endian), 0, 0, false});
  archive.entries.push_back({write_g1t(second, big_endian), 0, 0, false});
  archive.entries.push_back({text_payload("korvel sample: not a texture"), 0, 0, false});
  archive.entries.push_back({write_g1t(empty, big_endian), 0, 0, false});
  return archive;
}

// Compressible text, as game data mostly is.
Bytes text_lines(std::size_t size, const std::string& label) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) {
    text += label + " line " + std::to_string(line) + ": korvel sample data\n";
  }
  text.resize(size);
  return text_payload(text);
}

// Packs and zlib chunk streams nested in each other, with unknown payloads
// at the bottom, in either byte order.
ForgeArchive containers_archive(const std::string& name, bool big_endian) {
  ForgeArchive archive;
  archive.name = name;
  archive.big_endian = big_endian;
  // Entry 0 records its stored size, so that the byte order is told apart
  // by the usual test.
  archive.entries.push_back(
      {pack_of({zlib_stream_of(text_lines(0x30000, "first stream"), 0x20000, big_endian),
                zlib_stream_of(text_lines(0x900, "second stream"), 0x400, big_endian),
                text_payload("an item no decoder knows")},
               big_endian),
       0, 0, false});

  const Bytes inner_pack =
      pack_of({text_payload("unknown inside a pack inside a stream"), text_lines(0x600, "packed")},
              big_endian);
  archive.entries.push_back(
      {zlib_stream_of(inner_pack, 0x200, big_endian), inner_pack.size(), 0, false});

  PackSpec deep;
  deep.extra_header = text_payload("HDR-EXTRA-BYTES!");
  deep.items.push_back(
      {zlib_stream_of(pack_of({zlib_stream_of(text_lines(0x2000, "deep"), 0x800, big_endian),
                               text_payload("beside the deepest stream")},
                              big_endian),
                      0x800, big_endian),
       std::nullopt});
  deep.items.push_back({text_payload("odd size"), std::nullopt});
  archive.entries.push_back({write_pack(deep, big_endian), 0, 0x20, false});

  // A stream whose first chunk is stored: 0x17C bytes kept as they stand.
  ZlibStreamSpec stored = zlib_stream_spec_of(text_lines(0x400, "compressed"), 0x200);
  ZlibChunkSpec kept;
  kept.data = text_lines(0x17C, "stored");
  kept.stored = true;
  stored.chunks.insert(stored.chunks.begin(), kept);
  stored.chunks.pop_back();
  stored.total_size.reset();
  archive.entries.push_back({write_zlib_stream(stored, big_endian), 0, 0, false});
  return archive;
}

// What game archives look like: models beside the textures they wear, and
// textures inside packs inside zlib streams.
ForgeArchive game_archive(const std::string& name, bool big_endian) {
  ForgeG1t robot_skin;
  robot_skin.textures = {sample_texture(kG1tDxt1, 8, 8, 9, Picture::kChecker, 0),
                         sample_texture(kG1tDxt5, 7, 7, 1, Picture::kRings, 0)};
  ForgeG1t rover_skin;
  rover_skin.textures = {sample_texture(kG1tDxt3, 8, 8, 1, Picture::kGradient, 0)};
  ForgeG1t gallery;
  gallery.textures = {sample_texture(kG1tDxt5, 9, 8, 3, Picture::kLettering, 0),
                      sample_texture(kG1tArgb, 6, 6, 1, Picture::kRings, 0),
                      sample_texture(kG1tDxt1, 7, 7, 1, Picture::kGradient, 0)};

  ForgeArchive archive;
  archive.name = name;
  archive.big_endian = big_endian;
  archive.entries.push_back(
      {pack_of({write_g1m(robot_model(big_endian)), write_g1t(robot_skin, big_endian)}, big_endian),
       0, 0, false});
  const Bytes rover =
      pack_of({write_g1m(rover_model(big_endian)), write_g1t(rover_skin, big_endian)}, big_endian);
  archive.entries.push_back({zlib_stream_of(rover, 0x4000, big_endian), rover.size(), 0, false});
  const Bytes pictures =
      pack_of({write_g1t(gallery, big_endian), text_lines(0x3000, "gallery notes")}, big_endian);
  archive.entries.push_back(
      {zlib_stream_of(pictures, 0x8000, big_endian), pictures.size(), 0, false});
  return archive;
}

}  // namespace

std::vector<ForgeArchive> sample_archives() {
  return {plain_archive(),
          series_archive(),
          textures_archive(false),
          textures_archive(true),
          models_archive("models", false),
          models_archive("models_be", true),
          containers_archive("containers", false),
          containers_archive("containers_big", true),
          game_archive("game", false),
          game_archive("game_be", true)};
}

}  // namespace korvel::forge
