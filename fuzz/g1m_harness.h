// One fuzz input through the model decoder, shared by the fuzz target and the
// test that replays the saved corpus. Input: byte 0 holds flags (bit 0: the
// archive is big-endian), the rest is the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "archive/format_text.h"
#include "formats/g1m_format.h"

namespace korvel::fuzz {

inline constexpr const char* kModelKey = ".\\00000000\\0.G1M_";

// True when every reference in the model view, with all the bytes its header
// declares, lies inside the image, and the image ends in its four zero bytes.
inline bool model_view_within_image(const Archive& archive) {
  const ModelView& view = archive.model_view;
  if (archive.image.empty()) {
    return view.vb_section == nullptr && view.ib_section == nullptr && view.sm_section == nullptr;
  }
  if (archive.image.size() != static_cast<std::size_t>(archive.image_size) + kImageZeroTail)
    return false;
  for (std::size_t i = archive.image_size; i < archive.image.size(); ++i) {
    if (archive.image[i] != 0) return false;
  }
  const std::uint8_t* low = archive.image.data();
  const std::uint8_t* high = low + archive.image_size;
  auto inside = [&](const std::uint8_t* at, std::uint64_t count) {
    return at != nullptr && at >= low && at <= high &&
           count <= static_cast<std::uint64_t>(high - at);
  };
  using W = ModelView;
  auto buffers_inside = [&](const std::uint8_t* section, const std::vector<std::uint8_t*>& headers,
                            const std::vector<std::uint8_t*>& data, std::uint64_t header_size,
                            auto data_size_of) {
    if (section == nullptr) return headers.empty() && data.empty();
    if (!inside(section, g1m::kParsedSectionHeaderSize)) return false;
    const std::uint32_t count = W::word(section, g1m::kSectionCountWord);
    if (headers.size() != std::size_t{count} + 1 || data.size() != headers.size()) return false;
    if (headers[count] != nullptr || data[count] != nullptr) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (!inside(headers[i], header_size) || data[i] != headers[i] + header_size) return false;
      if (!inside(data[i], data_size_of(headers[i]))) return false;
    }
    return true;
  };
  const bool vertices_inside =
      buffers_inside(view.vb_section, view.vb_headers, view.vb_data, g1m::kVertexBufferHeaderSize,
                     [](const std::uint8_t* header) {
                       return std::uint64_t{W::word(header, g1m::kVertexBufferStrideWord)} *
                              W::word(header, g1m::kVertexBufferCountWord);
                     });
  const bool indices_inside =
      buffers_inside(view.ib_section, view.ib_headers, view.ib_data, g1m::kIndexBufferHeaderSize,
                     [](const std::uint8_t* header) {
                       return std::uint64_t{W::word(header, g1m::kIndexBufferBitsWord) / 8u} *
                              W::word(header, g1m::kIndexBufferCountWord);
                     });
  bool submeshes_inside = view.sm_section == nullptr && view.sm_records.empty();
  if (view.sm_section != nullptr && inside(view.sm_section, g1m::kParsedSectionHeaderSize)) {
    const std::uint32_t count = view.submesh_count();
    submeshes_inside =
        view.sm_records.size() == std::size_t{count} + 1 && view.sm_records[count] == nullptr;
    for (std::uint32_t i = 0; submeshes_inside && i < count; ++i) {
      submeshes_inside = inside(view.sm_records[i], g1m::kSubmeshRecordSize);
    }
  }
  return vertices_inside && indices_inside && submeshes_inside;
}

// A tree with one entry element numbered 0, as load_entry builds it.
inline ContentNode* entry_element(ContentTree* tree) {
  ContentNode* root = tree->allocate_node(rapidxml::node_element, vocab::kRoot);
  tree->append_node(root);
  ContentNode* entry = append_element_copy(root, format_text(vocab::kEntryNameFormat, 0));
  append_attribute(entry, vocab::kNumber, "00000000");
  return entry;
}

inline bool first_child_is_model(const ContentNode* entry) {
  const ContentNode* child = entry->first_node();
  return child != nullptr && std::strcmp(child->name(), vocab::kG1m) == 0;
}

// False when an invariant broke; the sanitizers catch the rest.
inline bool run_g1m_input(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return true;
  const std::uint8_t big_endian = data[0] & 1;
  const std::uint8_t* payload = data + 1;
  const auto length = static_cast<std::uint32_t>(size - 1);

  {  // Through dispatch, as load_entry does, with the model requested.
    Archive archive;
    archive.big_endian = big_endian;
    archive.requested_key = kModelKey;
    ContentTree tree;
    ContentNode* entry = entry_element(&tree);
    const ByteBuffer buffer = make_payload_buffer(payload, length);
    archive.dispatch_content(entry, buffer.data(), length);
    if (!model_view_within_image(archive)) return false;
    if (first_child_is_model(entry) && archive.image_size != length) return false;
  }
  {  // Rebuild mode: a model comes back byte for byte.
    Archive archive;
    archive.big_endian = big_endian;
    archive.requested_key = kModelKey;
    ContentTree tree;
    ContentNode* entry = entry_element(&tree);
    const ByteBuffer buffer = make_payload_buffer(payload, length);
    ByteBuffer out;
    std::uint32_t decoded_size = 0;
    std::uint32_t stored_size = 0;
    archive.dispatch_content(entry, buffer.data(), length, &out, &decoded_size, &stored_size);
    if (first_child_is_model(entry)) {
      if (decoded_size != length || stored_size != length || out.size() < length) return false;
      if (length > 0 && std::memcmp(out.data(), payload, length) != 0) return false;
      if (!archive.image.empty()) return false;
    }
  }
  {  // The decoder alone on a buffer without room after it, so that the
     // sanitizer sees any read past the payload.
    Archive archive;
    archive.big_endian = big_endian;
    archive.requested_key = kModelKey;
    ContentTree tree;
    ContentNode* entry = entry_element(&tree);
    const std::vector<std::uint8_t> exact(payload, payload + length);
    archive.decode_g1m(entry, exact.data(), length, nullptr, nullptr, nullptr);
    if (!model_view_within_image(archive)) return false;
  }
  return true;
}

}  // namespace korvel::fuzz
