#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

#include "archive/file_io.h"
#include "shell/idx_list_document.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::read_text;
using test::TempDir;

void write_text(const std::string& path, const std::string& text) {
  test::write_bytes(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// Load then save, as one run of the program does; returns the saved bytes.
std::string round_trip(const std::string& input) {
  TempDir dir;
  write_text(dir.file("list.xml"), input);
  IdxListDocument list;
  const ListLoadResult result = list.load(dir.file("list.xml").c_str(), nullptr);
  EXPECT_EQ(result.status, ListLoadStatus::kLoaded) << result.message;
  EXPECT_EQ(list.save(dir.file("list.xml").c_str()), 1);
  return read_text(dir.file("list.xml"));
}

TEST(IdxListDocument, WritesBackInItsOwnForm) {
  const std::string decl = kListDeclaration;
  ASSERT_EQ(decl.size(), 39u);
  struct Case {
    const char* name;
    std::string input;
    std::string saved;
  } cases[] = {
      {"mark, declaration and comment dropped",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GBK\"?><!-- a note --><xml_root><a "
       "idx_file_path=\"x.idx\">Game</a></xml_root>",
       decl + "<xml_root><a idx_file_path=\"x.idx\">Game</a></xml_root>"},
      {"indented input comes back on one line",
       "<xml_root>\n\t<a>One</a>\n\t<b>\n\t\t<c output_id=\".\\00000001\\0.dds\" "
       "content=\"g1tg.html\">T</c>\n\t</b>\n</xml_root>\n",
       decl + "<xml_root><a>One</a><b><c output_id=\".\\00000001\\0.dds\" "
              "content=\"g1tg.html\">T</c></b></xml_root>"},
      {"line breaks inside a label stay", "<xml_root><a>\n  two words\n</a></xml_root>",
       decl + "<xml_root><a>\n  two words\n</a></xml_root>"},
      {"entities are read and written back",
       "<xml_root><a>Fish &amp; Chips &#x4E2D;&#20013;</a></xml_root>",
       decl + "<xml_root><a>Fish &amp; Chips \xE4\xB8\xAD\xE4\xB8\xAD</a></xml_root>"},
      {"empty elements stay empty", "<xml_root><a></a><b/></xml_root>",
       decl + "<xml_root><a/><b/></xml_root>"},
      {"other top-level elements are kept", "<other x=\"1\"/><xml_root/>",
       decl + "<other x=\"1\"/><xml_root/>"},
  };
  for (const Case& c : cases) EXPECT_EQ(round_trip(c.input), c.saved) << c.name;
}

TEST(IdxListDocument, FirstRunReadsTheFallbackAndCreatesThePrimary) {
  TempDir dir;
  write_text(dir.file("default.xml"), "<xml_root><a>From default</a></xml_root>");
  write_text(dir.file("empty.xml"), "");
  const std::string primary = dir.file("sub/dir/korvel.xml");
  IdxListDocument first;
  ListLoadResult result = first.load(primary.c_str(), dir.file("default.xml").c_str());
  EXPECT_TRUE(result.from_fallback);
  ASSERT_NE(first.root(), nullptr);
  ListNode* archive = first.root()->first_node();
  set_value_text(archive->first_node(), "Renamed");
  set_attribute_text(archive, "idx_file_path", "/games/\xE6\xB8\xB8\xE6\x88\x8F.idx");
  ASSERT_EQ(first.save(primary.c_str()), 1);
  EXPECT_EQ(read_text(primary), std::string(kListDeclaration) +
                                    "<xml_root><a idx_file_path=\"/games/\xE6\xB8\xB8\xE6\x88\x8F"
                                    ".idx\">Renamed</a></xml_root>");
  // The next run reads the primary; an empty primary falls back.
  IdxListDocument second;
  result = second.load(primary.c_str(), dir.file("default.xml").c_str());
  EXPECT_FALSE(result.from_fallback);
  EXPECT_EQ(node_text(second.root()->first_node()), "Renamed");
  IdxListDocument third;
  result = third.load(dir.file("empty.xml").c_str(), dir.file("default.xml").c_str());
  EXPECT_TRUE(result.from_fallback);
  EXPECT_FALSE(result.primary_unreadable);
  // A primary too large to read falls back too, and says that saving would
  // replace what it holds (the file is sparse).
  write_text(dir.file("huge.xml"), "<xml_root/>");
  ASSERT_EQ(truncate_file(dir.file("huge.xml").c_str(), 0x100000100ull), 1);
  IdxListDocument fourth;
  result = fourth.load(dir.file("huge.xml").c_str(), dir.file("default.xml").c_str());
  EXPECT_TRUE(result.from_fallback);
  EXPECT_TRUE(result.primary_unreadable);
  // Neither present: an empty document that saves as the declaration alone.
  IdxListDocument none;
  result = none.load(dir.file("no.xml").c_str(), dir.file("none.xml").c_str());
  EXPECT_EQ(result.status, ListLoadStatus::kLoaded);
  EXPECT_EQ(none.root(), nullptr);
  EXPECT_EQ(none.to_text(), kListDeclaration);
}

TEST(IdxListDocument, MalformedInputIsReportedWithItsPosition) {
  struct Case {
    std::string input;
    const char* message;
    std::size_t line;
  } cases[] = {
      {"<xml_root>\n<a>&#x110000;</a></xml_root>", "invalid numeric character entity", 2},
      {"<xml_root>\n\n<a b></a></xml_root>", "expected =", 3},
      {"<xml_root><a>", "unexpected end of data", 1},
      {"hello", "expected <", 1},
      // Refused before the recursive parser runs out of stack.
      {"<xml_root>\n" +
           [] {
             std::string deep;
             for (int i = 0; i < 50000; ++i) deep += "<a>";
             return deep;
           }(),
       "elements nested deeper than 256", 2},
      {"<xml_root>\n<a>x</a>\n<b>&#0;</b></xml_root>", "character reference to NUL", 3},
      {"<xml_root><a x='&#x000;'/></xml_root>", "character reference to NUL", 1},
      // No digits, or digits that wrap to zero, are NUL to the parser too.
      {"<xml_root><a>&#;</a></xml_root>", "character reference to NUL", 1},
      {"<xml_root><a x='&#x;'/></xml_root>", "character reference to NUL", 1},
      {"<xml_root><a>&#18446744073709551616;</a></xml_root>", "character reference to NUL", 1},
      {"<xml_root><a>&#x10000000000000000;</a></xml_root>", "character reference to NUL", 1},
      // An element's name may hold '=' and quotes: what follows is no value.
      {"<xml_root><b=\"c x='1&#0;'/>\"</xml_root>", "character reference to NUL", 1},
      {"<xml_root>\n<a=\">" +
           [] {
             std::string deep;
             for (int i = 0; i < 300; ++i) deep += "<b>";
             return deep;
           }() +
           "\"></xml_root>",
       "elements nested deeper than 256", 2},
  };
  for (const Case& c : cases) {
    TempDir dir;
    write_text(dir.file("bad.xml"), c.input);
    write_text(dir.file("default.xml"), "<xml_root/>");
    IdxListDocument list;
    const ListLoadResult result =
        list.load(dir.file("bad.xml").c_str(), dir.file("default.xml").c_str());
    EXPECT_EQ(result.status, ListLoadStatus::kMalformed) << c.input;
    EXPECT_EQ(result.message, c.message);
    EXPECT_EQ(result.line, c.line) << c.input;
    EXPECT_GT(result.column, 0u);
    EXPECT_EQ(result.path, dir.file("bad.xml"));
    EXPECT_EQ(list.root(), nullptr);
  }
  // Deep but within the limit, and a NUL reference only inside a comment, load.
  std::string within = "<xml_root><!-- &#0; -->";
  for (int i = 0; i < 255; ++i) within += "<a x='>'>";
  within += "<b/>";
  for (int i = 0; i < 255; ++i) within += "</a>";
  EXPECT_NE(round_trip(within + "</xml_root>").find("<b/>"), std::string::npos);
}

TEST(IdxListDocument, SaveOverReadOnlyFileAndNeverTruncates) {
  TempDir dir;
  const std::string path = dir.file("list.xml");
  write_text(path, "<xml_root><a>x</a></xml_root>");
  ::chmod(path.c_str(), 0444);
  IdxListDocument list;
  list.load(path.c_str(), nullptr);
  ASSERT_EQ(list.save(path.c_str()), 1);
  EXPECT_EQ(read_text(path), std::string(kListDeclaration) + "<xml_root><a>x</a></xml_root>");
  // A save that cannot write leaves the old file whole.
  ::chmod(dir.path().c_str(), 0555);
  if (::geteuid() != 0) {
    EXPECT_EQ(list.save(path.c_str()), 0);
    EXPECT_EQ(read_text(path), std::string(kListDeclaration) + "<xml_root><a>x</a></xml_root>");
  }
  ::chmod(dir.path().c_str(), 0755);
}

// Names in a folder, for finding a temporary file left behind.
std::vector<std::string> names_in(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(listing)) {
      if (entry->d_name[0] != '.' || std::strlen(entry->d_name) > 2) names.push_back(entry->d_name);
    }
    ::closedir(listing);
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(IdxListDocument, SavesThroughSymbolicLinksAndKeepsThem) {
  const std::string saved = std::string(kListDeclaration) + "<xml_root><a>new</a></xml_root>";
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> links;  // link, what it points to
  } cases[] = {
      {"one link, relative", {{"korvel.xml", "lists/real.xml"}}},
      {"two links", {{"korvel.xml", "middle.xml"}, {"middle.xml", "lists/real.xml"}}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    ::mkdir(dir.file("lists").c_str(), 0755);
    write_text(dir.file("lists/real.xml"), "<xml_root><a>old</a></xml_root>");
    for (const auto& [link, target] : c.links) ::symlink(target, dir.file(link).c_str());
    IdxListDocument list;
    list.load(dir.file("korvel.xml").c_str(), nullptr);
    set_value_text(list.root()->first_node("a")->first_node(), "new");
    ASSERT_EQ(list.save(dir.file("korvel.xml").c_str()), 1) << c.name;
    EXPECT_EQ(read_text(dir.file("lists/real.xml")), saved) << c.name;
    struct stat status {};
    EXPECT_EQ(::lstat(dir.file("korvel.xml").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << c.name;
    EXPECT_EQ(names_in(dir.file("lists")), std::vector<std::string>{"real.xml"}) << c.name;
  }
  // A link that leads nowhere is a failure that names where it leads.
  TempDir dir;
  ::symlink("gone/real.xml", dir.file("korvel.xml").c_str());
  IdxListDocument list;
  std::string error;
  EXPECT_EQ(list.save(dir.file("korvel.xml").c_str(), &error), 0);
  EXPECT_NE(error.find(dir.path() + "/gone/real.xml"), std::string::npos) << error;
  EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"korvel.xml"});
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A save that cannot be completed leaves the old list whole and no temporary
// file beside it: a full disk (a file-size limit makes every write past it
// fail as a full disk does), a failed rename, a read-only folder.
TEST(ListSave, AFailedSaveLeavesTheOldListIntact) {
  const std::string old_text = std::string(kListDeclaration) + "<xml_root><a>old</a></xml_root>";
  enum class Fault { kFullDisk, kRenameFails, kReadOnlyFolder };
  for (const Fault fault : {Fault::kFullDisk, Fault::kRenameFails, Fault::kReadOnlyFolder}) {
    if (fault == Fault::kReadOnlyFolder && ::geteuid() == 0) continue;  // root writes anyway
    TempDir dir;
    const std::string path = dir.file("korvel.xml");
    write_text(path, old_text);
    IdxListDocument list;
    list.load(path.c_str(), nullptr);
    // Far more than the limit below, so the write fails part way.
    set_value_text(list.root()->first_node("a")->first_node(), std::string(64 * 1024, 'n'));
    std::string error;
    int saved = -1;
    if (fault == Fault::kFullDisk) {
      rlimit before{};
      ::getrlimit(RLIMIT_FSIZE, &before);
      const rlimit small{4096, before.rlim_max};
      const auto previous = std::signal(SIGXFSZ, SIG_IGN);
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
      saved = list.save(path.c_str(), &error);
      ::setrlimit(RLIMIT_FSIZE, &before);
      std::signal(SIGXFSZ, previous);
    } else if (fault == Fault::kRenameFails) {
      set_write_fault_hook([](const char* operation, const char*) {
        return std::strcmp(operation, "replace.rename") == 0;
      });
      saved = list.save(path.c_str(), &error);
      set_write_fault_hook(nullptr);
    } else {
      ::chmod(dir.path().c_str(), 0555);
      saved = list.save(path.c_str(), &error);
      ::chmod(dir.path().c_str(), 0755);
    }
    EXPECT_EQ(saved, 0) << static_cast<int>(fault);
    EXPECT_FALSE(error.empty()) << static_cast<int>(fault);
    EXPECT_EQ(read_text(path), old_text) << static_cast<int>(fault);
    EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{"korvel.xml"})
        << static_cast<int>(fault);
  }
}

// A save killed between its temporary file and the rename leaves that file;
// the next save removes it, and nothing else that merely looks alike.
TEST(ListSave, TheNextSaveRemovesWhatAKilledSaveLeft) {
  TempDir dir;
  const std::string path = dir.file("korvel.xml");
  write_text(path, std::string(kListDeclaration) + "<xml_root/>");
  for (const char* name :
       {"korvel.xml.tmp-Ab3xZ9", "korvel.xml.tmp-keep", "other.xml.tmp-Ab3xZ9"}) {
    write_text(dir.file(name), "left");
  }
  IdxListDocument list;
  list.load(path.c_str(), nullptr);
  ASSERT_EQ(list.save(path.c_str()), 1);
  EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"korvel.xml", "korvel.xml.tmp-keep",
                                                            "other.xml.tmp-Ab3xZ9"}));
}

}  // namespace
}  // namespace korvel
