// Loading: pages, frames, the resources a page refers to (style sheets, images,
// frame pages), and the behaviours its elements ask for. Every byte comes from
// the host through the load-data notification (HLN_LOAD_DATA), answered with
// HTMLayoutDataReady or in the record itself; a frame loads its page before
// the call that placed it returns, and holds the page's root as its child.
// Behaviours are asked for with the attribute "behavior" (names separated by
// spaces) through HLN_ATTACH_BEHAVIOR, after everything new has loaded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine/view.h"
#include "platform/limits.h"

namespace korvel::engine {

// Replaces the window's page.
void load_page(View& view, std::string_view html, std::u16string base_url);
// Completes elements newly placed in the window's page (roots and everything below).
void complete_new_elements(HWND window, const std::vector<std::uint32_t>& roots);
// Asks the host for uri; the bytes when it answered, else null.
SharedBytes request_data(View& view, const std::u16string& uri, UINT type, Element* initiator);
// The host's answer, during a request or later.
bool data_ready(View& view, std::u16string_view uri, const BYTE* data, DWORD length);

}  // namespace korvel::engine
