// Replays every saved fuzz input (seeds and any crash ever found) through the
// fuzz targets' own bodies, so that a plain test run keeps them fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/dds_input.h"
#include "fuzz/g1t_input.h"

namespace korvel::test {
namespace {

std::size_t replay(const std::string& target, void (*run)(const std::uint8_t*, std::size_t)) {
  const std::filesystem::path folder =
      std::filesystem::path(KORVEL_SOURCE_DIR) / "fuzz" / "corpus" / target;
  std::size_t count = 0;
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    SCOPED_TRACE(file.path().string());
    run(bytes.data(), bytes.size());
    ++count;
  }
  return count;
}

TEST(FuzzCorpus, G1t) {
  EXPECT_GT(replay("fuzz_g1t", &fuzz::run_g1t_input), 0u);
}

TEST(FuzzCorpus, Dds) {
  EXPECT_GT(replay("fuzz_dds", &fuzz::run_dds_input), 0u);
}

}  // namespace
}  // namespace korvel::test
