// The "SysTreeView32" common control: the messages the program sends it, the
// notifications it sends to its parent as WM_NOTIFY, and their records, with
// the real values. Behaviour is in tree_control.cpp.
#pragma once

#include "platform/win/win_types.h"

namespace korvel::win {

struct TREEITEM__;
using HTREEITEM = TREEITEM__*;

inline constexpr const WCHAR* WC_TREEVIEWW = u"SysTreeView32";

// Styles.
constexpr DWORD TVS_HASBUTTONS = 0x0001;
constexpr DWORD TVS_HASLINES = 0x0002;
constexpr DWORD TVS_LINESATROOT = 0x0004;
constexpr DWORD TVS_EDITLABELS = 0x0008;
constexpr DWORD TVS_SHOWSELALWAYS = 0x0020;

// Messages (wParam, lParam → result).
constexpr UINT TV_FIRST = 0x1100;
constexpr UINT TVM_GETNEXTITEM = TV_FIRST + 10;  // TVGN_* code, item → item or null
constexpr UINT TVM_INSERTITEMW = TV_FIRST + 50;  // 0, TVINSERTSTRUCTW* → new item or null
constexpr UINT TVM_GETITEMW = TV_FIRST + 62;     // 0, TVITEMW* → TRUE/FALSE
constexpr UINT TVM_SETITEMW = TV_FIRST + 63;     // 0, TVITEMW* → TRUE/FALSE
constexpr UINT TVM_EDITLABELW = TV_FIRST + 65;   // 0, item → non-null when the editor opened
constexpr UINT TVM_GETITEM = TVM_GETITEMW;       // the program is a Unicode build

// Notification codes (NMHDR::code).
constexpr UINT TVN_FIRST = 0u - 400u;
constexpr UINT TVN_SELCHANGEDW = TVN_FIRST - 51;      // NMTREEVIEWW
constexpr UINT TVN_ITEMEXPANDINGW = TVN_FIRST - 54;   // NMTREEVIEWW; non-zero answer vetoes
constexpr UINT TVN_BEGINLABELEDITW = TVN_FIRST - 59;  // NMTVDISPINFOW; non-zero answer refuses
constexpr UINT TVN_ENDLABELEDITW = TVN_FIRST - 60;    // NMTVDISPINFOW; 0 declines the text
constexpr UINT TVN_KEYDOWN = TVN_FIRST - 12;          // NMTVKEYDOWN

// TVITEMW::mask.
constexpr UINT TVIF_TEXT = 0x0001;
constexpr UINT TVIF_PARAM = 0x0004;
constexpr UINT TVIF_STATE = 0x0008;
constexpr UINT TVIF_HANDLE = 0x0010;
constexpr UINT TVIF_CHILDREN = 0x0040;

// TVITEMW::state.
constexpr UINT TVIS_SELECTED = 0x0002;
constexpr UINT TVIS_EXPANDED = 0x0020;

// TVM_GETNEXTITEM codes.
constexpr WPARAM TVGN_ROOT = 0x0000;
constexpr WPARAM TVGN_NEXT = 0x0001;
constexpr WPARAM TVGN_PARENT = 0x0003;
constexpr WPARAM TVGN_CHILD = 0x0004;
constexpr WPARAM TVGN_CARET = 0x0009;

// NMTREEVIEWW::action.
constexpr UINT TVE_COLLAPSE = 0x0001;
constexpr UINT TVE_EXPAND = 0x0002;
constexpr UINT TVC_BYMOUSE = 0x0001;

// Insert positions: (HTREEITEM)-0x10000 and (HTREEITEM)-0xFFFE, as on Windows.
inline const HTREEITEM TVI_ROOT =
    reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(0) - 0x10000u);
inline const HTREEITEM TVI_LAST =
    reinterpret_cast<HTREEITEM>(static_cast<std::uintptr_t>(0) - 0xFFFEu);

struct TVITEMW {
  UINT mask;
  HTREEITEM hItem;
  UINT state;
  UINT stateMask;
  LPWSTR pszText;
  int cchTextMax;
  int iImage;
  int iSelectedImage;
  int cChildren;
  LPARAM lParam;
};

struct TVINSERTSTRUCTW {
  HTREEITEM hParent;
  HTREEITEM hInsertAfter;
  TVITEMW item;
};

struct NMTREEVIEWW {
  NMHDR hdr;
  UINT action;
  TVITEMW itemOld;
  TVITEMW itemNew;
  POINT ptDrag;
};

struct NMTVDISPINFOW {
  NMHDR hdr;
  TVITEMW item;
};

struct NMTVKEYDOWN {
  NMHDR hdr;
  WORD wVKey;
  UINT flags;
};

}  // namespace korvel::win
