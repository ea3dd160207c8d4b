// Geometry and visibility come from the display: after it lays a page out it
// reports each element's content box (relative to the view), whether it is
// visible, and the page's minimum size. The engine answers locations,
// visibility and minimum sizes from the last report, sends
// VISIUAL_STATUS_CHANGED to each element whose visibility changed (reason 1
// shown, 0 hidden), and asks the host window to repaint, so that whatever the
// host places over elements follows. An element no report has named yet has
// a zero box and is visible unless it or an ancestor carries "hidden" or the
// collapsed state.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/engine/dom.h"
#include "platform/engine/view.h"
#include "platform/limits.h"

namespace korvel::engine {

struct ReportedBox {
  std::uint32_t key = 0;  // the element's handle number (data-korvel-key)
  RECT box{};
  bool visible = false;
};

struct LayoutReport {
  std::uint64_t page_version = 0;  // the page_version the display laid out
  UINT min_width = 0;
  UINT min_height = 0;
  std::vector<ReportedBox> boxes;  // keys no longer in the page are skipped
};

// On the UI thread.
void apply_layout_report(HWND window, const LayoutReport& report);
// From any thread: the UI thread applies it when it takes the engine's message
// from the window's queue; a newer report replaces one not yet taken, and one
// for a window that is gone is dropped.
void submit_layout_report(HWND window, LayoutReport report);
// The UI thread takes what was submitted for window.
void apply_submitted_report(HWND window);

bool element_visible(const Element& element);

// While a display that lays pages out is attached, a host window's paint is
// left unhandled until the display reported the page's current version, so
// that whatever the host places over elements at a paint (a native window
// over its slot) uses their laid-out boxes; the report repaints. Any thread.
void set_layout_awaited(bool awaited);
// Whether a paint of the view can be handled now.
bool layout_current(const View& view);

}  // namespace korvel::engine
