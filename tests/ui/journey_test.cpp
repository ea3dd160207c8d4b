// A user's whole road through the running program, on copies of the samples:
// expand an archive whose index moved, see a texture, extract it, replace it
// and see the new picture, then switch a sub-model off and on.
#include <deque>

#include "archive/archive.h"
#include "platform/d3d9/png_encode.h"
#include "platform/engine/view.h"
#include "tests/platform/d3d9/image_oracles.h"
#include "tests/support/program_fixture.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;
using win::TreeActionKind;

class Journey : public ProgramFixture {
 protected:
  void SetUp() override {
    ProgramFixture::SetUp();
    // The journey writes archives, so they are copies, not the built samples.
    fs::remove(resources() + "/samples");
    fs::copy(fs::path(KORVEL_BUILD_DIR) / "korvel_res/samples", resources() + "/samples");
    fs::create_directory(scratch.file("mine"));
    for (const char* file : {"textures.idx", "textures.bin"}) {
      fs::rename(resources() + "/samples/" + file, scratch.file(std::string("mine/") + file));
    }
    display->set_answerer(
        [this](const win::ModalRequest& request) -> std::optional<win::ModalAnswer> {
          if (request.kind == win::ModalKind::kMessageBox) {
            told.push_back(request.text);
            return win::ModalAnswer{true, {}};
          }
          if (answers.empty()) return win::ModalAnswer{};
          const win::ModalAnswer next{true, answers.front()};
          answers.pop_front();
          return next;
        });
  }

  win::HTREEITEM item(win::HTREEITEM parent, const std::string& prefix) {
    for (win::HTREEITEM child : display->tree_children(g_hwndTree, parent)) {
      if (display->tree_item(child)->text.rfind(prefix, 0) == 0) return child;
    }
    ADD_FAILURE() << "no item " << prefix;
    return nullptr;
  }
  win::HTREEITEM expand(win::HTREEITEM parent, const std::string& prefix) {
    win::HTREEITEM found = item(parent, prefix);
    display->tree(g_hwndTree, found, TreeActionKind::kExpand);
    pump();
    return found;
  }
  void select(win::HTREEITEM target) {
    display->tree(g_hwndTree, target, TreeActionKind::kSelect);
    pump();
  }
  // A press and release on the element, as the browser reports it.
  void click(engine::HELEMENT element) {
    report({{by_id("treeview"), {10, 70, 350, 700}}, {element, {500, 300, 560, 330}}});
    const win::RECT host = window_rect(g_hwndHost);
    display->click(g_hwndHost, host.left + 530, host.top + 315);
    pump();
  }
  d3d9::RgbaImage shown_texture() {
    d3d9::RgbaImage image;
    engine::View* view = engine::find_view(g_hwndHost);
    const auto found = view->resources.find(u"korvel:G1TG");
    EXPECT_TRUE(found != view->resources.end() && read_png_rgba(found->second, &image));
    view->resources.clear();
    return image;
  }

  std::deque<std::string> answers;
  std::vector<std::string> told;
};

TEST_F(Journey, ExpandShowExtractReplaceAndToggleSubModels) {
  start();
  answers.push_back(scratch.file("mine/textures.idx"));
  const win::HTREEITEM archive = expand(nullptr, "textures.idx");
  const win::HTREEITEM entry = expand(archive, "entry 0");
  select(item(entry, "texture 0"));
  EXPECT_EQ(shown_texture().width, 256u);

  answers.push_back(scratch.file("out/t0"));
  click(by_id("pick_up_pic"));
  Archive stored;
  stored.open(scratch.file("mine/textures.idx").c_str());
  ASSERT_EQ(stored.load_entry(".\\00000000\\0.dds"), 1);
  EXPECT_EQ(
      read_bytes(scratch.file("out/t0.dds")),
      std::vector<std::uint8_t>(stored.image.begin(), stored.image.begin() + stored.image_size));

  Archive other;
  other.open((resources() + "/samples/game.idx").c_str());
  ASSERT_EQ(other.load_entry(".\\00000000\\1\\0.dds"), 1);
  write_bytes(
      scratch.file("other.dds"),
      std::vector<std::uint8_t>(other.image.begin(), other.image.begin() + other.image_size));
  answers.push_back(scratch.file("other.dds"));
  click(by_id("change_pic"));
  select(item(entry, "texture 1"));
  shown_texture();
  select(item(entry, "texture 0"));
  std::vector<std::uint8_t> png;
  ASSERT_TRUE(d3d9::dds_first_level_to_png(other.image.data(), other.image_size, &png).ok());
  d3d9::RgbaImage expected;
  ASSERT_TRUE(read_png_rgba(png, &expected));
  EXPECT_EQ(shown_texture().pixels, expected.pixels);
  EXPECT_EQ(told, (std::vector<std::string>{"提取成功，碉堡了！", "替换成功，碉堡了！"}));

  // A model page; without a viewer that loads models, its message is posted here.
  const win::HTREEITEM pack = expand(expand(expand(nullptr, "game.idx"), "entry 0"), "pack item 0");
  select(item(pack, "model"));
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
  click(box);
  EXPECT_EQ(g_modelShow[3].load(), 0);
  click(box);
  EXPECT_EQ(g_modelShow[3].load(), 1);

  EXPECT_EQ(finish(), 0);
  EXPECT_NE(read_text(list_path()).find("idx_file_path=\"" + scratch.file("mine/textures.idx")),
            std::string::npos);
}

}  // namespace
}  // namespace korvel::test
