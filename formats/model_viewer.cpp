#include "formats/model_viewer.h"

#include <cstdint>
#include <string>

#include "archive/archive.h"
#include "formats/shared_ui_state.h"
#include "formats/viewer_model.h"
#include "formats/viewer_scene.h"
#include "formats/viewer_textures.h"
#include "platform/d3d9/d3d9.h"
#include "platform/win/win32.h"

namespace korvel {
namespace {

using namespace d3d9;

// Held in g_viewerDirect3D from a viewer's claim until its interface exists;
// never the address of an interface.
IDirect3D9* const kClaimMarker = reinterpret_cast<IDirect3D9*>(std::uintptr_t{1});

constexpr const char16_t* kFailureText = u"悲剧…… 模型数据解析失败！";
constexpr const char16_t* kFailureCaption = u"korvel 信息";

// Everything one run holds, released at its end whatever path it took.
struct ViewerRun {
  Archive archive;
  IDirect3D9* direct3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  TextureSlots textures{};
  ViewerModel model;

  ~ViewerRun() {
    release_model_textures(&textures);
    model.release();
    if (device != nullptr) {
      while (device->Release() > 0) {
      }
    }
    if (direct3d != nullptr) {
      while (direct3d->Release() > 0) {
      }
    }
    g_viewerDirect3D.store(nullptr);
    archive.release();
  }
};

void show_failure_box() {
  win::MessageBoxW(g_hwndHost, kFailureText, kFailureCaption, win::MB_OK | win::MB_ICONINFORMATION);
}

// Loading up to the first frame; false when the viewer must end.
bool load(ViewerRun* run) {
  std::string idx_path;
  std::string model_id;
  g_selectionRef.load(&idx_path, &model_id);
  run->archive.open(idx_path.c_str());  // a failed open makes every load fail

  run->direct3d = Direct3DCreate9(D3D_SDK_VERSION);
  if (run->direct3d == nullptr) return false;
  g_viewerDirect3D.store(run->direct3d);
  D3DPRESENT_PARAMETERS parameters{};
  parameters.Windowed = 1;
  parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
  parameters.BackBufferFormat = D3DFMT_UNKNOWN;
  parameters.EnableAutoDepthStencil = 1;
  parameters.AutoDepthStencilFormat = D3DFMT_D16;
  if (run->direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, g_hwndModel,
                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                  &run->device) != D3D_OK) {
    return false;
  }

  load_model_textures(&run->archive, run->device, g_selectedNode.load(), &run->textures);

  if (run->archive.load_entry(model_id.c_str()) == 0) {
    show_failure_box();
    return false;
  }
  switch (build_viewer_model(run->archive.model_view, run->device, &run->model)) {
    case ModelBuildResult::kBuilt:
      break;
    case ModelBuildResult::kTooLarge:
      show_failure_box();
      return false;
    case ModelBuildResult::kDeviceFailed:
      return false;
  }

  for (auto& flag : g_modelShow) flag.store(1);
  win::PostMessageW(g_hwndHost, WM_MODEL_LOADED, run->model.submeshes.size(), 0);
  set_scene_render_states(run->device);
  return true;
}

}  // namespace

void ModelViewerThread() {
  // Test and claim in one step: of viewers started together exactly one goes on.
  IDirect3D9* expected = nullptr;
  if (!g_viewerDirect3D.compare_exchange_strong(expected, kClaimMarker)) return;
  ViewerRun run;
  if (!load(&run)) return;
  while (g_modelElement.load() != nullptr) {
    draw_model_frame(run.device, run.model, run.textures[0]);
  }
}

win::LRESULT ModelWindowProc(win::HWND window, win::UINT message, win::WPARAM wparam,
                             win::LPARAM lparam) {
  if (message == win::WM_DESTROY) win::PostQuitMessage(0);
  return win::DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace korvel
