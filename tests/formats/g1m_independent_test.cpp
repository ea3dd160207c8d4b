// Models written by the independent writer (tests/fixtures/independent_archive.py):
// korvel-cli model must report exactly the geometry described, and the
// viewer's references must hold the described bytes, in both byte orders.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/formats/g1m_fixtures.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/cli.h"

namespace korvel::test {
namespace {

std::string description(bool big_endian) {
  return std::string(R"({"name": "m", "big_endian": )") + (big_endian ? "true" : "false") +
         R"(, "entries": [
  {"payload": {"text": "not a model"}},
  {"payload": {"g1m": {"chunks": [
    {"id": "G1MF", "version": 808464944, "body": "0000000100000002"},
    {"id": "G1MS", "version": 808464944, "body": ""},
    {"id": "G1MG", "version": 808465459, "sections": [
      {"type": 65537, "body": "01020304"},
      {"type": 65538, "body": ""},
      {"type": 65539, "body": "00010004000000ff"},
      {"vertex_buffers": [{"stride": 40, "vertex_count": 5}, {"stride": 120, "vertex_count": 3}]},
      {"type": 65541, "body": "aabb"},
      {"index_buffers": [{"bits": 16, "indices": [0, 1, 2, 3, 4, 4, 513]},
                         {"bits": 32, "indices": [2, 1, 0, 65536]}]},
      {"type": 65542, "body": ""},
      {"submeshes": [
        {"buffer": 0, "first_vertex": 0, "vertex_count": 3, "first_index": 0, "index_count": 3},
        {"buffer": 0, "first_vertex": 2, "vertex_count": 3, "first_index": 2, "index_count": 4},
        {"buffer": 1, "first_vertex": 0, "vertex_count": 3, "first_index": 0, "index_count": 3}]},
      {"type": 65545, "body": "00"}]},
    {"id": "COLL", "version": 1, "body": "ffffffff"},
    {"id": "EXTR", "version": 1, "body": ""}]}}}]})";
}

constexpr const char* kExpectedGeometry =
    "model vertex_buffers 2 index_buffers 2 submeshes 3\n"
    "vertex_buffer 0 stride 40 vertex_count 5\n"
    "vertex_buffer 1 stride 120 vertex_count 3\n"
    "index_buffer 0 index_bits 16 index_count 7\n"
    "index_buffer 1 index_bits 32 index_count 4\n"
    "submesh 0 buffer 0 first_vertex 0 vertex_count 3 first_index 0 index_count 3\n"
    "submesh 1 buffer 0 first_vertex 2 vertex_count 3 first_index 2 index_count 4\n"
    "submesh 2 buffer 1 first_vertex 0 vertex_count 3 first_index 0 index_count 3\n";

constexpr const char* kModelKey = ".\\00000001\\0.G1M_";

class G1mIndependent : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    write_independent_archive(dir_.path(), description(GetParam()));
    index_ = dir_.file("m.idx");
  }

  int cli(const std::vector<std::string>& arguments) {
    out_.str("");
    err_.str("");
    return cli::run_cli(arguments, out_, err_);
  }

  TempDir dir_;
  std::string index_;
  std::ostringstream out_;
  std::ostringstream err_;
};

INSTANTIATE_TEST_SUITE_P(ByteOrders, G1mIndependent, testing::Values(false, true), byte_order_name);

TEST_P(G1mIndependent, CliReportsTheDescribedGeometry) {
  MessageLog quiet;
  ASSERT_EQ(cli({"model", index_, kModelKey}), cli::kExitOk) << err_.str();
  EXPECT_EQ(out_.str(), kExpectedGeometry);
  EXPECT_TRUE(quiet.messages().empty());
}

TEST_P(G1mIndependent, ViewerGetsTheStoredVerticesAndTheIndicesAsNumbers) {
  Archive archive;
  ASSERT_EQ(archive.open(index_.c_str()), 1);
  ASSERT_EQ(archive.big_endian, GetParam() ? 1 : 0);
  ASSERT_EQ(archive.load_entry(kModelKey), 1);
  const ModelView& view = archive.model_view;
  ASSERT_EQ(view.vertex_buffer_count(), 2u);
  for (std::size_t b = 0; b < 2; ++b) {
    const std::uint32_t stride = ModelView::word(view.vb_headers[b], 1);
    const std::uint32_t count = ModelView::word(view.vb_headers[b], 2);
    Bytes expected;
    for (std::uint32_t k = 0; k < stride * count; ++k) {
      expected.push_back(static_cast<std::uint8_t>((k * 7 + stride) & 0xFF));
    }
    EXPECT_EQ(Bytes(view.vb_data[b], view.vb_data[b] + stride * count), expected);
  }
  std::vector<std::uint16_t> small(7);
  std::memcpy(small.data(), view.ib_data[0], 14);
  EXPECT_EQ(small, (std::vector<std::uint16_t>{0, 1, 2, 3, 4, 4, 513}));
  std::vector<std::uint32_t> large(4);
  std::memcpy(large.data(), view.ib_data[1], 16);
  EXPECT_EQ(large, (std::vector<std::uint32_t>{2, 1, 0, 65536}));
  archive.release();
}

TEST_P(G1mIndependent, CliExitStatusSaysWhatWasProduced) {
  EXPECT_EQ(cli({"model", index_, "00000000"}), cli::kExitNothingProduced);
  EXPECT_EQ(cli({"model", index_, ".\\00000001\\0\\0.G1M_"}), cli::kExitNothingProduced);
  EXPECT_EQ(cli({"model", index_, "00000009"}), cli::kExitNothingProduced);
  EXPECT_EQ(out_.str(), "");
  EXPECT_EQ(cli({"model", dir_.file("missing.idx"), kModelKey}), cli::kExitError);
  EXPECT_EQ(cli({"model", index_}), cli::kExitError);
  EXPECT_NE(err_.str().find("usage: korvel-cli model ARCHIVE.idx KEY"), std::string::npos);
}

}  // namespace
}  // namespace korvel::test
