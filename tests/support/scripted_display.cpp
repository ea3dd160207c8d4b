#include "tests/support/scripted_display.h"

#include <algorithm>

namespace korvel::win {
namespace {

std::uintptr_t key_of(const void* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

}  // namespace

void ScriptedDisplay::window_changed(const WindowView& view) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_[key_of(view.window)] = view;
}

void ScriptedDisplay::window_destroyed(HWND window) {
  std::lock_guard<std::mutex> lock(mutex_);
  windows_.erase(key_of(window));
  for (auto item = items_.begin(); item != items_.end();) {
    item = item->second.tree == window ? items_.erase(item) : std::next(item);
  }
  for (auto list = children_.begin(); list != children_.end();) {
    list = list->first.first == key_of(window) ? children_.erase(list) : std::next(list);
  }
  carets_.erase(key_of(window));
  edits_.erase(key_of(window));
  frames_.erase(key_of(window));
}

void ScriptedDisplay::z_order_changed(const std::vector<HWND>& top_level_top_first) {
  std::lock_guard<std::mutex> lock(mutex_);
  z_order_ = top_level_top_first;
}

void ScriptedDisplay::tree_item_changed(const TreeItemView& view) {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool known = items_.count(key_of(view.item)) != 0;
  items_[key_of(view.item)] = view;
  if (known) return;
  auto& siblings = children_[{key_of(view.tree), key_of(view.parent)}];
  auto place = siblings.begin();
  if (view.previous != nullptr) {
    place = std::find(siblings.begin(), siblings.end(), view.previous);
    place = place != siblings.end() ? place + 1 : siblings.end();
  }
  siblings.insert(place, view.item);
}

void ScriptedDisplay::tree_caret_changed(HWND tree, HTREEITEM item) {
  std::lock_guard<std::mutex> lock(mutex_);
  carets_[key_of(tree)] = item;
}

void ScriptedDisplay::tree_edit_changed(HWND tree, HTREEITEM item, const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  edits_[key_of(tree)] = {item, text};
}

void ScriptedDisplay::modal_opened(const ModalRequest& request) {
  Answerer answerer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    open_modals_[request.id] = request;
    modal_history_.push_back(request);
    answerer = answerer_;
  }
  if (!answerer) return;
  if (const std::optional<ModalAnswer> given = answerer(request)) answer_modal(request.id, *given);
}

void ScriptedDisplay::modal_closed(std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_modals_.erase(id);
}

void ScriptedDisplay::device_resource_created(HWND /*window*/, const DeviceResource& resource) {
  std::lock_guard<std::mutex> lock(mutex_);
  resources_[resource.id] = resource;
}

void ScriptedDisplay::device_resource_released(HWND /*window*/, std::uint64_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  resources_.erase(id);
}

void ScriptedDisplay::frame_published(HWND window, const DeviceFrame& frame) {
  std::lock_guard<std::mutex> lock(mutex_);
  frames_[key_of(window)] = frame;
}

std::optional<WindowView> ScriptedDisplay::window(HWND window) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = windows_.find(key_of(window));
  if (found == windows_.end()) return std::nullopt;
  return found->second;
}

std::vector<HWND> ScriptedDisplay::z_order() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return z_order_;
}

std::optional<TreeItemView> ScriptedDisplay::tree_item(HTREEITEM item) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = items_.find(key_of(item));
  if (found == items_.end()) return std::nullopt;
  return found->second;
}

std::vector<HTREEITEM> ScriptedDisplay::tree_children(HWND tree, HTREEITEM parent) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = children_.find({key_of(tree), key_of(parent)});
  if (found == children_.end()) return {};
  return found->second;
}

HTREEITEM ScriptedDisplay::tree_caret(HWND tree) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = carets_.find(key_of(tree));
  return found != carets_.end() ? found->second : nullptr;
}

std::pair<HTREEITEM, std::string> ScriptedDisplay::tree_edit(HWND tree) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = edits_.find(key_of(tree));
  if (found == edits_.end()) return {nullptr, std::string()};
  return found->second;
}

std::vector<ModalRequest> ScriptedDisplay::open_modals() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ModalRequest> out;
  for (const auto& [id, request] : open_modals_) out.push_back(request);
  return out;
}

std::vector<ModalRequest> ScriptedDisplay::modal_history() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return modal_history_;
}

std::optional<DeviceFrame> ScriptedDisplay::last_frame(HWND window) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = frames_.find(key_of(window));
  if (found == frames_.end()) return std::nullopt;
  return found->second;
}

std::optional<DeviceResource> ScriptedDisplay::device_resource(std::uint64_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = resources_.find(id);
  if (found == resources_.end()) return std::nullopt;
  return found->second;
}

std::size_t ScriptedDisplay::device_resource_count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return resources_.size();
}

void ScriptedDisplay::set_answerer(Answerer answerer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answerer_ = std::move(answerer);
}

void ScriptedDisplay::mouse(HWND window, MouseAction action, int x, int y) {
  input_mouse(MouseInput{window, action, x, y});
}

void ScriptedDisplay::click(HWND window, int x, int y) {
  mouse(window, MouseAction::kLeftDown, x, y);
  mouse(window, MouseAction::kLeftUp, x, y);
}

void ScriptedDisplay::key(HWND window, int virtual_key) {
  input_key(KeyInput{window, virtual_key, true});
  input_key(KeyInput{window, virtual_key, false});
}

void ScriptedDisplay::tree(HWND tree, HTREEITEM item, TreeActionKind kind, std::string text) {
  input_tree_action(TreeAction{tree, item, kind, std::move(text)});
}

void ScriptedDisplay::close(HWND window) {
  input_close_window(window);
}

void ScriptedDisplay::answer(std::uint64_t id, ModalAnswer answer) {
  answer_modal(id, answer);
}

void ScriptedDisplay::desktop_size(int width, int height) {
  input_desktop_size(width, height);
}

void ScriptedDisplay::take_frame(HWND window, std::uint64_t number) {
  input_frame_taken(window, number);
}

}  // namespace korvel::win
