#include "tools/forge/samples.h"

#include <string>

#include "tools/forge/sample_models.h"

namespace korvel::forge {
namespace {

Bytes text_payload(const std::string& text) { return Bytes(text.begin(), text.end()); }

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
  archive.entries.push_back({text_payload("korvel sample: an entry no decoder knows"), 0, 0, false});
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

}  // namespace

std::vector<ForgeArchive> sample_archives() {
  return {plain_archive(), series_archive(), models_archive("models", false),
          models_archive("models_be", true)};
}

}  // namespace korvel::forge
