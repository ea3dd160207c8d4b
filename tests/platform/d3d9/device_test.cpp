// The 3-D device through a scripted display: what reaches the display, what
// an invalid call leaves, reference counts, and the D3DX helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3dx9_math.h"
#include "platform/d3d9/d3dx9_texture.h"
#include "platform/display/device_json.h"
#include "tests/platform/win/window_fixture.h"
#include "tools/forge/g1t_writer.h"

namespace korvel::test {
namespace {

using namespace d3d9;

constexpr D3DVERTEXELEMENT9 kPositionOnly[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};

class DeviceTest : public win::testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    window = popup(0, 0, 64, 48);
    direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = 1;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.EnableAutoDepthStencil = 1;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    ASSERT_EQ(direct3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                     &parameters, &device),
              D3D_OK);
    EXPECT_EQ(parameters.BackBufferWidth, 64u);  // from the window
    EXPECT_EQ(parameters.BackBufferHeight, 48u);
  }

  void TearDown() override {
    release_all(&vertices);
    release_all(&indices);
    release_all(&declaration);
    release_all(&device);
    release_all(&direct3d);
    WindowTest::TearDown();
  }

  template <class Object>
  static void release_all(Object** object) {
    if (*object == nullptr) return;
    while ((*object)->Release() > 0) {
    }
    *object = nullptr;
  }

  // Four vertices of 12 bytes and a strip over them, bound, in a scene.
  void bind_quad() {
    ASSERT_EQ(device->CreateVertexBuffer(48, 0, 0, D3DPOOL_DEFAULT, &vertices, nullptr), D3D_OK);
    void* bytes = nullptr;
    ASSERT_EQ(vertices->Lock(0, 0, &bytes, 0), D3D_OK);
    std::memset(bytes, 0x11, 48);
    ASSERT_EQ(vertices->Unlock(), D3D_OK);
    ASSERT_EQ(device->CreateIndexBuffer(8, 0, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &indices, nullptr),
              D3D_OK);
    ASSERT_EQ(indices->Lock(0, 0, &bytes, 0), D3D_OK);
    const std::uint16_t strip[4] = {0, 1, 2, 3};
    std::memcpy(bytes, strip, sizeof(strip));
    ASSERT_EQ(indices->Unlock(), D3D_OK);
    ASSERT_EQ(device->CreateVertexDeclaration(kPositionOnly, &declaration), D3D_OK);
    device->SetStreamSource(0, vertices, 0, 12);
    device->SetIndices(indices);
    device->SetVertexDeclaration(declaration);
    device->BeginScene();
  }

  win::HWND window = nullptr;
  IDirect3D9* direct3d = nullptr;
  IDirect3DDevice9* device = nullptr;
  IDirect3DVertexBuffer9* vertices = nullptr;
  IDirect3DIndexBuffer9* indices = nullptr;
  IDirect3DVertexDeclaration9* declaration = nullptr;
};

