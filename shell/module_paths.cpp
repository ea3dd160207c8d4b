#include "shell/module_paths.h"

namespace korvel {
namespace {

#if defined(_WIN32)
constexpr const char* kSeparators = "\\/";
#else
constexpr const char* kSeparators = "/";
#endif

}  // namespace

bool directory_of_module(const std::string& module_path, std::string* directory) {
  const std::size_t separator = module_path.find_last_of(kSeparators);
  if (separator == std::string::npos) return false;
  if (directory != nullptr) *directory = module_path.substr(0, separator);
  return true;
}

std::string list_path_for_module(const std::string& module_path) {
  const std::size_t separator = module_path.find_last_of(kSeparators);
  const std::size_t name_start = separator == std::string::npos ? 0 : separator + 1;
  const std::size_t dot = module_path.rfind('.');
  if (dot == std::string::npos || dot < name_start) return module_path + ".xml";
  return module_path.substr(0, dot) + ".xml";
}

}  // namespace korvel
