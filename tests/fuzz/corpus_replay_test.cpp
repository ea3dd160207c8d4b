// Replays every saved fuzz input (seeds and any crash ever found) through the
// fuzz targets' own bodies, so that a plain test run keeps them fixed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/console_message.h"
#include "fuzz/dds_input.h"
#include "fuzz/display_input_input.h"
#include "fuzz/g1t_input.h"
#include "fuzz/list_document_input.h"
#include "fuzz/mod_file_input.h"
#include "fuzz/png_input.h"
#include "fuzz/replace_input.h"

namespace korvel::test {
namespace {

std::size_t replay(const std::string& target, bool (*run)(const std::uint8_t*, std::size_t)) {
  const std::filesystem::path folder =
      std::filesystem::path(KORVEL_SOURCE_DIR) / "fuzz" / "corpus" / target;
  std::size_t count = 0;
  for (const auto& file : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(file.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes(std::istreambuf_iterator<char>(in), {});
    EXPECT_TRUE(run(bytes.data(), bytes.size())) << file.path().string();
    ++count;
  }
  return count;
}

template <void (*Run)(const std::uint8_t*, std::size_t)>
bool no_law(const std::uint8_t* data, std::size_t size) {
  Run(data, size);
  return true;
}

void ignore_message(const char*) {}

TEST(FuzzCorpus, EveryTargetsInputsKeepTheirLaws) {
  const ConsoleMessageHandler previous = set_console_message_handler(&ignore_message);
  const struct {
    const char* target;
    bool (*run)(const std::uint8_t*, std::size_t);
  } kTargets[] = {
      {"fuzz_g1t", &no_law<&fuzz::run_g1t_input>},
      {"fuzz_dds", &no_law<&fuzz::run_dds_input>},
      {"fuzz_list_document", &fuzz::run_list_document_input},
      {"fuzz_display_input", &fuzz::run_display_input},
      {"fuzz_png", &fuzz::run_png_input},
      {"fuzz_replace", &fuzz::run_replace_input},
      {"fuzz_mod_file", &fuzz::run_mod_file_input},
  };
  for (const auto& row : kTargets) {
    SCOPED_TRACE(row.target);
    EXPECT_GT(replay(row.target, row.run), 0u);
  }
  set_console_message_handler(previous);
}

}  // namespace
}  // namespace korvel::test
