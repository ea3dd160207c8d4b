// Containers whose header, table or textures lie outside the payload: such a
// texture is listed but never extracted, nothing is read outside the payload,
// and a rebuild keeps the container as stored (refusing a replacement in it).
#include <gtest/gtest.h>

#include <functional>

#include "archive/limits.h"
#include "tests/formats/g1t_harness.h"

namespace korvel::test {
namespace {

// Header 0..19, table 20..31, textures at 32 (16 bytes), 48 (24), 72 (24); 96 in all.
Bytes base_container() {
  RawG1t g1t;
  g1t.textures = {raw_texture(0x10, 6, 0x00, counting_bytes(8, 0x10)),
                  raw_texture(0x10, 8, 0x00, counting_bytes(16, 0x20)),
                  raw_texture(0x10, 8, 0x00, counting_bytes(16, 0x30))};
  return g1t.bytes();
}

enum class Rebuilt { kLaidOutAgain, kAsStored, kFailed };

TEST(G1tBounds, DamagedContainers) {
  using Mutation = std::function<void(Bytes&)>;
  auto set = [](std::size_t offset, std::uint32_t value) -> Mutation {
    return [=](Bytes& bytes) { RawG1t::patch(bytes, offset, value, false); };
  };
  struct Case {
    const char* name;
    Mutation mutate;
    std::size_t nodes;
    std::vector<bool> extractable;
    Rebuilt unmatched;       // rebuild with a key that names no texture
    Rebuilt first_targeted;  // rebuild replacing texture 0 (when listed)
  } cases[] = {
      {"intact",
       [](Bytes&) {},
       3,
       {true, true, true},
       Rebuilt::kLaidOutAgain,
       Rebuilt::kLaidOutAgain},
      {"header cut after the table offset",
       [](Bytes& b) { b.resize(16); },
       0,
       {},
       Rebuilt::kAsStored,
       Rebuilt::kAsStored},
      {"table offset past the end", set(12, 0x1000), 0, {}, Rebuilt::kAsStored, Rebuilt::kAsStored},
      {"table offset at 2^32 - 4",
       set(12, 0xFFFFFFFC),
       0,
       {},
       Rebuilt::kAsStored,
       Rebuilt::kAsStored},
      {"only two table slots inside the payload",
       set(12, 88),
       2,
       {false, false},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"texture count far beyond the table",
       set(16, 0xFFFFFFFF),
       (96 - 20) / 4,
       {},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"total size one past the end",
       set(8, 97),
       3,
       {true, true, false},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"total size 2^32 - 1",
       set(8, 0xFFFFFFFF),
       3,
       {true, true, false},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"total size before the last texture",
       set(8, 60),
       3,
       {true, true, false},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"second offset past the end",
       set(24, 0x10000),
       3,
       {false, false, true},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"offsets out of order",
       set(24, 4),
       3,
       {false, true, true},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"offset wrapping past 2^32",
       set(24, 0xFFFFFFF0),
       3,
       {false, false, true},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"first texture shorter than its record",
       set(24, 12 + 5),
       3,
       {false, true, true},
       Rebuilt::kLaidOutAgain,
       Rebuilt::kFailed},
      // Records then come from the wrong bytes: two of them name unknown formats.
      {"table inside the header",
       set(12, 16),
       3,
       {false, true, false},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
      {"payload cut inside the last texture",
       [](Bytes& b) { b.resize(90); },
       3,
       {true, true, false},
       Rebuilt::kAsStored,
       Rebuilt::kFailed},
  };
  const Bytes replacement = replacement_dds(4, 4, Bytes(8, 0x77));
  for (const Case& c : cases) {
    Bytes payload = base_container();
    c.mutate(payload);
    const G1tRun listing = run_g1t(payload, false, "none");
    EXPECT_EQ(listing.result, 1) << c.name;
    EXPECT_EQ(listing.ids.size(), c.nodes) << c.name;
    for (std::size_t i = 0; i < c.extractable.size(); ++i) {
      const G1tRun run = run_g1t(payload, false, texture_id(static_cast<int>(i)));
      EXPECT_EQ(!run.image_untouched, c.extractable[i]) << c.name << ", texture " << i;
    }
    const std::pair<std::string, Rebuilt> rebuilds[] = {{"none", c.unmatched},
                                                        {texture_id(0), c.first_targeted}};
    for (const auto& [key, expected] : rebuilds) {
      const G1tRun run = run_g1t(payload, false, key, replacement);
      EXPECT_EQ(run.result, 1) << c.name;
      EXPECT_EQ(run.ids.size(), c.nodes) << c.name << ", rebuild";
      switch (expected) {
        case Rebuilt::kAsStored:
          EXPECT_FALSE(run.rebuild_failed) << c.name << ", " << key;
          EXPECT_EQ(run.rebuilt, payload) << c.name << ", " << key;
          EXPECT_EQ(run.decoded_size, payload.size()) << c.name << ", " << key;
          break;
        case Rebuilt::kFailed:
          EXPECT_TRUE(run.rebuild_failed) << c.name << ", " << key;
          EXPECT_EQ(run.rebuilt_buffer_size, 0u) << c.name << ", " << key;
          EXPECT_EQ(run.decoded_size, 0u) << c.name << ", " << key;
          EXPECT_EQ(run.stored_size, 0u) << c.name << ", " << key;
          break;
        case Rebuilt::kLaidOutAgain:
          EXPECT_FALSE(run.rebuild_failed) << c.name << ", " << key;
          EXPECT_GT(run.stored_size, 0u) << c.name << ", " << key;
          if (key == "none") {
            EXPECT_EQ(run.rebuilt, payload) << c.name;
          }
          break;
      }
    }
  }
}

TEST(G1tBounds, ListingStopsAtTheTextureLimit) {
  RawG1t g1t;
  const std::uint32_t count = kMaxTexturesPerContainer + 10;
  Bytes payload = g1t.bytes();
  RawG1t::patch(payload, 16, count, false);
  payload.resize(20 + 4ull * count, 0);
  const G1tRun run = run_g1t(payload, false, "none");
  EXPECT_EQ(run.ids.size(), kMaxTexturesPerContainer);
  EXPECT_EQ(run.ids.back(), texture_id(static_cast<int>(kMaxTexturesPerContainer) - 1));
}

}  // namespace
}  // namespace korvel::test
