#include "platform/d3d9/fresh_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace korvel::d3d9 {
namespace {

// Below this the advice costs more than the faults it saves.
constexpr std::size_t kPrefaultThreshold = std::size_t{4} << 20;

}  // namespace

void resize_fresh_buffer(std::vector<std::uint8_t>* bytes, std::size_t size) {
#if defined(__linux__) && defined(MADV_HUGEPAGE) && defined(MADV_POPULATE_WRITE)
  if (size >= kPrefaultThreshold && bytes->capacity() < size) {
    bytes->reserve(size);
    // Whole pages only; the advice is a hint, so its result does not matter.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(bytes->data());
    const std::uintptr_t aligned = (first + page - 1) / page * page;
    const std::uintptr_t end = (first + size) / page * page;
    if (end > aligned) {
      ::madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_HUGEPAGE);
      ::madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_POPULATE_WRITE);
    }
  }
#endif
  bytes->resize(size);
}

}  // namespace korvel::d3d9
