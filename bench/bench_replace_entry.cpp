// Replacing a texture inside a 64 MiB zlib-streamed entry (the stream holds a
// pack of the texture's G1T and game-like data), against zlib's compress of
// the same decoded bytes. The replacement decodes the entry, rebuilds it,
// reads the rebuilt entry back to check it, appends it and rewrites the index.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/archive.h"
#include "bench/support/game_like_content.h"
#include "bench/support/ratio_reporter.h"
#include "tools/forge/archive_writer.h"
#include "tools/forge/g1t_writer.h"
#include "tools/forge/pack_writer.h"
#include "tools/forge/zlib_stream_writer.h"

namespace {

constexpr std::size_t kEntrySize = 64u << 20;
constexpr std::uint32_t kChunkSize = 0x20000;

korvel::forge::ForgeTexture texture(korvel::forge::Picture picture) {
  korvel::forge::ForgeTexture texture;
  texture.format = korvel::forge::kG1tDxt5;
  texture.width_log2 = 8;
  texture.height_log2 = 8;
  texture.picture = picture;
  return texture;
}

struct Fixture {
  std::string directory;
  std::string index_path;
  std::string replacements[2];
  korvel::forge::Bytes decoded;  // the stream's content, for the reference

  Fixture() {
    directory = (std::filesystem::temp_directory_path() / "korvel-bench-replace").string();
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    korvel::forge::ForgeG1t g1t;
    g1t.textures = {texture(korvel::forge::Picture::kGradient)};
    const korvel::forge::Bytes container = korvel::forge::write_g1t(g1t, false);
    decoded = korvel::forge::pack_of(
        {container, korvel::bench::game_like_content(kEntrySize - container.size() - 32)}, false);
    korvel::forge::ForgeArchive archive;
    archive.name = "big";
    // A small first entry: the byte order is told from entry 0's decoded size.
    archive.entries.push_back({korvel::forge::Bytes(64, 1), 0, 0, false});
    archive.entries.push_back(
        {korvel::forge::zlib_stream_of(decoded, kChunkSize, false), decoded.size(), 0, false});
    std::string error;
    if (!korvel::forge::write_archive(directory, archive, &error)) std::abort();
    index_path = directory + "/big.idx";
    const korvel::forge::Picture pictures[2] = {korvel::forge::Picture::kChecker,
                                                korvel::forge::Picture::kRings};
    for (int i = 0; i < 2; ++i) {
      const korvel::forge::Bytes dds = korvel::forge::expected_dds_file(texture(pictures[i]));
      replacements[i] = directory + "/new" + std::to_string(i) + ".dds";
      FILE* file = std::fopen(replacements[i].c_str(), "wb");
      std::fwrite(dds.data(), 1, dds.size(), file);
      std::fclose(file);
    }
  }
};

const Fixture& fixture() {
  static const Fixture instance;
  return instance;
}

void BM_CompressSameBytes(benchmark::State& state) {
  const Fixture& f = fixture();
  std::vector<Bytef> output(compressBound(f.decoded.size()));
  for (auto _ : state) {
    uLongf length = output.size();
    compress(output.data(), &length, f.decoded.data(), f.decoded.size());
    benchmark::DoNotOptimize(output.data());
  }
}
BENCHMARK(BM_CompressSameBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_ReplaceTexture(benchmark::State& state) {
  const Fixture& f = fixture();
  int turn = 0;
  for (auto _ : state) {
    korvel::Archive archive;
    archive.open(f.index_path.c_str());
    // Alternating pictures, so that every turn really writes.
    if (archive.replace_entry(".\\00000001\\0\\0\\0.dds", f.replacements[turn++ % 2].c_str()) !=
        1) {
      state.SkipWithError(archive.error.c_str());
      break;
    }
    archive.release();
  }
}
BENCHMARK(BM_ReplaceTexture)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return korvel::bench::run_benchmarks(
      argc, argv,
      {{"replace a texture in a 64 MiB zlib-streamed entry / compress (goal: 1.2x at most)",
        "BM_ReplaceTexture", "BM_CompressSameBytes"}},
      [] { fixture(); });
}
