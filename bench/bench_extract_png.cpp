// korvel-cli extract ... out.png as a user runs it (a whole process), against
// Pillow's default PNG save of the same DDS file and ImageMagick's convert,
// on a sharp texture and a smooth one. Goals: at least 5 times faster than
// Pillow, and files no larger than convert's.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/support/child_process_timing.h"
#include "bench/support/ratio_reporter.h"
#include "tools/forge/archive_writer.h"
#include "tools/forge/g1t_writer.h"
#include "tools/forge/zlib_stream_writer.h"

namespace {

constexpr std::uint32_t kChunkSize = 0x20000;
const char* const kKey = ".\\00000001\\0\\0.dds";

struct Case {
  std::string name;
  korvel::forge::Picture picture;
  std::string index_path;
  std::string dds_path;
  std::string out(const std::string& who) const { return dds_path + "." + who + ".png"; }
};

std::vector<Case>& cases() {
  static std::vector<Case> all = {{"sharp", korvel::forge::Picture::kLettering, {}, {}},
                                  {"smooth", korvel::forge::Picture::kRings, {}, {}}};
  return all;
}

// One archive per picture: an entry holding a zlib stream of a G1T
// with the 2048x2048 DXT5 texture; and the same texture as a DDS file.
void prepare() {
  const std::string directory =
      (std::filesystem::temp_directory_path() / "korvel-bench-extract-png").string();
  std::filesystem::create_directories(directory);
  for (Case& c : cases()) {
    c.index_path = directory + "/" + c.name + ".idx";
    c.dds_path = directory + "/" + c.name + ".dds";
    if (std::filesystem::exists(c.index_path) && std::filesystem::exists(c.dds_path)) continue;
    korvel::forge::ForgeTexture texture;
    texture.format = korvel::forge::kG1tDxt5;
    texture.width_log2 = 11;
    texture.height_log2 = 11;
    texture.picture = c.picture;
    korvel::forge::ForgeG1t g1t;
    g1t.textures = {texture};
    const korvel::forge::Bytes container = korvel::forge::write_g1t(g1t, false);
    korvel::forge::ForgeArchive archive;
    archive.name = c.name;
    // A small first entry: the byte order is told from entry 0's decoded size.
    archive.entries.push_back({korvel::forge::Bytes(64, 1), 0, 0, false});
    archive.entries.push_back(
        {korvel::forge::zlib_stream_of(container, kChunkSize, false), container.size(), 0, false});
    std::string error;
    if (!korvel::forge::write_archive(directory, archive, &error)) std::abort();
    const korvel::forge::Bytes dds = korvel::forge::expected_dds_file(texture);
    FILE* file = std::fopen(c.dds_path.c_str(), "wb");
    std::fwrite(dds.data(), 1, dds.size(), file);
    std::fclose(file);
  }
}

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

void register_case(const Case& c) {
  benchmark::RegisterBenchmark(("KorvelCliExtract_" + c.name).c_str(),
                               [c](benchmark::State& state) {
                                 const std::string command = std::string(KORVEL_CLI_PATH) +
                                                             " extract " + quoted(c.index_path) +
                                                             " " + quoted(kKey) + " " +
                                                             quoted(c.out("korvel"));
                                 korvel::bench::time_child_process(state, command, "korvel-cli");
                               })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(5)
      ->UseRealTime();
  benchmark::RegisterBenchmark(("PillowDefault_" + c.name).c_str(),
                               [c](benchmark::State& state) {
                                 const std::string command =
                                     "/usr/bin/python3 -c \"import sys; from PIL import Image; "
                                     "Image.open(sys.argv[1]).save(sys.argv[2])\" " +
                                     quoted(c.dds_path) + " " + quoted(c.out("pillow"));
                                 korvel::bench::time_child_process(state, command,
                                                                   "Pillow (python3-pil)");
                               })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
  benchmark::RegisterBenchmark(
      ("Convert_" + c.name).c_str(),
      [c](benchmark::State& state) {
        const std::string command =
            "/usr/bin/convert " + quoted(c.dds_path) + " " + quoted(c.out("convert"));
        korvel::bench::time_child_process(state, command, "ImageMagick's convert");
      })
      ->Unit(benchmark::kMillisecond)
      ->Iterations(3)
      ->UseRealTime();
}

std::uintmax_t size_of(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

}  // namespace

int main(int argc, char** argv) {
  prepare();
  std::vector<korvel::bench::Ratio> ratios;
  for (const Case& c : cases()) {
    register_case(c);
    ratios.push_back({"extract .png, " + c.name +
                          ", 2048x2048 DXT5: ours / Pillow's default save "
                          "(goal: 0.2x at most)",
                      "KorvelCliExtract_" + c.name, "PillowDefault_" + c.name});
  }
  const int result = korvel::bench::run_benchmarks(argc, argv, ratios);
  for (const Case& c : cases()) {
    const std::uintmax_t ours = size_of(c.out("korvel")), convert = size_of(c.out("convert"));
    if (ours == 0 || convert == 0) continue;
    std::printf(
        "PNG bytes, %s: ours %ju, convert %ju, Pillow %ju: ours / convert %.3f (goal: 1 at "
        "most)\n",
        c.name.c_str(), ours, convert, size_of(c.out("pillow")),
        static_cast<double>(ours) / static_cast<double>(convert));
  }
  return result;
}
