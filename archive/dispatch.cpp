#include "archive/archive.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>

#include "archive/format_text.h"
#include "archive/limits.h"

namespace korvel {
namespace {

// Signature of an unknown payload: its first 16 bytes in hex, then its start
// as text (up to the first zero byte, at most 32 bytes). Bytes past the
// payload's end read as zero, so short payloads give a defined signature.
std::string payload_signature(const std::uint8_t* payload, std::uint32_t length) {
  std::uint8_t head[33] = {};
  std::memcpy(head, payload, std::min<std::uint32_t>(length, 32));
  std::string signature;
  signature.reserve(16 * 2 + 1 + 32);
  for (int i = 0; i < 16; ++i) signature += format_text("%02X", head[i]);
  signature += ',';
  signature += reinterpret_cast<const char*>(head);
  return signature;
}

class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) { ++depth_; }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

void Archive::fail_rebuild(ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                           std::uint32_t* out_stored_size) {
  rebuild_failed = true;
  if (out_buffer != nullptr) ByteBuffer().swap(*out_buffer);
  if (out_decoded_size != nullptr) *out_decoded_size = 0;
  if (out_stored_size != nullptr) *out_stored_size = 0;
}

bool Archive::claim_bytes(std::uint64_t count) {
  if (count > max_bytes_in_flight || bytes_in_flight_ > max_bytes_in_flight - count) return false;
  bytes_in_flight_ += count;
  return true;
}

void Archive::return_bytes(std::uint64_t count) {
  bytes_in_flight_ -= count;
}

bool Archive::claim_content_nodes(std::uint64_t count) {
  if (count > max_content_nodes || content_nodes_ > max_content_nodes - count) {
    if (error.empty()) {
      set_error(ErrorKind::kNotSupported,
                format_text("the entry holds more than %" PRIu64
                            " items; what lies past that is shown as unknown",
                            max_content_nodes));
    }
    return false;
  }
  content_nodes_ += count;
  return true;
}

void Archive::dispatch_content(ContentNode* parent, const std::uint8_t* payload,
                               std::uint32_t length, ByteBuffer* out_buffer,
                               std::uint32_t* out_decoded_size, std::uint32_t* out_stored_size) {
  if (parent == nullptr) return;
  if (payload == nullptr) length = 0;
  static const std::uint8_t kNoBytes[kPayloadSlack] = {};
  if (payload == nullptr) payload = kNoBytes;
  const bool rebuild = is_rebuild(out_buffer, out_decoded_size, out_stored_size);
  if (rebuild && dispatch_depth_ == 0) rebuild_failed = false;
  if (dispatch_depth_ == 0) content_nodes_ = 0;

  // Past the deepest nesting we allow, a payload is passed through as unknown
  // rather than letting a crafted archive exhaust the stack.
  if (dispatch_depth_ < kMaxContainerDepth) {
    DepthGuard guard(dispatch_depth_);
    using Decoder = int (Archive::*)(ContentNode*, const std::uint8_t*, std::uint32_t, ByteBuffer*,
                                     std::uint32_t*, std::uint32_t*);
    static constexpr Decoder kDecoders[] = {&Archive::decode_pack, &Archive::decode_zlib,
                                            &Archive::decode_g1t, &Archive::decode_g1m};
    for (Decoder decoder : kDecoders) {
      if ((this->*decoder)(parent, payload, length, out_buffer, out_decoded_size,
                           out_stored_size) == 1) {
        // A recognising decoder that left no usable payload has failed, even
        // if it did not say so: its container must not carry a hole.
        if (rebuild &&
            (rebuild_failed || out_buffer->empty() || out_buffer->size() < *out_stored_size)) {
          fail_rebuild(out_buffer, out_decoded_size, out_stored_size);
        }
        return;
      }
    }
  }

  ContentNode* unknown = append_element(parent, vocab::kUnknown);
  append_attribute(unknown, vocab::kNumber, format_text("%d", 0));
  if (rebuild) {
    // Unrecognised content travels through a rebuild unchanged.
    *out_buffer = make_payload_buffer(payload, length);
    *out_decoded_size = length;
    *out_stored_size = length;
    return;
  }
  append_attribute(unknown, vocab::kRawData, payload_signature(payload, length));
}

}  // namespace korvel
