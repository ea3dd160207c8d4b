// Texture display: answers the engine's requests for data. The pseudo-URL
// "korvel:G1TG" is the selected texture as PNG; any other URL is a file under
// the executable's directory.
#pragma once

#include "platform/engine/htmlayout_types.h"

namespace korvel {

// Always 0; whether data were delivered shows only in HTMLayoutDataReady.
engine::LRESULT LoadDataHandler(engine::NMHL_LOAD_DATA* request);

}  // namespace korvel
