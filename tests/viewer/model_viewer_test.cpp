#include <gtest/gtest.h>

#include <cmath>

#include "formats/viewer_model.h"
#include "platform/d3d9/d3d9_types.h"
#include "tests/viewer/viewer_fixture.h"
#include "tools/forge/samples.h"

namespace korvel::test {
namespace {

// Three sub-meshes with distinct numbers; sub-mesh 1 uses buffer 1, whose
// stride of 40 has no layout of its own.
forge::G1mModel three_submeshes() {
  return model_with(
      {forge::vertex_section({vertices(36, 8), vertices(40, 6)}),
       forge::index_section(
           {indices(16, {0, 1, 2, 3, 4, 5, 6, 7}), indices(32, {0, 1, 2, 3, 4, 5})}),
       forge::submesh_section({submesh_record(0, 0, 8, 0, 8), submesh_record(1, 1, 5, 2, 4),
                               submesh_record(0, 2, 6, 3, 5)})});
}

struct Numbers {
  std::uint32_t min_index, vertex_count, start_index, primitive_count;
};

std::vector<Numbers> numbers_of(const win::DeviceFrame& frame) {
  std::vector<Numbers> out;
  for (const win::DeviceDraw& draw : frame.draws) {
    EXPECT_EQ(draw.base_vertex, 0);
    out.push_back({draw.min_index, draw.vertex_count, draw.start_index, draw.primitive_count});
  }
  return out;
}

bool operator==(const Numbers& a, const Numbers& b) {
  return a.min_index == b.min_index && a.vertex_count == b.vertex_count &&
         a.start_index == b.start_index && a.primitive_count == b.primitive_count;
}

// The scene's matrices written out from their definitions, in double.
void expect_scene_matrices(const win::DeviceState& state) {
  const double angle = static_cast<float>(kFixedTime / 1000.0);
  const double c = std::cos(angle), s = std::sin(angle);
  const double world[16] = {0.3 * c, 0, -0.3 * s, 0, 0, 0.3, 0, 0,
                            0.3 * s, 0, 0.3 * c,  0, 0, -30, 0, 1};
  const double view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 100, 1};
  const double y_scale = 1.0 / std::tan(0.7853982 / 2);
  const double depth = 1000.0 / 999.0;
  const double projection[16] = {y_scale, 0, 0,     0, 0, y_scale, 0,      0,
                                 0,       0, depth, 1, 0, 0,       -depth, 0};
  for (int i = 0; i < 16; ++i) {
    EXPECT_NEAR(state.world[i], world[i], 1e-5) << "world " << i;
    EXPECT_NEAR(state.view[i], view[i], 1e-5) << "view " << i;
    EXPECT_NEAR(state.projection[i], projection[i], 1e-5) << "projection " << i;
  }
}

TEST_F(ViewerTest, DrawsEachShownSubmeshWithTheSceneAndHidesByFlag) {
  select(three_submeshes());
  // A new model sets every flag back to 1 before the host hears of it.
  for (auto& flag : g_modelShow) flag.store(0);
  bool flags_set_when_loaded = false;
  win::testing::handler() = [&](win::HWND window, win::UINT message, win::WPARAM wparam,
                                win::LPARAM lparam) -> win::LRESULT {
    if (message == WM_MODEL_LOADED) {
      flags_set_when_loaded = true;
      for (auto& flag : g_modelShow) flags_set_when_loaded &= flag.load() == 1;
    }
    return win::DefWindowProcW(window, message, wparam, lparam);
  };

  const auto frame = start_and_wait(2);
  ASSERT_TRUE(frame.has_value());
  pump();
  const auto loaded = received_by(host, WM_MODEL_LOADED);
  ASSERT_EQ(loaded.size(), 1u);
  EXPECT_EQ(loaded[0].wparam, 3u);
  EXPECT_EQ(loaded[0].lparam, 0);
  EXPECT_TRUE(flags_set_when_loaded);

  ASSERT_EQ(frame->clears.size(), 1u);
  EXPECT_EQ(frame->clears[0].color, 0xFF0000FFu);
  EXPECT_TRUE(frame->clears[0].target && frame->clears[0].depth);
  EXPECT_EQ(frame->clears[0].depth_value, 1.0f);
  ASSERT_EQ(frame->states.size(), 1u);
  const win::DeviceState& state = frame->states[0];
  EXPECT_EQ(state.viewport_width, 200);
  EXPECT_EQ(state.viewport_height, 150);
  EXPECT_EQ(state.cull_mode, d3d9::D3DCULL_NONE);
  EXPECT_TRUE(state.z_enable && !state.lighting && !state.alpha_blend);
  expect_scene_matrices(state);

  EXPECT_EQ(numbers_of(*frame), (std::vector<Numbers>{{0, 8, 0, 6}, {1, 5, 2, 2}, {2, 6, 3, 3}}));
  ASSERT_EQ(frame->draws.size(), 3u);
  const auto texture = display->device_resource(frame->draws[0].texture);
  ASSERT_TRUE(texture.has_value());
  EXPECT_EQ(texture->width, 4);
  EXPECT_EQ(texture->height, 8);
  EXPECT_EQ(frame->draws[0].declaration.size(), 3u);  // stride 36
  ASSERT_EQ(frame->draws[1].declaration.size(), 1u);  // stride 40: position only
  EXPECT_EQ(frame->draws[1].declaration[0].type, d3d9::D3DDECLTYPE_FLOAT3);
  EXPECT_EQ(frame->draws[1].declaration[0].usage, d3d9::D3DDECLUSAGE_POSITION);
  EXPECT_EQ(frame->draws[1].stride, 40u);

  g_modelShow[1].store(0);
  auto hidden = frame_after_change();
  ASSERT_TRUE(hidden.has_value());
  EXPECT_EQ(numbers_of(*hidden), (std::vector<Numbers>{{0, 8, 0, 6}, {2, 6, 3, 3}}));
  g_modelShow[1].store(1);
  auto shown = frame_after_change();
  ASSERT_TRUE(shown.has_value());
  EXPECT_EQ(shown->draws.size(), 3u);

  // A smaller rectangle shrinks the viewport (a larger one would not fit the
  // back buffer); the projection stays square.
  g_modelRect.right = 110;
  auto narrower = frame_after_change();
  ASSERT_TRUE(narrower.has_value());
  EXPECT_EQ(narrower->states[0].viewport_width, 100);
  expect_scene_matrices(narrower->states[0]);

  EXPECT_TRUE(stop_viewer());
}

TEST_F(ViewerTest, TheSampleModelDrawsEverySubmeshWithItsFirstTexture) {
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    if (archive.name != "game") continue;
    std::string error;
    ASSERT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;
  }
  list_text = R"(<G1M_ output_id=".\00000000\0\0.G1M_"/><G1TG output_id=".\00000000\1\0.dds"/>)"
              R"(<G1TG output_id=".\00000000\1\1.dds"/>)";
  list.parse<0>(list_text.data());
  g_selectedNode.store(list.first_node());
  ASSERT_TRUE(g_selectionRef.store(directory.file("game.idx"), ".\\00000000\\0\\0.G1M_"));
  const auto frame = start_and_wait(1);
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->draws.size(), 16u);
  const auto texture = display->device_resource(frame->draws[0].texture);
  ASSERT_TRUE(texture.has_value());
  EXPECT_EQ(texture->width, 256);
  EXPECT_TRUE(stop_viewer());
}

