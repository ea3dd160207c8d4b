// Memory for the entry listing: a large index lists hundreds of thousands of
// elements, and taking each element, attribute and text from the pool one by
// one (in 64 KiB blocks, on fresh pages) spent most of a listing in page
// faults. The arena takes large blocks from the same pool, so everything is
// still freed with the document, and asks for huge pages behind them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/content_tree.h"

namespace korvel {

class ListingArena {
 public:
  // Blocks are sized for the entries still to come, up to a few MiB each.
  ListingArena(ContentTree& tree, std::uint32_t entries_to_come)
      : tree_(tree), entries_to_come_(entries_to_come) {}

  // The element of one entry with its five attributes and texts, not yet
  // appended anywhere. Running out of memory ends as the pool's own
  // allocations do.
  ContentNode* entry_element(std::uint32_t number, const std::uint64_t fields[4]);

 private:
  void* take(std::size_t bytes);

  ContentTree& tree_;
  std::uint32_t entries_to_come_;
  char* next_ = nullptr;
  char* end_ = nullptr;
  // Each field's last text: neighbouring records often share a value (a flag,
  // a size), and a text in the pool can serve any number of attributes.
  std::uint64_t last_values_[4] = {};
  const char* last_texts_[4] = {};
};

}  // namespace korvel
