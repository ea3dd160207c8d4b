// The 3-D device's resources and frames as the display's client reads them.
// A resource's JSON is its metadata only; its bytes are served apart, at
// /device/<id>. Declarations that several draws share are sent once per frame.
#pragma once

#include <nlohmann/json.hpp>

#include "platform/win/device_frames.h"

namespace korvel::display {

// {"id", "kind": "vertex_buffer" | "index_buffer" | "texture", "size" (bytes),
//  "index_bits" (index buffers), "width", "height" (textures, RGBA rows top first)}
nlohmann::json device_resource_json(const win::DeviceResource& resource);

// {"number", "width", "height",
//  "clears": [{"draws_before", "x", "y", "width", "height", "target", "depth",
//              "color" (ARGB), "depth_value"}],
//  "states": [{"viewport": [x, y, width, height, min_z, max_z], "world", "view",
//              "projection" (16 numbers, row-major, row vectors), "cull_mode",
//              "lighting", "z_enable", "alpha_blend"}],
//  "declarations": [[{"offset", "type", "usage", "usage_index"}]],
//  "draws": [{"vertex_buffer", "stride", "declaration" (index), "index_buffer",
//             "texture" (0: none), "base_vertex", "min_index", "vertex_count",
//             "start_index", "primitive_count", "state" (index)}]}
nlohmann::json device_frame_json(const win::DeviceFrame& frame);

}  // namespace korvel::display
