// korvel-cli replace with a PNG: the picture comes back out of the archive
// within its format's loss, and everything else stays as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include "archive/archive.h"
#include "formats/png_replacement.h"
#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_encode.h"
#include "tests/support/cli_run.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/cli.h"
#include "tools/forge/pictures.h"
#include "tools/forge/samples.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

void forge_samples(const TempDir& directory) {
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    std::string error;
    ASSERT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;
  }
}

Bytes stored_texture(const std::string& index, const std::string& key) {
  Bytes dds;
  std::string error;
  EXPECT_TRUE(load_stored_texture(index, key, &dds, &error)) << error;
  return dds;
}

d3d9::RgbaImage first_level(const Bytes& dds) {
  d3d9::RgbaImage image;
  EXPECT_TRUE(d3d9::decode_dds_first_level(dds.data(), dds.size(), &image).ok());
  return image;
}

std::string write_png(const TempDir& directory, const std::string& name,
                      const d3d9::RgbaImage& picture) {
  Bytes png;
  EXPECT_TRUE(d3d9::encode_png(picture, &png).ok());
  write_bytes(directory.file(name), png);
  return directory.file(name);
}

// Mean and largest difference per channel (R, G, B, A) between two pictures.
struct Loss {
  double mean[4] = {};
  int max[4] = {};
};

Loss loss_between(const d3d9::RgbaImage& a, const d3d9::RgbaImage& b) {
  Loss loss;
  const std::size_t pixels = a.pixels.size() / 4;
  for (std::size_t i = 0; i < a.pixels.size(); ++i) {
    const int difference = std::abs(int{a.pixels[i]} - int{b.pixels[i]});
    loss.mean[i % 4] += static_cast<double>(difference) / static_cast<double>(pixels);
    loss.max[i % 4] = std::max(loss.max[i % 4], difference);
  }
  return loss;
}

struct Case {
  const char* archive;
  const char* key;
  const char* format;
  // Bounds on the loss: colour channels, then alpha.
  double colour_mean;
  int colour_max;
  int alpha_max;
};

// DXT colours are 5:6:5 endpoints (half a 5-bit step is 4.1) and their
// blends; DXT1 keeps one bit of alpha, DXT3 four; DXT5 interpolates alpha as
// it does colour. A8R8G8B8 is lossless.
const Case kCases[] = {
    {"textures", ".\\00000000\\0.dds", "DXT1", 4.5, 24, 128},
    {"textures", ".\\00000001\\0.dds", "DXT3", 4.5, 24, 9},
    {"textures", ".\\00000000\\1.dds", "DXT5", 4.5, 24, 4},
    {"textures", ".\\00000000\\2.dds", "A8R8G8B8", 0.0, 0, 0},
    {"textures_be", ".\\00000000\\0.dds", "DXT1", 4.5, 24, 128},
    {"textures_be", ".\\00000001\\0.dds", "DXT3", 4.5, 24, 9},
    {"textures_be", ".\\00000000\\1.dds", "DXT5", 4.5, 24, 4},
    {"textures_be", ".\\00000001\\1.dds", "A8R8G8B8", 0.0, 0, 0},
    // Inside a pack inside a zlib stream.
    {"game", ".\\00000002\\0\\0\\0.dds", "DXT5", 4.5, 24, 4},
    {"game_be", ".\\00000002\\0\\0\\1.dds", "A8R8G8B8", 0.0, 0, 0},
};

TEST(CliReplacePng, ComesBackWithinItsFormatsLossAndLeavesTheRestAlone) {
  TempDir directory;
  forge_samples(directory);
  for (const Case& row : kCases) {
    SCOPED_TRACE(std::string(row.archive) + " " + row.key);
    const std::string base = directory.file(row.archive);
    const Bytes index_before = read_bytes(base + ".idx");
    const Bytes data_before = read_bytes(base + ".bin");
    const Bytes stored = stored_texture(base + ".idx", row.key);
    const d3d9::RgbaImage old_picture = first_level(stored);
    d3d9::RgbaImage picture =
        forge::render_picture(forge::Picture::kGradient, old_picture.width, old_picture.height);
    const std::string png = write_png(directory, "painted.png", picture);

    const CliRun run = cli({"replace", base + ".idx", row.key, png});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(run.out, "replaced\n");

    const Bytes replaced = stored_texture(base + ".idx", row.key);
    EXPECT_EQ(stored_mip_levels(replaced.data(), replaced.size()),
              stored_mip_levels(stored.data(), stored.size()));
    const Loss loss = loss_between(first_level(replaced), picture);
    std::printf("loss %-8s %-12s %-22s mean R %.2f G %.2f B %.2f A %.2f  max R %d G %d B %d A %d\n",
                row.format, row.archive, row.key, loss.mean[0], loss.mean[1], loss.mean[2],
                loss.mean[3], loss.max[0], loss.max[1], loss.max[2], loss.max[3]);
    for (int channel = 0; channel < 3; ++channel) {
      EXPECT_LE(loss.mean[channel], row.colour_mean) << "channel " << channel;
      EXPECT_LE(loss.max[channel], row.colour_max) << "channel " << channel;
    }
    EXPECT_LE(loss.max[3], row.alpha_max);

    // The data file only grew; the index changed in the one record.
    const Bytes data_after = read_bytes(base + ".bin");
    ASSERT_GT(data_after.size(), data_before.size());
    EXPECT_TRUE(std::equal(data_before.begin(), data_before.end(), data_after.begin()));
    const Bytes index_after = read_bytes(base + ".idx");
    ASSERT_EQ(index_after.size(), index_before.size());
    std::size_t changed_records = 0;
    for (std::size_t record = 0; record < index_before.size(); record += 32) {
      changed_records +=
          std::equal(index_before.begin() + record, index_before.begin() + record + 32,
                     index_after.begin() + record)
              ? 0
              : 1;
    }
    EXPECT_EQ(changed_records, 1u);
  }
}

TEST(CliReplacePng, RefusalsWriteNothing) {
  TempDir directory;
  forge_samples(directory);
  const std::string index = directory.file("textures.idx");
  const std::string dds = directory.file("texture.dds");
  ASSERT_EQ(cli({"extract", index, ".\\00000000\\1.dds", dds}).status, 0);
  const std::string small =
      write_png(directory, "small.png", forge::render_picture(forge::Picture::kRings, 64, 32));
  write_bytes(directory.file("broken.png"), Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0});

  struct Refusal {
    std::string key, file, reason;
  };
  const Refusal refusals[] = {
      {".\\00000000\\0.dds", small, "the picture is 64x32; the texture is 256x256"},
      {".\\00000000\\0.dds", directory.file("broken.png"), "PNG"},
      {".\\00000000\\0.dds", directory.file("missing.png"), "cannot read"},
      // A key that names no texture was once reported as "unchanged".
      {".\\00000000\\7.dds", small, "names no texture"},
      {".\\00000000\\7.dds", dds, "names no texture"},
      {".\\00000009\\0.dds", dds, "names no texture"},
  };
  const Bytes index_before = read_bytes(index);
  const Bytes data_before = read_bytes(directory.file("textures.bin"));
  for (const Refusal& refusal : refusals) {
    SCOPED_TRACE(refusal.key + " " + refusal.file);
    const CliRun run = cli({"replace", index, refusal.key, refusal.file});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find(refusal.reason), std::string::npos) << run.out;
  }
  EXPECT_EQ(read_bytes(index), index_before);
  EXPECT_EQ(read_bytes(directory.file("textures.bin")), data_before);
}

}  // namespace
}  // namespace korvel::test
