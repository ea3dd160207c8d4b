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

}  // namespace korvel::display
