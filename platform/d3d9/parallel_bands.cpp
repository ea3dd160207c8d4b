#include "platform/d3d9/parallel_bands.h"

#include <pthread.h>

#include <algorithm>
#include <thread>

namespace korvel::d3d9 {
namespace {

struct Band {
  const std::function<void(std::uint32_t, std::uint32_t)>* work;
  std::uint32_t first;
  std::uint32_t last;
  pthread_t thread;
  bool started;
};

void* run_band(void* argument) {
  const Band* band = static_cast<const Band*>(argument);
  (*band->work)(band->first, band->last);
  return nullptr;
}

}  // namespace

void for_each_band(std::uint32_t count, std::uint32_t granule, std::uint32_t min_per_band,
                   const std::function<void(std::uint32_t, std::uint32_t)>& work) {
  if (count == 0) return;
  granule = std::max(granule, 1u);
  const unsigned cores = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxBandThreads);
  const std::uint32_t by_size = count / std::max(min_per_band, 1u);
  const unsigned band_count = std::clamp<unsigned>(by_size, 1u, cores);
  if (band_count == 1) {
    work(0, count);
    return;
  }
  // Band lengths rounded up to the granule, so that only the last is short.
  const std::uint32_t granules = (count + granule - 1) / granule;
  const std::uint32_t per_band = (granules + band_count - 1) / band_count * granule;
  Band bands[kMaxBandThreads];
  unsigned used = 0;
  for (std::uint32_t first = 0; first < count && used < band_count; ++used) {
    const std::uint32_t last = count - first > per_band ? first + per_band : count;
    bands[used] = Band{&work, first, last, {}, false};
    first = last;
  }
  // pthreads rather than std::thread: a failed start is a return code here.
  for (unsigned i = 1; i < used; ++i) {
    bands[i].started = pthread_create(&bands[i].thread, nullptr, &run_band, &bands[i]) == 0;
  }
  work(bands[0].first, bands[0].last);
  for (unsigned i = 1; i < used; ++i) {
    if (bands[i].started) {
      pthread_join(bands[i].thread, nullptr);
    } else {
      work(bands[i].first, bands[i].last);
    }
  }
}

}  // namespace korvel::d3d9
