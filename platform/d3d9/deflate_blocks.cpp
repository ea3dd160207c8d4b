#include "platform/d3d9/deflate_blocks.h"

#include <cstring>

namespace korvel::d3d9 {
namespace {

// RFC 1951, 3.2.5 to 3.2.7.
constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kLiteralLengthSymbols = 288;
constexpr unsigned kUsedLengthCodes = 286;  // 286 and 287 take part in the code but never occur
constexpr unsigned kDistanceSymbols = 30;
constexpr unsigned kFixedDistanceCodes = 32;
constexpr unsigned kCodeLengthSymbols = 19;
constexpr unsigned kEndOfBlock = 256;
constexpr unsigned kFirstLengthCode = 257;
constexpr std::uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                           15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                           67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistanceBase[30] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                               11, 4,  12, 3, 13, 2, 14, 1, 15};

// Bits in the order deflate packs them: from each byte's lowest bit up.
class BitReader {
 public:
  BitReader(const std::uint8_t* bytes, std::size_t length) : bytes_(bytes), length_(length) {}

  // The next count bits (at most 16) without taking them; bits past the end
  // read as 0, and taking them makes overran() true.
  unsigned peek(unsigned count) const {
    const std::size_t byte = position_ / 8;
    std::uint32_t window = 0;
    if (byte < length_) {
      const std::size_t available = length_ - byte < 4 ? length_ - byte : 4;
      for (std::size_t i = 0; i < available; ++i) {
        window |= static_cast<std::uint32_t>(bytes_[byte + i]) << (8 * i);
      }
    }
    return (window >> (position_ % 8)) & ((1u << count) - 1);
  }
  void skip(unsigned count) { position_ += count; }
  unsigned take(unsigned count) {
    const unsigned value = peek(count);
    skip(count);
    return value;
  }
  void skip_to_byte() { position_ = (position_ + 7) / 8 * 8; }
  void skip_bytes(std::size_t count) { position_ += count * 8; }
  bool overran() const { return position_ > length_ * 8; }
  std::size_t position() const { return position_; }

