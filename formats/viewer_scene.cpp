#include "formats/viewer_scene.h"

#include <atomic>

#include "formats/shared_ui_state.h"
#include "platform/win/threads_clock.h"

namespace korvel {
namespace {

using namespace d3d9;

std::uint32_t system_clock() {
  return win::timeGetTime();
}

std::atomic<ViewerClock> g_clock{&system_clock};

constexpr float kModelScale = 0.3f;
constexpr float kModelDrop = -30.0f;
constexpr D3DXVECTOR3 kEye = {0.0f, 0.0f, -100.0f};
constexpr D3DXVECTOR3 kTarget = {0.0f, 0.0f, 0.0f};
constexpr D3DXVECTOR3 kUp = {0.0f, 1.0f, 0.0f};
constexpr float kFieldOfView = 0.7853982f;  // pi / 4
// Whatever the window's shape: a wide window stretches the model.
constexpr float kAspect = 1.0f;
constexpr float kNear = 1.0f;
constexpr float kFar = 1000.0f;

DWORD side(std::int32_t from, std::int32_t to) {
  // A rectangle turned inside out has no area rather than a huge one.
  return to > from ? static_cast<DWORD>(std::int64_t{to} - from) : 0;
}

}  // namespace

ViewerClock set_viewer_clock(ViewerClock clock) {
  return g_clock.exchange(clock != nullptr ? clock : &system_clock);
}

SceneTransforms scene_transforms(std::uint32_t time_ms) {
  SceneTransforms scene{};
  const auto angle = static_cast<float>(static_cast<double>(time_ms) / 1000.0);
  D3DXMATRIX scaling{}, rotation{}, translation{};
  D3DXMatrixScaling(&scaling, kModelScale, kModelScale, kModelScale);
  D3DXMatrixRotationY(&rotation, angle);
  D3DXMatrixTranslation(&translation, 0.0f, kModelDrop, 0.0f);
  D3DXMatrixMultiply(&scene.world, &scaling, &rotation);
  D3DXMatrixMultiply(&scene.world, &scene.world, &translation);
  D3DXMatrixLookAtLH(&scene.view, &kEye, &kTarget, &kUp);
  D3DXMatrixPerspectiveFovLH(&scene.projection, kFieldOfView, kAspect, kNear, kFar);
  return scene;
}

void set_scene_render_states(IDirect3DDevice9* device) {
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, 0);
  device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
}

void record_model_frame(IDirect3DDevice9* device, const ViewerModel& model,
                        IDirect3DTexture9* texture) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kViewerClearColor, 1.0f, 0);
  if (SUCCEEDED(device->BeginScene())) {
    const D3DVIEWPORT9 viewport = {0,
                                   0,
                                   side(g_modelRect.left.load(), g_modelRect.right.load()),
                                   side(g_modelRect.top.load(), g_modelRect.bottom.load()),
                                   0.0f,
                                   1.0f};
    device->SetViewport(&viewport);
    const SceneTransforms scene = scene_transforms(g_clock.load()());
    device->SetTransform(D3DTS_WORLD, &scene.world);
    device->SetTransform(D3DTS_VIEW, &scene.view);
    device->SetTransform(D3DTS_PROJECTION, &scene.projection);
    for (std::size_t s = 0; s < model.submeshes.size(); ++s) {
      // Sub-meshes past the flags have no checkbox and are always drawn.
      if (s < kModelShowCount && g_modelShow[s].load(std::memory_order_relaxed) == 0) continue;
      const ViewerSubmesh& submesh = model.submeshes[s];
      if (!submesh.drawable) continue;
      const ViewerVertexBuffer& vertices = model.vertex_buffers[submesh.buffer];
      device->SetStreamSource(0, vertices.buffer, 0, vertices.stride);
      device->SetVertexDeclaration(vertices.declaration);
      device->SetIndices(model.index_buffers[submesh.buffer].buffer);
      device->SetTexture(0, texture);
      device->SetTexture(1, texture);
      device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, submesh.min_index, submesh.vertex_count,
                                   submesh.start_index, submesh.primitive_count);
    }
    device->EndScene();
  }
}

void draw_model_frame(IDirect3DDevice9* device, const ViewerModel& model,
                      IDirect3DTexture9* texture) {
  record_model_frame(device, model, texture);
  device->Present(nullptr, nullptr, nullptr, nullptr);
}

}  // namespace korvel
