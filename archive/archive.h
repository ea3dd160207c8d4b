// One opened archive (an index beside one data file or a numbered series) and
// the outputs of one request. Each request creates its own Archive, opens it,
// asks once and releases it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "archive/content_tree.h"
#include "archive/error_kind.h"
#include "archive/index_entry.h"
#include "archive/limits.h"
#include "archive/model_view.h"

namespace korvel {

using ByteBuffer = std::vector<std::uint8_t>;

// The requested item in Archive::image is followed by this many zero bytes
// that image_size does not count.
constexpr std::size_t kImageZeroTail = 4;

class Archive {
 public:
  // 1 when the index and the first data file open and the index reads whole.
  int open(const char* index_path);
  // 1 when the decoders left the requested item in image.
  int load_entry(const char* key);
  // 1 replaced, 2 unchanged (nothing written), 0 failed (nothing written).
  int replace_entry(const char* key, const char* dds_path);
  // The same replacement with the DDS file already in image (image_size
  // bytes, then kImageZeroTail zero bytes), for pictures converted in memory.
  int replace_entry_with_image(const char* key);
  void release();

  // Same walk as load_entry, but into a tree the caller keeps, so that tools
  // can show what the decoders saw.
  int load_entry_into(ContentTree& tree, const char* key);

  // Offers a payload to each decoder in order; the first that recognises it
  // wins, else it becomes an "unknow" element. All three outputs given means
  // rebuild mode. The payload has kPayloadSlack readable bytes after length.
  // The outermost call in rebuild mode clears rebuild_failed first.
  void dispatch_content(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                        ByteBuffer* out_buffer = nullptr, std::uint32_t* out_decoded_size = nullptr,
                        std::uint32_t* out_stored_size = nullptr);

  // The decoders, in dispatch order. Each returns 1 when it recognised the
  // payload (and then did all its work), else 0 with nothing changed.
  //
  // Rebuild mode: a recognising decoder leaves a new buffer holding at least
  // the stored size's bytes (the payload, then zero slack) and both sizes.
  // When it cannot rebuild the payload so that our decoders read it back as
  // it was (an inner rebuild failed, data that fits no chunk form, a zlib
  // error...), it still returns 1 but sets rebuild_failed and leaves the
  // buffer empty and both sizes 0. Dispatch takes a recognising decoder that
  // left an empty buffer, or one shorter than its stored size, as failed in
  // the same way. A container whose inner dispatch set the flag fails in
  // turn, so the flag reaches the top: the caller must then write nothing.
  int decode_pack(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                  ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                  std::uint32_t* out_stored_size);
  int decode_zlib(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                  ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                  std::uint32_t* out_stored_size);
  int decode_g1t(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                 ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                 std::uint32_t* out_stored_size);
  int decode_g1m(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                 ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                 std::uint32_t* out_stored_size);

  // Decoders hold copies and decoded forms of inner payloads while those are
  // dispatched. A container whose inner payload would take what they hold
  // past max_bytes_in_flight is not unwrapped (it shows as unknown), so that
  // a small crafted archive cannot ask for tens of GiB through nesting.
  bool claim_bytes(std::uint64_t count);
  void return_bytes(std::uint64_t count);
  std::uint64_t max_bytes_in_flight = kMaxBytesInFlight;

  // Tree nodes are counted too: a few bytes of pack table can name millions of
  // items. Packs and texture containers claim the nodes they will make; one
  // that would take the outermost dispatch under way past max_content_nodes
  // is not unwrapped (it shows as unknown) and error says so.
  bool claim_content_nodes(std::uint64_t count);
  std::uint64_t max_content_nodes = kMaxContentNodes;

  // Marks the rebuild under way as failed and empties the three outputs.
  void fail_rebuild(ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                    std::uint32_t* out_stored_size);

  std::string base_path;              // index path without its extension
  std::int32_t first_bin_number = 0;  // -1: one data file "%s.bin"; 0: "%s%d.bin" series
  std::uint32_t entry_count = 0;
  std::vector<IndexEntry> entries;  // host byte order
  std::uint8_t big_endian = 0;
  std::string requested_key;
  ByteBuffer image;  // the requested item, image_size bytes then kImageZeroTail zero bytes
  std::uint32_t image_size = 0;
  ModelView model_view;

  // When set, a listing takes out every texture and model as it lists it
  // instead of only the requested one, and calls this with the item's output
  // id while the image (and for a model the model view) holds it: empty, with
  // the reason in error, when it cannot be taken out. One decoding of an entry
  // then yields every item, each exactly as its own load gives it.
  std::function<void(const std::string& output_id)> item_sink;

  // Why the last open, load or replacement failed, for tools that tell the
  // user, and the kind of that failure, for code that decides by it.
  std::string error;
  ErrorKind error_kind = ErrorKind::kNone;
  void set_error(ErrorKind kind, std::string text) {
    error_kind = kind;
    error = std::move(text);
  }
  // set_error for the members that answer 0 on failure.
  int fail(ErrorKind kind, std::string text) {
    set_error(kind, std::move(text));
    return 0;
  }
  void clear_error() {
    error_kind = ErrorKind::kNone;
    error.clear();
  }
  // Set by a decoder whose rebuild could not produce a container that our
  // decoders read back correctly; a replacement then refuses instead of
  // writing an unreadable entry.
  bool rebuild_failed = false;

 private:
  friend class EntryWalk;
  int dispatch_depth_ = 0;  // nesting of the dispatch under way
  std::uint64_t bytes_in_flight_ = 0;
  std::uint64_t content_nodes_ = 0;  // claimed since the outermost dispatch began
};

// A claim on the bytes in flight for one container's inner payload, returned
// when the container is done with it.
class BytesInFlight {
 public:
  BytesInFlight(Archive& archive, std::uint64_t count)
      : archive_(archive), count_(count), granted_(archive.claim_bytes(count)) {}
  ~BytesInFlight() {
    if (granted_) archive_.return_bytes(count_);
  }
  BytesInFlight(const BytesInFlight&) = delete;
  BytesInFlight& operator=(const BytesInFlight&) = delete;
  bool granted() const { return granted_; }

 private:
  Archive& archive_;
  std::uint64_t count_;
  bool granted_;
};

// Rebuild mode is on only when all three outputs are given.
inline bool is_rebuild(const ByteBuffer* out_buffer, const std::uint32_t* out_decoded_size,
                       const std::uint32_t* out_stored_size) {
  return out_buffer != nullptr && out_decoded_size != nullptr && out_stored_size != nullptr;
}

// A copy of bytes with kPayloadSlack zero bytes after them, as every payload
// handed to dispatch must have.
ByteBuffer make_payload_buffer(const std::uint8_t* bytes, std::uint32_t length);

}  // namespace korvel
