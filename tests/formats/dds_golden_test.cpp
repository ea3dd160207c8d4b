// The DDS headers extraction writes, byte for byte, against golden files that
// are reviewed through git diff. Regenerate them with
// tests/formats/golden/regenerate.sh after an intended change.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/formats/g1t_harness.h"
#include "tests/support/temp_dir.h"
#include "tools/forge/g1t_writer.h"

namespace korvel::test {
namespace {

std::string hex_dump(const Bytes& bytes) {
  std::string text;
  char line[24];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) {
      std::snprintf(line, sizeof line, "%04zx:", i);
      text += line;
    }
    std::snprintf(line, sizeof line, " %02x", bytes[i]);
    text += line;
    if (i % 16 == 15 || i + 1 == bytes.size()) text += '\n';
  }
  return text;
}

struct Golden {
  const char* file;
  std::uint8_t format, width_log2, height_log2, levels;
};
constexpr Golden kGoldens[] = {
    {"dds_header_a8r8g8b8.hex", forge::kG1tArgb, 5, 4, 3},
    {"dds_header_dxt1.hex", forge::kG1tDxt1, 6, 6, 7},
    {"dds_header_dxt3.hex", forge::kG1tDxt3, 7, 5, 1},
    {"dds_header_dxt5.hex", forge::kG1tDxt5, 8, 8, 9},
};

TEST(DdsGolden, ExtractedHeadersMatchTheGoldenFiles) {
  const bool update = std::getenv("KORVEL_UPDATE_GOLDEN") != nullptr;
  forge::ForgeG1t g1t;
  for (const Golden& golden : kGoldens) {
    forge::ForgeTexture texture;
    texture.format = golden.format;
    texture.width_log2 = golden.width_log2;
    texture.height_log2 = golden.height_log2;
    texture.mip_levels = golden.levels;
    g1t.textures.push_back(texture);
  }
  // The big-endian container keeps its mip counts in the other nibble and
  // its A8R8G8B8 words reversed; the DDS headers must come out the same.
  for (const bool big_endian : {false, true}) {
    const Bytes payload = forge::write_g1t(g1t, big_endian);
    for (int i = 0; i < 4; ++i) {
      const G1tRun run = run_g1t(payload, big_endian, texture_id(i));
      ASSERT_GE(run.image.size(), 128u);
      const std::string dump = hex_dump(Bytes(run.image.begin(), run.image.begin() + 128));
      const std::string path =
          std::string(KORVEL_SOURCE_DIR) + "/tests/formats/golden/" + kGoldens[i].file;
      if (update && !big_endian) {
        write_bytes(path, Bytes(dump.begin(), dump.end()));
        continue;
      }
      EXPECT_EQ(dump, read_text(path)) << path << (big_endian ? " (big-endian)" : "");
      // The pixels follow the header unchanged.
      EXPECT_EQ(Bytes(run.image.begin() + 128, run.image.end()),
                forge::texture_dds_pixels(g1t.textures[i]));
    }
  }
}

}  // namespace
}  // namespace korvel::test
