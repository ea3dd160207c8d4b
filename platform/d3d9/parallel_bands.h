// Work on an image cut into bands of rows, one band per core.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/limits.h"

namespace korvel::d3d9 {

// Calls work(first, last) for consecutive ranges that together cover
// [0, count), each a multiple of granule long except the last, and at least
// min_per_band long; the ranges run at once on separate threads, the
// caller's thread taking one. Returns when every range is done. A thread
// that cannot be started leaves its range to the caller's thread.
void for_each_band(std::uint32_t count, std::uint32_t granule, std::uint32_t min_per_band,
                   const std::function<void(std::uint32_t first, std::uint32_t last)>& work);

}  // namespace korvel::d3d9
