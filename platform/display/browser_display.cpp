#include "platform/display/browser_display.h"

#include "platform/display/device_json.h"
#include "platform/display/view_json.h"
#include "platform/engine/layout_report.h"

namespace korvel::display {

using nlohmann::json;

namespace {

std::uintptr_t key_of(const void* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

}  // namespace

BrowserDisplay::BrowserDisplay()
    : hub_([this](const std::shared_ptr<EventHub::Stream>& stream) {
        std::lock_guard<std::mutex> lock(mutex_);
        hub_.replace_with_snapshot(stream, snapshot_locked().dump());
      }) {}

void BrowserDisplay::send_locked(const json& event) {
  // Text the window system hands over may hold bytes that are not UTF-8;
  // they are replaced rather than failing the event.
  hub_.broadcast(event.dump(-1, ' ', false, json::error_handler_t::replace));
}

json BrowserDisplay::snapshot_locked() const {
  json windows = json::array();
  for (const auto& [key, view] : windows_) windows.push_back(window_json(view));
  json z_order = json::array();
  for (win::HWND window : z_order_) z_order.push_back(handle_number(window));
  json items = json::array();
  for (const auto& [key, view] : items_) items.push_back(tree_item_json(view));
  json carets = json::array();
  for (const auto& [tree, item] : carets_) carets.push_back({{"tree", tree}, {"item", item}});
  json edits = json::array();
  for (const auto& [tree, edit] : edits_) {
    edits.push_back({{"tree", tree}, {"item", edit.first}, {"text", edit.second}});
  }
  json modals = json::array();
  for (const auto& [id, request] : modals_) modals.push_back(modal_json(request));
  json pages = json::array();
  for (const auto& [window, page] : pages_) {
    pages.push_back({{"window", window},
                     {"version", page.version},
                     {"html", page.html},
                     {"resources", page.resources}});
  }
  json resources = json::array();
  for (const auto& [id, owned] : device_resources_) {
    resources.push_back(
        {{"window", owned.first}, {"resource", device_resource_json(owned.second)}});
  }
  json frames = json::array();
  for (const auto& [window, frame] : last_frames_) {
    frames.push_back({{"window", window}, {"frame", frame}});
  }
  json snapshot{{"type", "snapshot"}, {"windows", windows}, {"z_order", z_order},
                {"items", items},     {"carets", carets},   {"edits", edits},
                {"modals", modals},   {"pages", pages},     {"device_resources", resources},
                {"frames", frames}};
  if (ended_) snapshot["ended"] = *ended_;
  return snapshot;
}

std::shared_ptr<EventHub::Stream> BrowserDisplay::open_stream() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto stream = hub_.open(snapshot_locked().dump(-1, ' ', false, json::error_handler_t::replace));
  if (stream != nullptr) engine::set_layout_awaited(true);
  return stream;
}

void BrowserDisplay::close_stream(const std::shared_ptr<EventHub::Stream>& stream) {
  std::lock_guard<std::mutex> lock(mutex_);
  hub_.close(stream);
  if (hub_.stream_count() == 0) engine::set_layout_awaited(false);
}

void BrowserDisplay::window_changed(const win::WindowView& view) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_[key_of(view.window)] = view;
  send_locked({{"type", "window"}, {"view", window_json(view)}});
}

void BrowserDisplay::window_destroyed(win::HWND window) {
  std::lock_guard<std::mutex> lock(mutex_);
  const Key key = key_of(window);
  windows_.erase(key);
  for (auto it = items_.begin(); it != items_.end();) {
    it = key_of(it->second.tree) == key ? items_.erase(it) : std::next(it);
  }
  carets_.erase(key);
  edits_.erase(key);
  pages_.erase(key);
  for (auto it = deliveries_.begin(); it != deliveries_.end();) {
    it = it->first.first == key ? deliveries_.erase(it) : std::next(it);
  }
  for (auto it = device_resources_.begin(); it != device_resources_.end();) {
    it = it->second.first == key ? device_resources_.erase(it) : std::next(it);
  }
  last_frames_.erase(key);
  drop_unused_data_locked();
  send_locked({{"type", "window_gone"}, {"window", key}});
}

