// The engine interface's window operations.
#include "platform/engine/debug_output.h"
#include "platform/engine/element_handles.h"
#include "platform/engine/focus.h"
#include "platform/engine/htmlayout.h"
#include "platform/engine/page_loader.h"
#include "platform/engine/text_utf.h"

namespace korvel::engine {

void HTMLayoutSetCallback(HWND window, LPHTMLAYOUT_NOTIFY callback, LPVOID param) {
  if (window == nullptr) return;
  View& view = view_for(window);
  view.callback = callback;
  view.callback_param = param;
}

HLDOM_RESULT HTMLayoutWindowAttachEventHandler(HWND window, LPELEMENT_EVENT_PROC proc, LPVOID tag,
                                               UINT subscription) {
  if (window == nullptr) return HLDOM_INVALID_HWND;
  if (proc == nullptr) return HLDOM_INVALID_PARAMETER;
  View& view = view_for(window);
  for (HandlerBinding& binding : view.window_handlers) {
    if (binding.proc == proc && binding.tag == tag) {
      binding.subscription = subscription;
      return HLDOM_OK;
    }
  }
  view.window_handlers.push_back(HandlerBinding{proc, tag, subscription});
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutWindowDetachEventHandler(HWND window, LPELEMENT_EVENT_PROC proc, LPVOID tag) {
  View* view = find_view(window);
  if (view == nullptr) return HLDOM_INVALID_HWND;
  auto& handlers = view->window_handlers;
  for (auto it = handlers.begin(); it != handlers.end(); ++it) {
    if (it->proc == proc && it->tag == tag) {
      handlers.erase(it);
      return HLDOM_OK;
    }
  }
  return HLDOM_INVALID_PARAMETER;
}

BOOL HTMLayoutLoadHtmlEx(HWND window, const BYTE* html, UINT length, LPCWSTR base_url) {
  if (window == nullptr || (html == nullptr && length != 0)) return 0;
  const std::string_view text(reinterpret_cast<const char*>(html), html == nullptr ? 0 : length);
  load_page(view_for(window), text, std::u16string(base_url == nullptr ? u"" : base_url));
  return 1;
}

BOOL HTMLayoutDataReady(HWND window, LPCWSTR uri, const BYTE* data, DWORD length) {
  View* view = find_view(window);
  if (view == nullptr || uri == nullptr) return 0;
  return data_ready(*view, uri, data, length) ? 1 : 0;
}

HLDOM_RESULT HTMLayoutGetRootElement(HWND window, HELEMENT* root) {
  if (root == nullptr) return HLDOM_INVALID_PARAMETER;
  *root = nullptr;
  View* view = find_view(window);
  if (view == nullptr) return HLDOM_INVALID_HWND;
  if (view->page != nullptr) *root = handle_of(view->page->root.get());
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetFocusElement(HWND window, HELEMENT* focus) {
  if (focus == nullptr) return HLDOM_INVALID_PARAMETER;
  *focus = nullptr;
  View* view = find_view(window);
  if (view == nullptr) return HLDOM_INVALID_HWND;
  *focus = handle_of(focused_element(*view));
  return HLDOM_OK;
}

HLDOM_RESULT HTMLayoutGetElementByUID(HWND window, UINT uid, HELEMENT* element) {
  if (element == nullptr) return HLDOM_INVALID_PARAMETER;
  *element = nullptr;
  View* view = find_view(window);
  if (view == nullptr) return HLDOM_INVALID_HWND;
  Element* found = lookup_uid(uid);
  if (found == nullptr || view_of(*found) != view) return HLDOM_INVALID_PARAMETER;
  *element = handle_of(found);
  return HLDOM_OK;
}

UINT HTMLayoutGetMinWidth(HWND window) {
  const View* view = find_view(window);
  return view == nullptr ? 0 : view->min_width;
}

UINT HTMLayoutGetMinHeight(HWND window, UINT /*width*/) {
  // The display reports the height for the width it laid the page out at.
  const View* view = find_view(window);
  return view == nullptr ? 0 : view->min_height;
}

BOOL HTMLayoutSetupDebugOutput(LPVOID param, LPHTMLAYOUT_DEBUG_OUTPUT sink) {
  set_debug_output(param, sink);
  return 1;
}

}  // namespace korvel::engine