TEST_F(DeviceTest, InvalidCallsFailAndChangeNothing) {
  bind_quad();
  D3DMATRIX matrix{};
  const D3DVIEWPORT9 too_wide = {1, 0, 64, 48, 0.0f, 1.0f};
  const D3DVERTEXELEMENT9 odd_offset[] = {
      {0, 2, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END};
  const D3DVERTEXELEMENT9 twice[] = {
      {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
      D3DDECL_END};
  IDirect3DVertexDeclaration9* made = nullptr;
  IDirect3DVertexBuffer9* buffer = nullptr;
  IDirect3DIndexBuffer9* byte_indices = nullptr;
  void* bytes = nullptr;
  const std::vector<std::pair<const char*, std::function<HRESULT()>>> calls = {
      {"viewport past the back buffer", [&] { return device->SetViewport(&too_wide); }},
      {"null transform", [&] { return device->SetTransform(D3DTS_WORLD, nullptr); }},
      {"texture transform",
       [&] { return device->SetTransform(D3DTRANSFORMSTATETYPE(16), &matrix); }},
      {"unknown render state", [&] { return device->SetRenderState(D3DRENDERSTATETYPE(8), 0); }},
      {"cull mode 4", [&] { return device->SetRenderState(D3DRS_CULLMODE, 4); }},
      {"texture stage 2", [&] { return device->SetTexture(2, nullptr); }},
      {"stream 1", [&] { return device->SetStreamSource(1, vertices, 0, 12); }},
      {"triangle list",
       [&] { return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 1); }},
      {"indices past the buffer",
       [&] { return device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 1, 2); }},
      {"vertices past the buffer",
       [&] { return device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 1, 4, 0, 2); }},
      {"negative base vertex",
       [&] { return device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, -1, 0, 4, 0, 2); }},
      {"stencil clear", [&] { return device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0); }},
      {"clear depth 2", [&] { return device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 2.0f, 0); }},
      {"second BeginScene", [&] { return device->BeginScene(); }},
      {"Present in a scene", [&] { return device->Present(nullptr, nullptr, nullptr, nullptr); }},
      {"offset not on 4 bytes", [&] { return device->CreateVertexDeclaration(odd_offset, &made); }},
      {"usage twice", [&] { return device->CreateVertexDeclaration(twice, &made); }},
      {"empty buffer",
       [&] { return device->CreateVertexBuffer(0, 0, 0, D3DPOOL_DEFAULT, &buffer, nullptr); }},
      {"8-bit indices",
       [&] {
         return device->CreateIndexBuffer(8, 0, D3DFMT_D16, D3DPOOL_DEFAULT, &byte_indices,
                                          nullptr);
       }},
      {"lock past the end", [&] { return vertices->Lock(40, 12, &bytes, 0); }},
      {"unlock unlocked", [&] { return vertices->Unlock(); }},
  };
  for (const auto& [what, call] : calls) {
    EXPECT_EQ(call(), D3DERR_INVALIDCALL) << what;
  }
  EXPECT_EQ(made, nullptr);
  EXPECT_EQ(buffer, nullptr);
  EXPECT_TRUE(device->recording().draws.empty());
  EXPECT_TRUE(device->recording().clears.empty());
  // The bindings survived: a good draw still records, with the first viewport.
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 2), D3D_OK);
  ASSERT_EQ(device->recording().states.size(), 1u);
  EXPECT_EQ(device->recording().states[0].viewport_width, 64);
  EXPECT_EQ(Direct3DCreate9(31), nullptr);
}

TEST_F(DeviceTest, PresentHandsTheRecordedFrameToTheDisplay) {
  bind_quad();
  device->EndScene();
  const D3DVIEWPORT9 viewport = {2, 4, 30, 20, 0.0f, 1.0f};
  device->SetViewport(&viewport);
  EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF0000FF, 1.0f, 0),
            D3D_OK);
  device->BeginScene();
  D3DMATRIX world{};
  D3DXMatrixTranslation(&world, 1.0f, 2.0f, 3.0f);
  device->SetTransform(D3DTS_WORLD, &world);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 1, 3, 1, 1), D3D_OK);
  device->EndScene();
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  const auto frame = display->last_frame(window);
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->number, 1u);
  EXPECT_EQ(frame->width, 64);
  EXPECT_EQ(frame->height, 48);
  ASSERT_EQ(frame->clears.size(), 1u);
  EXPECT_EQ(frame->clears[0].x, 2);
  EXPECT_EQ(frame->clears[0].width, 30);
  EXPECT_EQ(frame->clears[0].color, 0xFF0000FFu);
  ASSERT_EQ(frame->states.size(), 1u);  // both draws share it
  EXPECT_EQ(frame->states[0].world[13], 2.0f);
  EXPECT_EQ(frame->states[0].cull_mode, D3DCULL_NONE);
  ASSERT_EQ(frame->draws.size(), 2u);
  EXPECT_EQ(frame->draws[1].start_index, 1u);
  const auto vertex_bytes = display->device_resource(frame->draws[0].vertex_buffer);
  ASSERT_TRUE(vertex_bytes.has_value());
  EXPECT_EQ(*vertex_bytes->bytes, std::vector<std::uint8_t>(48, 0x11));
  EXPECT_EQ(display->device_resource(frame->draws[0].index_buffer)->index_bits, 16);
  EXPECT_TRUE(device->recording().draws.empty());  // the next frame starts empty
  // A back buffer taken from the window follows the window's size.
  win::MoveWindow(window, 0, 0, 80, 60, win::FALSE);
  EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(device->recording().width, 80);
  EXPECT_EQ(device->recording().height, 60);

  // The JSON the display sends: one declaration for both draws.
  const nlohmann::json json = display::device_frame_json(*frame);
  EXPECT_EQ(json["declarations"].size(), 1u);
  EXPECT_EQ(json["draws"][1]["declaration"], 0);
  EXPECT_EQ(json["clears"][0]["color"], 0xFF0000FFu);
  EXPECT_EQ(display::device_resource_json(*vertex_bytes)["kind"], "vertex_buffer");
}

