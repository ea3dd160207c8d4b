#include "platform/d3d9/png_filter.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/d3d9/parallel_bands.h"

namespace korvel::d3d9 {
namespace {

// Filtering costs little per row; bands smaller than this are not worth a thread.
constexpr std::uint32_t kMinFilterBytesPerBand = 1u << 20;

enum FilterType : std::uint8_t { kTypeNone, kTypeSub, kTypeUp, kTypeAverage, kTypePaeth };
constexpr int kFilterTypeCount = 5;

std::uint8_t paeth(int left, int above, int upper_left) {
  const int estimate = left + above - upper_left;
  const int to_left = std::abs(estimate - left);
  const int to_above = std::abs(estimate - above);
  const int to_upper_left = std::abs(estimate - upper_left);
  if (to_left <= to_above && to_left <= to_upper_left) return static_cast<std::uint8_t>(left);
  if (to_above <= to_upper_left) return static_cast<std::uint8_t>(above);
  return static_cast<std::uint8_t>(upper_left);
}

// One filter over one row; prior is the row above (zeros for the first row).
// The first pixel has no left neighbour, which reads as zero.
void filter_row(FilterType type, const std::uint8_t* row, const std::uint8_t* prior,
                std::size_t length, std::size_t unit, std::uint8_t* out) {
  const std::size_t lead = length < unit ? length : unit;
  switch (type) {
    case kTypeNone:
      std::memcpy(out, row, length);
      return;
    case kTypeSub:
      std::memcpy(out, row, lead);
      for (std::size_t i = lead; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - row[i - unit]);
      }
      return;
    case kTypeUp:
      for (std::size_t i = 0; i < length; ++i)
        out[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
      return;
    case kTypeAverage:
      for (std::size_t i = 0; i < lead; ++i)
        out[i] = static_cast<std::uint8_t>(row[i] - prior[i] / 2);
      for (std::size_t i = lead; i < length; ++i) {
        out[i] = static_cast<std::uint8_t>(row[i] - (row[i - unit] + prior[i]) / 2);
      }
      return;
    case kTypePaeth:
      for (std::size_t i = 0; i < lead; ++i) out[i] = static_cast<std::uint8_t>(row[i] - prior[i]);
      for (std::size_t i = lead; i < length; ++i) {
        out[i] =
            static_cast<std::uint8_t>(row[i] - paeth(row[i - unit], prior[i], prior[i - unit]));
      }
      return;
  }
}

// The usual heuristic: filtered bytes read as signed, the smallest sum of
// magnitudes wins; ties go to the simpler filter.
std::uint64_t magnitude_sum(const std::uint8_t* bytes, std::size_t length) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < length; ++i) {
    sum +=
        static_cast<std::uint64_t>(std::abs(static_cast<int>(static_cast<std::int8_t>(bytes[i]))));
  }
  return sum;
}

void filter_band(const PngRowSource& source, bool adaptive, std::uint32_t first_row,
                 std::uint32_t last_row, std::uint8_t* out) {
  const std::size_t length = source.row_length;
  const std::vector<std::uint8_t> zero_row(length, 0);
  std::vector<std::uint8_t> trials(adaptive ? length * kFilterTypeCount : 0);
  for (std::uint32_t y = first_row; y < last_row; ++y) {
    const std::uint8_t* row = source.rows + y * length;
    std::uint8_t* target = out + y * (length + 1);
    if (!adaptive) {
      // A row that repeats the one above becomes zeros, which deflate finds
      // at once; the same bytes a row apart cost it long-distance matches.
      const bool repeats = y > 0 && std::memcmp(row, row - length, length) == 0;
      target[0] = repeats ? kTypeUp : kTypeNone;
      if (repeats) {
        std::memset(target + 1, 0, length);
      } else {
        std::memcpy(target + 1, row, length);
      }
      continue;
    }
    const std::uint8_t* prior = y == 0 ? zero_row.data() : row - length;
    int best = 0;
    std::uint64_t best_sum = UINT64_MAX;
    for (int type = 0; type < kFilterTypeCount; ++type) {
      std::uint8_t* trial = trials.data() + type * length;
      filter_row(static_cast<FilterType>(type), row, prior, length, source.unit, trial);
      const std::uint64_t sum = magnitude_sum(trial, length);
      if (sum < best_sum) best = type, best_sum = sum;
    }
    target[0] = static_cast<std::uint8_t>(best);
    std::memcpy(target + 1, trials.data() + best * length, length);
  }
}

}  // namespace

std::size_t png_filtered_size(const PngRowSource& source) {
  return (source.row_length + 1) * source.height;
}

void filter_png_rows(const PngRowSource& source, bool adaptive, std::uint8_t* out) {
  const auto min_rows =
      static_cast<std::uint32_t>(kMinFilterBytesPerBand / (source.row_length + 1) + 1);
  for_each_band(source.height, 1, min_rows, [&](std::uint32_t first_row, std::uint32_t last_row) {
    filter_band(source, adaptive, first_row, last_row, out);
  });
}

}  // namespace korvel::d3d9
