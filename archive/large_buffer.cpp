#include "archive/large_buffer.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace korvel {
namespace {

// Below this the advice costs more than the faults it saves.
constexpr std::size_t kHugePageAdviceThreshold = std::size_t{4} << 20;

}  // namespace

std::unique_ptr<std::uint8_t[]> allocate_large_buffer(std::size_t size) {
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[size]);
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (size >= kHugePageAdviceThreshold) {
    // madvise wants a page-aligned start; the advice is only a hint, so its
    // result does not matter.
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(buffer.get());
    const std::uintptr_t aligned = (start + page - 1) / page * page;
    const std::uintptr_t end = (start + size) / page * page;
    if (end > aligned) ::madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_HUGEPAGE);
  }
#endif
  return buffer;
}

}  // namespace korvel
