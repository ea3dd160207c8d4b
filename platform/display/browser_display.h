// The Display a browser tab draws: it keeps the newest state of everything
// the window system published (so a tab that connects gets it whole) and
// turns every change into an event for the watching tabs. Pages are exported
// on the UI thread when it runs dry, with the bytes their elements refer to
// kept under fresh ids (a new id per delivery).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/display/event_hub.h"
#include "platform/win/display.h"

namespace korvel::display {

struct DataItem {
  std::shared_ptr<const std::vector<std::uint8_t>> bytes;
  std::string content_type;
};

class BrowserDisplay : public win::Display {
 public:
  BrowserDisplay();

  void window_changed(const win::WindowView& view) override;
  void window_destroyed(win::HWND window) override;
  void z_order_changed(const std::vector<win::HWND>& top_level_top_first) override;
  void tree_item_changed(const win::TreeItemView& view) override;
  void tree_caret_changed(win::HWND tree, win::HTREEITEM item) override;
  void tree_edit_changed(win::HWND tree, win::HTREEITEM item, const std::string& text) override;
  void modal_opened(const win::ModalRequest& request) override;
  void modal_closed(std::uint64_t id) override;
  void device_resource_created(win::HWND window, const win::DeviceResource& resource) override;
  void device_resource_released(win::HWND window, std::uint64_t id) override;
  void frame_published(win::HWND window, const win::DeviceFrame& frame) override;
  void ui_thread_idle() override;

  EventHub& hub() { return hub_; }
  // Registers a tab, its snapshot first; null when too many watch. While a
  // tab watches, host paints wait for its layout of the current page.
  std::shared_ptr<EventHub::Stream> open_stream();
  void close_stream(const std::shared_ptr<EventHub::Stream>& stream);

  std::optional<DataItem> data(std::uint64_t id);
  std::optional<DataItem> device_bytes(std::uint64_t id);
  // Tells every tab that korvel ended with code.
  void announce_end(int exit_code);

 private:
  struct Page {
    std::uint64_t version = 0;
    std::string html;
    std::map<std::string, std::uint64_t> resources;  // URL -> data id
  };
  struct Delivery {
    std::uint64_t number = 0;
    std::uint64_t data_id = 0;
  };
  using Key = std::uintptr_t;

  nlohmann::json snapshot_locked() const;
  void send_locked(const nlohmann::json& event);
  void publish_page(win::HWND window, std::uint64_t version);
  void drop_unused_data_locked();

  mutable std::mutex mutex_;
  EventHub hub_;
  std::map<Key, win::WindowView> windows_;
  std::vector<win::HWND> z_order_;
  std::map<Key, win::TreeItemView> items_;
  std::map<Key, Key> carets_;                         // tree -> item
  std::map<Key, std::pair<Key, std::string>> edits_;  // tree -> item, text
  std::map<std::uint64_t, win::ModalRequest> modals_;
  std::map<Key, Page> pages_;
  std::map<std::pair<Key, std::string>, Delivery> deliveries_;
  std::map<std::uint64_t, DataItem> data_;
  std::uint64_t next_data_id_ = 1;
  std::map<std::uint64_t, std::pair<Key, win::DeviceResource>> device_resources_;
  std::map<Key, nlohmann::json> last_frames_;
  std::optional<int> ended_;
};

}  // namespace korvel::display
