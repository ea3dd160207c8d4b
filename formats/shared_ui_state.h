// The process-wide state through which the program's windows, pages and the
// model viewer reach each other. It lives in formats/ because that is the
// lowest folder every reader may include: the viewer and texture display
// here, the user interface in ui/, start-up in shell/.
//
// Owners: start-up writes the window handles, g_treeElement,
// g_contentElement and g_exeDir before the message loop starts (and so before
// any viewer thread exists). The tree view writes g_modelElement,
// g_selectionRef and g_selectedNode; the host window clears g_modelElement
// and writes g_modelRect; the viewer and the checkbox command write
// g_modelShow; the viewer claims and clears g_viewerDirect3D.
//
// What the viewer thread reads while the UI thread writes is atomic, so that
// the hand-over is free of data races: the tree view stores the selection
// before it publishes g_modelElement (release), and a viewer reads the
// selection after it saw the element (acquire).
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include <rapidxml.hpp>

#include "platform/engine/htmlayout_types.h"
#include "platform/win/win_types.h"

namespace korvel {

namespace d3d9 {
class IDirect3D9;
}

// Posted by the viewer to the host once a model's buffers exist:
// wParam = number of sub-meshes, lParam = 0.
constexpr win::UINT WM_MODEL_LOADED = 0x1521;

constexpr std::size_t kSelectionRefSize = 2048;
constexpr std::size_t kModelShowCount = 4096;
constexpr std::size_t kExeDirCapacity = 260;  // 259 characters and the NUL

// The index path (ANSI, NUL-ended) immediately followed by the model's
// output id (ANSI, NUL-ended), in 2048 bytes.
class SelectionRef {
 public:
  // False, storing nothing, when the two texts with their NULs do not fit.
  bool store(const std::string& idx_path, const std::string& output_id);
  // The two texts as stored; empty when nothing was stored.
  void load(std::string* idx_path, std::string* output_id) const;

 private:
  std::array<std::atomic<char>, kSelectionRefSize> bytes_{};
};

struct ModelRect {
  std::atomic<std::int32_t> left{0};
  std::atomic<std::int32_t> top{0};
  std::atomic<std::int32_t> right{0};
  std::atomic<std::int32_t> bottom{0};
};

using ListNode = rapidxml::xml_node<char>;

extern win::HWND g_hwndHost;
extern win::HWND g_hwndTree;
extern win::HWND g_hwndModel;
extern engine::HELEMENT g_treeElement;
extern engine::HELEMENT g_contentElement;
extern std::atomic<engine::HELEMENT> g_modelElement;
extern ModelRect g_modelRect;
extern std::array<std::atomic<std::uint8_t>, kModelShowCount> g_modelShow;
extern SelectionRef g_selectionRef;
extern std::atomic<ListNode*> g_selectedNode;
extern char g_exeDir[kExeDirCapacity];
extern std::atomic<d3d9::IDirect3D9*> g_viewerDirect3D;

// Puts every global back to its starting value. For tests and for a run that
// starts over; no viewer may be running.
void reset_shared_ui_state();

}  // namespace korvel
