// A user's whole road through the running program: expand an archive whose
// index moved, see a texture, extract it, replace it and see the new picture,
// switch a sub-model off and on, and find the chosen index in the saved list.
#include "platform/d3d9/png_encode.h"
#include "tests/platform/d3d9/image_oracles.h"
#include "tests/ui/browsing_fixture.h"

namespace korvel::test {
namespace {

using win::TreeActionKind;

class Journey : public Browsing {
 protected:
  // A press and release on the element, where the browser reports it.
  void click_at(engine::HELEMENT element) {
    report({{by_id("treeview"), {10, 70, 350, 700}}, {element, {500, 300, 560, 330}}});
    const win::RECT host = window_rect(g_hwndHost);
    display->click(g_hwndHost, host.left + 530, host.top + 315);
    pump();
  }
  d3d9::RgbaImage shown_texture() {
    d3d9::RgbaImage image;
    const auto png = take_delivered(u"korvel:G1TG");
    EXPECT_TRUE(png && read_png_rgba(*png, &image));
    return image;
  }
};

TEST_F(Journey, ExpandShowExtractReplaceAndToggleSubModels) {
  std::filesystem::create_directory(scratch.file("mine"));
  for (const std::string file : {"textures.idx", "textures.bin"}) {
    std::filesystem::rename(samples() + "/" + file, scratch.file("mine/" + file));
  }
  start();
  answers.push_back(scratch.file("mine/textures.idx"));
  const win::HTREEITEM entry = open_path({"textures.idx", "entry 0"});
  tree(entry, TreeActionKind::kExpand);
  tree(item(entry, "texture 0"), TreeActionKind::kSelect);
  EXPECT_EQ(shown_texture().width, 256u);

  answers.push_back(scratch.file("out/t0"));
  click_at(by_id("pick_up_pic"));
  EXPECT_EQ(read_bytes(scratch.file("out/t0.dds")),
            texture_of(scratch.file("mine/textures.idx"), ".\\00000000\\0.dds"));

  const std::vector<std::uint8_t> other =
      texture_of(samples() + "/game.idx", ".\\00000000\\1\\0.dds");
  write_bytes(scratch.file("other.dds"), other);
  answers.push_back(scratch.file("other.dds"));
  click_at(by_id("change_pic"));
  tree(item(entry, "texture 1"), TreeActionKind::kSelect);
  take_delivered(u"korvel:G1TG");
  tree(item(entry, "texture 0"), TreeActionKind::kSelect);
  std::vector<std::uint8_t> png;
  d3d9::RgbaImage expected;
  ASSERT_TRUE(d3d9::dds_first_level_to_png(other.data(), other.size(), &png).ok());
  ASSERT_TRUE(read_png_rgba(png, &expected));
  EXPECT_EQ(shown_texture().pixels, expected.pixels);
  EXPECT_EQ(told, (std::vector<std::string>{"提取成功，碉堡了！", "替换成功，碉堡了！"}));
  for (const win::ModalRequest& request : asked) {
    EXPECT_EQ(request.owner, g_hwndTree);
    if (request.kind == win::ModalKind::kMessageBox) {
      EXPECT_EQ(request.title, "korvel info");
    }
  }

  // A model page. A viewer that loads models posts its sub-model count; without
  // one, the test posts it.
  const win::HTREEITEM pack = open_path({"game.idx", "entry 0", "pack item 0"});
  tree(pack, TreeActionKind::kExpand);
  tree(item(pack, "model"), TreeActionKind::kSelect);
  ASSERT_NE(g_modelElement.load(), nullptr);
  if (win::wait_for_threads(200)) win::PostMessageW(g_hwndHost, WM_MODEL_LOADED, 16, 0);
  engine::HELEMENT box = nullptr;
  for (int attempt = 0; attempt < 200 && box == nullptr; ++attempt) {
    pump();
    engine::HTMLayoutVisitElements(
        root(), nullptr, "number", u"03",
        [](engine::HELEMENT he, engine::LPVOID param) -> engine::BOOL {
          *static_cast<engine::HELEMENT*>(param) = he;
          return 1;
        },
        &box, 0);
    if (box == nullptr) win::Sleep(10);
  }
  ASSERT_NE(box, nullptr);
  click_at(box);
  EXPECT_EQ(g_modelShow[3].load(), 0);
  click_at(box);
  EXPECT_EQ(g_modelShow[3].load(), 1);

  EXPECT_EQ(finish(), 0);
  EXPECT_NE(read_text(list_path()).find("idx_file_path=\"" + scratch.file("mine/textures.idx")),
            std::string::npos);
}

}  // namespace
}  // namespace korvel::test
