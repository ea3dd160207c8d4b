// The engine interface's types, records and numbers: element handles, event
// groups and codes, the event records handlers receive, the notification
// records the host callback receives, and script values.
#pragma once

#include <cstdint>
#include <string>

#include "platform/engine/host_bridge.h"

namespace korvel::engine {

// An element handle is an opaque number, never a pointer to memory: a stale
// handle is looked up and refused, not followed.
struct hELEMENT__;
using HELEMENT = hELEMENT__*;

// Results of the element operations.
using HLDOM_RESULT = int;
constexpr HLDOM_RESULT HLDOM_OK = 0;
constexpr HLDOM_RESULT HLDOM_INVALID_HWND = 1;
constexpr HLDOM_RESULT HLDOM_INVALID_HANDLE = 2;
constexpr HLDOM_RESULT HLDOM_PASSIVE_HANDLE = 3;  // the element was removed
constexpr HLDOM_RESULT HLDOM_INVALID_PARAMETER = 4;
constexpr HLDOM_RESULT HLDOM_OPERATION_FAILED = 5;
constexpr HLDOM_RESULT HLDOM_OK_NOT_HANDLED = -1;

// Element state bits.
constexpr UINT STATE_FOCUS = 0x8;
constexpr UINT STATE_CURRENT = 0x20;
constexpr UINT STATE_CHECKED = 0x40;
constexpr UINT STATE_DISABLED = 0x80;
constexpr UINT STATE_EXPANDED = 0x200;
constexpr UINT STATE_COLLAPSED = 0x400;

// Location kinds (content box).
constexpr UINT ROOT_RELATIVE = 1;
constexpr UINT VIEW_RELATIVE = 4;

// Where HTMLayoutSetElementHtml puts the new content.
constexpr UINT SIH_REPLACE_CONTENT = 0;
constexpr UINT SIH_INSERT_AT_START = 1;
constexpr UINT SIH_APPEND_AFTER_LAST = 2;
constexpr UINT SOH_REPLACE = 3;
constexpr UINT SOH_INSERT_BEFORE = 4;
constexpr UINT SOH_INSERT_AFTER = 5;

// Event groups (the subscription word of a handler is a set of them).
constexpr UINT HANDLE_INITIALIZATION = 0x0000;
constexpr UINT HANDLE_MOUSE = 0x0001;
constexpr UINT HANDLE_KEY = 0x0002;
constexpr UINT HANDLE_FOCUS = 0x0004;
constexpr UINT HANDLE_SCROLL = 0x0008;
constexpr UINT HANDLE_TIMER = 0x0010;
constexpr UINT HANDLE_SIZE = 0x0020;
constexpr UINT HANDLE_DRAW = 0x0040;
constexpr UINT HANDLE_DATA_ARRIVED = 0x0080;
constexpr UINT HANDLE_BEHAVIOR_EVENT = 0x0100;
constexpr UINT HANDLE_METHOD_CALL = 0x0200;
constexpr UINT HANDLE_EXCHANGE = 0x1000;
constexpr UINT HANDLE_GESTURE = 0x2000;
constexpr UINT HANDLE_ALL = 0xFFFF;

// A flag on an event code: some handler before this one answered true.
constexpr UINT HANDLED = 0x10000;

// Initialization codes.
constexpr UINT BEHAVIOR_DETACH = 0;
constexpr UINT BEHAVIOR_ATTACH = 1;

// Mouse codes, buttons and keyboard state.
constexpr UINT MOUSE_MOVE = 2;
constexpr UINT MOUSE_UP = 3;
constexpr UINT MOUSE_DOWN = 4;
constexpr UINT MOUSE_DCLICK = 5;
constexpr UINT MAIN_MOUSE_BUTTON = 1;
constexpr UINT CONTROL_KEY_PRESSED = 0x1;
constexpr UINT SHIFT_KEY_PRESSED = 0x2;
constexpr UINT ALT_KEY_PRESSED = 0x4;

// Key codes.
constexpr UINT KEY_DOWN = 0;
constexpr UINT KEY_UP = 1;
constexpr UINT KEY_CHAR = 2;

// Focus codes.
constexpr UINT FOCUS_LOST = 0;
constexpr UINT FOCUS_GOT = 1;

// Behaviour event codes.
constexpr UINT BUTTON_CLICK = 0;
constexpr UINT VISIUAL_STATUS_CHANGED = 0x11;
constexpr UINT ELEMENT_COLLAPSED = 0x90;
constexpr UINT ELEMENT_EXPANDED = 0x91;
constexpr UINT ACTIVATE_CHILD = 0x92;

// The method id that marks a script call.
constexpr UINT XCALL = 0xFF;

// Notification codes of the host callback.
constexpr UINT HLN_LOAD_DATA = 0xB01;
constexpr UINT HLN_CONTROL_CREATED = 0xB02;
constexpr UINT HLN_DATA_LOADED = 0xB03;
constexpr UINT HLN_ATTACH_BEHAVIOR = 0xB07;

// What a load-data request asks for.
constexpr UINT HLRT_DATA_HTML = 0;
constexpr UINT HLRT_DATA_IMAGE = 1;
constexpr UINT HLRT_DATA_STYLE = 2;

using LPELEMENT_EVENT_PROC = BOOL (*)(LPVOID tag, HELEMENT he, UINT event_group, LPVOID params);
using LPHTMLAYOUT_NOTIFY = LRESULT (*)(UINT message, WPARAM wparam, LPARAM lparam, LPVOID param);
using HTMLayoutElementCallback = BOOL (*)(HELEMENT he, LPVOID param);
using LPHTMLAYOUT_DEBUG_OUTPUT = void (*)(LPVOID param, WCHAR character);

// Script values. Only texts and integers are made by this engine.
constexpr UINT T_UNDEFINED = 0;
constexpr UINT T_INT = 3;
constexpr UINT T_STRING = 5;

struct VALUE {
  UINT t = T_UNDEFINED;
  std::int64_t number = 0;
  std::u16string text;
};

// Event records.
struct INITIALIZATION_PARAMS {
  UINT cmd;
};

struct MOUSE_PARAMS {
  UINT cmd;
  HELEMENT target;
  POINT pos;           // relative to the target's content box
  POINT pos_document;  // relative to the view
  UINT button_state;
  UINT alt_state;
};

struct KEY_PARAMS {
  UINT cmd;
  HELEMENT target;
  UINT key_code;
  UINT alt_state;
};

struct FOCUS_PARAMS {
  UINT cmd;
  HELEMENT target;
  BOOL by_mouse_click;
  BOOL cancel;
};

struct TIMER_PARAMS {
  UINT_PTR timerId;
};

struct SCROLL_PARAMS {
  UINT cmd;
  HELEMENT target;
  int pos;
  BOOL vertical;
};

struct DRAW_PARAMS {
  UINT cmd;
  HDC hdc;
  RECT area;
  UINT reserved;
};

struct DATA_ARRIVED_PARAMS {
  HELEMENT initiator;
  const BYTE* data;
  UINT dataSize;
  UINT dataType;
};

struct BEHAVIOR_EVENT_PARAMS {
  UINT cmd;
  HELEMENT heTarget;  // the source of the event
  HELEMENT he;        // the element it was sent to
  UINT_PTR reason;
};

struct METHOD_PARAMS {
  UINT methodID;
};

struct XCALL_PARAMS : METHOD_PARAMS {
  LPCSTR method_name;
  UINT argc;
  VALUE* argv;
  VALUE retval;
};

// Notification records.
struct NMHL_LOAD_DATA {
  NMHDR hdr;
  LPCWSTR uri;
  LPVOID outData;  // a host may answer here instead of calling HTMLayoutDataReady
  UINT outDataSize;
  UINT dataType;
  HELEMENT principal;
  HELEMENT initiator;
};

struct NMHL_ATTACH_BEHAVIOR {
  NMHDR hdr;
  HELEMENT element;
  LPCSTR behaviorName;
  LPELEMENT_EVENT_PROC elementProc;  // filled by the host
  LPVOID elementTag;                 // filled by the host
  UINT elementEvents;                // filled by the host
};

}  // namespace korvel::engine
