// What a 3-D device hands the screen: resources once, when they are made (a
// buffer's bytes, a texture's first level as RGBA), and each frame as a short
// list of commands that name them. The screen draws; the device only records.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/win/win_types.h"

namespace korvel::win {

using DeviceBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

enum class DeviceResourceKind { kVertexBuffer, kIndexBuffer, kTexture };

struct DeviceResource {
  std::uint64_t id = 0;  // unique in the process, never reused (new_device_resource_id)
  DeviceResourceKind kind = DeviceResourceKind::kVertexBuffer;
  int width = 0;  // texture: its first level, RGBA rows top first
  int height = 0;
  int index_bits = 0;  // index buffer: 16 or 32
  DeviceBytes bytes;
};

// One element of a vertex declaration, with the D3DDECLTYPE and D3DDECLUSAGE
// numbers of the 3-D interface.
struct DeviceVertexElement {
  WORD offset = 0;
  BYTE type = 0;
  BYTE usage = 0;
  BYTE usage_index = 0;
};

using DeviceMatrix = std::array<float, 16>;  // row-major, row vectors

// What the draws after it are drawn with: viewport, transforms and the render
// states, with the numbers of the 3-D interface (D3DCULL_*, D3DZB_*).
struct DeviceState {
  int viewport_x = 0;
  int viewport_y = 0;
  int viewport_width = 0;
  int viewport_height = 0;
  float viewport_min_z = 0.0f;
  float viewport_max_z = 1.0f;
  DeviceMatrix world{};
  DeviceMatrix view{};
  DeviceMatrix projection{};
  DWORD cull_mode = 3;  // D3DCULL_CCW, the device's default
  bool lighting = true;
  bool z_enable = false;
  bool alpha_blend = false;
};

// Clears a rectangle of the back buffer (the viewport when Clear was called)
// before draw number draws_before.
struct DeviceClear {
  std::uint32_t draws_before = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool target = false;
  bool depth = false;
  std::uint32_t color = 0;  // ARGB
  float depth_value = 1.0f;
};

// One indexed triangle-strip draw, with the numbers DrawIndexedPrimitive got.
struct DeviceDraw {
  std::uint64_t vertex_buffer = 0;
  UINT stride = 0;
  std::vector<DeviceVertexElement> declaration;
  std::uint64_t index_buffer = 0;
  std::uint64_t texture = 0;  // stage 0; 0 for none
  std::int32_t base_vertex = 0;
  UINT min_index = 0;
  UINT vertex_count = 0;
  UINT start_index = 0;
  UINT primitive_count = 0;
  std::uint32_t state = 0;  // index into the frame's states
};

// Clears and draws in the order they were recorded: the clears of a frame sit
// between its draws by draws_before.
struct DeviceFrame {
  std::uint64_t number = 0;  // from 1, per window; set when published
  int width = 0;             // the back buffer
  int height = 0;
  std::vector<DeviceClear> clears;
  std::vector<DeviceState> states;
  std::vector<DeviceDraw> draws;
};

}  // namespace korvel::win
