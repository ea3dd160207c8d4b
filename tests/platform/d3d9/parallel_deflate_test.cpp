// Bands deflated at once and joined must read back, through zlib, as the
// data they came from.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "platform/d3d9/parallel_deflate.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Noise, runs and repeats: stored, fixed and dynamic blocks, matches that
// would reach across a band's start, and band ends at every bit.
Bytes sample(std::size_t size, int kind) {
  Bytes data(size);
  std::uint32_t seed = static_cast<std::uint32_t>(size) * 2654435761u + kind;
  for (std::size_t i = 0; i < size; ++i) {
    seed = seed * 1664525u + 1013904223u;
    switch (kind) {
      case 0:  // noise
        data[i] = static_cast<std::uint8_t>(seed >> 24);
        break;
      case 1:  // a run
        data[i] = 7;
        break;
      default:  // a short pattern with rare changes
        data[i] = static_cast<std::uint8_t>(i % 37 + ((seed >> 28) == 0 ? seed >> 20 : 0));
        break;
    }
  }
  return data;
}

TEST(ParallelDeflate, BandsJoinIntoOneZlibStream) {
  const struct {
    std::size_t size;
    int kind;
  } inputs[] = {{0, 0},      {1, 0},      {1000, 2},    {5000, 0},
                {600000, 1}, {700000, 0}, {1100000, 2}, {300001, 2}};
  for (const auto& [size, kind] : inputs) {
    const Bytes data = sample(size, kind);
    for (const int level : {1, 7}) {
      for (const unsigned bands : {0u, 1u, 2u, 3u, 7u}) {
        Bytes stream;
        ASSERT_TRUE(d3d9::deflate_zlib_in_bands(data.data(), data.size(), level, &stream, bands));
        Bytes back(size + 1);
        uLongf back_size = static_cast<uLongf>(back.size());
        ASSERT_EQ(
            uncompress(back.data(), &back_size, stream.data(), static_cast<uLong>(stream.size())),
            Z_OK)
            << size << " bytes, kind " << kind << ", level " << level << ", " << bands << " bands";
        back.resize(back_size);
        EXPECT_EQ(back, data) << size << " bytes, kind " << kind << ", " << bands << " bands";
      }
    }
  }
}

}  // namespace
}  // namespace korvel::test
