// Large pixel and file buffers are written once from end to end. A fresh one
// of many megabytes otherwise takes a page fault per 4 KiB, which on a
// virtual machine cost more than decoding the pixels into it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel::d3d9 {

// Resizes bytes to size (zeros past the old end, as resize does), first
// asking the system to map all of its pages at once, on huge pages where it
// offers them.
void resize_fresh_buffer(std::vector<std::uint8_t>* bytes, std::size_t size);

}  // namespace korvel::d3d9
