// Extract, replace and the sub-model checkboxes, on copies of the samples.
#include <sys/stat.h>

#include "archive/archive.h"
#include "tests/ui/browse_fixture.h"
#include "ui/element_commands.h"

namespace korvel::test {
namespace {

using win::TreeActionKind;

constexpr const char* kExtracted = "提取成功，碉堡了！";
constexpr const char* kExtractFailed = "不科学，提取失败了！";
constexpr const char* kReplaced = "替换成功，碉堡了！";
constexpr const char* kUnchanged =
    "新数据与现存在idx+bin中的是一样的，没有做任何修改，一样碉堡了！";
constexpr const char* kReplaceFailed = "不科学，替换失败了！";

std::vector<std::uint8_t> texture(const std::string& index, const char* key) {
  Archive archive;
  archive.open(index.c_str());
  if (archive.load_entry(key) != 1) return {};
  return {archive.image.begin(), archive.image.begin() + archive.image_size};
}

class Commands : public BrowseTest {
 protected:
  void select_texture() {
    load_list({"textures"});
    act(path_to({"textures.idx", "entry 0", "texture 0"}), TreeActionKind::kSelect);
  }
  void click(const char* id) { ElementCommand(by_id(id)); }
  std::vector<std::uint8_t> archive_bytes() const {
    std::vector<std::uint8_t> bytes = read_bytes(dir.file("textures.idx"));
    const std::vector<std::uint8_t> data = read_bytes(dir.file("textures.bin"));
    bytes.insert(bytes.end(), data.begin(), data.end());
    return bytes;
  }
  static constexpr const char* kKey = ".\\00000000\\0.dds";
};

TEST_F(Commands, ExtractNamesTheFileByTheDdsRuleAndTellsTheOutcome) {
  select_texture();
  const std::vector<std::uint8_t> expected = texture(dir.file("textures.idx"), kKey);
  const struct {
    const char* typed;
    const char* written;
  } cases[] = {{"abc", "abc.dds"},
               {"abc.DDS", "abc.DDS"},
               {"a.x", "a.x.dds"},
               {"tex.dds.bak", "tex.dds.bak.dds"},
               {"new/folders/t", "new/folders/t.dds"}};
  for (const auto& c : cases) {
    answers.push_back(dir.file(c.typed));
    click("pick_up_pic");
    EXPECT_EQ(read_bytes(dir.file(c.written)), expected) << c.typed;
  }
  click("pick_up_pic");  // cancelled: no message
  EXPECT_EQ(boxes(), std::vector<std::string>(5, kExtracted));

  // No room for ".dds", and a file that cannot be written, both fail aloud.
  const std::string long_name = dir.path() + "/" + std::string(250, 'n') + "/" +
                                std::string(250, 'n') + "/" + std::string(250, 'n') + "/" +
                                std::string(1021 - dir.path().size() - 754, 'n');
  ASSERT_EQ(long_name.size(), 1021u);
  answers.push_back(long_name);
  click("pick_up_pic");
  answers.push_back(dir.file("textures.idx/inside.dds"));
  click("pick_up_pic");
  EXPECT_FALSE(std::filesystem::exists(dir.path() + "/" + std::string(250, 'n')));
  const std::vector<std::string> told = boxes();
  EXPECT_EQ(std::vector<std::string>(told.begin() + 5, told.end()),
            std::vector<std::string>(2, kExtractFailed));

  htmlayout::dom::element(by_id("pick_up_pic")).set_attribute("id", u"PICK_UP_PIC");
  answers.push_back(dir.file("upper"));
  click("PICK_UP_PIC");
  EXPECT_EQ(read_bytes(dir.file("upper.dds")), expected);
}

TEST_F(Commands, ReplaceWritesANewTextureAndLeavesAnIdenticalOneAlone) {
  select_texture();
  const std::vector<std::uint8_t> same = texture(dir.file("textures.idx"), kKey);
  const std::vector<std::uint8_t> other = texture(dir.file("game.idx"), ".\\00000000\\1\\0.dds");
  ASSERT_NE(same, other);
  write_bytes(dir.file("same.dds"), same);
  write_bytes(dir.file("other.dds"), other);

  const std::vector<std::uint8_t> before = archive_bytes();
  click("change_pic");  // cancelled: nothing happens
  answers.push_back(dir.file("same.dds"));
  click("change_pic");
  EXPECT_EQ(archive_bytes(), before);
  answers.push_back(dir.file("other.dds"));
  click("change_pic");
  EXPECT_EQ(texture(dir.file("textures.idx"), kKey), other);
  EXPECT_EQ(boxes(), (std::vector<std::string>{kUnchanged, kReplaced}));

  // The next selection of the texture shows the new picture.
  act(path_to({"textures.idx", "entry 0", "texture 1"}), TreeActionKind::kSelect);
  act(path_to({"textures.idx", "entry 0", "texture 0"}), TreeActionKind::kSelect);
  ASSERT_EQ(run_cli({"extract", dir.file("game.idx"), ".\\00000000\\1\\0.dds", dir.file("g.png")}),
            0);
  EXPECT_EQ(take_delivered(u"korvel:G1TG"), read_bytes(dir.file("g.png")));
}

TEST_F(Commands, AReadOnlyArchiveBrowsesAndExtractsButRefusesReplacement) {
  ::chmod(dir.file("textures.idx").c_str(), 0444);
  ::chmod(dir.file("textures.bin").c_str(), 0444);
  select_texture();
  EXPECT_TRUE(display->modal_history().empty());  // no dialog asked for the index
  EXPECT_TRUE(take_delivered(u"korvel:G1TG"));
  answers.push_back(dir.file("out.dds"));
  click("pick_up_pic");
  write_bytes(dir.file("other.dds"), texture(dir.file("game.idx"), ".\\00000000\\1\\0.dds"));
  const std::vector<std::uint8_t> before = archive_bytes();
  answers.push_back(dir.file("other.dds"));
  click("change_pic");
  EXPECT_EQ(archive_bytes(), before);
  EXPECT_EQ(boxes(), (std::vector<std::string>{kExtracted, kReplaceFailed}));
  struct stat status {};
  ::stat(dir.file("textures.bin").c_str(), &status);
  EXPECT_EQ(status.st_mode & 0777, 0444u);

  Archive archive;
  archive.open(dir.file("textures.idx").c_str());
  EXPECT_EQ(archive.replace_entry(kKey, dir.file("other.dds").c_str()), 0);
  EXPECT_NE(archive.error.find("read-only"), std::string::npos) << archive.error;
}

TEST_F(Commands, KeysThatDoNotFitTheirBufferAreNeverCut) {
  select_texture();
  // Cut at 1023 bytes this path would name the archive; whole, it names nothing.
  std::string cut = dir.path() + "/";
  while (cut.size() + std::strlen("textures.idx") < 1023) cut += "./";
  if (cut.size() + std::strlen("textures.idx") > 1023) cut.pop_back();
  cut += "textures.idx";
  ASSERT_EQ(cut.size(), 1023u);
  set_attribute_text(list.root()->first_node(), "idx_file_path", cut + "/../textures.idx");
  ASSERT_TRUE(take_delivered(u"korvel:G1TG"));
  act(path_to({"textures.idx", "entry 0", "texture 1"}), TreeActionKind::kSelect);
  EXPECT_FALSE(take_delivered(u"korvel:G1TG"));
  click("pick_up_pic");
  EXPECT_EQ(boxes(), std::vector<std::string>{kExtractFailed});
}

TEST_F(Commands, ACheckboxTogglesItsFlagAndNumbersFrom256DoNothing) {
  const struct {
    const char* html;
    std::vector<const char16_t*> checked_after;
    int flag;  // -1: no flag may change
  } cases[] = {
      {R"(<button id="model_show_flag" number="03" checked="true">)", {u"false", u"true"}, 3},
      {R"(<button id="model_show_flag" number="256" checked="true">)", {u"true", u"true"}, -1},
      {R"(<button id="model_show_flag" number="x7" checked="TRUE">)", {u"false", u"true"}, 0},
  };
  for (const auto& c : cases) {
    for (auto& flag : g_modelShow) flag.store(1);
    const htmlayout::dom::element content(g_contentElement);
    content.set_html(reinterpret_cast<const engine::BYTE*>(c.html), std::strlen(c.html));
    for (std::size_t round = 0; round < 2; ++round) {
      click("model_show_flag");
      EXPECT_EQ(win::utf16_to_utf8(
                    htmlayout::dom::element(by_id("model_show_flag")).get_attribute("checked")),
                win::utf16_to_utf8(c.checked_after[round]))
          << c.html;
      for (std::size_t i = 0; i < 256; ++i) {
        const int expected = static_cast<int>(i) == c.flag && round == 0 ? 0 : 1;
        ASSERT_EQ(g_modelShow[i].load(), expected) << c.html << " flag " << i;
      }
    }
  }
}

}  // namespace
}  // namespace korvel::test
