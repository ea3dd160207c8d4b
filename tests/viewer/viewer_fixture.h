// A window system with a scripted display, host and model windows, and an
// archive holding a texture (entry 0) and a model (entry 1) for the viewer to
// load, with the list-document nodes that select them.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <rapidxml.hpp>

#include "formats/model_viewer.h"
#include "formats/shared_ui_state.h"
#include "formats/viewer_scene.h"
#include "platform/win/win32.h"
#include "tests/platform/win/window_fixture.h"
#include "tests/support/scripted_display.h"
#include "tests/support/temp_dir.h"
#include "tools/forge/archive_writer.h"
#include "tools/forge/g1m_writer.h"
#include "tools/forge/g1t_writer.h"

namespace korvel::test {

constexpr std::uint32_t kFixedTime = 1234;
inline std::uint32_t fixed_clock() {
  return kFixedTime;
}

inline const char* const kTextureId = ".\\00000000\\0.dds";
inline const char* const kModelId = ".\\00000001\\0.G1M_";

inline forge::G1mSubmesh submesh_record(std::uint32_t buffer, std::uint32_t first_vertex,
                                        std::uint32_t vertex_count, std::uint32_t first_index,
                                        std::uint32_t index_count) {
  return {buffer, first_vertex, vertex_count, first_index, index_count, {}};
}

inline forge::G1mVertexBuffer vertices(std::uint32_t stride, std::uint32_t count) {
  return {stride, count, forge::Bytes(std::size_t{stride} * count, 0x3F), 0, 0};
}

inline forge::G1mIndexBuffer indices(std::uint32_t bits, std::vector<std::uint32_t> values) {
  forge::G1mIndexBuffer buffer;
  buffer.index_bits = bits;
  buffer.indices = std::move(values);
  return buffer;
}

inline forge::G1mModel model_with(std::vector<forge::G1mSection> sections) {
  forge::G1mModel model;
  model.chunks = {forge::geometry_chunk(g1m::kGeometryVersion44, std::move(sections))};
  return model;
}

class ViewerTest : public win::testing::WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    reset_shared_ui_state();
    set_viewer_clock(&fixed_clock);
    display->set_answerer([](const win::ModalRequest&) { return win::ModalAnswer{true, {}}; });
    host = popup(0, 0, 400, 300);
    model_window = popup(10, 20, 200, 150);
    g_hwndHost = host;
    g_hwndModel = model_window;
    g_modelRect.left = 10;
    g_modelRect.top = 20;
    g_modelRect.right = 210;
    g_modelRect.bottom = 170;
  }

  void TearDown() override {
    g_modelElement.store(nullptr);
    win::wait_for_threads(5000);
    set_viewer_clock(nullptr);
    reset_shared_ui_state();
    WindowTest::TearDown();
  }

  // Writes the archive and selects its model; with_texture puts the texture
  // node after the model's node in the list document.
  void select(const forge::G1mModel& model, bool with_texture = true,
              const std::string& model_id = kModelId) {
    forge::ForgeG1t textures;
    forge::ForgeTexture texture;
    texture.format = forge::kG1tArgb;
    texture.width_log2 = 2;
    texture.height_log2 = 3;
    textures.textures.push_back(texture);
    forge::ForgeArchive archive;
    archive.name = "viewer";
    archive.entries.push_back({forge::write_g1t(textures, false)});
    archive.entries.push_back({forge::write_g1m(model)});
    std::string error;
    ASSERT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;

    list_text = "<G1M_ output_id=\"" + model_id + "\"/>";
    if (with_texture) list_text += std::string("<G1TG output_id=\"") + kTextureId + "\"/>";
    list.parse<0>(list_text.data());
    g_selectedNode.store(list.first_node());
    ASSERT_TRUE(g_selectionRef.store(directory.file("viewer.idx"), model_id));
  }

  // Starts a viewer and waits until it presented frame number count.
  std::optional<win::DeviceFrame> start_and_wait(std::uint64_t count) {
    g_modelElement.store(reinterpret_cast<engine::HELEMENT>(std::uintptr_t{0x40}));
    win::start_thread(&ModelViewerThread);
    return wait_for_frame(count);
  }

  std::optional<win::DeviceFrame> wait_for_frame(std::uint64_t number) {
    for (int tries = 0; tries < 1000; ++tries) {
      const auto frame = display->last_frame(model_window);
      if (frame && frame->number >= number) return frame;
      win::Sleep(5);
    }
    return std::nullopt;
  }

  // The first frame begun after this call, for what a test changed just
  // before: the newest frame may have been drawn while it changed, and the
  // one after it begun before; the next is wholly after (frames are counted
  // from the newest seen now, not from one seen earlier, which a slow test
  // thread may have left many frames behind).
  std::optional<win::DeviceFrame> frame_after_change() {
    const auto newest = display->last_frame(model_window);
    return wait_for_frame(newest ? newest->number + 2 : 2);
  }

  // Ends the viewer; true when it ended and left nothing behind.
  bool stop_viewer() {
    g_modelElement.store(nullptr);
    return win::wait_for_threads(5000) && g_viewerDirect3D.load() == nullptr &&
           display->device_resource_count() == 0;
  }

  TempDir directory;
  win::HWND host = nullptr;
  win::HWND model_window = nullptr;
  std::string list_text;
  rapidxml::xml_document<char> list;
};

}  // namespace korvel::test