TEST_F(ViewerTest, SkipsSubmeshesThatReachOutsideTheirBuffers) {
  select(model_with({forge::vertex_section({vertices(36, 4), vertices(36, 4), vertices(36, 4)}),
                     forge::index_section({indices(16, {0, 1, 2, 3}), indices(16, {0, 1, 9, 3}),
                                           indices(8, {0, 1, 2, 3})}),
                     forge::submesh_section({
                         submesh_record(0, 0, 4, 0, 4),  // drawn
                         submesh_record(3, 0, 4, 0, 4),  // no buffer 3
                         submesh_record(0, 0, 4, 1, 4),  // indices past the buffer
                         submesh_record(0, 0, 5, 0, 4),  // vertex range past the buffer
                         submesh_record(1, 0, 4, 0, 4),  // index 9 names no vertex
                         submesh_record(2, 0, 4, 0, 4),  // 8-bit indices: no index buffer
                         submesh_record(0, 0, 4, 0, 1),  // fewer than two indices
                         submesh_record(0, 1, 2, 2, 2),  // drawn, with no triangle
                     })}),
         /*with_texture=*/false);
  const auto frame = start_and_wait(1);
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(numbers_of(*frame), (std::vector<Numbers>{{0, 4, 0, 2}, {1, 2, 2, 0}}));
  EXPECT_EQ(frame->draws[0].texture, 0u);  // no texture node: untextured
  pump();
  ASSERT_EQ(received_by(host, WM_MODEL_LOADED).size(), 1u);
  EXPECT_EQ(received_by(host, WM_MODEL_LOADED)[0].wparam, 8u);
  EXPECT_TRUE(stop_viewer());
}

