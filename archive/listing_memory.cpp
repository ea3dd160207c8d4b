#include "archive/listing_memory.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#include "archive/limits.h"

namespace korvel {
namespace {

// The pool's own blocks are 64 KiB; only the listing's large ones are kept.
constexpr std::size_t kMinKeptBlockBytes = std::size_t{1} << 20;

// Before each block: its size, which the pool's free function is not told.
struct alignas(std::max_align_t) BlockHeader {
  std::size_t size;
};

struct KeptBlocks {
  std::mutex lock;
  std::vector<BlockHeader*> blocks;
  std::size_t bytes = 0;
};

// Never destroyed, so that a tree freed during exit still finds it.
KeptBlocks& kept() {
  static KeptBlocks* blocks = new KeptBlocks;
  return *blocks;
}

// The kept block this thread took last, while it is in use.
thread_local const char* reused_begin = nullptr;
thread_local const char* reused_end = nullptr;

void* allocate_block(std::size_t size) {
  if (size >= kMinKeptBlockBytes) {
    KeptBlocks& all = kept();
    const std::lock_guard<std::mutex> hold(all.lock);
    for (std::size_t i = 0; i < all.blocks.size(); ++i) {
      BlockHeader* block = all.blocks[i];
      if (block->size < size) continue;
      all.blocks.erase(all.blocks.begin() + static_cast<std::ptrdiff_t>(i));
      all.bytes -= block->size;
      reused_begin = reinterpret_cast<const char*>(block + 1);
      reused_end = reused_begin + block->size;
      return block + 1;
    }
  }
  auto* block = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + size));
  // The pool may not be given null: it must throw, as operator new does.
  if (block == nullptr) throw std::bad_alloc();
  block->size = size;
  return block + 1;
}

void free_block(void* memory) {
  BlockHeader* block = static_cast<BlockHeader*>(memory) - 1;
  if (memory == reused_begin) reused_begin = reused_end = nullptr;
  if (block->size >= kMinKeptBlockBytes) {
    KeptBlocks& all = kept();
    const std::lock_guard<std::mutex> hold(all.lock);
    if (all.bytes + block->size <= kMaxKeptListingBytes) {
      all.blocks.push_back(block);
      all.bytes += block->size;
      return;
    }
  }
  std::free(block);
}

}  // namespace

void keep_listing_memory(ContentTree& tree) {
  tree.set_allocator(&allocate_block, &free_block);
}

bool in_reused_listing_memory(const void* address, std::size_t size) {
  const char* begin = static_cast<const char*>(address);
  return reused_begin != nullptr && begin >= reused_begin &&
         size <= static_cast<std::size_t>(reused_end - begin);
}

std::size_t kept_listing_bytes() {
  KeptBlocks& all = kept();
  const std::lock_guard<std::mutex> hold(all.lock);
  return all.bytes;
}

}  // namespace korvel
