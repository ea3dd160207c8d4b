#include "formats/shared_ui_state.h"

#include <cstring>

namespace korvel {

win::HWND g_hwndHost = nullptr;
win::HWND g_hwndTree = nullptr;
win::HWND g_hwndModel = nullptr;
engine::HELEMENT g_treeElement = nullptr;
engine::HELEMENT g_contentElement = nullptr;
std::atomic<engine::HELEMENT> g_modelElement{nullptr};
ModelRect g_modelRect;
std::array<std::atomic<std::uint8_t>, kModelShowCount> g_modelShow{};
SelectionRef g_selectionRef;
std::atomic<ListNode*> g_selectedNode{nullptr};
char g_exeDir[kExeDirCapacity] = {};
std::atomic<d3d9::IDirect3D9*> g_viewerDirect3D{nullptr};

bool SelectionRef::store(const std::string& idx_path, const std::string& output_id) {
  // Texts with a NUL inside would read back cut short, so they are refused too.
  if (idx_path.find('\0') != std::string::npos || output_id.find('\0') != std::string::npos ||
      idx_path.size() + 1 + output_id.size() + 1 > kSelectionRefSize) {
    return false;
  }
  std::size_t at = 0;
  for (const char c : idx_path) bytes_[at++].store(c, std::memory_order_relaxed);
  bytes_[at++].store('\0', std::memory_order_relaxed);
  for (const char c : output_id) bytes_[at++].store(c, std::memory_order_relaxed);
  bytes_[at++].store('\0', std::memory_order_relaxed);
  return true;
}

void SelectionRef::load(std::string* idx_path, std::string* output_id) const {
  std::string* outs[2] = {idx_path, output_id};
  std::size_t at = 0;
  for (std::string* out : outs) {
    std::string text;
    while (at < kSelectionRefSize) {
      const char c = bytes_[at++].load(std::memory_order_relaxed);
      if (c == '\0') break;
      text.push_back(c);
    }
    if (out != nullptr) *out = std::move(text);
  }
}

void reset_shared_ui_state() {
  g_hwndHost = nullptr;
  g_hwndTree = nullptr;
  g_hwndModel = nullptr;
  g_treeElement = nullptr;
  g_contentElement = nullptr;
  g_modelElement.store(nullptr);
  g_modelRect.left.store(0);
  g_modelRect.top.store(0);
  g_modelRect.right.store(0);
  g_modelRect.bottom.store(0);
  for (auto& flag : g_modelShow) flag.store(0);
  g_selectionRef.store("", "");
  g_selectedNode.store(nullptr);
  std::memset(g_exeDir, 0, sizeof g_exeDir);
  g_viewerDirect3D.store(nullptr);
}

}  // namespace korvel
