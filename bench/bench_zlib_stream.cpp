// A 64 MiB zlib chunk stream (chunk size 0x20000) decoded through dispatch,
// against zlib's uncompress on the same chunks; and the same content built
// into a stream, as a rebuild does, against zlib's compress of its chunks.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/decode_zlib.h"
#include "bench/support/game_like_content.h"
#include "bench/support/ratio_reporter.h"
#include "tools/forge/zlib_stream_writer.h"

namespace {

constexpr std::uint32_t kContentSize = 64u << 20;
constexpr std::uint32_t kChunkSize = 0x20000;

struct Fixture {
  korvel::forge::Bytes content = korvel::bench::game_like_content(kContentSize);
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

int main(int argc, char** argv) {
  return korvel::bench::run_benchmarks(
      argc, argv,
      {{"decode through dispatch / bare uncompress", "BM_DecodeStream", "BM_UncompressChunks"},
       {"decode through dispatch / uncompress into a new buffer", "BM_DecodeStream",
        "BM_UncompressChunksFreshBuffer"},
       {"stream build (rebuild) / bare compress", "BM_BuildStream", "BM_CompressChunks"}},
      [] {
        std::printf("stream: %.1f MiB holding 64 MiB\n",
                    static_cast<double>(fixture().stream_size) / (1 << 20));
      });
}
