// The JSON of the 3-D device's resources (metadata: the bytes are served at
// /device/<id>) and frames, from the 3-D device's device_json.h where it is
// built, else from a stand-in that writes the command list as handed over.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/win/device_frames.h"

#if __has_include("platform/display/device_json.h")
#include "platform/display/device_json.h"
#else
namespace korvel::display {
nlohmann::json device_resource_json(const win::DeviceResource& resource);
nlohmann::json device_frame_json(const win::DeviceFrame& frame);
}  // namespace korvel::display
#endif
