// The forge's sample models, read back through load_entry: well-formed strips
// over the buffers they name, every vertex layout of the viewer, and the same
// geometry in both byte orders.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "tests/formats/g1m_fixtures.h"
#include "tests/support/temp_dir.h"
#include "tools/forge/samples.h"

namespace korvel::test {
namespace {

using W = ModelView;

// Where the viewer reads texture coordinates at each stride (position-only
// strides such as 40 carry them where stride 36 does).
const std::map<std::uint32_t, std::size_t> kTexcoordOffset = {
    {36, 28}, {40, 28}, {48, 40}, {52, 28}, {56, 32},
    {60, 36}, {64, 40}, {80, 56}, {84, 60}, {120, 112}};

struct Geometry {
  std::vector<Bytes> vertex_data;
  std::vector<std::vector<std::uint32_t>> indices;
  std::set<std::uint32_t> strides;
  std::set<std::uint32_t> index_bits;
  std::uint32_t submeshes = 0;
};

// Checks every submesh the way the viewer will draw it and collects the
// geometry in host order.
Geometry checked_geometry(const ModelView& view) {
  Geometry geometry;
  for (std::uint32_t b = 0; b < view.vertex_buffer_count(); ++b) {
    const std::uint32_t stride = W::word(view.vb_headers[b], 1);
    geometry.strides.insert(stride);
    geometry.vertex_data.emplace_back(view.vb_data[b],
                                      view.vb_data[b] + stride * W::word(view.vb_headers[b], 2));
  }
  for (std::uint32_t b = 0; b < view.index_buffer_count(); ++b) {
    const std::uint32_t bits = W::word(view.ib_headers[b], 1);
    geometry.index_bits.insert(bits);
    std::vector<std::uint32_t> indices(W::word(view.ib_headers[b], 0));
    for (std::size_t i = 0; i < indices.size(); ++i) {
      std::memcpy(&indices[i], view.ib_data[b] + i * bits / 8, bits / 8);
    }
    geometry.indices.push_back(indices);
  }
  geometry.submeshes = view.submesh_count();
  for (std::uint32_t s = 0; s < view.submesh_count(); ++s) {
    SCOPED_TRACE(s);
    const std::uint8_t* record = view.sm_records[s];
    const std::uint32_t b = W::word(record, 1);
    const std::uint32_t first_vertex = W::word(record, 10);
    const std::uint32_t vertex_count = W::word(record, 11);
    const std::uint32_t first_index = W::word(record, 12);
    const std::uint32_t index_count = W::word(record, 13);
    EXPECT_LT(b, geometry.vertex_data.size());
    EXPECT_LT(b, geometry.indices.size());
    if (b >= geometry.vertex_data.size() || b >= geometry.indices.size()) continue;
    const std::uint32_t stride = W::word(view.vb_headers[b], 1);
    EXPECT_LE(first_vertex + vertex_count, W::word(view.vb_headers[b], 2));
    EXPECT_GE(index_count, 3u);
    EXPECT_LE(first_index + index_count, geometry.indices[b].size());
    for (std::uint32_t i = first_index; i < first_index + index_count; ++i) {
      const std::uint32_t index = geometry.indices[b][i];
      if (index < first_vertex || index >= first_vertex + vertex_count) {
        ADD_FAILURE() << "index " << index << " outside the submesh's vertices";
        break;
      }
      float uv[2];
      std::memcpy(uv, view.vb_data[b] + index * stride + kTexcoordOffset.at(stride), 8);
      EXPECT_TRUE(uv[0] >= 0 && uv[0] <= 1 && uv[1] >= 0 && uv[1] <= 1) << uv[0] << " " << uv[1];
    }
  }
  return geometry;
}

class G1mSamples : public testing::Test {
 protected:
  void SetUp() override {
    for (const forge::ForgeArchive& archive : forge::sample_archives()) {
      std::string error;
      ASSERT_TRUE(forge::write_archive(dir_.path(), archive, &error)) << error;
    }
  }

  Geometry load(const char* archive_name, const char* key) {
    Archive archive;
    EXPECT_EQ(archive.open(dir_.file(archive_name).c_str()), 1);
    EXPECT_EQ(archive.load_entry(key), 1) << archive.error;
    EXPECT_TRUE(fuzz::model_view_within_image(archive));
    Geometry geometry = checked_geometry(archive.model_view);
    // Asking for something else afterwards leaves no reference behind.
    EXPECT_EQ(archive.load_entry("00000002"), 0);
    EXPECT_EQ(archive.model_view.vb_section, nullptr);
    EXPECT_TRUE(archive.model_view.vb_data.empty());
    archive.release();
    return geometry;
  }

  TempDir dir_;
};

TEST_F(G1mSamples, RobotUsesEveryStrideAndBothIndexWidths) {
  MessageLog quiet;
  const Geometry robot = load("models.idx", ".\\00000000\\0.G1M_");
  EXPECT_EQ(robot.strides, (std::set<std::uint32_t>{36, 40, 48, 52, 56, 60, 64, 80, 84, 120}));
  EXPECT_EQ(robot.index_bits, (std::set<std::uint32_t>{16, 32}));
  EXPECT_EQ(robot.submeshes, 16u);
  EXPECT_TRUE(quiet.messages().empty());
}

TEST_F(G1mSamples, BothByteOrdersGiveTheSameGeometry) {
  MessageLog quiet;
  for (const char* key : {".\\00000000\\0.G1M_", ".\\00000001\\0.G1M_"}) {
    SCOPED_TRACE(key);
    const Geometry little = load("models.idx", key);
    const Geometry big = load("models_be.idx", key);
    EXPECT_EQ(little.vertex_data, big.vertex_data);
    EXPECT_EQ(little.indices, big.indices);
    EXPECT_EQ(little.submeshes, big.submeshes);
    EXPECT_GE(little.submeshes, 5u);
  }
  EXPECT_TRUE(quiet.messages().empty());
}

}  // namespace
}  // namespace korvel::test
