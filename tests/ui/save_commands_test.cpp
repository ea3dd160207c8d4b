// A modder's road through the new commands: the texture saved as PNG, painted
// and put back, and the model exported as glTF with that texture.
#include <algorithm>
#include <cstring>

#include "platform/d3d9/dds_decode.h"
#include "platform/d3d9/png_decode.h"
#include "platform/d3d9/png_encode.h"
#include "tests/ui/browsing_fixture.h"

namespace korvel::test {
namespace {

using win::TreeActionKind;

TEST_F(Browsing, SavePngPaintReplaceAndExportTheModel) {
  start();
  const win::HTREEITEM pack = open_path({"game.idx", "entry 0", "pack item 0"});
  tree(pack, TreeActionKind::kExpand);
  tree(item(pack, "texture 0"), TreeActionKind::kSelect);
  const std::string key = ".\\00000000\\1\\0.dds";

  click("save_png");  // cancelled: nothing written, nothing said
  answers.push_back(scratch.file("painted"));
  click("save_png");
  d3d9::RgbaImage picture;
  const std::vector<std::uint8_t> saved = read_bytes(scratch.file("painted.png"));
  ASSERT_TRUE(d3d9::decode_png(saved.data(), saved.size(), &picture).ok());
  d3d9::RgbaImage shown;
  std::vector<std::uint8_t> dds = texture_of(samples() + "/game.idx", key.c_str());
  ASSERT_TRUE(d3d9::decode_dds_first_level(dds.data(), dds.size(), &shown).ok());
  EXPECT_EQ(picture.pixels, shown.pixels);

  // Painted: the top half black. Replace offers PNG pictures beside DDS files.
  std::memset(picture.pixels.data(), 0, picture.pixels.size() / 2);
  std::vector<std::uint8_t> png;
  ASSERT_TRUE(d3d9::encode_png(picture, &png).ok());
  write_bytes(scratch.file("painted.png"), png);
  answers.push_back(scratch.file("painted.png"));
  click("change_pic");
  bool offers_png = false;
  for (const win::ModalRequest& request : asked) {
    for (const win::FileFilter& filter : request.filters) {
      offers_png =
          offers_png || (request.kind == win::ModalKind::kOpenFile && filter.pattern == "*.png");
    }
  }
  EXPECT_TRUE(offers_png);
  dds = texture_of(samples() + "/game.idx", key.c_str());
  ASSERT_TRUE(d3d9::decode_dds_first_level(dds.data(), dds.size(), &shown).ok());
  EXPECT_EQ(shown.pixels[0], 0);
  EXPECT_EQ(shown.pixels[shown.pixels.size() / 2 - 4], 0);

  tree(item(pack, "model"), TreeActionKind::kSelect);
  answers.push_back(scratch.file("models/robot"));
  click("export_model");
  const std::vector<std::uint8_t> glb = read_bytes(scratch.file("models/robot.glb"));
  ASSERT_GT(glb.size(), 4u);
  EXPECT_EQ(std::memcmp(glb.data(), "glTF", 4), 0);
  // The painted texture goes inside it, as a compressed PNG.
  const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_NE(std::search(glb.begin(), glb.end(), signature, signature + 8), glb.end());
  EXPECT_LT(glb.size(), png.size());

  EXPECT_EQ(told, (std::vector<std::string>{"保存成功，碉堡了！", "替换成功，碉堡了！",
                                            "导出成功，碉堡了！"}));
}

}  // namespace
}  // namespace korvel::test
