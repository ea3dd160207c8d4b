// The engine interface: the operations the user interface calls on the HTML
// engine, with the engine's numbers. One document per host window; every call
// is made on the UI thread. Element operations answer HLDOM_INVALID_HANDLE for
// a null or unknown handle and HLDOM_PASSIVE_HANDLE for a removed element, and
// touch nothing then.
#pragma once

#include "platform/engine/htmlayout_types.h"

namespace korvel::engine {

// Host window.
LRESULT HTMLayoutProcND(HWND window, UINT message, WPARAM wparam, LPARAM lparam, BOOL* handled);
void HTMLayoutSetCallback(HWND window, LPHTMLAYOUT_NOTIFY callback, LPVOID param);
HLDOM_RESULT HTMLayoutWindowAttachEventHandler(HWND window, LPELEMENT_EVENT_PROC proc, LPVOID tag,
                                               UINT subscription);
HLDOM_RESULT HTMLayoutWindowDetachEventHandler(HWND window, LPELEMENT_EVENT_PROC proc, LPVOID tag);
BOOL HTMLayoutLoadHtmlEx(HWND window, const BYTE* html, UINT length, LPCWSTR base_url);
BOOL HTMLayoutDataReady(HWND window, LPCWSTR uri, const BYTE* data, DWORD length);
HLDOM_RESULT HTMLayoutGetRootElement(HWND window, HELEMENT* root);
HLDOM_RESULT HTMLayoutGetFocusElement(HWND window, HELEMENT* focus);
HLDOM_RESULT HTMLayoutGetElementByUID(HWND window, UINT uid, HELEMENT* element);
UINT HTMLayoutGetMinWidth(HWND window);
UINT HTMLayoutGetMinHeight(HWND window, UINT width);
BOOL HTMLayoutSetupDebugOutput(LPVOID param, LPHTMLAYOUT_DEBUG_OUTPUT sink);

// References. Use answers HLDOM_OK only for an element that is still in its document.
HLDOM_RESULT HTMLayout_UseElement(HELEMENT he);
HLDOM_RESULT HTMLayout_UnuseElement(HELEMENT he);

// Geometry, from the display's last layout report.
HLDOM_RESULT HTMLayoutGetElementLocation(HELEMENT he, RECT* location, UINT kind);
HLDOM_RESULT HTMLayoutIsElementVisible(HELEMENT he, BOOL* visible);

// Name, attributes, state. Attribute texts stay valid until the attribute or
// the element changes.
HLDOM_RESULT HTMLayoutGetElementType(HELEMENT he, LPCSTR* type);
HLDOM_RESULT HTMLayoutGetElementUID(HELEMENT he, UINT* uid);
HLDOM_RESULT HTMLayoutGetAttributeByName(HELEMENT he, LPCSTR name, LPCWSTR* value);
HLDOM_RESULT HTMLayoutSetAttributeByName(HELEMENT he, LPCSTR name, LPCWSTR value);
HLDOM_RESULT HTMLayoutGetAttributeCount(HELEMENT he, UINT* count);
HLDOM_RESULT HTMLayoutGetNthAttribute(HELEMENT he, UINT index, LPCSTR* name, LPCWSTR* value);
HLDOM_RESULT HTMLayoutGetElementState(HELEMENT he, UINT* state);
HLDOM_RESULT HTMLayoutSetElementState(HELEMENT he, UINT bits_to_set, UINT bits_to_clear,
                                      BOOL update);

// Content. The texts answered stay valid until the next such call.
HLDOM_RESULT HTMLayoutSetElementInnerText16(HELEMENT he, LPCWSTR text, UINT length);
HLDOM_RESULT HTMLayoutGetElementInnerText16(HELEMENT he, LPCWSTR* text);
HLDOM_RESULT HTMLayoutSetElementHtml(HELEMENT he, const BYTE* html, DWORD length, UINT where);
HLDOM_RESULT HTMLayoutGetElementHtml(HELEMENT he, LPCSTR* html, BOOL outer);
HLDOM_RESULT HTMLayoutUpdateElement(HELEMENT he, BOOL remeasure);

// Navigation; a frame's page root is the frame element's only child.
HLDOM_RESULT HTMLayoutGetParentElement(HELEMENT he, HELEMENT* parent);
HLDOM_RESULT HTMLayoutGetElementIndex(HELEMENT he, UINT* index);
HLDOM_RESULT HTMLayoutGetChildrenCount(HELEMENT he, UINT* count);
HLDOM_RESULT HTMLayoutGetNthChild(HELEMENT he, UINT index, HELEMENT* child);

// Lookups. Callbacks answer TRUE to stop. ":root" names the element searched from.
HLDOM_RESULT HTMLayoutSelectElements(HELEMENT he, LPCSTR selector,
                                     HTMLayoutElementCallback callback, LPVOID param);
HLDOM_RESULT HTMLayoutSelectElementsW(HELEMENT he, LPCWSTR selector,
                                      HTMLayoutElementCallback callback, LPVOID param);
// depth 1: the element itself only; 0: the element and all its ancestors.
HLDOM_RESULT HTMLayoutSelectParent(HELEMENT he, LPCSTR selector, UINT depth, HELEMENT* found);
HLDOM_RESULT HTMLayoutSelectParentW(HELEMENT he, LPCWSTR selector, UINT depth, HELEMENT* found);
// depth 0: the whole subtree; n: n levels below the element.
HLDOM_RESULT HTMLayoutVisitElements(HELEMENT he, LPCSTR tag, LPCSTR attribute_name,
                                    LPCWSTR attribute_value, HTMLayoutElementCallback callback,
                                    LPVOID param, DWORD depth);

// Events and handlers.
HLDOM_RESULT HTMLayoutSendEvent(HELEMENT he, UINT code, HELEMENT source, UINT_PTR reason,
                                BOOL* handled);
HLDOM_RESULT HTMLayoutPostEvent(HELEMENT he, UINT code, HELEMENT source, UINT_PTR reason);
HLDOM_RESULT HTMLayoutCallBehaviorMethod(HELEMENT he, METHOD_PARAMS* params);
HLDOM_RESULT HTMLayoutAttachEventHandlerEx(HELEMENT he, LPELEMENT_EVENT_PROC proc, LPVOID tag,
                                           UINT subscription);
HLDOM_RESULT HTMLayoutDetachEventHandler(HELEMENT he, LPELEMENT_EVENT_PROC proc, LPVOID tag);

// Script values.
constexpr UINT HV_OK = 0;
constexpr UINT HV_BAD_PARAMETER = 1;
constexpr UINT HV_INCOMPATIBLE_TYPE = 2;
UINT ValueInit(VALUE* value);
UINT ValueClear(VALUE* value);
UINT ValueStringDataSet(VALUE* value, LPCWSTR chars, UINT length);
UINT ValueIntDataSet(VALUE* value, int number);
// Non-zero answer: the value is not a text.
UINT ValueStringData(const VALUE* value, LPCWSTR* chars, UINT* length);

}  // namespace korvel::engine
