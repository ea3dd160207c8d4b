// The tree view, the texture page and the commands at their edges.
#include <sys/stat.h>

#include <chrono>

#include "tests/ui/browsing_fixture.h"

namespace korvel::test {
namespace {

using win::TreeActionKind;

constexpr const char* kExtracted = "提取成功，碉堡了！";
constexpr const char* kExtractFailed = "不科学，提取失败了！";
constexpr const char* kUnchanged =
    "新数据与现存在idx+bin中的是一样的，没有做任何修改，一样碉堡了！";
constexpr const char* kReplaceFailed = "不科学，替换失败了！";
constexpr const char* kFirstTexture = ".\\00000000\\0.dds";

std::size_t count_of(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

std::vector<std::uint8_t> archive_bytes(const std::string& base) {
  std::vector<std::uint8_t> bytes = read_bytes(base + ".idx");
  const std::vector<std::uint8_t> data = read_bytes(base + ".bin");
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

TEST_F(Browsing, TheTreeFillsOnceAsksForAMissingIndexAndKeepsEditedLabels) {
  std::filesystem::remove(samples() + "/plain.idx");
  start();
  const win::HTREEITEM plain = item(nullptr, "plain.idx");
  tree(plain, TreeActionKind::kExpand);  // asked, cancelled
  EXPECT_TRUE(display->tree_children(g_hwndTree, plain).empty());
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].kind, win::ModalKind::kOpenFile);
  EXPECT_EQ(asked[0].filters.at(0).pattern, "*.idx");

  const win::HTREEITEM archive = item(nullptr, "textures.idx");
  for (int round = 0; round < 2; ++round) {
    tree(archive, TreeActionKind::kExpand);
    const std::vector<win::HTREEITEM> entries = display->tree_children(g_hwndTree, archive);
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_TRUE(display->tree_item(entries[0])->has_button);   // three textures
    EXPECT_FALSE(display->tree_item(entries[3])->has_button);  // text only
    tree(archive, TreeActionKind::kCollapse);
  }
  EXPECT_EQ(asked.size(), 1u);

  const win::HTREEITEM entry = item(archive, "entry 0");
  tree(entry, TreeActionKind::kSelect);
  for (const char* typed : {"", "gems & jewels"}) {
    display->key(g_hwndTree, win::VK_F2);
    pump();
    EXPECT_EQ(display->tree_edit(g_hwndTree).first, entry);
    tree(entry, *typed ? TreeActionKind::kEndEdit : TreeActionKind::kCancelEdit, typed);
  }
  EXPECT_EQ(display->tree_item(entry)->text, "gems & jewels");
  EXPECT_EQ(finish(), 0);
  const std::string before = read_text(resources() + "/default_idx_list.xml");
  const std::string saved = read_text(list_path());
  EXPECT_EQ(count_of(saved, ">gems &amp; jewels<G1TG"), 1u);
  EXPECT_EQ(count_of(saved, ">entry 0<"), count_of(before, ">entry 0<") - 1);
}

TEST_F(Browsing, AModelPageIsPublishedAfterThePauseAndOtherPagesOnlyClearIt) {
  start();
  const win::HTREEITEM pack = open_path({"game.idx", "entry 0", "pack item 0"});
  tree(pack, TreeActionKind::kExpand);
  const auto begin = std::chrono::steady_clock::now();
  tree(item(pack, "model"), TreeActionKind::kSelect);
  EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
  EXPECT_EQ(g_modelElement.load(), by_id("mywindow_dx"));
  std::string path;
  std::string id;
  g_selectionRef.load(&path, &id);
  EXPECT_EQ(path, "korvel_res/samples/game.idx");
  EXPECT_EQ(id, ".\\00000000\\0\\0.G1M_");
  ListNode* const model_node = g_selectedNode.load();
  ASSERT_NE(model_node, nullptr);
  EXPECT_EQ(node_attribute(model_node, "output_id"), id);

  tree(item(pack, "texture 0"), TreeActionKind::kSelect);
  EXPECT_EQ(g_modelElement.load(), nullptr);
  g_selectionRef.load(&path, &id);
  EXPECT_EQ(id, ".\\00000000\\0\\0.G1M_");
  EXPECT_EQ(g_selectedNode.load(), model_node);
  tree(pack, TreeActionKind::kSelect);  // no page: the pane empties
  engine::UINT count = 1;
  engine::HTMLayoutGetChildrenCount(g_contentElement, &count);
  EXPECT_EQ(count, 0u);
}

TEST_F(Browsing, UrlsAreTheSelectedTextureOrFilesInsideTheExecutableDirectory) {
  start();
  const win::HTREEITEM entry = open_path({"textures.idx", "entry 0"});
  tree(entry, TreeActionKind::kExpand);
  tree(item(entry, "texture 1"), TreeActionKind::kSelect);
  const std::string main_page = read_text(resources() + "/main.html");
  const struct {
    const char16_t* uri;
    std::string bytes;  // "PNG" for the texture
  } cases[] = {
      {u"korvel:g1tg", "PNG"},
      {u"KORVEL:G1TG", "PNG"},
      {u"korvel:G1TGx", ""},
      {u"/korvel_res/main.html", main_page},
      {u"/korvel_res/missing.html", ""},
      {u"/korvel_res/../korvel_res/main.html", ""},
      {u"/korvel_res\\main.html", ""},
      {u"korvel_res/main.html", ""},
  };
  for (const auto& c : cases) {
    engine::NMHL_LOAD_DATA request{};
    request.hdr.hwndFrom = g_hwndHost;
    request.uri = c.uri;
    EXPECT_EQ(LoadDataHandler(&request), 0);
    const auto bytes = take_delivered(c.uri);
    ASSERT_TRUE(bytes) << win::utf16_to_utf8(c.uri);
    const std::string text(bytes->begin(), bytes->end());
    EXPECT_EQ(c.bytes == "PNG" ? text.substr(1, 3) : text, c.bytes) << win::utf16_to_utf8(c.uri);
  }
}

TEST_F(Browsing, ExtractNamesTheFileByTheDdsRuleAndFailsAloud) {
  start();
  const win::HTREEITEM entry = open_path({"textures.idx", "entry 0"});
  tree(entry, TreeActionKind::kExpand);
  tree(item(entry, "texture 0"), TreeActionKind::kSelect);
  const std::vector<std::uint8_t> expected = texture_of(samples() + "/textures.idx", kFirstTexture);
  const struct {
    const char* typed;
    const char* written;
  } cases[] = {{"abc", "abc.dds"},
               {"abc.DDS", "abc.DDS"},
               {"a.x", "a.x.dds"},
               {"tex.dds.bak", "tex.dds.bak.dds"},
               {"new/folders/t", "new/folders/t.dds"}};
  for (const auto& c : cases) {
    answers.push_back(scratch.file(c.typed));
    click("pick_up_pic");
    EXPECT_EQ(read_bytes(scratch.file(c.written)), expected) << c.typed;
  }
  click("pick_up_pic");  // cancelled: no message
  // No room left for ".dds", and a file that cannot be written.
  const std::string folder = scratch.file(std::string(250, 'n'));
  std::string too_long = folder + "/" + std::string(250, 'n') + "/" + std::string(250, 'n') + "/";
  too_long += std::string(1021 - too_long.size(), 'n');
  answers.push_back(too_long);
  click("pick_up_pic");
  answers.push_back(samples() + "/textures.idx/inside.dds");
  click("pick_up_pic");
  EXPECT_FALSE(std::filesystem::exists(folder));
  // Ids match in any case.
  htmlayout::dom::element(by_id("pick_up_pic")).set_attribute("id", u"PICK_UP_PIC");
  answers.push_back(scratch.file("upper"));
  click("PICK_UP_PIC");
  EXPECT_EQ(read_bytes(scratch.file("upper.dds")), expected);

  std::vector<std::string> wanted(5, kExtracted);
  wanted.insert(wanted.end(), {kExtractFailed, kExtractFailed, kExtracted});
  EXPECT_EQ(told, wanted);
}

TEST_F(Browsing, ReplacementLeavesAnIdenticalTextureAndAReadOnlyArchiveAlone) {
  for (const char* file : {"/textures_be.idx", "/textures_be.bin"}) {
    ::chmod((samples() + file).c_str(), 0444);
  }
  start();
  const win::HTREEITEM entry = open_path({"textures.idx", "entry 0"});
  tree(entry, TreeActionKind::kExpand);
  tree(item(entry, "texture 0"), TreeActionKind::kSelect);
  write_bytes(scratch.file("same.dds"), texture_of(samples() + "/textures.idx", kFirstTexture));
  const std::vector<std::uint8_t> before = archive_bytes(samples() + "/textures");
  click("change_pic");  // cancelled: nothing happens
  answers.push_back(scratch.file("same.dds"));
  click("change_pic");
  EXPECT_EQ(archive_bytes(samples() + "/textures"), before);

  // Read-only: it lists without asking for the index, shows and extracts, and
  // refuses the replacement.
  const win::HTREEITEM locked = open_path({"textures_be.idx", "entry 0"});
  tree(locked, TreeActionKind::kExpand);
  tree(item(locked, "texture 0"), TreeActionKind::kSelect);
  EXPECT_TRUE(take_delivered(u"korvel:G1TG"));
  answers.push_back(scratch.file("out.dds"));
  click("pick_up_pic");
  write_bytes(scratch.file("other.dds"),
              texture_of(samples() + "/game.idx", ".\\00000000\\1\\0.dds"));
  const std::vector<std::uint8_t> locked_before = archive_bytes(samples() + "/textures_be");
  answers.push_back(scratch.file("other.dds"));
  click("change_pic");
  EXPECT_EQ(archive_bytes(samples() + "/textures_be"), locked_before);
  struct stat status {};
  ::stat((samples() + "/textures_be.bin").c_str(), &status);
  EXPECT_EQ(status.st_mode & 0777, 0444u);
  EXPECT_EQ(told, (std::vector<std::string>{kUnchanged, kExtracted, kReplaceFailed}));
  for (const win::ModalRequest& request : asked) {
    EXPECT_FALSE(!request.filters.empty() && request.filters[0].pattern == "*.idx");
  }

  Archive archive;
  archive.open((samples() + "/textures_be.idx").c_str());
  EXPECT_EQ(archive.replace_entry(kFirstTexture, scratch.file("other.dds").c_str()), 0);
  EXPECT_EQ(archive.error_kind, ErrorKind::kInputOutput) << archive.error;  // read-only
}

TEST_F(Browsing, KeysThatDoNotFitTheirBufferAreNeverCut) {
  start();
  const win::HTREEITEM archive = item(nullptr, "textures.idx");
  const win::HTREEITEM entry = open_path({"textures.idx", "entry 0"});
  tree(entry, TreeActionKind::kExpand);
  // Cut at 1023 bytes this path would name the archive; whole, it names nothing.
  const std::string tail = "korvel_res/samples/textures.idx";
  std::string cut = scratch.path() + "/";
  while (cut.size() + tail.size() + 2 <= 1023) cut += "./";
  if (cut.size() + tail.size() < 1023) cut += "/";
  cut += tail;
  ASSERT_EQ(cut.size(), 1023u);
  win::TVITEMW fields{};
  fields.mask = win::TVIF_PARAM;
  fields.hItem = archive;
  win::SendMessageW(g_hwndTree, win::TVM_GETITEMW, 0, reinterpret_cast<win::LPARAM>(&fields));
  set_attribute_text(reinterpret_cast<ListNode*>(fields.lParam), "idx_file_path",
                     cut + "/../textures.idx");
  tree(item(entry, "texture 1"), TreeActionKind::kSelect);
  EXPECT_FALSE(take_delivered(u"korvel:G1TG"));
  click("pick_up_pic");
  EXPECT_EQ(told, std::vector<std::string>{kExtractFailed});
}

TEST_F(Browsing, ACheckboxTogglesItsFlagAndNumbersFrom256DoNothing) {
  start();
  const struct {
    const char* html;
    int flag;  // -1: no flag may change
  } cases[] = {
      {R"(<button id="model_show_flag" number="03" checked="true">)", 3},
      {R"(<button id="model_show_flag" number="256" checked="true">)", -1},
      {R"(<button id="model_show_flag" number="x7" checked="TRUE">)", 0},
  };
  for (const auto& c : cases) {
    for (auto& flag : g_modelShow) flag.store(1);
    htmlayout::dom::element(g_contentElement)
        .set_html(reinterpret_cast<const engine::BYTE*>(c.html), std::strlen(c.html));
    for (int round = 0; round < 2; ++round) {
      click("model_show_flag");
      const bool off = c.flag >= 0 && round == 0;
      EXPECT_EQ(win::utf16_to_utf8(
                    htmlayout::dom::element(by_id("model_show_flag")).get_attribute("checked")),
                off ? "false" : "true")
          << c.html;
      for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(g_modelShow[i].load(), i == c.flag && off ? 0 : 1) << c.html << ' ' << i;
      }
    }
  }
}

}  // namespace
}  // namespace korvel::test
