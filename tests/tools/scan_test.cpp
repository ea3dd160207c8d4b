// korvel-cli scan: archives described as list-document elements whose every
// item extracts again.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "archive/file_io.h"
#include "shell/idx_list_document.h"
#include "tests/support/fixture_archives.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/archive_scan.h"
#include "tools/cli/cli.h"
#include "tools/forge/samples.h"

namespace korvel {
namespace {

int run(const cli::Arguments& arguments, std::string* out = nullptr, std::string* err = nullptr) {
  std::ostringstream out_stream, err_stream;
  const int status = cli::run_cli(arguments, out_stream, err_stream);
  if (out != nullptr) *out = out_stream.str();
  if (err != nullptr) *err = err_stream.str();
  return status;
}

// Every element carrying an output id, with the nearest index path above it.
void visit_items(const ListNode* node, const std::string& index_path,
                 const std::function<void(const ListNode*, const std::string&)>& visit) {
  for (const ListNode* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    const std::string path = child->first_attribute("idx_file_path")
                                 ? node_attribute(child, "idx_file_path")
                                 : index_path;
    if (child->first_attribute("output_id")) visit(child, index_path);
    visit_items(child, path, visit);
  }
}

TEST(CliScan, EverySampleItemExtractsFromTheSavedList) {
  test::TempDir dir;
  std::size_t archives = 0;
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    std::string error;
    ASSERT_TRUE(forge::write_archive(dir.path(), archive, &error)) << error;
    ASSERT_EQ(run({"scan", dir.file(archive.name + ".idx"), "--into", dir.file("list.xml")}), 0);
    ++archives;
  }
  IdxListDocument list;
  ASSERT_EQ(list.load(dir.file("list.xml").c_str(), nullptr).status, ListLoadStatus::kLoaded);
  ASSERT_NE(list.root(), nullptr);
  std::size_t listed = 0;
  for (const ListNode* a = list.root()->first_node(); a; a = a->next_sibling()) ++listed;
  EXPECT_EQ(listed, archives);

  std::size_t textures = 0, models = 0;
  visit_items(list.root(), "", [&](const ListNode* item, const std::string& index_path) {
    const std::string id = node_attribute(item, "output_id");
    const std::string name(item->name(), item->name_size());
    ASSERT_FALSE(index_path.empty()) << id;
    if (name == "G1TG") {
      ++textures;
      EXPECT_EQ(node_attribute(item, "content"), "g1tg.html");
      EXPECT_EQ(
          run({"extract", index_path, id, dir.file("out/" + std::to_string(textures) + ".png")}), 0)
          << index_path << " " << id;
    } else {
      ++models;
      EXPECT_EQ(node_attribute(item, "content"), "g1m_.html");
      EXPECT_EQ(run({"model", index_path, id}), 0) << index_path << " " << id;
    }
    EXPECT_FALSE(node_text(item).empty()) << id;
  });
  EXPECT_GE(textures, 12u);
  EXPECT_GE(models, 4u);
}

// The viewer puts a model's textures on it from the model's following
// siblings named G1TG: every texture of its entry must stand there.
TEST(CliScan, AModelIsFollowedByItsEntrysTextures) {
  test::TempDir dir;
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    if (archive.name != "game") continue;
    std::string error;
    ASSERT_TRUE(forge::write_archive(dir.path(), archive, &error)) << error;
  }
  ASSERT_EQ(run({"scan", dir.file("game.idx"), "--into", dir.file("list.xml")}), 0);
  IdxListDocument list;
  ASSERT_EQ(list.load(dir.file("list.xml").c_str(), nullptr).status, ListLoadStatus::kLoaded);
  std::size_t models = 0;
  std::function<void(const ListNode*)> check = [&](const ListNode* node) {
    for (const ListNode* child = node->first_node(); child; child = child->next_sibling()) {
      if (child->type() != rapidxml::node_element) continue;
      if (std::string(child->name()) == "G1M_") {
        ++models;
        const ListNode* sibling = child->next_sibling();
        ASSERT_NE(sibling, nullptr);
        EXPECT_STREQ(sibling->name(), "G1TG");
        EXPECT_EQ(run({"extract", node_attribute(list.root()->first_node(), "idx_file_path"),
                       node_attribute(sibling, "output_id"), dir.file("skin.dds")}),
                  0);
      }
      check(child);
    }
  };
  check(list.root());
  EXPECT_EQ(models, 2u);
}

