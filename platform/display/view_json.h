// What the window system publishes, as the JSON the client reads. Handles
// travel as numbers; text is UTF-8.
#pragma once

#include <cstdint>

#include <nlohmann/json.hpp>

#include "platform/win/display.h"

namespace korvel::display {

inline std::uint64_t handle_number(const void* handle) {
  return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(handle));
}

nlohmann::json window_json(const win::WindowView& view);
nlohmann::json tree_item_json(const win::TreeItemView& view);
nlohmann::json modal_json(const win::ModalRequest& request);

}  // namespace korvel::display
