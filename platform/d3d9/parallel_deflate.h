// One zlib stream deflated on every core: the data is cut into bands, each
// band is deflated on its own by libdeflate, and the bands' deflate streams
// are joined into one as zlib's gzjoin example joins streams: each band's
// last block loses its "final" bit, and an empty stored block brings the
// next band to a byte boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvel::d3d9 {

// Writes a zlib stream (RFC 1950) of data, deflated at libdeflate's level
// (1 to 12), into stream, replacing its content. band_count 0 takes one band
// per core for data large enough to gain from it; tests ask for more. A band
// never refers back into the band before it, which costs a few bytes per
// band. False, with stream empty, when memory runs out.
bool deflate_zlib_in_bands(const std::uint8_t* data, std::size_t size, int level,
                           std::vector<std::uint8_t>* stream, unsigned band_count = 0);

}  // namespace korvel::d3d9
