// Replays the saved fuzz corpus of the model decoder, so that every input
// the fuzzer ever kept (crashes included, once fixed) stays covered.
#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/g1m_harness.h"
#include "tests/formats/g1m_fixtures.h"
#include "tests/support/temp_dir.h"

namespace korvel::test {
namespace {

TEST(G1mFuzzCorpus, EveryInputKeepsTheInvariants) {
  MessageLog quiet;
  const std::filesystem::path corpus =
      std::filesystem::path(KORVEL_SOURCE_DIR) / "fuzz" / "corpus" / "fuzz_g1m";
  std::size_t inputs = 0;
  for (const auto& file : std::filesystem::directory_iterator(corpus)) {
    SCOPED_TRACE(file.path().filename().string());
    const Bytes input = read_bytes(file.path().string());
    EXPECT_TRUE(fuzz::run_g1m_input(input.data(), input.size()));
    ++inputs;
  }
  EXPECT_GE(inputs, 8u);
}

}  // namespace
}  // namespace korvel::test
