// The engine's state for one host window: its page, the host's callback and
// window-level handlers, focus and keyboard state, events waiting in the
// window's queue, the page size of the last layout report, and the resources
// the host delivered.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/engine/dom.h"

namespace korvel::engine {

// The engine's own message in the host window's queue; wParam says what waits.
constexpr UINT kEngineMessage = 0xBF40;
constexpr WPARAM kWakePostedEvents = 1;
constexpr WPARAM kWakeLayoutReport = 2;

struct PostedEvent {
  std::uint32_t element = 0;
  std::uint32_t source = 0;
  UINT code = 0;
  UINT_PTR reason = 0;
};

// A resource request the host is answering right now.
// Bytes the host delivered, shared rather than copied between the engine and
// the display: a texture page's picture runs to tens of megabytes.
using SharedBytes = std::shared_ptr<const std::vector<BYTE>>;

struct LoadRequest {
  std::u16string uri;
  bool answered = false;
  SharedBytes data;
};

struct View {
  HWND window = nullptr;
  LPHTMLAYOUT_NOTIFY callback = nullptr;
  LPVOID callback_param = nullptr;
  std::vector<HandlerBinding> window_handlers;
  std::unique_ptr<Document> page;
  std::uint32_t focus = 0;
  std::uint32_t pressed = 0;  // the button a left press went down on
  UINT keyboard_state = 0;
  std::deque<PostedEvent> posted;
  bool wake_pending = false;
  UINT min_width = 0;
  UINT min_height = 0;
  std::map<std::u16string, SharedBytes> resources;
  // Per URL, the number of the delivery that gave its bytes (process-wide,
  // from 1), so the display can tell a new delivery from the one it has.
  std::map<std::u16string, std::uint64_t> deliveries;
  LoadRequest* loading = nullptr;
  std::uint64_t version = 0;           // bumped by every change of the page
  std::uint64_t laid_out_version = 0;  // the version the last layout report laid out
};

View* find_view(HWND window);
View& view_for(HWND window);  // made on first use
// Drops the window's state; its page goes without events.
void forget_view(HWND window);
View* view_of(const Element& element);

}  // namespace korvel::engine
