// A 64 MiB zlib chunk stream (chunk size 0x20000) decoded through dispatch,
// against zlib's uncompress on the same chunks; and the same content built
// into a stream, as a rebuild does, against zlib's compress of its chunks.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/decode_zlib.h"
#include "tools/forge/zlib_stream_writer.h"

namespace {

constexpr std::uint32_t kContentSize = 64u << 20;
constexpr std::uint32_t kChunkSize = 0x20000;

// Game-like content: runs of vertex floats, index lists, names and padding,
// which compress about as well as real entries do (between 2 and 4 to 1).
korvel::forge::Bytes game_like_content() {
  korvel::forge::Bytes content;
  content.reserve(kContentSize);
  std::uint32_t seed = 12345;
  for (int block = 0; content.size() < kContentSize; ++block) {
    for (int v = 0; v < 512; ++v) {
      const float values[3] = {std::sin(static_cast<float>(v) * 0.01f + static_cast<float>(block)),
                               std::cos(static_cast<float>(v) * 0.013f),
                               static_cast<float>(v % 64) * 0.25f};
      content.insert(content.end(), reinterpret_cast<const std::uint8_t*>(values),
                     reinterpret_cast<const std::uint8_t*>(values) + sizeof(values));
    }
    for (std::uint16_t i = 0; i < 768; ++i) {
      seed = seed * 1103515245u + 12345u;
      const auto index = static_cast<std::uint16_t>(i / 3 + ((seed >> 16) & 7));
      content.push_back(static_cast<std::uint8_t>(index));
      content.push_back(static_cast<std::uint8_t>(index >> 8));
    }
    const std::string name = "mesh_" + std::to_string(block) + "_material_diffuse_texture";
    content.insert(content.end(), name.begin(), name.end());
    content.insert(content.end(), 256 - name.size() % 256, 0);
  }
  content.resize(kContentSize);
  return content;
}

struct Fixture {
  korvel::forge::Bytes content = game_like_content();
  korvel::ByteBuffer stream;
  std::uint32_t stream_size = 0;
  std::vector<std::pair<std::size_t, std::size_t>> chunks;  // zlib data of each chunk

  Fixture() {
    const korvel::forge::Bytes written = korvel::forge::zlib_stream_of(content, kChunkSize, false);
    stream =
        korvel::make_payload_buffer(written.data(), static_cast<std::uint32_t>(written.size()));
    stream_size = static_cast<std::uint32_t>(written.size());
    const std::uint32_t count = kContentSize / kChunkSize + 1;
    std::size_t offset = (12 + 4 * count + 127) / 128 * 128;
    for (std::uint32_t i = 0; i < count; ++i) {
      std::uint32_t entry;
      std::memcpy(&entry, written.data() + 12 + 4 * i, 4);
      chunks.emplace_back(offset + 4, entry - 4);
      offset += (entry + 127) / 128 * 128;
    }
  }
};

const Fixture& fixture() {
  static const Fixture instance;
  return instance;
}

void BM_UncompressChunks(benchmark::State& state) {
  const Fixture& f = fixture();
  korvel::ByteBuffer output(kContentSize + kChunkSize);
  for (auto _ : state) {
    std::size_t position = 0;
    for (const auto& [offset, length] : f.chunks) {
      uLongf produced = kChunkSize;
      uncompress(output.data() + position, &produced, f.stream.data() + offset, length);
      position += produced;
    }
    benchmark::DoNotOptimize(output.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kContentSize);
}
BENCHMARK(BM_UncompressChunks)->Unit(benchmark::kMillisecond)->MinTime(3.0);

// The same into a new buffer each time, as any decoder of a new request must
// write into memory the system has yet to hand over.
void BM_UncompressChunksFreshBuffer(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    const std::unique_ptr<std::uint8_t[]> output(new std::uint8_t[kContentSize + kChunkSize]);
    std::size_t position = 0;
    for (const auto& [offset, length] : f.chunks) {
      uLongf produced = kChunkSize;
      uncompress(output.get() + position, &produced, f.stream.data() + offset, length);
      position += produced;
    }
    benchmark::DoNotOptimize(output.get());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kContentSize);
}
BENCHMARK(BM_UncompressChunksFreshBuffer)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_DecodeStream(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    korvel::ContentTree tree;
    korvel::ContentNode* root = tree.allocate_node(rapidxml::node_element, "root");
    tree.append_node(root);
    korvel::Archive archive;
    archive.dispatch_content(root, f.stream.data(), f.stream_size);
    benchmark::DoNotOptimize(root->first_node());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kContentSize);
}
BENCHMARK(BM_DecodeStream)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_CompressChunks(benchmark::State& state) {
  const Fixture& f = fixture();
  korvel::ByteBuffer output(compressBound(kChunkSize));
  for (auto _ : state) {
    for (std::uint32_t position = 0; position < kContentSize; position += kChunkSize) {
      uLongf length = output.size();
      compress(output.data(), &length, f.content.data() + position, kChunkSize);
      benchmark::DoNotOptimize(output.data());
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kContentSize);
}
BENCHMARK(BM_CompressChunks)->Unit(benchmark::kMillisecond)->Iterations(3);

// The work of a rebuild whose content changed: the stream built anew.
void BM_BuildStream(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    korvel::ByteBuffer stream;
    std::uint32_t size = 0;
    if (!korvel::deflate_zlib_stream(f.content.data(), kContentSize, kChunkSize, 0, &stream,
                                     &size)) {
      state.SkipWithError("the stream did not build");
    }
    benchmark::DoNotOptimize(stream.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kContentSize);
}
BENCHMARK(BM_BuildStream)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

// Prints the two ratios after the usual table.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  class RatioReporter : public benchmark::ConsoleReporter {
   public:
    void ReportRuns(const std::vector<Run>& runs) override {
      ConsoleReporter::ReportRuns(runs);
      for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration) continue;
        const std::string name = run.benchmark_name().substr(0, run.benchmark_name().find('/'));
        real_[name] = run.GetAdjustedRealTime();
        cpu_[name] = run.GetAdjustedCPUTime();
      }
    }
    void Finalize() override {
      ConsoleReporter::Finalize();
      print("decode through dispatch / bare uncompress", "BM_DecodeStream", "BM_UncompressChunks");
      print("decode through dispatch / uncompress into a new buffer", "BM_DecodeStream",
            "BM_UncompressChunksFreshBuffer");
      print("stream build (rebuild) / bare compress", "BM_BuildStream", "BM_CompressChunks");
      std::printf("stream: %.1f MiB holding 64 MiB\n",
                  static_cast<double>(fixture().stream_size) / (1 << 20));
    }

   private:
    void print(const char* what, const std::string& measured, const std::string& reference) {
      if (real_.count(measured) == 0 || real_.count(reference) == 0) return;
      // CPU time too: on a shared machine the wall clock also counts waiting.
      std::printf("%s: %.3fx the time, %.3fx the CPU time (%.1f%% of the throughput)\n", what,
                  real_[measured] / real_[reference], cpu_[measured] / cpu_[reference],
                  100.0 * cpu_[reference] / cpu_[measured]);
    }
    std::map<std::string, double> real_;
    std::map<std::string, double> cpu_;
  } reporter;
  fixture();  // built before any timing starts
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
