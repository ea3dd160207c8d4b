#include "archive/listing_arena.h"

#include <cstring>
#include <new>

#include "archive/large_buffer.h"
#include "archive/listing_memory.h"

namespace korvel {
namespace {

using ContentAttribute = rapidxml::xml_attribute<char>;

constexpr std::size_t kAlignment = alignof(ContentNode);
constexpr std::size_t kAttributeCount = 5;
constexpr std::size_t kHexTextLength = 17;   // "%016" hex digits and 'h'
constexpr std::size_t kNameTextLength = 17;  // "idx_No." and up to ten digits
constexpr std::size_t kNumberTextLength = 10;
constexpr std::size_t kNamePrefixLength = 7;  // "idx_No."
// Everything one entry takes at most, texts with their terminators.
constexpr std::size_t kTextBytes = kNameTextLength + 1 + 4 * (kHexTextLength + 1);
constexpr std::size_t kEntryBytes =
    (sizeof(ContentNode) + kAttributeCount * sizeof(ContentAttribute) + kTextBytes + kAlignment -
     1) /
    kAlignment * kAlignment;
// Several huge pages per block, without holding much more than is listed.
constexpr std::size_t kMaxBlockBytes = std::size_t{8} << 20;

struct AttributeName {
  const char* text;
  std::size_t length;
};
const AttributeName kFieldNames[4] = {{vocab::kOffset, std::strlen(vocab::kOffset)},
                                      {vocab::kSizeUncomp, std::strlen(vocab::kSizeUncomp)},
                                      {vocab::kSizeComp, std::strlen(vocab::kSizeComp)},
                                      {vocab::kFlag, std::strlen(vocab::kFlag)}};
const AttributeName kNumberName = {vocab::kNumber, std::strlen(vocab::kNumber)};

// "%016" PRIX64 "h" and its terminator.
void write_hex64(char* text, std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int i = 15; i >= 0; --i) {
    text[i] = kDigits[value & 0xF];
    value >>= 4;
  }
  text[16] = 'h';
  text[17] = '\0';
}

// "%08u" and its terminator; returns the digits written.
std::size_t write_decimal8(char* text, std::uint32_t value) {
  char digits[kNumberTextLength];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (count < 8) digits[count++] = '0';
  for (std::size_t i = 0; i < count; ++i) text[i] = digits[count - 1 - i];
  text[count] = '\0';
  return count;
}

}  // namespace

void* ListingArena::take(std::size_t bytes) {
  if (static_cast<std::size_t>(end_ - next_) < bytes) {
    const std::size_t wanted =
        std::size_t{entries_to_come_ > 0 ? entries_to_come_ : 1} * kEntryBytes;
    const std::size_t block = wanted < kMaxBlockBytes ? wanted : kMaxBlockBytes;
    // The pool aligns what it hands out; the whole block stays the pool's.
    next_ = tree_.allocate_string(nullptr, block + kAlignment);
    next_ += (kAlignment - reinterpret_cast<std::uintptr_t>(next_) % kAlignment) % kAlignment;
    end_ = next_ + block;
    // A fresh block is mapped at once; one kept from an earlier listing is mapped already.
    if (!in_reused_listing_memory(next_, block)) prefault_pages(next_, block);
  }
  void* taken = next_;
  next_ += bytes;
  return taken;
}

ContentNode* ListingArena::entry_element(std::uint32_t number, const std::uint64_t fields[4]) {
  char* memory = static_cast<char*>(take(kEntryBytes));
  if (entries_to_come_ > 0) --entries_to_come_;
  auto* element = new (memory) ContentNode(rapidxml::node_element);
  memory += sizeof(ContentNode);
  ContentAttribute* attributes[kAttributeCount];
  for (ContentAttribute*& attribute : attributes) {
    attribute = new (memory) ContentAttribute();
    memory += sizeof(ContentAttribute);
  }
  char* text = memory;
  std::memcpy(text, "idx_No.", kNamePrefixLength);
  const std::size_t digits = write_decimal8(text + kNamePrefixLength, number);
  element->name(text, kNamePrefixLength + digits);
  // "number" is the name's own digits, terminated where the name ends.
  attributes[4]->name(kNumberName.text, kNumberName.length);
  attributes[4]->value(text + kNamePrefixLength, digits);
  text += kNameTextLength + 1;
  for (std::size_t i = 0; i < 4; ++i) {
    if (last_texts_[i] == nullptr || last_values_[i] != fields[i]) {
      write_hex64(text, fields[i]);
      last_texts_[i] = text;
      last_values_[i] = fields[i];
      text += kHexTextLength + 1;
    }
    attributes[i]->name(kFieldNames[i].text, kFieldNames[i].length);
    attributes[i]->value(last_texts_[i], kHexTextLength);
  }
  for (ContentAttribute* attribute : attributes) element->append_attribute(attribute);
  // Texts shared with the entry before leave room that the next entry takes.
  next_ = text + (kAlignment - reinterpret_cast<std::uintptr_t>(text) % kAlignment) % kAlignment;
  return element;
}

}  // namespace korvel