TEST_F(ViewerTest, SubmeshesPastTheFlagsAreAlwaysDrawn) {
  std::vector<forge::G1mSubmesh> many(kModelShowCount + 1, submesh_record(0, 0, 4, 0, 4));
  select(model_with({forge::vertex_section({vertices(36, 4)}),
                     forge::index_section({indices(16, {0, 1, 2, 3})}),
                     forge::submesh_section(many)}));
  for (auto& flag : g_modelShow) flag.store(0);
  const auto loaded = start_and_wait(1);
  ASSERT_TRUE(loaded.has_value());
  for (auto& flag : g_modelShow) flag.store(0);  // after the viewer set them
  const auto frame = frame_after_change();
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->draws.size(), 1u);
  EXPECT_TRUE(stop_viewer());
}

TEST_F(ViewerTest, AModelThatFailsToLoadShowsTheFailureBoxAndReleasesEverything) {
  select(three_submeshes(), true, ".\\00000001\\7.G1M_");
  g_modelElement.store(reinterpret_cast<engine::HELEMENT>(std::uintptr_t{0x40}));
  ModelViewerThread();  // on this thread: it ends after the box
  const auto boxes = display->modal_history();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].kind, win::ModalKind::kMessageBox);
  EXPECT_EQ(boxes[0].owner, host);
  EXPECT_EQ(boxes[0].text, "悲剧…… 模型数据解析失败！");
  EXPECT_EQ(boxes[0].title, "korvel 信息");
  EXPECT_EQ(boxes[0].flags, win::MB_ICONINFORMATION);
  EXPECT_FALSE(display->last_frame(model_window).has_value());
  EXPECT_EQ(g_viewerDirect3D.load(), nullptr);
  EXPECT_EQ(display->device_resource_count(), 0u);  // the texture went too
}

TEST_F(ViewerTest, ASecondViewerEndsWithoutTouchingTheDevice) {
  select(three_submeshes());
  auto* running = reinterpret_cast<d3d9::IDirect3D9*>(std::uintptr_t{0x80});
  g_viewerDirect3D.store(running);
  g_modelElement.store(reinterpret_cast<engine::HELEMENT>(std::uintptr_t{0x40}));
  ModelViewerThread();
  EXPECT_EQ(g_viewerDirect3D.load(), running);
  EXPECT_EQ(display->device_resource_count(), 0u);
  EXPECT_FALSE(display->last_frame(model_window).has_value());
  g_viewerDirect3D.store(nullptr);
}

TEST_F(ViewerTest, ModelBuffersPastTheLimitAreRefusedBeforeAnyIsMade) {
  // Headers only: one vertex buffer of 1 GiB.
  std::uint32_t section[3] = {0x00010004, 0, 1};
  std::uint32_t header[4] = {0, 1024, 1024 * 1024, 0};
  ModelView view;
  view.vb_section = reinterpret_cast<std::uint8_t*>(section);
  view.vb_headers = {reinterpret_cast<std::uint8_t*>(header), nullptr};
  view.vb_data = {nullptr, nullptr};
  ViewerModel model;
  EXPECT_EQ(build_viewer_model(view, nullptr, &model), ModelBuildResult::kTooLarge);
}

TEST_F(ViewerTest, DestroyingTheModelWindowEndsTheProgram) {
  win::testing::handler() = [](win::HWND window, win::UINT message, win::WPARAM wparam,
                               win::LPARAM lparam) {
    return ModelWindowProc(window, message, wparam, lparam);
  };
  win::DestroyWindow(model_window);
  EXPECT_EQ(pump(), std::optional<int>(0));
}

}  // namespace
}  // namespace korvel::test
