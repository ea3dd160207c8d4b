// The chunk and section walk over the private copy of a requested model (see
// formats/g1m_format.h for the layout).
#pragma once

#include <cstdint>

#include "archive/model_view.h"

namespace korvel {

// Walks the copy of a G1M container: converts the geometry sections to host
// order in place and records them in `view`. Nothing outside [copy, copy +
// size) is read or written. A header, buffer or skip that would reach past the
// end, or a skip that would not move on, stops the walk with what was recorded
// so far; a geometry section is converted and recorded only when it lies whole
// in the copy.
void walk_g1m_copy(std::uint8_t* copy, std::uint32_t size, std::uint8_t big_endian,
                   ModelView* view);

}  // namespace korvel
