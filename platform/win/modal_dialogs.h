// Modal interactions: the common file dialogs, message boxes and the
// decoders' console messages. Each opens a request on the display and blocks
// its caller until the display answers. On the UI thread the wait keeps
// taking and dispatching messages, as a Windows modal loop does (a WM_QUIT
// closes the request as cancelled and is posted again); on another thread it
// simply waits. While a request is open its owner's top-level window takes
// no input; a console message on the UI thread blocks input to every window,
// since decoding stops the whole interface until it is acknowledged.
#pragma once

#include <string>

#include "platform/win/win_types.h"

namespace korvel::win {

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;

struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;  // description, pattern, ... each NUL-ended; an empty string ends the list
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;
  LPSTR lpstrFile;  // in: initial name; out: the chosen path
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  void* lpfnHook;
  LPCSTR lpTemplateName;
  void* pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};

// TRUE with the chosen path in lpstrFile. FALSE when cancelled (lpstrFile
// untouched), and when the path does not fit in nMaxFile bytes with its NUL
// (lpstrFile emptied, so the name never arrives cut short).
BOOL GetOpenFileNameA(OPENFILENAMEA* dialog);
BOOL GetSaveFileNameA(OPENFILENAMEA* dialog);

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr int IDOK = 1;

// IDOK once acknowledged; 0 for an owner that is not a window.
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Shows a decoder's console message (UTF-8, without its command prefix) and
// returns once the user acknowledged it.
void show_console_message_modal(const std::string& text);

}  // namespace korvel::win
