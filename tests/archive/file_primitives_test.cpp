#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "archive/byte_order.h"
#include "archive/checksum.h"
#include "archive/file_io.h"
#include "archive/file_stream.h"
#include "archive/format_text.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::read_bytes;
using test::TempDir;
using test::write_bytes;

TEST(FileStream, SizeFromEndThenWholeRead) {
  TempDir dir;
  const std::vector<std::uint8_t> content = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  write_bytes(dir.file("f"), content);
  write_bytes(dir.file("empty"), {});

  FileStream stream;
  ASSERT_EQ(stream.open(dir.file("f").c_str(), 4), 1);  // buffer smaller than the file
  EXPECT_EQ(stream.seek(0, FileStream::kFromEnd), content.size());
  EXPECT_EQ(stream.seek(100, FileStream::kFromEnd), 0u);  // past the start clamps to 0
  std::vector<std::uint8_t> whole(content.size());
  EXPECT_EQ(stream.read(whole.size(), whole.data()), content.size());
  EXPECT_EQ(whole, content);
  // Asking for more than remains delivers what remains.
  stream.seek(6, FileStream::kFromStart);
  std::uint8_t rest[10] = {};
  EXPECT_EQ(stream.read(10, rest), 3u);
  EXPECT_EQ(rest[0], 7);
  stream.close();
  stream.close();  // closing twice does nothing

  FileStream empty;
  ASSERT_EQ(empty.open(dir.file("empty").c_str(), 16), 1);
  EXPECT_EQ(empty.seek(0, FileStream::kFromEnd), 0u);

  FileStream missing;
  EXPECT_EQ(missing.open(dir.file("missing").c_str(), 16), 0);
  EXPECT_EQ(missing.read(4, rest), 0u);
  EXPECT_EQ(missing.seek(0, FileStream::kFromEnd), 0u);
}

TEST(FileStream, SeeksInsideTheBufferKeepIt) {
  TempDir dir;
  std::vector<std::uint8_t> content(64);
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i);
  write_bytes(dir.file("f"), content);
  FileStream stream;
  ASSERT_EQ(stream.open(dir.file("f").c_str(), 16), 1);
  std::uint8_t byte = 0;
  std::uint8_t four[4] = {};
  stream.read(1, &byte);
  stream.read(4, four);
  EXPECT_EQ(stream.seek(2, FileStream::kFromStart), 2u);
  EXPECT_EQ(stream.buffer_fill, 16u);  // moved inside the buffer only
  EXPECT_EQ(stream.seek(3, FileStream::kFromCurrent), 5u);
  stream.read(1, &byte);
  EXPECT_EQ(byte, 5);
  EXPECT_EQ(stream.seek(40, FileStream::kFromCurrent), 46u);
  EXPECT_EQ(stream.buffer_fill, 0u);  // left the buffer
  stream.read(1, &byte);
  EXPECT_EQ(byte, 46);
  EXPECT_EQ(stream.seek(1000, FileStream::kFromCurrent), 64u);  // clamped to the size
}

TEST(FileStream, ReadOnlyFileCountsAsMissing) {
  if (::geteuid() == 0) GTEST_SKIP() << "root opens read-only files for writing";
  TempDir dir;
  write_bytes(dir.file("ro"), {1});
  ::chmod(dir.file("ro").c_str(), 0444);
  FileStream stream;
  EXPECT_EQ(stream.open(dir.file("ro").c_str(), 16), 0);
}

TEST(ReadFilePart, SizeReadsAndFailures) {
  TempDir dir;
  write_bytes(dir.file("f"), {10, 11, 12, 13, 14});
  std::uint8_t buffer[8] = {};
  EXPECT_EQ(read_file_part(dir.file("f").c_str(), nullptr, 0, 0), 5);
  EXPECT_EQ(read_file_part(dir.file("f").c_str(), buffer, 1, 3), 3);
  EXPECT_EQ(buffer[0], 11);
  EXPECT_EQ(read_file_part(dir.file("f").c_str(), buffer, 3, 8), 2);  // short at the end
  EXPECT_EQ(read_file_part(dir.file("f").c_str(), buffer, 5, 8), 0);  // at the end
  EXPECT_EQ(read_file_part(dir.file("f").c_str(), buffer, 9, 8), 0);  // past the end
  EXPECT_EQ(read_file_part(dir.file("missing").c_str(), nullptr, 0, 0), -1);
  EXPECT_EQ(read_file_part(nullptr, buffer, 0, 1), -1);
}

