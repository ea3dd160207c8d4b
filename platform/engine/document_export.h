// What the display takes from the engine: a window's page as HTML with stable
// element keys (html_serializer.h), a count that changes whenever the page
// does, and the bytes the host delivered for a URL. UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/engine/htmlayout_types.h"

namespace korvel::engine {

// Empty when the window has no page.
std::string export_page_html(HWND window);
// 0 for a window without a page.
std::uint64_t page_version(HWND window);
// The bytes delivered for url, shared; null when nothing was.
std::shared_ptr<const std::vector<BYTE>> delivered_resource(HWND window, const std::u16string& url);
// Which delivery gave url its bytes: a number that changes with every
// delivery, even of the same bytes; 0 when nothing was delivered.
std::uint64_t resource_delivery(HWND window, const std::u16string& url);

}  // namespace korvel::engine
