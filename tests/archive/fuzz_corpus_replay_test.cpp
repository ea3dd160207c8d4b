// Every file of fuzz/corpus goes through dispatch, and those of the container
// targets through the checks those targets make, so that a crash or a broken
// law the fuzzer once found stays fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/console_message.h"
#include "tests/support/container_laws.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

void ignore_message(const char*) {}

TEST(FuzzCorpusReplay, EveryFileKeepsTheLaws) {
  const ConsoleMessageHandler previous = set_console_message_handler(&ignore_message);
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(
           std::string(KORVEL_SOURCE_DIR) + "/fuzz/corpus")) {
    if (!entry.is_regular_file()) continue;
    const std::vector<std::uint8_t> bytes = test::read_bytes(entry.path().string());
    // Every target's inputs go through dispatch in both modes.
    EXPECT_EQ(test::check_rebuild_reads_back(bytes.data(), bytes.size()), "") << entry.path();
    const std::string target = entry.path().parent_path().filename().string();
    if (target == "fuzz_pack" || target == "fuzz_zlib") {
      EXPECT_EQ(test::check_unchanged_rebuild(bytes.data(), bytes.size()), "") << entry.path();
      EXPECT_EQ(test::check_pack_rebuilder(bytes.data(), bytes.size()), "") << entry.path();
      EXPECT_EQ(test::check_zlib_stream_builder(bytes.data(), bytes.size()), "") << entry.path();
    }
    ++files;
  }
  set_console_message_handler(previous);
  EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace korvel
