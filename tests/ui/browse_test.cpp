// The tree view and the texture page, driven as the user drives them.
#include <chrono>

#include "tests/platform/d3d9/image_oracles.h"
#include "tests/ui/browse_fixture.h"

namespace korvel::test {
namespace {

using win::TreeActionKind;

TEST_F(BrowseTest, ExpandingFillsChildrenOnceWithButtonsWhereElementsAre) {
  load_list({"textures"});
  const win::HTREEITEM archive = children(nullptr).at(0);
  for (int round = 0; round < 2; ++round) {
    act(archive, TreeActionKind::kExpand);
    const std::vector<win::HTREEITEM> entries = children(archive);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(label(entries[0]), "entry 0");
    EXPECT_TRUE(display->tree_item(entries[0])->has_button);   // three textures
    EXPECT_FALSE(display->tree_item(entries[3])->has_button);  // text only
    act(archive, TreeActionKind::kCollapse);
  }
  EXPECT_TRUE(display->modal_history().empty());
}

TEST_F(BrowseTest, AMissingIndexIsAskedForAndTheChoiceIsKeptInTheList) {
  load_list({"textures"});
  std::filesystem::rename(dir.file("textures.idx"), dir.file("moved.idx"));
  std::filesystem::rename(dir.file("textures.bin"), dir.file("moved.bin"));
  const win::HTREEITEM archive = children(nullptr).at(0);
  act(archive, TreeActionKind::kExpand);  // cancelled
  EXPECT_TRUE(children(archive).empty());
  answers.push_back(dir.file("moved.idx"));
  act(archive, TreeActionKind::kExpand);
  EXPECT_EQ(children(archive).size(), 4u);

  const std::vector<win::ModalRequest> asked = display->modal_history();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].kind, win::ModalKind::kOpenFile);
  EXPECT_EQ(asked[0].owner, g_hwndTree);
  EXPECT_EQ(asked[0].filters.at(0).pattern, "*.idx");
  EXPECT_EQ(asked[0].flags, win::OFN_OVERWRITEPROMPT);
  ASSERT_EQ(list.save(list_path().c_str()), 1);
  EXPECT_NE(read_text(list_path()).find("idx_file_path=\"" + dir.file("moved.idx") + "\""),
            std::string::npos);
}

TEST_F(BrowseTest, ATextureSelectionShowsTheSamePixelsAsTheCommandLine) {
  load_list({"textures"});
  act(path_to({"textures.idx", "entry 1", "texture 2"}), TreeActionKind::kSelect);
  const std::optional<std::vector<engine::BYTE>> png = take_delivered(u"korvel:G1TG");
  ASSERT_TRUE(png);
  ASSERT_EQ(run_cli({"extract", dir.file("textures.idx"), ".\\00000001\\2.dds", dir.file("c.png")}),
            0);
  d3d9::RgbaImage shown;
  d3d9::RgbaImage expected;
  ASSERT_TRUE(read_png_rgba(*png, &shown));
  ASSERT_TRUE(read_png_rgba(read_bytes(dir.file("c.png")), &expected));
  EXPECT_EQ(shown.width, 512u);
  EXPECT_EQ(shown.pixels, expected.pixels);
  EXPECT_NE(by_id("picture"), nullptr);
  EXPECT_EQ(g_modelElement.load(), nullptr);
}

TEST_F(BrowseTest, AModelPageIsPublishedAfterThePauseAndOtherPagesOnlyClearIt) {
  load_list({"game"});
  const win::HTREEITEM model = path_to({"game.idx", "entry 0", "pack item 0", "model"});
  const auto start = std::chrono::steady_clock::now();
  act(model, TreeActionKind::kSelect);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  ASSERT_NE(g_modelElement.load(), nullptr);
  EXPECT_EQ(g_modelElement.load(), by_id("mywindow_dx"));
  std::string path;
  std::string id;
  g_selectionRef.load(&path, &id);
  EXPECT_EQ(path, dir.file("game.idx"));
  EXPECT_EQ(id, ".\\00000000\\0\\0.G1M_");
  EXPECT_EQ(g_selectedNode.load(), node_of(model));

  const win::HTREEITEM pack = path_to({"game.idx", "entry 0", "pack item 1"});
  act(find(pack, "texture 0"), TreeActionKind::kSelect);
  EXPECT_EQ(g_modelElement.load(), nullptr);
  g_selectionRef.load(&path, &id);
  EXPECT_EQ(id, ".\\00000000\\0\\0.G1M_");
  EXPECT_EQ(g_selectedNode.load(), node_of(model));

  act(pack, TreeActionKind::kSelect);  // no page: the pane empties
  engine::UINT count = 1;
  engine::HTMLayoutGetChildrenCount(g_contentElement, &count);
  EXPECT_EQ(count, 0u);
}

TEST_F(BrowseTest, F2EditsTheSelectedLabelAndTheSavedListHoldsIt) {
  load_list({"textures"});
  const win::HTREEITEM entry = path_to({"textures.idx", "entry 0"});
  act(entry, TreeActionKind::kSelect);
  display->key(g_hwndTree, win::VK_F2);
  pump();
  EXPECT_EQ(display->tree_edit(g_hwndTree).first, entry);
  act(entry, TreeActionKind::kCancelEdit);
  EXPECT_EQ(label(entry), "entry 0");
  EXPECT_EQ(list.to_text().find("gems"), std::string::npos);

  display->key(g_hwndTree, win::VK_F2);
  pump();
  act(entry, TreeActionKind::kEndEdit, "gems & jewels");
  EXPECT_EQ(label(entry), "gems & jewels");
  ASSERT_EQ(list.save(list_path().c_str()), 1);
  const std::string saved = read_text(list_path());
  EXPECT_NE(saved.find(">gems &amp; jewels<G1TG"), std::string::npos);
  EXPECT_EQ(saved.find(">entry 0<"), std::string::npos);
}

TEST_F(BrowseTest, UrlsAreTheSelectedTextureOrFilesInsideTheExecutableDirectory) {
  load_list({"textures"});
  act(path_to({"textures.idx", "entry 0", "texture 1"}), TreeActionKind::kSelect);
  write_text(dir.file("exe/korvel_res/main.html"), "main");
  write_text(dir.file("secret.html"), "secret");
  write_text(dir.file("exe_x.html"), "beside");
  const struct {
    const char16_t* uri;
    std::string bytes;  // "PNG" for the texture
  } cases[] = {
      {u"korvel:g1tg", "PNG"},
      {u"KORVEL:G1TG", "PNG"},
      {u"korvel:G1TGx", ""},
      {u"/korvel_res/main.html", "main"},
      {u"/korvel_res/missing.html", ""},
      {u"/../secret.html", ""},
      {u"/korvel_res/../../secret.html", ""},
      {u"/korvel_res\\..\\..\\secret.html", ""},
      {u"_x.html", ""},
  };
  for (const auto& c : cases) {
    engine::NMHL_LOAD_DATA request{};
    request.hdr.hwndFrom = host;
    request.uri = c.uri;
    EXPECT_EQ(LoadDataHandler(&request), 0);
    const std::optional<std::vector<engine::BYTE>> bytes = take_delivered(c.uri);
    ASSERT_TRUE(bytes) << win::utf16_to_utf8(c.uri);
    const std::string text(bytes->begin(), bytes->end());
    EXPECT_EQ(c.bytes == "PNG" ? text.substr(1, 3) : text, c.bytes) << win::utf16_to_utf8(c.uri);
  }
}

}  // namespace
}  // namespace korvel::test
