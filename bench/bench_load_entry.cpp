// load_entry of the last entry of a 100,000-entry index, which lists every
// entry before it, against reading and byte-swapping the same index alone.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/archive.h"
#include "archive/byte_order.h"
#include "archive/file_io.h"
#include "archive/index_entry.h"
#include "bench/support/ratio_reporter.h"
#include "tools/forge/archive_writer.h"

namespace {

constexpr int kEntryCount = 100000;

const std::string& bench_archive() {
  static const std::string index_path = [] {
    const std::string directory =
        (std::filesystem::temp_directory_path() / "korvel-bench-load-entry").string();
    std::filesystem::create_directories(directory);
    korvel::forge::ForgeArchive archive;
    archive.name = "many";
    archive.big_endian = true;
    archive.entries.resize(kEntryCount);
    for (int i = 0; i < kEntryCount; ++i) {
      archive.entries[i].payload.assign(16, static_cast<std::uint8_t>(i));
    }
    std::string error;
    if (!korvel::forge::write_archive(directory, archive, &error)) std::abort();
    return directory + "/many.idx";
  }();
  return index_path;
}

void BM_ReadAndSwapIndex(benchmark::State& state) {
  const std::string& path = bench_archive();
  std::vector<korvel::IndexEntry> entries(kEntryCount);
  for (auto _ : state) {
    korvel::read_file_part(path.c_str(), entries.data(), 0, entries.size() * 32);
    for (auto& record : entries) {
      record.offset = korvel::cond_swap64(record.offset, 1);
      record.size_uncomp = korvel::cond_swap64(record.size_uncomp, 1);
      record.size_comp = korvel::cond_swap64(record.size_comp, 1);
      record.flag = korvel::cond_swap64(record.flag, 1);
    }
    benchmark::DoNotOptimize(entries.data());
  }
  state.counters["entries/s"] = benchmark::Counter(static_cast<double>(kEntryCount),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ReadAndSwapIndex)->Unit(benchmark::kMillisecond);

void BM_LoadLastEntry(benchmark::State& state) {
  const std::string& path = bench_archive();
  const std::string key = std::to_string(kEntryCount - 1);
  for (auto _ : state) {
    korvel::Archive archive;
    archive.open(path.c_str());
    benchmark::DoNotOptimize(archive.load_entry(key.c_str()));
    archive.release();
  }
  state.counters["entries/s"] = benchmark::Counter(static_cast<double>(kEntryCount),
                                                   benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadLastEntry)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  return korvel::bench::run_benchmarks(argc, argv,
                                       {{"load_entry(last of 100000) / read and swap the index",
                                         "BM_LoadLastEntry", "BM_ReadAndSwapIndex"}},
                                       [] { bench_archive(); });
}
