// A display for tests: it keeps the newest state of everything published and
// plays input through the window system's input functions.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/display.h"

namespace korvel::win {

class ScriptedDisplay : public Display {
 public:
  // Consulted as each modal request opens; an answer it gives is sent at once.
  using Answerer = std::function<std::optional<ModalAnswer>(const ModalRequest&)>;

  void window_changed(const WindowView& view) override;
  void window_destroyed(HWND window) override;
  void z_order_changed(const std::vector<HWND>& top_level_top_first) override;
  void tree_item_changed(const TreeItemView& view) override;
  void tree_caret_changed(HWND tree, HTREEITEM item) override;
  void tree_edit_changed(HWND tree, HTREEITEM item, const std::string& text) override;
  void modal_opened(const ModalRequest& request) override;
  void modal_closed(std::uint64_t id) override;
  void device_resource_created(HWND window, const DeviceResource& resource) override;
  void device_resource_released(HWND window, std::uint64_t id) override;
  void frame_published(HWND window, const DeviceFrame& frame) override;

  std::optional<WindowView> window(HWND window) const;
  std::vector<HWND> z_order() const;
  std::optional<TreeItemView> tree_item(HTREEITEM item) const;
  std::vector<HTREEITEM> tree_children(HWND tree, HTREEITEM parent) const;  // in order
  HTREEITEM tree_caret(HWND tree) const;
  std::pair<HTREEITEM, std::string> tree_edit(HWND tree) const;  // null item: no editor
  std::vector<ModalRequest> open_modals() const;
  std::vector<ModalRequest> modal_history() const;  // every request, in order
  std::optional<DeviceFrame> last_frame(HWND window) const;
  std::optional<DeviceResource> device_resource(std::uint64_t id) const;  // while not released
  std::size_t device_resource_count() const;

  void set_answerer(Answerer answerer);

  void mouse(HWND window, MouseAction action, int x, int y);
  void click(HWND window, int x, int y);   // press and release at one point
  void key(HWND window, int virtual_key);  // press and release
  void tree(HWND tree, HTREEITEM item, TreeActionKind kind, std::string text = {});
  void close(HWND window);
  void answer(std::uint64_t id, ModalAnswer answer);
  void desktop_size(int width, int height);
  void take_frame(HWND window, std::uint64_t number);

 private:
  using Key = std::uintptr_t;
  mutable std::mutex mutex_;
  std::map<Key, WindowView> windows_;
  std::vector<HWND> z_order_;
  std::map<Key, TreeItemView> items_;
  std::map<std::pair<Key, Key>, std::vector<HTREEITEM>> children_;  // (tree, parent)
  std::map<Key, HTREEITEM> carets_;
  std::map<Key, std::pair<HTREEITEM, std::string>> edits_;
  std::map<std::uint64_t, ModalRequest> open_modals_;
  std::vector<ModalRequest> modal_history_;
  std::map<Key, DeviceFrame> frames_;
  std::map<std::uint64_t, DeviceResource> resources_;
  Answerer answerer_;
};

}  // namespace korvel::win
