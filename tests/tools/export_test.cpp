// korvel-cli export: every sample model becomes a binary glTF file that the
// Khronos validator accepts, with the geometry korvel-cli model reports.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <map>
#include <sstream>

#include "tests/support/cli_run.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/cli.h"
#include "tools/forge/samples.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The JSON chunk of a binary glTF file.
nlohmann::json json_chunk(const Bytes& glb) {
  std::uint32_t length = 0;
  if (glb.size() < 20 || std::memcmp(glb.data(), "glTF", 4) != 0) return {};
  std::memcpy(&length, glb.data() + 12, 4);
  if (glb.size() < 20 + std::size_t{length}) return {};
  return nlohmann::json::parse(glb.begin() + 20, glb.begin() + 20 + length);
}

// What korvel-cli model prints: vertex counts per buffer, and per sub-mesh its
// buffer and index count.
struct Geometry {
  std::map<unsigned, unsigned> vertex_count;
  std::map<unsigned, std::pair<unsigned, unsigned>> submesh;  // buffer, index count
};

Geometry geometry_of(const std::string& text) {
  Geometry geometry;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    unsigned a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    if (std::sscanf(line.c_str(), "vertex_buffer %u stride %u vertex_count %u", &a, &b, &c) == 3) {
      geometry.vertex_count[a] = c;
    } else if (std::sscanf(line.c_str(),
                           "submesh %u buffer %u first_vertex %u vertex_count %u first_index %u "
                           "index_count %u",
                           &a, &b, &c, &d, &e, &f) == 6) {
      geometry.submesh[a] = {b, f};
    }
  }
  return geometry;
}

struct Sample {
  const char* archive;
  const char* model;
  bool textured;  // its entry holds a texture
};

const Sample kSamples[] = {
    {"game", ".\\00000000\\0\\0.G1M_", true},    {"game", ".\\00000001\\0\\0\\0.G1M_", true},
    {"game_be", ".\\00000000\\0\\0.G1M_", true}, {"game_be", ".\\00000001\\0\\0\\0.G1M_", true},
    {"models", ".\\00000000\\0.G1M_", false},    {"models", ".\\00000001\\0.G1M_", false},
    {"models_be", ".\\00000000\\0.G1M_", false}, {"models_be", ".\\00000001\\0.G1M_", false},
};

TEST(CliExport, SampleModelsPassTheValidatorWithTheirGeometry) {
  TempDir directory;
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    std::string error;
    ASSERT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;
  }
  std::string files;
  int number = 0;
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(std::string(sample.archive) + " " + sample.model);
    const std::string index = directory.file(std::string(sample.archive) + ".idx");
    const std::string out = directory.file("model" + std::to_string(number++) + ".glb");
    const CliRun run = cli({"export", index, sample.model, out});
    ASSERT_EQ(run.status, 0) << run.err;
    files += " " + out;

    const Geometry geometry = geometry_of(cli({"model", index, sample.model}).out);
    const nlohmann::json gltf = json_chunk(read_bytes(out));
    ASSERT_TRUE(gltf.is_object());
    EXPECT_EQ(gltf.contains("images"), sample.textured);
    const nlohmann::json& primitives = gltf["meshes"][0]["primitives"];
    EXPECT_EQ(primitives.size(), geometry.submesh.size());
    for (const nlohmann::json& primitive : primitives) {
      const auto submesh =
          static_cast<unsigned>(std::stoul(primitive["extras"]["name"].get<std::string>()));
      ASSERT_TRUE(geometry.submesh.count(submesh)) << submesh;
      const auto [buffer, index_count] = geometry.submesh.at(submesh);
      const nlohmann::json& accessors = gltf["accessors"];
      EXPECT_EQ(accessors[primitive["attributes"]["POSITION"].get<int>()]["count"],
                geometry.vertex_count.at(buffer));
      const unsigned triangles =
          accessors[primitive["indices"].get<int>()]["count"].get<unsigned>() / 3;
      EXPECT_GT(triangles, 0u);
      EXPECT_LE(triangles, index_count - 2) << "sub-mesh " << submesh;
    }
  }
  const std::string log = directory.file("validator.txt");
  const int status = run_command("node " KORVEL_SOURCE_DIR "/tests/browser/gltf_validate.mjs" +
                                 files + " > " + log + " 2>&1");
  EXPECT_EQ(status, 0) << read_text(log);
}

TEST(CliExport, RefusesWhatIsNoModel) {
  TempDir directory;
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    if (std::string(archive.name) != "textures") continue;
    std::string error;
    ASSERT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;
  }
  for (const char* key : {".\\00000000\\0.dds", ".\\00000000\\0.G1M_"}) {
    const CliRun run =
        cli({"export", directory.file("textures.idx"), key, directory.file("x.glb")});
    EXPECT_EQ(run.status, 1) << key;
    EXPECT_NE(run.err.find("names no model"), std::string::npos) << run.err;
  }
}

}  // namespace
}  // namespace korvel::test
