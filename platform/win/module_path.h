// The executable's module handle and path. The path is the platform's own
// (with '/' separators on Linux and macOS).
#pragma once

#include "platform/win/win_types.h"

namespace korvel::win {

// Null asks for the executable; any other name is not a module we have.
HMODULE GetModuleHandleW(LPCWSTR module_name);
// Copies the executable's path (module null or the executable's handle).
// Answers the characters copied without the NUL; when the path does not fit,
// copies size - 1 of them and a NUL and answers size, as Windows does; 0 on
// failure.
DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
DWORD GetModuleFileNameW(HMODULE module, LPWSTR path, DWORD size);

}  // namespace korvel::win