TEST(CliScan, LabelsTellWhatEachItemIs) {
  test::TempDir dir;
  test::write_independent_archive(dir.path(), R"({"name": "s", "entries": [
      {"payload": {"text": "not a texture"}, "offset": 0},
      {"payload": {"g1t": {"textures": [
          {"format": 8, "width": 64, "height": 32, "levels": 2},
          {"format": 1, "width": 4, "height": 4}]}}}]})");
  std::string out, err;
  ASSERT_EQ(run({"scan", dir.file("s.idx")}, &out, &err), 0) << err;
  const std::string index_path = dir.file("s.idx");
  EXPECT_EQ(out, "<archive idx_file_path=\"" + index_path +
                     "\">\n"
                     "\ts.idx\n"
                     "\t<idx_No.00000001>\n"
                     "\t\tentry 1\n"
                     "\t\t<G1TG output_id=\".\\00000001\\0.dds\" content=\"g1tg.html\">"
                     "texture 0 \xC2\xB7 DXT5 64\xC3\x97"
                     "32</G1TG>\n"
                     "\t\t<G1TG output_id=\".\\00000001\\1.dds\" content=\"g1tg.html\">"
                     "texture 1 \xC2\xB7 A8R8G8B8 4\xC3\x97"
                     "4</G1TG>\n"
                     "\t</idx_No.00000001>\n"
                     "</archive>\n");
  // --all keeps entries without items too.
  ASSERT_EQ(run({"scan", dir.file("s.idx"), "--all"}, &out), 0);
  EXPECT_NE(out.find("<unknow>unknown data</unknow>"), std::string::npos) << out;
}

// A model is followed by at most the 256 textures the viewer reads, and a
// scan that would make the list larger than its bound adds nothing.
TEST(CliScan, CopiesAfterAModelAndTheWholeListAreBounded) {
  test::TempDir dir;
  std::string textures;
  for (int i = 0; i < 300; ++i) {
    textures += std::string(i ? ", " : "") + R"({"format": 6, "width": 4, "height": 4})";
  }
  test::write_independent_archive(dir.path(), R"({"name": "m", "entries": [
      {"payload": {"text": "first"}, "offset": 0},
      {"payload": {"pack": {"items": [{"g1m": {"chunks": []}}, {"g1m": {"chunks": []}},
          {"g1t": {"textures": [)" + textures + R"(]}}]}}}]})");
  for (const std::uint64_t max_elements : {cli::kMaxScanElements, std::uint64_t{500}}) {
    rapidxml::xml_document<char> list;
    ListNode* root = list.allocate_node(rapidxml::node_element, "xml_root");
    list.append_node(root);
    cli::ScanOptions options;
    options.max_elements = max_elements;
    std::string error;
    const ListNode* scanned = cli::scan_archive(dir.file("m.idx"), options, root, &error);
    if (max_elements == 500) {
      EXPECT_EQ(scanned, nullptr);
      EXPECT_NE(error.find("more than 500 elements"), std::string::npos) << error;
      EXPECT_EQ(root->first_node(), nullptr);
      continue;
    }
    ASSERT_NE(scanned, nullptr) << error;
    std::vector<std::size_t> copies;
    std::function<void(const ListNode*)> count = [&](const ListNode* node) {
      for (const ListNode* child = node->first_node(); child; child = child->next_sibling()) {
        if (std::string(child->name()) == "G1M_") {
          copies.push_back(0);
          for (const ListNode* next = child->next_sibling("G1TG"); next;
               next = next->next_sibling("G1TG")) {
            ++copies.back();
          }
        }
        count(child);
      }
    };
    count(scanned);
    EXPECT_EQ(copies, (std::vector<std::size_t>{256, 256}));
  }
}

TEST(CliScan, NeverSavesOverAListThatDoesNotParse) {
  test::TempDir dir;
  test::write_independent_archive(dir.path(), R"({"name": "s", "entries": [
      {"payload": {"text": "x"}, "offset": 0}]})");
  const std::string broken = "<xml_root>\n<a>unclosed</b";
  test::write_bytes(dir.file("list.xml"), std::vector<std::uint8_t>(broken.begin(), broken.end()));
  std::string err;
  EXPECT_EQ(run({"scan", dir.file("s.idx"), "--into", dir.file("list.xml")}, nullptr, &err), 1);
  EXPECT_NE(err.find("list.xml:2:"), std::string::npos) << err;
  EXPECT_EQ(test::read_text(dir.file("list.xml")), broken);
  // A list that holds more than we can read is not ours to replace either
  // (the file is sparse).
  test::write_bytes(dir.file("huge.xml"), std::vector<std::uint8_t>(broken.begin(), broken.end()));
  ASSERT_EQ(truncate_file(dir.file("huge.xml").c_str(), 0x100000100ull), 1);
  EXPECT_EQ(run({"scan", dir.file("s.idx"), "--into", dir.file("huge.xml")}, nullptr, &err), 1);
  EXPECT_EQ(file_size64(dir.file("huge.xml").c_str()), 0x100000100ll) << err;
  EXPECT_EQ(run({"scan", dir.file("missing.idx")}, nullptr, &err), 1);
  EXPECT_EQ(run({"scan"}, nullptr, &err), 1);
}

}  // namespace
}  // namespace korvel
