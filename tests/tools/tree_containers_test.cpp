// korvel-cli tree on nested packs and zlib streams written by the
// independent writer: the whole printed tree is compared.
#include <gtest/gtest.h>

#include <cinttypes>
#include <sstream>
#include <string>

#include "archive/format_text.h"
#include "tests/support/container_laws.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/cli.h"

namespace korvel {
namespace {

struct TreeCase {
  const char* name;
  const char* description;  // JSON for the independent writer; one entry, archive "a"
  const char* expected_below_entry;
};

const TreeCase kCases[] = {
    {"a pack of a stream, an unknown item and a pack with extra header bytes",
     R"({"name": "a", "entries": [{"payload": {"pack": {"items": [
          {"zlib_stream": {"chunk_size": 512, "payload": {"repeat": [65, 1500]}}},
          {"text": "abc"},
          {"pack": {"items": [{"text": "deep"}, {"hex": "00"}],
                    "extra_header": "0102030405060708"}}]}}}]})",
     "\t\t<pack number=\"0\">\n"
     "\t\t\t<zlib number=\"0\">\n"
     "\t\t\t\t<unknow number=\"0\" rawdata=\"41414141414141414141414141414141,"
     "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA\"/>\n"
     "\t\t\t</zlib>\n"
     "\t\t</pack>\n"
     "\t\t<pack number=\"1\">\n"
     "\t\t\t<unknow number=\"0\" rawdata=\"61626300000000000000000000000000,abc\"/>\n"
     "\t\t</pack>\n"
     "\t\t<pack number=\"2\">\n"
     "\t\t\t<pack number=\"0\">\n"
     "\t\t\t\t<unknow number=\"0\" rawdata=\"64656570000000000000000000000000,deep\"/>\n"
     "\t\t\t</pack>\n"
     "\t\t\t<pack number=\"1\">\n"
     "\t\t\t\t<unknow number=\"0\" rawdata=\"00000000000000000000000000000000,\"/>\n"
     "\t\t\t</pack>\n"
     "\t\t</pack>\n"},
    {"a big-endian stream of a pack holding a stream",
     R"({"name": "a", "big_endian": true, "entries": [{"payload": {"zlib_stream": {
          "chunk_size": 256, "payload": {"pack": {"items": [
            {"repeat": [66, 300]},
            {"zlib_stream": {"chunk_size": 128, "payload": {"repeat": [67, 400]}}}]}}}}}]})",
     "\t\t<zlib number=\"0\">\n"
     "\t\t\t<pack number=\"0\">\n"
     "\t\t\t\t<unknow number=\"0\" rawdata=\"42424242424242424242424242424242,"
     "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB\"/>\n"
     "\t\t\t</pack>\n"
     "\t\t\t<pack number=\"1\">\n"
     "\t\t\t\t<zlib number=\"0\">\n"
     "\t\t\t\t\t<unknow number=\"0\" rawdata=\"43434343434343434343434343434343,"
     "CCCCCCCCCCCCCCCCCCCCCCCCCCCCCCCC\"/>\n"
     "\t\t\t\t</zlib>\n"
     "\t\t\t</pack>\n"
     "\t\t</zlib>\n"},
    {"a stream whose first chunk is stored",
     R"({"name": "a", "entries": [{"payload": {"zlib_stream": {"chunk_size": 512, "chunks": [
          {"payload": {"text": "kept as it stands"}, "stored": true},
          {"payload": {"repeat": [68, 400]}}]}}}]})",
     "\t\t<zlib number=\"0\">\n"
     "\t\t\t<unknow number=\"0\" rawdata=\"6B657074206173206974207374616E64,"
     "kept as it stands\"/>\n"
     "\t\t</zlib>\n"},
};

TEST(TreeOfContainers, ListsNestedPacksAndStreamsAsTheyAreWritten) {
  for (const TreeCase& c : kCases) {
    test::TempDir directory;
    test::write_independent_archive(directory.path(), c.description);
    const auto size = static_cast<std::uint64_t>(test::read_bytes(directory.file("a.bin")).size());
    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::run_cli({"tree", directory.file("a.idx"), "0"}, out, err);
    EXPECT_EQ(status, cli::kExitNothingProduced) << c.name << ": " << err.str();
    const std::string expected =
        format_text(
            "<idx_bin_all_info>\n"
            "\t<idx_No.00000000 offset=\"0000000000000000h\" size_uncomp=\"%016" PRIX64
            "h\" size_comp=\"%016" PRIX64 "h\" flag=\"0000000000000000h\" number=\"00000000\">\n",
            size, size) +
        c.expected_below_entry + "\t</idx_No.00000000>\n</idx_bin_all_info>\n\n";
    EXPECT_EQ(out.str(), expected) << c.name;
    // The payload is the whole data file: it must also survive a rebuild.
    const std::vector<std::uint8_t> payload = test::read_bytes(directory.file("a.bin"));
    EXPECT_EQ(test::check_unchanged_rebuild(payload.data(), payload.size()), "") << c.name;
  }
}

}  // namespace
}  // namespace korvel