TEST_F(DeviceTest, BoundObjectsOutliveTheirReleaseUntilTheDeviceGoes) {
  bind_quad();
  EXPECT_EQ(vertices->AddRef(), 2u);
  EXPECT_EQ(vertices->Release(), 1u);
  EXPECT_EQ(vertices->Release(), 0u);
  EXPECT_EQ(indices->Release(), 0u);
  EXPECT_EQ(declaration->Release(), 0u);
  vertices = nullptr;
  indices = nullptr;
  declaration = nullptr;
  // Still bound: the device draws with them.
  EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 0, 0, 4, 0, 2), D3D_OK);
  EXPECT_EQ(display->device_resource_count(), 2u);
  device->EndScene();
  EXPECT_EQ(device->Release(), 0u);
  device = nullptr;
  EXPECT_EQ(display->device_resource_count(), 0u);
  EXPECT_EQ(direct3d->Release(), 0u);
  direct3d = nullptr;
}

TEST_F(DeviceTest, TexturesFromDdsFilesReachTheDisplayAsRgba) {
  forge::ForgeTexture texture;
  texture.format = forge::kG1tDxt1;
  texture.width_log2 = 3;
  texture.height_log2 = 2;
  const forge::Bytes dds = forge::expected_dds_file(texture);
  IDirect3DTexture9* made = nullptr;
  ASSERT_EQ(
      D3DXCreateTextureFromFileInMemory(device, dds.data(), static_cast<UINT>(dds.size()), &made),
      D3D_OK);
  EXPECT_EQ(made->width(), 8u);
  EXPECT_EQ(display->device_resource_count(), 1u);
  const std::uint8_t junk[16] = {'D', 'D', 'S', ' '};
  IDirect3DTexture9* refused = nullptr;
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device, junk, sizeof(junk), &refused),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(made->Release(), 0u);
  EXPECT_EQ(display->device_resource_count(), 0u);
}

// The helpers against the matrices written out from their definitions.
TEST(D3dxMatrices, MatchTheirDefinitions) {
  D3DXMATRIX m{};
  const float a = 0.5f;
  D3DXMatrixRotationY(&m, a);
  const float rotation[16] = {std::cos(a), 0, -std::sin(a), 0, 0, 1, 0, 0,
                              std::sin(a), 0, std::cos(a),  0, 0, 0, 0, 1};
  EXPECT_EQ(std::memcmp(m.m, rotation, sizeof(rotation)), 0);

  D3DXMATRIX scaling{}, translation{};
  D3DXMatrixScaling(&scaling, 2, 3, 4);
  D3DXMatrixTranslation(&translation, 5, 6, 7);
  D3DXMatrixMultiply(&m, &scaling, &translation);  // scale, then move
  const float moved[16] = {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 5, 6, 7, 1};
  EXPECT_EQ(std::memcmp(m.m, moved, sizeof(moved)), 0);

  const D3DXVECTOR3 eye = {3, 0, 0}, at = {0, 0, 0}, up = {0, 1, 0};
  D3DXMatrixLookAtLH(&m, &eye, &at, &up);
  // Looking down -x: the view's x axis is +z, its z axis -x.
  const float look[16] = {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 3, 1};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i / 4][i % 4], look[i], 1e-6) << i;

  D3DXMatrixPerspectiveFovLH(&m, 1.0f, 2.0f, 1.0f, 11.0f);
  const float y_scale = 1.0f / std::tan(0.5f);
  const float fov[16] = {y_scale / 2, 0, 0, 0, 0, y_scale, 0, 0, 0, 0, 1.1f, 1, 0, 0, -1.1f, 0};
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i / 4][i % 4], fov[i], 1e-6) << i;
}

}  // namespace
}  // namespace korvel::test
