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
  advise_huge_pages(buffer.get(), size);
  return buffer;
}

namespace {

// Gives each advice the whole pages inside the range (madvise wants a
// page-aligned start). The advice is only a hint, so its result does not matter.
void advise(void* start, std::size_t size, bool populate) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (size < kHugePageAdviceThreshold) return;
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(start);
  const std::uintptr_t aligned = (first + page - 1) / page * page;
  const std::uintptr_t end = (first + size) / page * page;
  if (end <= aligned) return;
  ::madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_HUGEPAGE);
#if defined(MADV_POPULATE_WRITE)
  if (populate) ::madvise(reinterpret_cast<void*>(aligned), end - aligned, MADV_POPULATE_WRITE);
#endif
#else
  (void)start;
  (void)size;
  (void)populate;
#endif
}

}  // namespace

void advise_huge_pages(void* start, std::size_t size) {
  advise(start, size, false);
}

void prefault_pages(void* start, std::size_t size) {
  advise(start, size, true);
}

void reserve_large(std::vector<std::uint8_t>* buffer, std::size_t capacity) {
  if (buffer->capacity() >= capacity) return;
  buffer->reserve(capacity);
  // Only the part not yet written: what the buffer holds is mapped already.
  prefault_pages(buffer->data() + buffer->size(), buffer->capacity() - buffer->size());
}

}  // namespace korvel
