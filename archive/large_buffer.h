// Scratch buffers of many megabytes (a zlib stream's decoded bytes), left
// uninitialised for the caller to fill.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace korvel {

// size bytes, not zeroed. Large buffers are backed by huge pages where the
// system offers them: a fresh 64 MiB buffer otherwise costs 16384 page
// faults, a sixth of the time it takes to inflate data into it.
std::unique_ptr<std::uint8_t[]> allocate_large_buffer(std::size_t size);

}  // namespace korvel
