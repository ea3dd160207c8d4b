// Relative URLs resolved against a page's URL: a URL with a scheme
// ("korvel:G1TG", "http:") stands as it is; a path starting with '/' replaces
// the base's path; any other is taken relative to the base's folder, with "."
// and ".." segments removed.
#pragma once

#include <string>
#include <string_view>

namespace korvel::engine {

std::u16string resolve_url(std::u16string_view base, std::u16string_view reference);

}  // namespace korvel::engine
