#include "platform/display/input_decoder.h"

#include <cstdint>
#include <limits>
#include <optional>

#include <nlohmann/json.hpp>

#include "platform/engine/layout_report.h"
#include "platform/limits.h"
#include "platform/win/display.h"
#include "platform/win/window_registry.h"

namespace korvel::display {

using nlohmann::json;

namespace {

// A field that is missing or of the wrong kind makes the request malformed.
struct Malformed {
  std::string what;
};

const json& field(const json& object, const char* name) {
  const auto found = object.find(name);
  if (found == object.end()) throw Malformed{std::string("missing field \"") + name + "\""};
  return *found;
}

std::uint64_t unsigned_field(const json& object, const char* name,
                             std::uint64_t max = std::numeric_limits<std::uint64_t>::max()) {
  const json& value = field(object, name);
  if (!value.is_number_unsigned() || value.get<std::uint64_t>() > max) {
    throw Malformed{std::string("\"") + name + "\" must be a number from 0 to " +
                    std::to_string(max)};
  }
  return value.get<std::uint64_t>();
}

std::int64_t signed_field(const json& object, const char* name, std::int64_t limit) {
  const json& value = field(object, name);
  if (!value.is_number_integer() || value.get<std::int64_t>() < -limit ||
      value.get<std::int64_t>() > limit) {
    throw Malformed{std::string("\"") + name + "\" must be a whole number within ±" +
                    std::to_string(limit)};
  }
  return value.get<std::int64_t>();
}

bool bool_field(const json& object, const char* name, std::optional<bool> fallback = {}) {
  const auto found = object.find(name);
  if (found == object.end() && fallback) return *fallback;
  if (found == object.end() || !found->is_boolean()) {
    throw Malformed{std::string("\"") + name + "\" must be true or false"};
  }
  return found->get<bool>();
}

std::string text_field(const json& object, const char* name, bool optional = false) {
  const auto found = object.find(name);
  if (found == object.end() && optional) return {};
  if (found == object.end() || !found->is_string()) {
    throw Malformed{std::string("\"") + name + "\" must be text"};
  }
  const std::string& text = found->get_ref<const std::string&>();
  if (text.size() > kMaxInputTextBytes) {
    throw Malformed{std::string("\"") + name + "\" is longer than " +
                    std::to_string(kMaxInputTextBytes) + " bytes"};
  }
  if (text.find('\0') != std::string::npos)
    throw Malformed{std::string("\"") + name + "\" holds NUL"};
  return text;
}

template <typename Handle>
Handle handle_field(const json& object, const char* name) {
  return reinterpret_cast<Handle>(
      static_cast<std::uintptr_t>(unsigned_field(object, name, UINTPTR_MAX)));
}

// The browser's modifier state, when the input carries one.
void sync_modifiers(const json& input, std::uintptr_t window, ModifierState& modifiers) {
  const auto found = input.find("mods");
  if (found == input.end()) return;
  if (!found->is_object()) throw Malformed{"\"mods\" must be an object"};
  modifiers.sync(window, bool_field(*found, "ctrl", false), bool_field(*found, "shift", false),
                 bool_field(*found, "alt", false));
}

win::MouseAction mouse_action(const std::string& name) {
  if (name == "move") return win::MouseAction::kMove;
  if (name == "down") return win::MouseAction::kLeftDown;
  if (name == "up") return win::MouseAction::kLeftUp;
  if (name == "dblclick") return win::MouseAction::kLeftDoubleClick;
  throw Malformed{"unknown mouse action \"" + name + "\""};
}

win::TreeActionKind tree_action(const std::string& name) {
  if (name == "select") return win::TreeActionKind::kSelect;
  if (name == "expand") return win::TreeActionKind::kExpand;
  if (name == "collapse") return win::TreeActionKind::kCollapse;
  if (name == "begin_edit") return win::TreeActionKind::kBeginEdit;
  if (name == "end_edit") return win::TreeActionKind::kEndEdit;
  if (name == "cancel_edit") return win::TreeActionKind::kCancelEdit;
  throw Malformed{"unknown tree action \"" + name + "\""};
}

engine::LayoutReport layout_report(const json& input) {
  engine::LayoutReport report;
  report.page_version = input.contains("version") ? unsigned_field(input, "version") : 0;
  report.min_width =
      static_cast<win::UINT>(unsigned_field(input, "min_width", engine::kMaxLayoutCoordinate));
  report.min_height =
      static_cast<win::UINT>(unsigned_field(input, "min_height", engine::kMaxLayoutCoordinate));
  const json& boxes = field(input, "boxes");
  if (!boxes.is_array()) throw Malformed{"\"boxes\" must be a list"};
  if (boxes.size() > kMaxReportedBoxes) {
    throw Malformed{"more than " + std::to_string(kMaxReportedBoxes) + " boxes"};
  }
  report.boxes.reserve(boxes.size());
  for (const json& box : boxes) {
    // [key, left, top, right, bottom, visible]
    if (!box.is_array() || box.size() != 6 || !box[0].is_number_unsigned() ||
        !box[5].is_boolean()) {
      throw Malformed{"a box must be [key, left, top, right, bottom, visible]"};
    }
    engine::ReportedBox reported;
    reported.key = static_cast<std::uint32_t>(
        unsigned_field(json{{"key", box[0]}}, "key", std::numeric_limits<std::uint32_t>::max()));
    win::LONG sides[4];
    for (int side = 0; side < 4; ++side) {
      sides[side] = static_cast<win::LONG>(
          signed_field(json{{"side", box[side + 1]}}, "side", engine::kMaxLayoutCoordinate));
    }
    reported.box = win::RECT{sides[0], sides[1], sides[2], sides[3]};
    reported.visible = box[5].get<bool>();
    report.boxes.push_back(reported);
  }
  return report;
}

void apply(const json& input, ModifierState& modifiers) {
  if (!input.is_object()) throw Malformed{"the body must be a JSON object"};
  const std::string type = text_field(input, "type");
  if (type == "mouse") {
    win::MouseInput mouse;
    mouse.window = handle_field<win::HWND>(input, "window");
    mouse.action = mouse_action(text_field(input, "action"));
    mouse.x = static_cast<int>(signed_field(input, "x", win::kMaxWindowCoordinate));
    mouse.y = static_cast<int>(signed_field(input, "y", win::kMaxWindowCoordinate));
    mouse.element_key = static_cast<std::uint32_t>(
        input.contains("key")
            ? unsigned_field(input, "key", std::numeric_limits<std::uint32_t>::max())
            : 0);
    sync_modifiers(input, reinterpret_cast<std::uintptr_t>(mouse.window), modifiers);
    win::input_mouse(mouse);
  } else if (type == "key") {
    win::KeyInput key;
    key.window = handle_field<win::HWND>(input, "window");
    key.virtual_key = static_cast<int>(unsigned_field(input, "vk", 0xFE));
    key.down = bool_field(input, "down");
    sync_modifiers(input, reinterpret_cast<std::uintptr_t>(key.window), modifiers);
    win::input_key(key);
  } else if (type == "modifiers") {
    const auto window = reinterpret_cast<std::uintptr_t>(handle_field<win::HWND>(input, "window"));
    modifiers.sync(window, bool_field(input, "ctrl"), bool_field(input, "shift"),
                   bool_field(input, "alt"));
  } else if (type == "tree") {
    win::TreeAction action;
    action.tree = handle_field<win::HWND>(input, "tree");
    action.item = handle_field<win::HTREEITEM>(input, "item");
    action.kind = tree_action(text_field(input, "action"));
    action.text = text_field(input, "text", true);
    win::input_tree_action(action);
  } else if (type == "answer") {
    win::ModalAnswer answer;
    const std::uint64_t id = unsigned_field(input, "id");
    answer.accepted = bool_field(input, "accepted");
    answer.file_name = text_field(input, "file", true);
    win::answer_modal(id, answer);
  } else if (type == "layout") {
    const auto window = handle_field<win::HWND>(input, "window");
    engine::submit_layout_report(window, layout_report(input));
  } else if (type == "desktop") {
    win::input_desktop_size(
        static_cast<int>(unsigned_field(input, "width", win::kMaxDesktopSide)),
        static_cast<int>(unsigned_field(input, "height", win::kMaxDesktopSide)));
  } else if (type == "close") {
    win::input_close_window(handle_field<win::HWND>(input, "window"));
  } else if (type == "frame_taken") {
    win::input_frame_taken(handle_field<win::HWND>(input, "window"),
                           unsigned_field(input, "number"));
  } else {
    throw Malformed{"unknown input type \"" + type + "\""};
  }
}

}  // namespace

void ModifierState::sync(std::uintptr_t window, bool control, bool shift, bool alt) {
  const auto hwnd = reinterpret_cast<win::HWND>(window);
  std::lock_guard<std::mutex> lock(mutex_);
  const struct {
    bool& held;
    bool now;
    int virtual_key;
  } keys[] = {{control_, control, win::VK_CONTROL},
              {shift_, shift, win::VK_SHIFT},
              {alt_, alt, win::VK_MENU}};
  for (const auto& key : keys) {
    if (key.held == key.now) continue;
    key.held = key.now;
    win::input_key(win::KeyInput{hwnd, key.virtual_key, key.now});
  }
}

InputOutcome apply_input(const std::string& body, ModifierState& modifiers) {
  const json input = json::parse(body, nullptr, false);
  if (input.is_discarded()) return {400, "the body is not JSON"};
  try {
    // Checked whole before anything is applied: layout and every field are
    // read into values first, and each branch calls the window system last.
    apply(input, modifiers);
  } catch (const Malformed& malformed) {
    return {400, malformed.what};
  }
  return {};
}

}  // namespace korvel::display
