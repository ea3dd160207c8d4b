// korvel-cli entries and tree, on archives written by the independent writer.
#include <cstdio>

#include <gtest/gtest.h>

#include "tests/support/cli_run.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/cli.h"

namespace korvel {
namespace {

using test::CliRun;

CliRun run(const cli::Arguments& arguments) {
  return test::cli(arguments);
}

TEST(CliEntries, ListsBothByteOrdersAndSeries) {
  test::TempDir dir;
  test::write_independent_archive(dir.path(), R"({"name": "le", "entries": [
      {"payload": {"text": "abc"}, "offset": 0},
      {"empty": true, "offset": 0, "flag": 2},
      {"payload": {"repeat": [7, 100]}, "offset": 6720}]})");
  test::write_independent_archive(dir.path(), R"({"name": "be", "big_endian": true, "series": true,
      "entries": [
      {"payload": {"text": "abc"}, "file": 0, "offset": 0},
      {"payload": {"text": "def"}, "file": 1, "offset": 0, "flag": 255}]})");
  const CliRun le = run({"entries", dir.file("le.idx")});
  EXPECT_EQ(le.status, 0);
  EXPECT_EQ(le.out,
            "00000000\tle.bin\t0000000000000000h\t0000000000000003h\t0000000000000003h\t"
            "0000000000000000h\n"
            "00000001\tle.bin\t0000000000000000h\t0000000000000000h\t0000000000000000h\t"
            "0000000000000002h\n"
            "00000002\tle.bin\t0000000000001A40h\t0000000000000064h\t0000000000000064h\t"
            "0000000000000000h\n");
  const CliRun be = run({"entries", dir.file("be.idx")});
  EXPECT_EQ(be.status, 0);
  EXPECT_EQ(be.out,
            "00000000\tbe0.bin\t0000000000000000h\t0000000000000003h\t0000000000000003h\t"
            "0000000000000000h\n"
            "00000001\tbe1.bin\t0000000000000000h\t0000000000000003h\t0000000000000003h\t"
            "00000000000000FFh\n");
}

TEST(CliEntries, SaysWhyAnArchiveCannotBeOpened) {
  test::TempDir dir;
  test::write_bytes(dir.file("odd.idx"), std::vector<std::uint8_t>(40));
  test::write_bytes(dir.file("odd.bin"), {});
  test::write_bytes(dir.file("lonely.idx"), {});
  struct Case {
    cli::Arguments arguments;
    const char* reason;
  } cases[] = {
      {{"entries", dir.file("missing.idx")}, "no index file"},
      {{"entries", dir.file("lonely.idx")}, "no data file"},
      {{"entries", dir.file("odd.idx")}, "not a multiple of 32"},
      {{"entries"}, "usage"},
      {{"frobnicate"}, "unknown command"},
  };
  for (const Case& c : cases) {
    const CliRun result = run(c.arguments);
    EXPECT_EQ(result.status, 1) << c.reason;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
  }
}

TEST(CliTree, PrintsTheTreeAndTellsWhetherAnItemCameOut) {
  test::TempDir dir;
  test::write_independent_archive(dir.path(), R"({"name": "t", "series": true, "entries": [
      {"payload": {"text": "zero"}, "file": 0, "offset": 0},
      {"payload": {"hex": "414243"}, "file": 1, "offset": 0}]})");
  const CliRun result = run({"tree", dir.file("t.idx"), ".\\00000001\\0\\3.dds"});
  EXPECT_EQ(result.status, 2);  // an unknown payload is no item
  EXPECT_EQ(result.out,
            "<idx_bin_all_info>\n"
            "\t<idx_No.00000000 offset=\"0000000000000000h\" size_uncomp=\"0000000000000004h\" "
            "size_comp=\"0000000000000004h\" flag=\"0000000000000000h\" number=\"00000000\"/>\n"
            "\t<idx_No.00000001 offset=\"0000000000000000h\" size_uncomp=\"0000000000000003h\" "
            "size_comp=\"0000000000000003h\" flag=\"0000000000000000h\" number=\"00000001\">\n"
            "\t\t<unknow number=\"0\" rawdata=\"41424300000000000000000000000000,ABC\"/>\n"
            "\t</idx_No.00000001>\n"
            "</idx_bin_all_info>\n\n");
  EXPECT_EQ(run({"tree", dir.file("missing.idx"), "0"}).status, 1);
  // A data file that cannot be read is an error, not an entry without items.
  std::remove(dir.file("t1.bin").c_str());
  EXPECT_EQ(run({"tree", dir.file("t.idx"), "1"}).status, 1);
}

}  // namespace
}  // namespace korvel
