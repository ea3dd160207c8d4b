// What the viewer draws each frame: the scene's constants and transforms, and
// one frame of the model.
#pragma once

#include <cstdint>

#include "formats/viewer_model.h"
#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3dx9_math.h"

namespace korvel {

constexpr d3d9::D3DCOLOR kViewerClearColor = 0xFF0000FF;

struct SceneTransforms {
  d3d9::D3DXMATRIX world;
  d3d9::D3DXMATRIX view;
  d3d9::D3DXMATRIX projection;
};

// The model turns one radian per second of the millisecond clock.
SceneTransforms scene_transforms(std::uint32_t time_ms);

// The rotation clock; tests put a fixed one in. Answers the previous clock.
using ViewerClock = std::uint32_t (*)();
ViewerClock set_viewer_clock(ViewerClock clock);

// Sets the render states the scene is drawn with, once.
void set_scene_render_states(d3d9::IDirect3DDevice9* device);

// Clear, then in one scene the viewport, the transforms and one draw per
// shown, drawable sub-mesh with texture on stages 0 and 1.
void record_model_frame(d3d9::IDirect3DDevice9* device, const ViewerModel& model,
                        d3d9::IDirect3DTexture9* texture);

// One frame recorded, then presented.
void draw_model_frame(d3d9::IDirect3DDevice9* device, const ViewerModel& model,
                      d3d9::IDirect3DTexture9* texture);

}  // namespace korvel
