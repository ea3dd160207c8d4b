#include "platform/win/module_path.h"

#include <cstring>
#include <string>

#include "platform/win/text_conversion.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#elif defined(_WIN32)
#include <cstdlib>
#else
#include <unistd.h>
#endif

namespace korvel::win {
namespace {

constexpr std::uintptr_t kExecutableModule = 0x400000;  // the classic image base

std::string executable_path() {
#if defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string path(size, '\0');
  if (_NSGetExecutablePath(path.data(), &size) != 0) return {};
  path.resize(std::strlen(path.c_str()));
  return path;
#elif defined(_WIN32)
  // The C runtime's copy, so that no system header's macros meet ours.
  wchar_t* program = nullptr;
  if (_get_wpgmptr(&program) != 0 || program == nullptr) return {};
  return utf16_to_utf8(reinterpret_cast<const char16_t*>(program));
#else
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
#endif
}

template <typename Char>
DWORD copy_path(const std::basic_string<Char>& path, HMODULE module, Char* out, DWORD size) {
  if ((module != nullptr && reinterpret_cast<std::uintptr_t>(module) != kExecutableModule) ||
      out == nullptr || size == 0 || path.empty()) {
    return 0;
  }
  if (path.size() < size) {
    std::memcpy(out, path.data(), path.size() * sizeof(Char));
    out[path.size()] = 0;
    return static_cast<DWORD>(path.size());
  }
  std::memcpy(out, path.data(), (size - 1) * sizeof(Char));
  out[size - 1] = 0;
  return size;
}

}  // namespace

HMODULE GetModuleHandleW(LPCWSTR module_name) {
  return module_name == nullptr ? reinterpret_cast<HMODULE>(kExecutableModule) : nullptr;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size) {
  return copy_path(executable_path(), module, path, size);
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR path, DWORD size) {
  return copy_path(utf8_to_utf16(executable_path()), module, path, size);
}

}  // namespace korvel::win
