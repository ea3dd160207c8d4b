// The pages of the host windows, published when the UI thread runs dry: a
// page whose version moved is exported as HTML, and the bytes its elements
// refer to are kept under a data id, a fresh one for every delivery, so a
// browser's cache never shows an old picture after a replacement.
#include <string_view>

#include "platform/display/browser_display.h"
#include "platform/engine/document_export.h"
#include "platform/limits.h"
#include "platform/win/text_conversion.h"

#include <algorithm>

namespace korvel::display {
namespace {

struct ReferencedUrl {
  std::string tag;
  std::string url;
};

std::string unescape_attribute(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 5, "&amp;") == 0) {
      out += '&';
      i += 4;
    } else if (text.compare(i, 6, "&quot;") == 0) {
      out += '"';
      i += 5;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The resource URLs the export names (data-korvel-url), with their element's tag.
std::vector<ReferencedUrl> referenced_urls(const std::string& html) {
  static constexpr std::string_view kMarker = " data-korvel-url=\"";
  std::vector<ReferencedUrl> urls;
  for (std::size_t at = html.find(kMarker); at != std::string::npos;
       at = html.find(kMarker, at + 1)) {
    const std::size_t start = at + kMarker.size();
    const std::size_t end = html.find('"', start);
    const std::size_t tag_start = html.rfind('<', at);
    if (end == std::string::npos || tag_start == std::string::npos) break;
    const std::size_t tag_end = html.find_first_of(" >", tag_start);
    urls.push_back({html.substr(tag_start + 1, tag_end - tag_start - 1),
                    unescape_attribute(std::string_view(html).substr(start, end - start))});
  }
  return urls;
}

bool starts_with(const std::vector<win::BYTE>& bytes, std::string_view magic) {
  return bytes.size() >= magic.size() &&
         std::equal(magic.begin(), magic.end(), bytes.begin(),
                    [](char m, win::BYTE b) { return static_cast<win::BYTE>(m) == b; });
}

std::string content_type_of(const std::string& tag, const std::vector<win::BYTE>& bytes) {
  if (tag == "link") return "text/css; charset=utf-8";
  if (starts_with(bytes, "\x89PNG")) return "image/png";
  if (starts_with(bytes, "\xFF\xD8\xFF")) return "image/jpeg";
  if (starts_with(bytes, "GIF8")) return "image/gif";
  return "application/octet-stream";
}

}  // namespace

void BrowserDisplay::ui_thread_idle() {
  std::vector<Key> windows;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [key, view] : windows_) windows.push_back(key);
  }
  for (Key key : windows) {
    const auto window = reinterpret_cast<win::HWND>(key);
    const std::uint64_t version = engine::page_version(window);
    if (version == 0) continue;
    bool changed = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = pages_.find(key);
      changed = found == pages_.end() || found->second.version != version;
    }
    if (changed) publish_page(window, version);
  }
}

void BrowserDisplay::publish_page(win::HWND window, std::uint64_t version) {
  const Key key = reinterpret_cast<Key>(window);
  Page page;
  page.version = version;
  page.html = engine::export_page_html(window);
  struct NewData {
    std::string url;
    std::uint64_t delivery;
    DataItem item;
  };
  std::vector<NewData> fresh;
  std::vector<std::pair<std::string, std::uint64_t>> known;  // URL, delivery
  for (const ReferencedUrl& referenced : referenced_urls(page.html)) {
    // A frame's page is inside the export already.
    if (referenced.tag == "korvel-frame") continue;
    const std::u16string url = win::utf8_to_utf16(referenced.url);
    const std::uint64_t delivery = engine::resource_delivery(window, url);
    if (delivery == 0) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto cached = deliveries_.find({key, referenced.url});
      if (cached != deliveries_.end() && cached->second.number == delivery &&
          data_.count(cached->second.data_id) != 0) {
        known.emplace_back(referenced.url, delivery);
        continue;
      }
    }
    std::shared_ptr<const std::vector<win::BYTE>> bytes = engine::delivered_resource(window, url);
    if (!bytes) continue;
    const std::string type = content_type_of(referenced.tag, *bytes);
    fresh.push_back({referenced.url, delivery, DataItem{std::move(bytes), type}});
  }

  std::lock_guard<std::mutex> lock(mutex_);
  if (windows_.count(key) == 0) return;
  for (NewData& item : fresh) {
    const std::uint64_t id = next_data_id_++;
    data_[id] = std::move(item.item);
    deliveries_[{key, item.url}] = Delivery{item.delivery, id};
    page.resources[item.url] = id;
  }
  for (const auto& [url, delivery] : known) page.resources[url] = deliveries_[{key, url}].data_id;
  nlohmann::json event{{"type", "page"},
                       {"window", key},
                       {"version", page.version},
                       {"html", page.html},
                       {"resources", page.resources}};
  pages_[key] = std::move(page);
  drop_unused_data_locked();
  send_locked(event);
}

void BrowserDisplay::drop_unused_data_locked() {
  std::map<std::uint64_t, bool> used;
  for (const auto& [window, page] : pages_) {
    for (const auto& [url, id] : page.resources) used[id] = true;
  }
  std::size_t kept_bytes = 0;
  // Newest first, so that past the limit the oldest pictures go.
  for (auto it = data_.rbegin(); it != data_.rend();) {
    const bool in_use = used.count(it->first) != 0;
    const std::size_t size = it->second.bytes != nullptr ? it->second.bytes->size() : 0;
    if (!in_use || (kept_bytes + size > kMaxKeptDataBytes && kept_bytes != 0)) {
      it = std::make_reverse_iterator(data_.erase(std::next(it).base()));
      continue;
    }
    kept_bytes += size;
    ++it;
  }
  for (auto it = deliveries_.begin(); it != deliveries_.end();) {
    it = data_.count(it->second.data_id) == 0 ? deliveries_.erase(it) : std::next(it);
  }
}

}  // namespace korvel::display
