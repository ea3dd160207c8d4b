// A 2048x2048 DXT5 DDS file to PNG in memory (what the texture page does on
// every view), against ImageMagick's convert on the same file, run from this
// process. Goal: three times faster than convert.
#include <benchmark/benchmark.h>

#include <squish.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench/support/ratio_reporter.h"
#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_encode.h"
#include "tools/forge/pictures.h"

namespace {

constexpr std::uint32_t kSide = 2048;
const char* const kConvert = "/usr/bin/convert";

std::vector<std::uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void put32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Lettering and rings with grain, so that the PNG encoder sees texture-like
// detail rather than flat colour; written once per run.
const std::string& bench_dds() {
  static const std::string path = [] {
    const std::string directory =
        (std::filesystem::temp_directory_path() / "korvel-bench-dds-to-png").string();
    std::filesystem::create_directories(directory);
    korvel::d3d9::RgbaImage image =
        korvel::forge::render_picture(korvel::forge::Picture::kLettering, kSide, kSide);
    const korvel::d3d9::RgbaImage rings =
        korvel::forge::render_picture(korvel::forge::Picture::kRings, kSide, kSide);
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
      seed = seed * 1664525u + 1013904223u;
      const int grain = static_cast<int>(seed >> 28) - 8;
      const int mixed = (image.pixels[i] + rings.pixels[i]) / 2 + grain;
      image.pixels[i] = static_cast<std::uint8_t>(mixed < 0 ? 0 : mixed > 255 ? 255 : mixed);
    }
    std::vector<std::uint8_t> file(128, 0);
    put32(file, 0, 0x20534444);
    put32(file, 4, 124);
    put32(file, 8, 0x00081007);
    put32(file, 12, kSide);
    put32(file, 16, kSide);
    put32(file, 28, 1);
    put32(file, 76, 32);
    put32(file, 80, 0x4);
    put32(file, 84, 0x35545844);  // "DXT5"
    put32(file, 108, 0x1000);
    const int flags = squish::kDxt5 | squish::kColourRangeFit;
    file.resize(128 +
                static_cast<std::size_t>(squish::GetStorageRequirements(kSide, kSide, flags)));
    squish::CompressImage(image.pixels.data(), kSide, kSide, file.data() + 128, flags);
    const std::string dds = directory + "/texture.dds";
    std::ofstream(dds, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    return dds;
  }();
  return path;
}

void BM_KorvelDdsToPng(benchmark::State& state) {
  const std::string& path = bench_dds();
  std::size_t png_size = 0;
  for (auto _ : state) {
    const std::vector<std::uint8_t> dds = read_file(path);
    std::vector<std::uint8_t> png;
    if (!korvel::d3d9::dds_first_level_to_png(dds.data(), dds.size(), &png).ok()) std::abort();
    png_size = png.size();
    benchmark::DoNotOptimize(png.data());
  }
  state.counters["png_bytes"] = static_cast<double>(png_size);
}
BENCHMARK(BM_KorvelDdsToPng)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The two halves, to see where the time goes.
void BM_DecodeDdsOnly(benchmark::State& state) {
  const std::vector<std::uint8_t> dds = read_file(bench_dds());
  for (auto _ : state) {
    korvel::d3d9::RgbaImage image;
    korvel::d3d9::decode_dds_first_level(dds.data(), dds.size(), &image);
    benchmark::DoNotOptimize(image.pixels.data());
  }
}
BENCHMARK(BM_DecodeDdsOnly)->Unit(benchmark::kMillisecond);

void BM_EncodePngOnly(benchmark::State& state) {
  const std::vector<std::uint8_t> dds = read_file(bench_dds());
  korvel::d3d9::RgbaImage image;
  korvel::d3d9::decode_dds_first_level(dds.data(), dds.size(), &image);
  for (auto _ : state) {
    std::vector<std::uint8_t> png;
    korvel::d3d9::encode_png(image, &png);
    benchmark::DoNotOptimize(png.data());
  }
}
BENCHMARK(BM_EncodePngOnly)->Unit(benchmark::kMillisecond);

void BM_ImageMagickConvert(benchmark::State& state) {
  const std::string& path = bench_dds();
  const std::string out = path + ".convert.png";
  const std::string command = std::string(kConvert) + " '" + path + "' '" + out + "'";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("ImageMagick's convert failed (is imagemagick installed?)");
      break;
    }
  }
  state.counters["png_bytes"] = static_cast<double>(std::filesystem::file_size(out));
}
BENCHMARK(BM_ImageMagickConvert)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv) {
  // The goal: convert takes three times our time or more.
  return korvel::bench::run_benchmarks(argc, argv,
                                       {{"2048x2048 DXT5 DDS -> PNG, convert / ours (goal: 3x)",
                                         "BM_ImageMagickConvert", "BM_KorvelDdsToPng"}});
}