TEST(WriteFilePart, DispositionsAppendTextAndReadOnly) {
  TempDir dir;
  const std::string path = dir.file("out");
  EXPECT_EQ(write_file_part(path.c_str(), "hello", 0, 0, kCreateAlways), 5);  // length 0: text
  EXPECT_EQ(write_file_part(path.c_str(), "!!", kAtEnd, 2, kOpenExisting), 2);
  EXPECT_EQ(test::read_text(path), "hello!!");
  // Writing into the middle overwrites in place and truncates nothing.
  EXPECT_EQ(write_file_part(path.c_str(), "J", 0, 1, kOpenExisting), 1);
  EXPECT_EQ(test::read_text(path), "Jello!!");
  EXPECT_EQ(write_file_part(path.c_str(), "x", 0, 1, kCreateAlways), 1);
  EXPECT_EQ(test::read_text(path), "x");
  EXPECT_EQ(write_file_part(dir.file("new").c_str(), "a", 0, 1, kOpenExisting), -1);
  EXPECT_EQ(write_file_part(dir.file("new").c_str(), "a", kAtEnd, 1, kOpenAlways), 1);
  EXPECT_EQ(write_file_part(nullptr, "a", 0, 1, kOpenAlways), -1);
  EXPECT_EQ(write_file_part(path.c_str(), nullptr, 0, 1, kOpenAlways), -1);
  // A read-only mark is cleared first.
  ::chmod(path.c_str(), 0444);
  EXPECT_EQ(write_file_part(path.c_str(), "yz", 0, 2, kCreateAlways), 2);
  EXPECT_EQ(test::read_text(path), "yz");
  // A length the result cannot count is refused before the file is touched,
  // not after it was created anew.
  EXPECT_EQ(write_file_part(path.c_str(), "yz", 0, 0x80000000u, kCreateAlways), -1);
  EXPECT_EQ(test::read_text(path), "yz");
}

TEST(MakeDirsForPath, CreatesEveryMissingLevel) {
  TempDir dir;
  EXPECT_EQ(make_dirs_for_path("a"), 0);
  EXPECT_EQ(make_dirs_for_path("ab"), 0);  // no separator
  EXPECT_EQ(make_dirs_for_path(nullptr), 0);
  const std::string nested = dir.path() + "\\one/two\\three/file.dds";
  EXPECT_EQ(make_dirs_for_path(nested.c_str()), 1);
  struct stat status {};
  EXPECT_EQ(::stat((dir.path() + "/one/two/three").c_str(), &status), 0);
  EXPECT_EQ(make_dirs_for_path(nested.c_str()), 0);  // already there: nothing changes
}

TEST(ReplaceFileAtomically, WritesWholeFileOrNothing) {
  TempDir dir;
  const std::string path = dir.file("index");
  write_bytes(path, {1, 2, 3});
  const std::uint8_t data[] = {9, 8};
  EXPECT_EQ(replace_file_atomically(path.c_str(), data, 2), 1);
  EXPECT_EQ(read_bytes(path), (std::vector<std::uint8_t>{9, 8}));
  EXPECT_EQ(replace_file_atomically((dir.path() + "/no/such/dir/x").c_str(), data, 2), 0);
}

TEST(FilePrimitives, RefuseFilesThatAreNotRegularAtOnce) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0644), 0);
  ::mkdir(dir.file("folder").c_str(), 0755);
  for (const char* name : {"fifo", "folder", "/dev/zero"}) {
    const std::string path = name[0] == '/' ? name : dir.file(name);
    std::uint8_t byte = 0;
    EXPECT_TRUE(is_special_file(path.c_str())) << name;
    EXPECT_EQ(read_file_part(path.c_str(), nullptr, 0, 0), -1) << name;
    EXPECT_EQ(read_file_part(path.c_str(), &byte, 0, 1), -1) << name;
    EXPECT_EQ(write_file_part(path.c_str(), &byte, kAtEnd, 1, kOpenExisting), -1) << name;
    FileStream stream;
    EXPECT_EQ(stream.open(path.c_str(), 16), 0) << name;
  }
  EXPECT_FALSE(is_special_file(dir.file("missing").c_str()));
}

TEST(ByteOrder, SwapsOnlyWithFlagOne) {
  EXPECT_EQ(cond_swap32(0x11223344u, 1), 0x44332211u);
  EXPECT_EQ(cond_swap8(0xAB, 1), 0xBA);
  EXPECT_EQ(cond_swap16(0x1122, 1), 0x2211);
  EXPECT_EQ(cond_swap64(0x1122334455667788ull, 1), 0x8877665544332211ull);
  for (std::uint8_t flag : std::initializer_list<std::uint8_t>{0, 2, 255}) {
    EXPECT_EQ(cond_swap32(0x11223344u, flag), 0x11223344u);
    EXPECT_EQ(cond_swap8(0xAB, flag), 0xAB);
    EXPECT_EQ(cond_swap64(5, flag), 5u);
  }
}

TEST(Checksum, MatchesStandardCrc32) {
  EXPECT_EQ(crc32_of(nullptr, 5), 0u);
  EXPECT_EQ(crc32_of("abc", 0), 0u);
  EXPECT_EQ(crc32_of("123456789", 9), 0xCBF43926u);  // the standard check value
}

TEST(FormatText, FormatsAnyLength) {
  EXPECT_EQ(format_text("%016llXh", 0x1A40ull), "0000000000001A40h");
  EXPECT_EQ(format_text("idx_No.%08d", 7), "idx_No.00000007");
  EXPECT_EQ(format_text(nullptr), "");
  EXPECT_EQ(format_text("%s", std::string(5000, 'x').c_str()).size(), 5000u);
}

}  // namespace
}  // namespace korvel
