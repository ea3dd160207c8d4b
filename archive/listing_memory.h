// Memory kept between listings. Every click lists the entries before the
// selected one into a new tree, tens of MiB for a large index; given back to
// the system at the end of each request, that memory took a page fault per
// 4 KiB (and the system's zeroing) again on the next click.
#pragma once

#include <cstddef>

#include "archive/content_tree.h"

namespace korvel {

// The tree's large blocks then come from, and go back to, memory kept for
// the next listing, up to kMaxKeptListingBytes in all. Call it before the
// tree allocates anything.
void keep_listing_memory(ContentTree& tree);

// True when [address, address + size) lies in the kept block this thread
// took last: a block an earlier listing used, whose pages are mapped already.
bool in_reused_listing_memory(const void* address, std::size_t size);

// What the kept memory holds now, for tests.
std::size_t kept_listing_bytes();

}  // namespace korvel
