#include "platform/engine/layout_report.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <optional>

#include "platform/engine/element_handles.h"
#include "platform/engine/event_routing.h"
#include "platform/engine/host_bridge.h"
#include "platform/engine/view.h"

namespace korvel::engine {
namespace {

struct Mailbox {
  std::mutex mutex;
  std::map<HWND, LayoutReport> waiting;
};

Mailbox& mailbox() {
  static auto* instance = new Mailbox;
  return *instance;
}

bool own_rule_visible(const Element& element) {
  for (const Element* current = &element; current != nullptr; current = parent_of(*current)) {
    if ((current->state & STATE_COLLAPSED) != 0) return false;
    if (find_attribute(*current, "hidden") != nullptr) return false;
  }
  return true;
}

LONG held(LONG coordinate) {
  return std::clamp(coordinate, -kMaxLayoutCoordinate, kMaxLayoutCoordinate);
}

bool in_window(const Element& element, HWND window) {
  const View* view = view_of(element);
  return view != nullptr && view->window == window;
}

std::atomic<bool> g_layout_awaited{false};

}  // namespace

void set_layout_awaited(bool awaited) {
  g_layout_awaited.store(awaited);
}

bool layout_current(const View& view) {
  return !g_layout_awaited.load() || view.laid_out_version >= view.version;
}

bool element_visible(const Element& element) {
  return element.reported ? element.visible : own_rule_visible(element);
}

void apply_layout_report(HWND window, const LayoutReport& report) {
  View* view = find_view(window);
  if (view == nullptr) return;
  view->laid_out_version = report.page_version;
  view->min_width = report.min_width;
  view->min_height = report.min_height;
  struct Change {
    std::uint32_t uid;
    bool shown;
  };
  std::vector<Change> changes;
  for (const ReportedBox& reported : report.boxes) {
    Element* element = lookup_uid(reported.key);
    if (element == nullptr || !in_window(*element, window)) continue;
    const bool was_visible = element_visible(*element);
    element->reported = true;
    const RECT& box = reported.box;
    element->box = RECT{held(box.left), held(box.top), held(box.right), held(box.bottom)};
    element->visible = reported.visible;
    if (was_visible != reported.visible) changes.push_back({reported.key, reported.visible});
  }
  for (const Change& change : changes) {
    Element* element = lookup_uid(change.uid);
    if (element == nullptr) continue;
    BEHAVIOR_EVENT_PARAMS record{VISIUAL_STATUS_CHANGED, handle_of(element), handle_of(element),
                                 change.shown ? 1u : 0u};
    route_to_element(*element, HANDLE_BEHAVIOR_EVENT, &record, &record.cmd);
  }
  if (find_view(window) == nullptr) return;
  // The host sized and centred its window from the page's minimum size before
  // any screen had laid the page out (0x0); a report gives it that size.
  host::size_unsized_window(window, report.min_width, report.min_height);
  if (find_view(window) != nullptr) host::invalidate(window);
}

void submit_layout_report(HWND window, LayoutReport report) {
  std::lock_guard<std::mutex> lock(mailbox().mutex);
  auto waiting = mailbox().waiting.find(window);
  if (waiting != mailbox().waiting.end()) {
    waiting->second = std::move(report);  // its wake is on the way already
    return;
  }
  // Kept only when the wake reached the window's queue: a report for a window
  // that is gone, or never was one, would otherwise stay here for good.
  if (host::post_message(window, kEngineMessage, kWakeLayoutReport, 0)) {
    mailbox().waiting.emplace(window, std::move(report));
  }
}

void apply_submitted_report(HWND window) {
  std::optional<LayoutReport> report;
  {
    std::lock_guard<std::mutex> lock(mailbox().mutex);
    auto it = mailbox().waiting.find(window);
    if (it == mailbox().waiting.end()) return;
    report = std::move(it->second);
    mailbox().waiting.erase(it);
  }
  apply_layout_report(window, *report);
}

}  // namespace korvel::engine
