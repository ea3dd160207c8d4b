// The G1M model container (layout in formats/g1m_format.h): listed as one
// "G1M_" node; when it is the requested item, copied into image with its
// geometry converted to host order and described in model_view.
#include "archive/archive.h"
#include "archive/byte_reader.h"
#include "archive/format_text.h"
#include "formats/g1m_format.h"
#include "formats/g1m_walk.h"

namespace korvel {
namespace {

bool is_g1m(const ByteReader& reader) {
  if (!reader.bytes_equal(g1m::kMagicOffset, g1m::kMagicLittle, 4) &&
      !reader.bytes_equal(g1m::kMagicOffset, g1m::kMagicBig, 4)) {
    return false;
  }
  std::uint32_t version = 0;
  return reader.read_u32(g1m::kVersionOffset, &version) && version == g1m::kContainerVersion;
}

}  // namespace

int Archive::decode_g1m(ContentNode* parent, const std::uint8_t* payload, std::uint32_t length,
                        ByteBuffer* out_buffer, std::uint32_t* out_decoded_size,
                        std::uint32_t* out_stored_size) {
  if (parent == nullptr) return 0;
  const ByteReader reader(payload, length, big_endian);
  if (!is_g1m(reader)) return 0;

  ContentNode* node = append_element(parent, vocab::kG1m);
  append_attribute(node, vocab::kNumber, format_text("%d", 0));
  append_attribute(node, vocab::kContent, vocab::kModelPage);
  const std::string output_id = output_id_of(node, vocab::kModelSuffix);
  append_attribute(node, vocab::kOutputId, output_id);

  if (is_rebuild(out_buffer, out_decoded_size, out_stored_size)) {
    // Models are never re-encoded, but a container rebuilt around one must
    // not lose it: it travels through unchanged, like unknown content.
    *out_buffer = make_payload_buffer(payload, length);
    *out_decoded_size = length;
    *out_stored_size = length;
    return 1;
  }
  if (!item_sink && !keys_equal(output_id, requested_key)) return 1;

  // Nothing of an earlier model may survive: its references pointed into the
  // image that is replaced here.
  model_view.clear();
  ByteBuffer copy(static_cast<std::size_t>(length) + kImageZeroTail, 0);
  ByteWriter(copy.data(), length, 0).write_bytes(0, payload, length);
  image.swap(copy);
  image_size = length;
  walk_g1m_copy(image.data(), image_size, big_endian, &model_view);
  if (item_sink) {
    clear_error();
    item_sink(output_id);
  }
  return 1;
}

}  // namespace korvel
