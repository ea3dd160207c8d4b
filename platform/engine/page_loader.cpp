#include "platform/engine/page_loader.h"

#include "platform/engine/debug_output.h"
#include "platform/engine/element_handles.h"
#include "platform/engine/event_routing.h"
#include "platform/engine/html_parser.h"
#include "platform/engine/text_utf.h"
#include "platform/engine/url.h"

namespace korvel::engine {
namespace {

std::vector<std::uint32_t> subtree_uids(const std::vector<std::uint32_t>& roots) {
  std::vector<std::uint32_t> uids;
  for (std::uint32_t root : roots) {
    Element* element = lookup_uid(root);
    if (element == nullptr) continue;
    uids.push_back(root);
    visit_descendants(*element, [&](Element& descendant) {
      uids.push_back(descendant.uid);
      return false;
    });
  }
  return uids;
}

std::size_t frame_nesting(const Element& element) {
  std::size_t nesting = 0;
  for (const Document* page = element.document; page != nullptr && page->frame != nullptr;
       page = page->frame->document) {
    ++nesting;
  }
  return nesting;
}

// Frames with a page, in the window's whole page.
std::size_t loaded_frames(const View& view) {
  std::size_t count = 0;
  if (view.page == nullptr || view.page->root == nullptr) return 0;
  visit_descendants(*view.page->root, [&](Element& element) {
    if (element.frame_page != nullptr) ++count;
    return false;
  });
  return count;
}

bool has_token(const std::u16string& list, std::string_view token) {
  const std::string text = ascii_lower(utf16_to_utf8(list));
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(" \t\r\n\f", start);
    if (end == std::string::npos) end = text.size();
    if (std::string_view(text).substr(start, end - start) == token) return true;
    start = end + 1;
  }
  return false;
}

std::u16string resolved(const Element& element, const std::u16string& reference) {
  return resolve_url(element.document != nullptr ? element.document->url : u"", reference);
}

void load_resources(HWND window, const std::vector<std::uint32_t>& uids);

void load_frame(HWND window, std::uint32_t frame_uid) {
  Element* frame = lookup_uid(frame_uid);
  View* view = find_view(window);
  if (frame == nullptr || view == nullptr) return;
  const Attribute* source = find_attribute(*frame, "src");
  if (source == nullptr || source->value.empty()) return;
  const std::u16string uri = resolved(*frame, source->value);
  if (frame_nesting(*frame) >= kMaxFrameNesting) {
    debug_print(u"frame nested too deep: " + uri);
    return;
  }
  // Depth alone does not bound a page whose frames load it again: k frames
  // each would make k^8 pages.
  if (loaded_frames(*view) >= kMaxFramesPerWindow) {
    debug_print(u"too many frames: " + uri);
    return;
  }
  const auto data = request_data(*view, uri, HLRT_DATA_HTML, frame);
  frame = lookup_uid(frame_uid);  // the host may have changed the page meanwhile
  view = find_view(window);
  if (!data || frame == nullptr || view == nullptr) return;
  auto page = std::make_unique<Document>();
  page->url = uri;
  page->frame = frame;
  page->view = view;
  page->root =
      parse_page(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()),
                 depth_of(*frame) + 1);
  set_document(*page->root, page.get());
  const std::uint32_t root_uid = page->root->uid;
  frame->frame_page = std::move(page);
  ++view->version;
  load_resources(window, subtree_uids({root_uid}));
}

void load_resources(HWND window, const std::vector<std::uint32_t>& uids) {
  for (std::uint32_t uid : uids) {
    Element* element = lookup_uid(uid);
    View* view = find_view(window);
    if (element == nullptr || view == nullptr) continue;
    if (element->tag == "frame") {
      load_frame(window, uid);
    } else if (element->tag == "img") {
      const Attribute* source = find_attribute(*element, "src");
      if (source != nullptr && !source->value.empty()) {
        request_data(*view, resolved(*element, source->value), HLRT_DATA_IMAGE, element);
      }
    } else if (element->tag == "link") {
      const Attribute* rel = find_attribute(*element, "rel");
      const Attribute* href = find_attribute(*element, "href");
      if (rel != nullptr && has_token(rel->value, "stylesheet") && href != nullptr &&
          !href->value.empty()) {
        request_data(*view, resolved(*element, href->value), HLRT_DATA_STYLE, element);
      }
    }
  }
}

