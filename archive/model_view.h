// What the model decoder leaves for the viewer: references into the Archive's
// private copy of the model (its image), converted to host byte order. Every
// reference, with the bytes its header declares, lies inside the copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace korvel {

struct ModelView {
  // Section headers; word 2 of each is its buffer or record count.
  std::uint8_t* vb_section = nullptr;
  std::vector<std::uint8_t*> vb_headers;  // count + 1, the last one null
  std::vector<std::uint8_t*> vb_data;
  std::uint8_t* ib_section = nullptr;
  std::vector<std::uint8_t*> ib_headers;
  std::vector<std::uint8_t*> ib_data;
  std::uint8_t* sm_section = nullptr;
  std::vector<std::uint8_t*> sm_records;

  void clear() { *this = ModelView(); }

  // Word `index` of a header or record (already in host order); 0 for null.
  static std::uint32_t word(const std::uint8_t* at, std::size_t index) {
    std::uint32_t value = 0;
    if (at != nullptr) std::memcpy(&value, at + 4 * index, 4);
    return value;
  }

  std::uint32_t vertex_buffer_count() const { return word(vb_section, 2); }
  std::uint32_t index_buffer_count() const { return word(ib_section, 2); }
  std::uint32_t submesh_count() const { return word(sm_section, 2); }
};

}  // namespace korvel
