// The viewer's CPU time per frame for a model of 200,000 triangles in 64
// sub-meshes: clear, scene, viewport, transforms and 64 bound draws recorded
// (handing the frame over and pacing excluded). Goal: under 0.1 ms, since a
// frame only names what to draw. For reference, in the same run: the frame
// as the JSON the display sends, and one pass over the model's indices (what
// a frame would cost if it touched the geometry).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/archive.h"
#include "bench/support/ratio_reporter.h"
#include "formats/g1m_format.h"
#include "formats/shared_ui_state.h"
#include "formats/viewer_model.h"
#include "formats/viewer_scene.h"
#include "fuzz/g1m_harness.h"
#include "platform/display/device_json.h"
#include "platform/win/win32.h"
#include "tools/forge/g1m_writer.h"

namespace {

using namespace korvel;

constexpr std::uint32_t kSubmeshes = 64;
constexpr std::uint32_t kTriangles = 200000;
constexpr std::uint32_t kStride = 36;

struct Scene {
  Archive archive;
  ContentTree tree;
  d3d9::IDirect3D9* direct3d = nullptr;
  d3d9::IDirect3DDevice9* device = nullptr;
  ViewerModel model;
};

Scene& scene() {
  static Scene* const made = [] {
    auto* out = new Scene;
    // One buffer per sub-mesh, each a strip of its share of the triangles.
    const std::uint32_t strip = kTriangles / kSubmeshes + 2;
    forge::G1mSection vertices = forge::vertex_section({});
    forge::G1mSection indices = forge::index_section({});
    forge::G1mSection submeshes = forge::submesh_section({});
    for (std::uint32_t s = 0; s < kSubmeshes; ++s) {
      forge::G1mVertexBuffer buffer;
      buffer.stride = kStride;
      buffer.vertex_count = strip;
      buffer.data.assign(std::size_t{kStride} * strip, 0);
      vertices.vertex_buffers.push_back(std::move(buffer));
      forge::G1mIndexBuffer index_buffer;
      index_buffer.index_bits = 16;
      for (std::uint32_t i = 0; i < strip; ++i) index_buffer.indices.push_back(i);
      indices.index_buffers.push_back(std::move(index_buffer));
      submeshes.submeshes.push_back({s, 0, strip, 0, strip, {}});
    }
    forge::G1mModel model;
    model.chunks = {forge::geometry_chunk(g1m::kGeometryVersion44, {vertices, indices, submeshes})};
    const forge::Bytes payload = forge::write_g1m(model);
    out->archive.requested_key = fuzz::kModelKey;
    out->archive.decode_g1m(fuzz::entry_element(&out->tree), payload.data(),
                            static_cast<std::uint32_t>(payload.size()), nullptr, nullptr, nullptr);

    win::reset_window_system();
    win::WNDCLASSW window_class{};
    window_class.lpfnWndProc = &win::DefWindowProcW;
    window_class.lpszClassName = u"bench model window";
    win::RegisterClassW(&window_class);
    const win::HWND window = win::CreateWindowExW(0, u"bench model window", u"", win::WS_POPUP, 0,
                                                  0, 800, 600, nullptr, nullptr, nullptr, nullptr);
    g_modelRect.right = 800;
    g_modelRect.bottom = 600;
    for (auto& flag : g_modelShow) flag.store(1);
    out->direct3d = d3d9::Direct3DCreate9(d3d9::D3D_SDK_VERSION);
    d3d9::D3DPRESENT_PARAMETERS parameters{};
    parameters.Windowed = 1;
    parameters.SwapEffect = d3d9::D3DSWAPEFFECT_DISCARD;
    parameters.EnableAutoDepthStencil = 1;
    parameters.AutoDepthStencilFormat = d3d9::D3DFMT_D16;
    out->direct3d->CreateDevice(0, d3d9::D3DDEVTYPE_HAL, window,
                                d3d9::D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters,
                                &out->device);
    build_viewer_model(out->archive.model_view, out->device, &out->model);
    set_scene_render_states(out->device);
    return out;
  }();
  return *made;
}

void BM_RecordFrame(benchmark::State& state) {
  Scene& s = scene();
  std::size_t draws = 0;
  for (auto _ : state) {
    record_model_frame(s.device, s.model, nullptr);
    draws = s.device->recording().draws.size();
    s.device->drop_recording();
  }
  state.counters["draws"] = static_cast<double>(draws);
}
BENCHMARK(BM_RecordFrame)->Unit(benchmark::kMicrosecond);

void BM_FrameJson(benchmark::State& state) {
  Scene& s = scene();
  record_model_frame(s.device, s.model, nullptr);
  const win::DeviceFrame frame = s.device->recording();
  s.device->drop_recording();
  std::size_t bytes = 0;
  for (auto _ : state) bytes = display::device_frame_json(frame).dump().size();
  state.counters["json_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_FrameJson)->Unit(benchmark::kMicrosecond);

void BM_IndexPass(benchmark::State& state) {
  Scene& s = scene();
  for (auto _ : state) {
    std::uint64_t sum = 0;
    for (const ViewerIndexBuffer& buffer : s.model.index_buffers) {
      for (std::uint32_t i = 0; i < buffer.index_count; ++i) {
        std::uint16_t index = 0;
        std::memcpy(&index, buffer.indices + 2 * i, 2);
        sum += index;
      }
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_IndexPass)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  return korvel::bench::run_benchmarks(
      argc, argv,
      {{"recording a frame against one pass over its indices", "BM_RecordFrame", "BM_IndexPass"},
       {"recording a frame against its JSON", "BM_RecordFrame", "BM_FrameJson"}},
      [] { scene(); });
}
