// Listing memory kept from one request for the next: the same listing on
// memory an earlier listing wrote, and never more kept than the limit.
#include <gtest/gtest.h>

#include <rapidxml_print.hpp>

#include <memory>
#include <string>

#include "archive/archive.h"
#include "archive/limits.h"
#include "archive/listing_memory.h"
#include "tests/support/temp_dir.h"
#include "tools/forge/archive_writer.h"

namespace korvel {
namespace {

std::string listing_of(const std::string& index_path, bool kept) {
  Archive archive;
  EXPECT_EQ(archive.open(index_path.c_str()), 1);
  ContentTree tree;
  if (kept) keep_listing_memory(tree);
  archive.load_entry_into(tree, "5999");
  std::string text;
  rapidxml::print(std::back_inserter(text), tree, rapidxml::print_no_indenting);
  return text;
}

TEST(ListingMemory, ListsTheSameOnMemoryAnEarlierListingWrote) {
  test::TempDir dir;
  forge::ForgeArchive archive;
  archive.name = "many";
  archive.entries.resize(6000);
  for (std::size_t i = 0; i < archive.entries.size(); ++i) {
    // Sizes and offsets that change from entry to entry, and some that repeat.
    archive.entries[i].payload.assign(16 + i % 3, static_cast<std::uint8_t>(i));
  }
  std::string error;
  ASSERT_TRUE(forge::write_archive(dir.path(), archive, &error)) << error;
  const std::string index = dir.file("many.idx");

  const std::string plain = listing_of(index, false);
  const std::size_t kept_before = kept_listing_bytes();
  EXPECT_EQ(listing_of(index, true), plain);
  const std::size_t kept_after_one = kept_listing_bytes();
  EXPECT_GT(kept_after_one, kept_before) << "6000 entries take blocks worth keeping";
  EXPECT_EQ(listing_of(index, true), plain);
  EXPECT_EQ(kept_listing_bytes(), kept_after_one) << "the second listing reused the first's";
}

TEST(ListingMemory, KeepsNoMoreThanItsLimit) {
  const std::size_t block = kMaxKeptListingBytes / 3 + 1;
  {
    std::unique_ptr<ContentTree> trees[4];
    for (auto& tree : trees) {
      tree = std::make_unique<ContentTree>();
      keep_listing_memory(*tree);
      ASSERT_NE(tree->allocate_string(nullptr, block), nullptr);
    }
  }
  EXPECT_LE(kept_listing_bytes(), kMaxKeptListingBytes);
  EXPECT_GE(kept_listing_bytes(), 2 * block);
  ContentTree tree;
  keep_listing_memory(tree);
  const std::size_t kept = kept_listing_bytes();
  tree.allocate_string(nullptr, block);
  EXPECT_LT(kept_listing_bytes(), kept) << "a new tree takes a kept block";
}

}  // namespace
}  // namespace korvel
