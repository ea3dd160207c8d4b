// What one click on a texture costs: LoadDataHandler answering the texture
// page for a 2048x2048 DXT5 texture in the last entry of a 100,000-entry
// archive, inside a zlib chunk stream, against Pillow opening the same DDS
// file and saving it as PNG at compression level 1 (a child process, as a
// user would run it). Goal: at most 40 ms, and at least 10 times faster.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <rapidxml.hpp>

#include "bench/support/child_process_timing.h"
#include "bench/support/ratio_reporter.h"
#include "formats/selection_keys.h"
#include "formats/shared_ui_state.h"
#include "formats/texture_display.h"
#include "platform/win/win32.h"
#include "tests/support/scripted_display.h"
#include "tools/forge/archive_writer.h"
#include "tools/forge/g1t_writer.h"
#include "tools/forge/zlib_stream_writer.h"

namespace {

constexpr int kEntryCount = 100000;
constexpr std::uint32_t kChunkSize = 0x20000;

korvel::forge::ForgeTexture big_texture() {
  korvel::forge::ForgeTexture texture;
  texture.format = korvel::forge::kG1tDxt5;
  texture.width_log2 = 11;
  texture.height_log2 = 11;
  texture.picture = korvel::forge::Picture::kRings;
  return texture;
}

struct Fixture {
  std::string index_path;
  std::string dds_path;
  std::string output_id;
  rapidxml::xml_document<char> list;
  korvel::ListNode* texture_node = nullptr;
  korvel::win::HWND tree = nullptr;

  Fixture() {
    const std::string directory =
        (std::filesystem::temp_directory_path() / "korvel-bench-texture-display").string();
    std::filesystem::create_directories(directory);
    index_path = directory + "/many.idx";
    dds_path = directory + "/texture.dds";
    const korvel::forge::ForgeTexture texture = big_texture();
    if (!std::filesystem::exists(index_path) || !std::filesystem::exists(dds_path)) write(texture);
    char id[64];
    std::snprintf(id, sizeof id, ".\\%08d\\0\\0.dds", kEntryCount - 1);
    output_id = id;
    select_in_tree();
  }

  void write(const korvel::forge::ForgeTexture& texture) {
    korvel::forge::ForgeArchive archive;
    archive.name = "many";
    archive.entries.resize(kEntryCount);
    for (int i = 0; i + 1 < kEntryCount; ++i) {
      archive.entries[i].payload.assign(16, static_cast<std::uint8_t>(i));
    }
    korvel::forge::ForgeG1t g1t;
    g1t.textures = {texture};
    const korvel::forge::Bytes container = korvel::forge::write_g1t(g1t, false);
    archive.entries.back().payload = korvel::forge::zlib_stream_of(container, kChunkSize, false);
    archive.entries.back().size_uncomp = container.size();
    std::string error;
    if (!korvel::forge::write_archive(std::filesystem::path(index_path).parent_path().string(),
                                      archive, &error)) {
      std::fprintf(stderr, "forge: %s\n", error.c_str());
      std::abort();
    }
    const korvel::forge::Bytes dds = korvel::forge::expected_dds_file(texture);
    FILE* file = std::fopen(dds_path.c_str(), "wb");
    std::fwrite(dds.data(), 1, dds.size(), file);
    std::fclose(file);
  }

  // The list document's archive node with the texture below it, selected in
  // a tree control as a user's click leaves it.
  void select_in_tree() {
    namespace win = korvel::win;
    auto* archive = list.allocate_node(rapidxml::node_element, "archive");
    archive->append_attribute(
        list.allocate_attribute("idx_file_path", list.allocate_string(index_path.c_str())));
    texture_node = list.allocate_node(rapidxml::node_element, "G1TG");
    texture_node->append_attribute(
        list.allocate_attribute("output_id", list.allocate_string(output_id.c_str())));
    archive->append_node(texture_node);
    list.append_node(archive);

    win::reset_window_system();
    win::set_display(std::make_shared<win::ScriptedDisplay>());
    tree = win::CreateWindowExW(0, win::WC_TREEVIEWW, u"", win::WS_POPUP, 0, 0, 300, 600, nullptr,
                                nullptr, nullptr, nullptr);
    win::ShowWindow(tree, win::SW_SHOW);
    win::TVINSERTSTRUCTW insert{};
    insert.hParent = win::TVI_ROOT;
    insert.hInsertAfter = win::TVI_LAST;
    insert.item.mask = win::TVIF_TEXT | win::TVIF_PARAM;
    insert.item.pszText = const_cast<char16_t*>(u"texture");
    insert.item.lParam = reinterpret_cast<win::LPARAM>(texture_node);
    const auto item = reinterpret_cast<win::HTREEITEM>(
        win::SendMessageW(tree, win::TVM_INSERTITEMW, 0, reinterpret_cast<win::LPARAM>(&insert)));
    win::TreeAction select;
    select.tree = tree;
    select.item = item;
    win::input_tree_action(select);
    win::MSG msg{};
    while (win::next_pending_message(&msg)) win::DispatchMessageW(&msg);
    korvel::g_hwndTree = tree;
    if (korvel::selected_list_node() != texture_node) {
      std::fprintf(stderr, "the texture could not be selected in the tree\n");
      std::abort();
    }
  }
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

void BM_LoadDataHandler(benchmark::State& state) {
  Fixture& f = fixture();
  korvel::engine::NMHL_LOAD_DATA request{};
  request.hdr.hwndFrom = f.tree;
  request.uri = u"korvel:G1TG";
  for (auto _ : state) {
    benchmark::DoNotOptimize(korvel::LoadDataHandler(&request));
  }
}
BENCHMARK(BM_LoadDataHandler)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void BM_PillowLevel1(benchmark::State& state) {
  const Fixture& f = fixture();
  const std::string command =
      "/usr/bin/python3 -c \"import sys; from PIL import Image; "
      "Image.open(sys.argv[1]).save(sys.argv[2], compress_level=1)\" '" +
      f.dds_path + "' '" + f.dds_path + ".pillow.png'";
  korvel::bench::time_child_process(state, command, "Pillow (python3-pil)");
}
BENCHMARK(BM_PillowLevel1)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return korvel::bench::run_benchmarks(
      argc, argv,
      {{"texture page, 2048x2048 DXT5 in the last of 100000 entries / Pillow level 1 "
        "(goal: 0.1x at most)",
        "BM_LoadDataHandler", "BM_PillowLevel1"}},
      [] { fixture(); });
}
