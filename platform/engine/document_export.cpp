#include "platform/engine/document_export.h"

#include "platform/engine/html_serializer.h"
#include "platform/engine/view.h"

namespace korvel::engine {

std::string export_page_html(HWND window) {
  const View* view = find_view(window);
  std::string out;
  if (view == nullptr || view->page == nullptr || view->page->root == nullptr) return out;
  serialize_outer(*view->page->root, SerializeOptions{true}, out);
  return out;
}

std::uint64_t page_version(HWND window) {
  const View* view = find_view(window);
  return view == nullptr || view->page == nullptr ? 0 : view->version;
}

std::shared_ptr<const std::vector<BYTE>> delivered_resource(HWND window,
                                                            const std::u16string& url) {
  const View* view = find_view(window);
  if (view == nullptr) return nullptr;
  auto it = view->resources.find(url);
  if (it == view->resources.end()) return nullptr;
  return it->second;
}

std::uint64_t resource_delivery(HWND window, const std::u16string& url) {
  const View* view = find_view(window);
  if (view == nullptr) return 0;
  auto it = view->deliveries.find(url);
  return it == view->deliveries.end() ? 0 : it->second;
}

}  // namespace korvel::engine
