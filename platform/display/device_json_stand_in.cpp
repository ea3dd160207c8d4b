// The 3-D device's resources and frames as JSON, for a build without the 3-D
// device's own device_json.cpp: the command list as the window system hands it.
#include "platform/display/device_events.h"

namespace korvel::display {

using nlohmann::json;

namespace {

const char* resource_kind_name(win::DeviceResourceKind kind) {
  switch (kind) {
    case win::DeviceResourceKind::kVertexBuffer:
      return "vertex_buffer";
    case win::DeviceResourceKind::kIndexBuffer:
      return "index_buffer";
    case win::DeviceResourceKind::kTexture:
      return "texture";
  }
  return "vertex_buffer";
}

}  // namespace

json device_resource_json(const win::DeviceResource& resource) {
  return json{{"id", resource.id},
              {"kind", resource_kind_name(resource.kind)},
              {"width", resource.width},
              {"height", resource.height},
              {"index_bits", resource.index_bits},
              {"size", resource.bytes != nullptr ? resource.bytes->size() : 0}};
}

json device_frame_json(const win::DeviceFrame& frame) {
  json draws = json::array();
  for (const win::DeviceDraw& draw : frame.draws) {
    json declaration = json::array();
    for (const win::DeviceVertexElement& element : draw.declaration) {
      declaration.push_back({{"offset", element.offset},
                             {"type", element.type},
                             {"usage", element.usage},
                             {"usage_index", element.usage_index}});
    }
    draws.push_back({{"vertex_buffer", draw.vertex_buffer},
                     {"stride", draw.stride},
                     {"declaration", declaration},
                     {"index_buffer", draw.index_buffer},
                     {"texture", draw.texture},
                     {"base_vertex", draw.base_vertex},
                     {"min_index", draw.min_index},
                     {"vertex_count", draw.vertex_count},
                     {"start_index", draw.start_index},
                     {"primitive_count", draw.primitive_count}});
  }
  return json{{"number", frame.number},
              {"width", frame.width},
              {"height", frame.height},
              {"clear", frame.clear},
              {"clear_color", frame.clear_color},
              {"clear_depth", frame.clear_depth},
              {"viewport",
               {frame.viewport_x, frame.viewport_y, frame.viewport_width, frame.viewport_height,
                frame.viewport_min_z, frame.viewport_max_z}},
              {"world", frame.world},
              {"view", frame.view},
              {"projection", frame.projection},
              {"draws", draws}};
}

}  // namespace korvel::display
