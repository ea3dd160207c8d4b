#include "archive/archive.h"

namespace korvel {

// Not yet recognised: every payload goes on to the next decoder.
int Archive::decode_pack(ContentNode*, const std::uint8_t*, std::uint32_t, ByteBuffer*,
                        std::uint32_t*, std::uint32_t*) {
  return 0;
}

}  // namespace korvel
