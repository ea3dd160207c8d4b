// Scratch buffers of many megabytes (a zlib stream's decoded bytes), left
// uninitialised for the caller to fill.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace korvel {

// size bytes, not zeroed. Large buffers are backed by huge pages where the
// system offers them: a fresh 64 MiB buffer otherwise costs 16384 page
// faults, a sixth of the time it takes to inflate data into it.
std::unique_ptr<std::uint8_t[]> allocate_large_buffer(std::size_t size);

// Asks for huge pages behind [start, start + size) when it is large enough to
// gain from them; only a hint.
void advise_huge_pages(void* start, std::size_t size);

// The same, and maps every page of the range at once, for memory that is
// about to be written from end to end: one call instead of a fault per page.
void prefault_pages(void* start, std::size_t size);

// Reserves capacity for a buffer about to be filled from end to end, with its
// pages mapped at once as prefault_pages does: the vectors that carry
// payloads of tens of megabytes from level to level otherwise fault page by
// page as they grow.
void reserve_large(std::vector<std::uint8_t>* buffer, std::size_t capacity);

}  // namespace korvel
