#include "platform/display/view_json.h"

namespace korvel::display {

using nlohmann::json;

json window_json(const win::WindowView& view) {
  return json{{"window", handle_number(view.window)},
              {"parent", handle_number(view.parent)},
              {"class", view.class_name},
              {"title", view.title},
              {"style", view.style},
              {"ex_style", view.ex_style},
              {"rect", {view.rect.left, view.rect.top, view.rect.right, view.rect.bottom}},
              {"visible", view.visible}};
}

json tree_item_json(const win::TreeItemView& view) {
  return json{{"tree", handle_number(view.tree)},
              {"item", handle_number(view.item)},
              {"parent", handle_number(view.parent)},
              {"previous", handle_number(view.previous)},
              {"text", view.text},
              {"button", view.has_button},
              {"expanded", view.expanded}};
}

namespace {

const char* modal_kind_name(win::ModalKind kind) {
  switch (kind) {
    case win::ModalKind::kOpenFile:
      return "open";
    case win::ModalKind::kSaveFile:
      return "save";
    case win::ModalKind::kMessageBox:
      return "message";
    case win::ModalKind::kConsoleMessage:
      return "console";
  }
  return "message";
}

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

json modal_json(const win::ModalRequest& request) {
  json filters = json::array();
  for (const win::FileFilter& filter : request.filters) {
    filters.push_back({{"description", filter.description}, {"pattern", filter.pattern}});
  }
  return json{{"id", request.id},
              {"kind", modal_kind_name(request.kind)},
              {"owner", handle_number(request.owner)},
              {"title", request.title},
              {"text", request.text},
              {"filters", filters},
              {"initial", request.initial_file_name},
              {"flags", request.flags}};
}

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