 private:
  const std::uint8_t* bytes_;
  std::size_t length_;
  std::size_t position_ = 0;
};

// A canonical Huffman code: short codes through one table look-up, longer
// ones a bit at a time as RFC 1951 assigns them.
class HuffmanCode {
 public:
  // False when the lengths ask for more codes than there are, or leave some
  // unused (allowed only for a single code of one bit, as zlib allows).
  bool build(const std::uint8_t* lengths, unsigned count) {
    std::memset(counts_, 0, sizeof counts_);
    for (unsigned i = 0; i < count; ++i) ++counts_[lengths[i]];
    int left = 1;
    for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
      left = left * 2 - counts_[bits];
      if (left < 0) return false;
    }
    complete_ = left == 0;
    if (!complete_ && counts_[0] + counts_[1] != count) return false;
    std::uint16_t offsets[kMaxCodeBits + 2] = {};
    for (unsigned bits = 1; bits <= kMaxCodeBits; ++bits) {
      offsets[bits + 1] = static_cast<std::uint16_t>(offsets[bits] + counts_[bits]);
    }
    for (unsigned symbol = 0; symbol < count; ++symbol) {
      if (lengths[symbol] != 0)
        symbols_[offsets[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
    }
    std::memset(fast_, 0, sizeof fast_);
    unsigned code = 0;
    unsigned index = 0;
    for (unsigned bits = 1; bits <= kFastBits; ++bits, code <<= 1) {
      for (unsigned k = 0; k < counts_[bits]; ++k, ++code) {
        const std::uint16_t entry = static_cast<std::uint16_t>(symbols_[index++] << 4 | bits);
        // Deflate sends a code's highest bit first, so the table is indexed reversed.
        unsigned reversed = 0;
        for (unsigned b = 0; b < bits; ++b) reversed |= ((code >> b) & 1u) << (bits - 1 - b);
        for (unsigned i = reversed; i < (1u << kFastBits); i += 1u << bits) fast_[i] = entry;
      }
    }
    return true;
  }

  bool complete() const { return complete_; }

  // The next symbol, or -1 when no code matches.
  int decode(BitReader& bits) const {
    const std::uint16_t entry = fast_[bits.peek(kFastBits)];
    if (entry != 0) {
      bits.skip(entry & 15u);
      return entry >> 4;
    }
    int code = 0, first = 0, index = 0;
    for (unsigned length = 1; length <= kMaxCodeBits; ++length) {
      code |= static_cast<int>(bits.take(1));
      const int count = counts_[length];
      if (code - first < count) return symbols_[index + code - first];
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  static constexpr unsigned kFastBits = 10;
  bool complete_ = false;
  std::uint16_t counts_[kMaxCodeBits + 1];
  std::uint16_t symbols_[kLiteralLengthSymbols];
  std::uint16_t fast_[1u << kFastBits];  // symbol << 4 | code length; 0 for longer codes
};

// The codes of one compressed block up to its end code, counting the bytes
// they stand for.
bool walk_codes(BitReader& bits, const HuffmanCode& literals, const HuffmanCode& distances,
                std::size_t* inflated) {
  for (;;) {
    const int symbol = literals.decode(bits);
    if (symbol < 0 || bits.overran()) return false;
    if (symbol < static_cast<int>(kEndOfBlock)) {
      ++*inflated;
      continue;
    }
    if (symbol == static_cast<int>(kEndOfBlock)) return true;
    const unsigned length_code = static_cast<unsigned>(symbol) - kFirstLengthCode;
    if (length_code >= sizeof kLengthBase / sizeof kLengthBase[0]) return false;
    const unsigned length = kLengthBase[length_code] + bits.take(kLengthExtra[length_code]);
    const int distance_code = distances.decode(bits);
    if (distance_code < 0 || distance_code >= static_cast<int>(kDistanceSymbols)) return false;
    const std::size_t distance =
        kDistanceBase[distance_code] + bits.take(kDistanceExtra[distance_code]);
    if (distance > *inflated || bits.overran()) return false;
    *inflated += length;
  }
}

bool read_dynamic_codes(BitReader& bits, HuffmanCode* literals, HuffmanCode* distances) {
  const unsigned literal_count = bits.take(5) + kFirstLengthCode;
  const unsigned distance_count = bits.take(5) + 1;
  const unsigned length_code_count = bits.take(4) + 4;
  if (literal_count > kUsedLengthCodes || distance_count > kDistanceSymbols) return false;
  std::uint8_t lengths[kLiteralLengthSymbols + kDistanceSymbols] = {};
  for (unsigned i = 0; i < length_code_count; ++i) {
    lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(bits.take(3));
  }
  HuffmanCode length_code;
  // The code of code lengths must be complete.
  if (!length_code.build(lengths, kCodeLengthSymbols) || !length_code.complete()) return false;
  std::memset(lengths, 0, sizeof lengths);
  const unsigned total = literal_count + distance_count;
  for (unsigned index = 0; index < total;) {
    const int symbol = length_code.decode(bits);
    if (symbol < 0 || bits.overran()) return false;
    if (symbol < 16) {
      lengths[index++] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t repeated = 0;
    unsigned times = 0;
    if (symbol == 16) {
      if (index == 0) return false;
      repeated = lengths[index - 1];
      times = 3 + bits.take(2);
    } else if (symbol == 17) {
      times = 3 + bits.take(3);
    } else {
      times = 11 + bits.take(7);
    }
    if (times > total - index) return false;
    while (times-- > 0) lengths[index++] = repeated;
  }
  if (lengths[kEndOfBlock] == 0) return false;
  return literals->build(lengths, literal_count) &&
         distances->build(lengths + literal_count, distance_count);
}

bool build_fixed_codes(HuffmanCode* literals, HuffmanCode* distances) {
  std::uint8_t lengths[kLiteralLengthSymbols];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 112);
  std::memset(lengths + 256, 7, 24);
  std::memset(lengths + 280, 8, 8);
  if (!literals->build(lengths, kLiteralLengthSymbols)) return false;
  // All 32 five-bit codes; the two past the last distance never occur.
  std::memset(lengths, 5, kFixedDistanceCodes);
  return distances->build(lengths, kFixedDistanceCodes);
}

}  // namespace

bool find_deflate_end(const std::uint8_t* stream, std::size_t length, DeflateEnd* end) {
  BitReader bits(stream, length);
  HuffmanCode literals, distances;
  std::size_t inflated = 0;
  for (;;) {
    const std::size_t header_bit = bits.position();
    const bool last = bits.take(1) != 0;
    const unsigned type = bits.take(2);
    if (type == 0) {
      // Stored: from the next byte, a length and its complement, then the bytes.
      bits.skip_to_byte();
      const unsigned stored = bits.take(16);
      const unsigned complement = bits.take(16);
      if (stored != (~complement & 0xFFFFu)) return false;
      bits.skip_bytes(stored);
      inflated += stored;
    } else if (type == 1 || type == 2) {
      const bool built = type == 1 ? build_fixed_codes(&literals, &distances)
                                   : read_dynamic_codes(bits, &literals, &distances);
      if (!built || !walk_codes(bits, literals, distances, &inflated)) return false;
    } else {
      return false;
    }
    if (bits.overran()) return false;
    if (last) {
      end->last_block_bit = header_bit;
      end->end_bit = bits.position();
      end->inflated_size = inflated;
      return true;
    }
  }
}

}  // namespace korvel::d3d9
