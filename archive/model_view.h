// What the model decoder leaves for the viewer: references into the Archive's
// private copy of the model (its image), converted to host byte order.
#pragma once

#include <cstdint>
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
};

}  // namespace korvel
