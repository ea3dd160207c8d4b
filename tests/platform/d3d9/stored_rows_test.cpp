// Rows written in bands into one stream of stored blocks must read back,
// through zlib, as the filter bytes and rows they came from, under a CRC-32
// that zlib computes alike.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d9/stored_rows.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(StoredRows, BandsJoinIntoOneStream) {
  // With a band per row group the bands meet inside a block, exactly at a
  // block's start (255 lines of 257 bytes are one full block), and after a
  // last block cut short; one row alone is a stream of one block.
  const struct {
    std::uint32_t count;
    std::size_t length;
    std::uint32_t granule;
  } cases[] = {{510, 256, 255}, {511, 256, 255}, {100, 1000, 16}, {1, 5, 1}, {3, 70000, 1}};
  for (const auto& c : cases) {
    Bytes pixels(c.count * c.length);
    std::uint32_t seed = c.count;
    for (std::uint8_t& byte : pixels)
      byte = static_cast<std::uint8_t>((seed = seed * 69069 + 1) >> 24);
    d3d9::StoredRows rows;
    rows.count = c.count;
    rows.length = c.length;
    rows.granule = c.granule;
    rows.scratch_size = c.length * c.granule;
    // Every other group comes through the scratch memory.
    rows.rows = [&](std::uint32_t first, std::uint32_t n, std::uint8_t* scratch) {
      const std::uint8_t* from = pixels.data() + first * c.length;
      if (first / c.granule % 2 == 0) return from;
      std::memcpy(scratch, from, n * c.length);
      return static_cast<const std::uint8_t*>(scratch);
    };
    Bytes stream(d3d9::stored_rows_stream_size(rows) + 1, 0xEE);
    const auto type_crc =
        static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>("IDAT"), 4));
    std::uint32_t crc = type_crc;
    ASSERT_TRUE(d3d9::write_stored_rows(rows, stream.data(), &crc));
    EXPECT_EQ(stream.back(), 0xEE) << "wrote past its size";
    stream.pop_back();
    EXPECT_EQ(crc, crc32(type_crc, stream.data(), static_cast<uInt>(stream.size())));

    Bytes expected;
    for (std::uint32_t row = 0; row < c.count; ++row) {
      expected.push_back(0);
      expected.insert(expected.end(), pixels.begin() + row * c.length,
                      pixels.begin() + (row + 1) * c.length);
    }
    Bytes inflated(expected.size() + 16);
    uLongf inflated_size = inflated.size();
    ASSERT_EQ(uncompress(inflated.data(), &inflated_size, stream.data(), stream.size()), Z_OK)
        << c.count << " rows of " << c.length;
    inflated.resize(inflated_size);
    EXPECT_TRUE(inflated == expected) << c.count << " rows of " << c.length;
  }
}

}  // namespace
}  // namespace korvel::test
