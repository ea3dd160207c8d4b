#include "formats/texture_display.h"

namespace korvel {

engine::LRESULT LoadDataHandler(engine::NMHL_LOAD_DATA* /*request*/) { return 0; }

}  // namespace korvel
