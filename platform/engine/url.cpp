#include "platform/engine/url.h"

#include <vector>

namespace korvel::engine {
namespace {

bool is_alpha(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// Length of the scheme including its ':', or 0.
std::size_t scheme_length(std::u16string_view url) {
  if (url.empty() || !is_alpha(url[0])) return 0;
  for (std::size_t i = 1; i < url.size(); ++i) {
    const char16_t c = url[i];
    if (c == u':') return i + 1;
    if (!is_alpha(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.') return 0;
  }
  return 0;
}

std::u16string remove_dot_segments(std::u16string_view path) {
  std::vector<std::u16string_view> kept;
  const bool absolute = !path.empty() && path[0] == u'/';
  std::size_t start = absolute ? 1 : 0;
  bool ends_in_folder = false;
  while (start <= path.size()) {
    const std::size_t slash = path.find(u'/', start);
    const std::size_t stop = slash == std::u16string_view::npos ? path.size() : slash;
    const std::u16string_view segment = path.substr(start, stop - start);
    ends_in_folder = slash == std::u16string_view::npos && (segment == u"." || segment == u"..");
    if (segment == u"..") {
      if (!kept.empty()) kept.pop_back();
    } else if (segment != u".") {
      kept.push_back(segment);
    }
    if (slash == std::u16string_view::npos) break;
    start = slash + 1;
  }
  std::u16string out = absolute ? u"/" : u"";
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i != 0) out += u'/';
    out += kept[i];
  }
  if (ends_in_folder && !out.empty() && out.back() != u'/') out += u'/';
  return out;
}

}  // namespace

std::u16string resolve_url(std::u16string_view base, std::u16string_view reference) {
  if (reference.empty()) return std::u16string(base);
  if (scheme_length(reference) != 0) return std::u16string(reference);
  const std::size_t base_scheme = scheme_length(base);
  const std::u16string_view scheme = base.substr(0, base_scheme);
  const std::u16string_view base_path = base.substr(base_scheme);

  std::u16string_view path = reference;
  std::u16string_view suffix;  // query and fragment stay as they are
  const std::size_t mark = reference.find_first_of(u"?#");
  if (mark != std::u16string_view::npos) {
    path = reference.substr(0, mark);
    suffix = reference.substr(mark);
  }
  std::u16string merged;
  if (!path.empty() && path[0] == u'/') {
    merged = std::u16string(path);
  } else {
    const std::size_t base_end = base_path.find_first_of(u"?#");
    const std::u16string_view folder_of = base_path.substr(0, base_end);
    const std::size_t slash = folder_of.rfind(u'/');
    merged =
        slash == std::u16string_view::npos ? u"" : std::u16string(folder_of.substr(0, slash + 1));
    merged += path;
  }
  return std::u16string(scheme) + remove_dot_segments(merged) + std::u16string(suffix);
}

}  // namespace korvel::engine