void request_behavior(HWND window, std::uint32_t uid, const std::string& name) {
  View* view = find_view(window);
  Element* element = lookup_uid(uid);
  if (view == nullptr || element == nullptr || view->callback == nullptr) return;
  NMHL_ATTACH_BEHAVIOR record{};
  record.hdr = NMHDR{window, 0, HLN_ATTACH_BEHAVIOR};
  record.element = handle_of(element);
  record.behaviorName = name.c_str();
  view->callback(win::WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&record), view->callback_param);
  element = lookup_uid(uid);
  if (element == nullptr || record.elementProc == nullptr) return;
  const HandlerBinding binding{record.elementProc, record.elementTag, record.elementEvents};
  element->handlers.push_back(binding);
  send_initialization(*element, binding, BEHAVIOR_ATTACH);
}

void attach_behaviors(HWND window, const std::vector<std::uint32_t>& uids) {
  for (std::uint32_t uid : uids) {
    Element* element = lookup_uid(uid);
    if (element == nullptr) continue;
    const Attribute* behavior = find_attribute(*element, "behavior");
    if (behavior == nullptr) continue;
    const std::string names = utf16_to_utf8(behavior->value);
    std::size_t start = 0;
    while (start < names.size()) {
      std::size_t end = names.find_first_of(" \t\r\n\f", start);
      if (end == std::string::npos) end = names.size();
      if (end > start) request_behavior(window, uid, names.substr(start, end - start));
      start = end + 1;
    }
  }
}

std::uint64_t next_delivery() {
  static std::uint64_t last = 0;  // UI thread only
  return ++last;
}

}  // namespace

void load_page(View& view, std::string_view html, std::u16string base_url) {
  const HWND window = view.window;
  if (view.page != nullptr && view.page->root != nullptr) detach_subtree(*view.page->root);
  View* still = find_view(window);
  if (still == nullptr) return;
  std::unique_ptr<Document> old_page = std::move(still->page);
  old_page.reset();
  still->focus = 0;
  still->pressed = 0;
  still->resources.clear();
  still->deliveries.clear();
  auto page = std::make_unique<Document>();
  page->url = std::move(base_url);
  page->view = still;
  page->root = parse_page(html, 0);
  set_document(*page->root, page.get());
  const std::uint32_t root_uid = page->root->uid;
  still->page = std::move(page);
  ++still->version;
  complete_new_elements(window, {root_uid});
}

void complete_new_elements(HWND window, const std::vector<std::uint32_t>& roots) {
  load_resources(window, subtree_uids(roots));
  // Frames have their pages now; behaviours inside them attach too.
  attach_behaviors(window, subtree_uids(roots));
}

SharedBytes request_data(View& view, const std::u16string& uri, UINT type, Element* initiator) {
  if (view.callback == nullptr) return nullptr;
  const HWND window = view.window;
  LoadRequest request{uri, false, {}};
  LoadRequest* outer = view.loading;
  view.loading = &request;
  NMHL_LOAD_DATA record{};
  record.hdr = NMHDR{window, 0, HLN_LOAD_DATA};
  record.uri = request.uri.c_str();
  record.dataType = type;
  record.principal = handle_of(initiator);
  record.initiator = handle_of(initiator);
  view.callback(win::WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&record), view.callback_param);
  View* still = find_view(window);
  if (still == nullptr) return nullptr;
  still->loading = outer;
  SharedBytes data;
  if (record.outData != nullptr) {
    const auto* bytes = static_cast<const BYTE*>(record.outData);
    data = std::make_shared<const std::vector<BYTE>>(bytes, bytes + record.outDataSize);
  } else if (request.answered) {
    data = std::move(request.data);
  } else {
    debug_print(u"no data for " + uri);
    return nullptr;
  }
  still->resources[uri] = data;
  still->deliveries[uri] = next_delivery();
  return data;
}

bool data_ready(View& view, std::u16string_view uri, const BYTE* data, DWORD length) {
  if (data == nullptr && length != 0) return false;
  // The host's buffer is its own: copied once, then only shared.
  auto bytes = std::make_shared<const std::vector<BYTE>>(data, data + length);
  if (view.loading != nullptr && view.loading->uri == uri) {
    view.loading->answered = true;
    view.loading->data = std::move(bytes);
    return true;
  }
  // An answer that comes later replaces what the display shows.
  view.resources[std::u16string(uri)] = std::move(bytes);
  view.deliveries[std::u16string(uri)] = next_delivery();
  ++view.version;
  return true;
}

}  // namespace korvel::engine