void BrowserDisplay::z_order_changed(const std::vector<win::HWND>& top_level_top_first) {
  std::lock_guard<std::mutex> lock(mutex_);
  z_order_ = top_level_top_first;
  json order = json::array();
  for (win::HWND window : z_order_) order.push_back(handle_number(window));
  send_locked({{"type", "z_order"}, {"z_order", order}});
}

void BrowserDisplay::tree_item_changed(const win::TreeItemView& view) {
  std::lock_guard<std::mutex> lock(mutex_);
  items_[key_of(view.item)] = view;
  send_locked({{"type", "tree_item"}, {"item", tree_item_json(view)}});
}

void BrowserDisplay::tree_caret_changed(win::HWND tree, win::HTREEITEM item) {
  std::lock_guard<std::mutex> lock(mutex_);
  carets_[key_of(tree)] = key_of(item);
  send_locked({{"type", "tree_caret"}, {"tree", key_of(tree)}, {"item", key_of(item)}});
}

void BrowserDisplay::tree_edit_changed(win::HWND tree, win::HTREEITEM item,
                                       const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (item == nullptr) {
    edits_.erase(key_of(tree));
  } else {
    edits_[key_of(tree)] = {key_of(item), text};
  }
  send_locked(
      {{"type", "tree_edit"}, {"tree", key_of(tree)}, {"item", key_of(item)}, {"text", text}});
}

void BrowserDisplay::modal_opened(const win::ModalRequest& request) {
  std::lock_guard<std::mutex> lock(mutex_);
  modals_[request.id] = request;
  send_locked({{"type", "modal_open"}, {"request", modal_json(request)}});
}

void BrowserDisplay::modal_closed(std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  modals_.erase(id);
  send_locked({{"type", "modal_close"}, {"id", id}});
}

void BrowserDisplay::device_resource_created(win::HWND window,
                                             const win::DeviceResource& resource) {
  std::lock_guard<std::mutex> lock(mutex_);
  // A resource may come after its window went (calls are unordered): dropped.
  if (windows_.count(key_of(window)) == 0 || resource.bytes == nullptr) return;
  device_resources_[resource.id] = {key_of(window), resource};
  send_locked({{"type", "device_resource"},
               {"window", key_of(window)},
               {"resource", device_resource_json(resource)}});
}

void BrowserDisplay::device_resource_released(win::HWND window, std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = device_resources_.find(id);
  if (found == device_resources_.end() || found->second.first != key_of(window)) return;
  device_resources_.erase(found);
  send_locked({{"type", "device_release"}, {"window", key_of(window)}, {"id", id}});
}

void BrowserDisplay::frame_published(win::HWND window, const win::DeviceFrame& frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (windows_.count(key_of(window)) == 0) return;
  json frame_json = device_frame_json(frame);
  const json event{{"type", "frame"}, {"window", key_of(window)}, {"frame", frame_json}};
  last_frames_[key_of(window)] = std::move(frame_json);
  hub_.broadcast_frame(key_of(window), event.dump());
}

std::optional<DataItem> BrowserDisplay::data(std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = data_.find(id);
  if (found == data_.end()) return std::nullopt;
  return found->second;
}

std::optional<DataItem> BrowserDisplay::device_bytes(std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = device_resources_.find(id);
  if (found == device_resources_.end()) return std::nullopt;
  return DataItem{found->second.second.bytes, "application/octet-stream"};
}

void BrowserDisplay::announce_end(int exit_code) {
  std::lock_guard<std::mutex> lock(mutex_);
  ended_ = exit_code;
  send_locked({{"type", "ended"}, {"code", exit_code}});
}

}  // namespace korvel::display
