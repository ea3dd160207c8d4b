#include "platform/display/device_json.h"

#include <vector>

namespace korvel::display {
namespace {

const char* kind_name(win::DeviceResourceKind kind) {
  switch (kind) {
    case win::DeviceResourceKind::kVertexBuffer:
      return "vertex_buffer";
    case win::DeviceResourceKind::kIndexBuffer:
      return "index_buffer";
    case win::DeviceResourceKind::kTexture:
      return "texture";
  }
  return "unknown";
}

bool same_declaration(const std::vector<win::DeviceVertexElement>& a,
                      const std::vector<win::DeviceVertexElement>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].offset != b[i].offset || a[i].type != b[i].type || a[i].usage != b[i].usage ||
        a[i].usage_index != b[i].usage_index) {
      return false;
    }
  }
  return true;
}

nlohmann::json declaration_json(const std::vector<win::DeviceVertexElement>& declaration) {
  nlohmann::json elements = nlohmann::json::array();
  for (const win::DeviceVertexElement& element : declaration) {
    elements.push_back({{"offset", element.offset},
                        {"type", element.type},
                        {"usage", element.usage},
                        {"usage_index", element.usage_index}});
  }
  return elements;
}

nlohmann::json state_json(const win::DeviceState& state) {
  return {{"viewport",
           {state.viewport_x, state.viewport_y, state.viewport_width, state.viewport_height,
            state.viewport_min_z, state.viewport_max_z}},
          {"world", state.world},
          {"view", state.view},
          {"projection", state.projection},
          {"cull_mode", state.cull_mode},
          {"lighting", state.lighting},
          {"z_enable", state.z_enable},
          {"alpha_blend", state.alpha_blend}};
}

}  // namespace

nlohmann::json device_resource_json(const win::DeviceResource& resource) {
  nlohmann::json json = {{"id", resource.id},
                         {"kind", kind_name(resource.kind)},
                         {"size", resource.bytes != nullptr ? resource.bytes->size() : 0}};
  if (resource.kind == win::DeviceResourceKind::kIndexBuffer) {
    json["index_bits"] = resource.index_bits;
  }
  if (resource.kind == win::DeviceResourceKind::kTexture) {
    json["width"] = resource.width;
    json["height"] = resource.height;
  }
  return json;
}

nlohmann::json device_frame_json(const win::DeviceFrame& frame) {
  nlohmann::json clears = nlohmann::json::array();
  for (const win::DeviceClear& clear : frame.clears) {
    clears.push_back({{"draws_before", clear.draws_before},
                      {"x", clear.x},
                      {"y", clear.y},
                      {"width", clear.width},
                      {"height", clear.height},
                      {"target", clear.target},
                      {"depth", clear.depth},
                      {"color", clear.color},
                      {"depth_value", clear.depth_value}});
  }
  nlohmann::json states = nlohmann::json::array();
  for (const win::DeviceState& state : frame.states) states.push_back(state_json(state));

  std::vector<const std::vector<win::DeviceVertexElement>*> declarations;
  nlohmann::json draws = nlohmann::json::array();
  for (const win::DeviceDraw& draw : frame.draws) {
    std::size_t declaration = 0;
    while (declaration < declarations.size() &&
           !same_declaration(*declarations[declaration], draw.declaration)) {
      ++declaration;
    }
    if (declaration == declarations.size()) declarations.push_back(&draw.declaration);
    draws.push_back({{"vertex_buffer", draw.vertex_buffer},
                     {"stride", draw.stride},
                     {"declaration", declaration},
                     {"index_buffer", draw.index_buffer},
                     {"texture", draw.texture},
                     {"base_vertex", draw.base_vertex},
                     {"min_index", draw.min_index},
                     {"vertex_count", draw.vertex_count},
                     {"start_index", draw.start_index},
                     {"primitive_count", draw.primitive_count},
                     {"state", draw.state}});
  }
  nlohmann::json declarations_json = nlohmann::json::array();
  for (const auto* declaration : declarations) {
    declarations_json.push_back(declaration_json(*declaration));
  }
  return {{"number", frame.number},      {"width", frame.width},
          {"height", frame.height},      {"clears", std::move(clears)},
          {"states", std::move(states)}, {"declarations", std::move(declarations_json)},
          {"draws", std::move(draws)}};
}

}  // namespace korvel::display
