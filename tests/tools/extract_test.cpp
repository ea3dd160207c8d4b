// korvel-cli extract and extract-all, end to end on forged archives.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "archive/archive.h"
#include "archive/console_message.h"
#include "platform/d3d9/dds_decode.h"
#include "tests/support/cli_run.h"
#include "tests/support/temp_dir.h"
#include "tools/cli/cli.h"
#include "tools/forge/g1t_writer.h"
#include "tools/forge/samples.h"
#include "tools/forge/zlib_stream_writer.h"

namespace korvel::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::string forge_sample(const TempDir& directory, const std::string& name) {
  for (const forge::ForgeArchive& archive : forge::sample_archives()) {
    if (archive.name != name) continue;
    std::string error;
    EXPECT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;
    return directory.file(name + ".idx");
  }
  ADD_FAILURE() << "no sample " << name;
  return {};
}

Bytes loaded_item(const std::string& index, const std::string& key) {
  Archive archive;
  EXPECT_EQ(archive.open(index.c_str()), 1);
  EXPECT_EQ(archive.load_entry(key.c_str()), 1) << key;
  return Bytes(archive.image.begin(), archive.image.begin() + archive.image_size);
}

TEST(CliExtract, WritesTheDdsOrThePngOfItsFirstLevel) {
  TempDir directory;
  const std::string index = forge_sample(directory, "textures");
  const std::string key = ".\\00000001\\0.dds";
  const Bytes dds = loaded_item(index, key);

  const std::string dds_path = directory.file("new/folders/texture.dds");
  CliRun run = cli({"extract", index, key, dds_path});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_bytes(dds_path), dds);

  const std::string png_path = directory.file("more/texture.PNG");
  run = cli({"extract", index, ".\\00000001\\0.DDS", png_path});
  EXPECT_EQ(run.status, 0) << run.err;
  const Bytes png = read_bytes(png_path);
  ASSERT_GT(png.size(), 8u);
  EXPECT_EQ(png[1], 'P');
  // Pillow's reading of our PNG is the first level of the DDS file.
  d3d9::RgbaImage expected;
  ASSERT_TRUE(d3d9::decode_dds_first_level(dds.data(), dds.size(), &expected).ok());
  const std::string raw = directory.file("pixels.raw");
  ASSERT_EQ(std::system(("/usr/bin/python3 -c \"import sys; from PIL import Image; "
                         "open(sys.argv[2], 'wb').write(Image.open(sys.argv[1]).convert('RGBA')"
                         ".tobytes())\" '" +
                         png_path + "' '" + raw + "'")
                            .c_str()),
            0);
  EXPECT_EQ(read_bytes(raw), expected.pixels);
}

TEST(CliExtract, ExitStatuses) {
  TempDir directory;
  const std::string index = forge_sample(directory, "textures");
  struct Case {
    const char* name;
    cli::Arguments arguments;
    int status;
    const char* in_stderr;
  } cases[] = {
      {"no such texture",
       {"extract", index, ".\\00000000\\7.dds", directory.file("a.dds")},
       2,
       "nothing extracted"},
      {"no such entry", {"extract", index, "99", directory.file("a.dds")}, 2, "nothing extracted"},
      {"not a texture entry",
       {"extract", index, "2", directory.file("a.dds")},
       2,
       "nothing extracted"},
      {"missing archive",
       {"extract", directory.file("none.idx"), "0", directory.file("a.dds")},
       1,
       "cannot open"},
      {"missing argument", {"extract", index, "0"}, 1, "usage"},
      {"output is a folder",
       {"extract", index, ".\\00000000\\0.dds", directory.path()},
       1,
       "cannot"},
  };
  for (const Case& c : cases) {
    const CliRun run = cli(c.arguments);
    EXPECT_EQ(run.status, c.status) << c.name;
    EXPECT_NE(run.err.find(c.in_stderr), std::string::npos) << c.name << ": " << run.err;
  }
  EXPECT_TRUE(read_bytes(directory.file("a.dds")).empty());
}

TEST(CliExtractAll, EveryTextureOfEveryEntry) {
  for (const char* sample : {"textures", "textures_be"}) {
    TempDir directory;
    const std::string index = forge_sample(directory, sample);
    const CliRun run = cli({"extract-all", index, directory.file("out")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("6 textures written"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("entry 00000001"), std::string::npos) << run.err;
    for (const char* key : {".\\00000000\\0.dds", ".\\00000000\\2.dds", ".\\00000001\\1.dds"}) {
      std::string name = std::string(key).substr(2);
      name.replace(8, 1, "_");
      EXPECT_EQ(read_bytes(directory.file("out/" + name)), loaded_item(index, key)) << name;
    }
    const CliRun png_run = cli({"extract-all", index, directory.file("png"), "--png"});
    EXPECT_EQ(png_run.status, 0) << png_run.err;
    const Bytes png = read_bytes(directory.file("png/00000001_2.png"));
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png[1], 'P');
  }
}

TEST(CliExtractAll, FailuresAreNamedAndCounted) {
  TempDir directory;
  forge::ForgeG1t g1t;
  g1t.textures.resize(3);
  g1t.textures[1].format = 3;  // unknown format
  g1t.textures[1].pixels = Bytes(8, 0);
  forge::ForgeArchive archive;
  archive.name = "mixed";
  archive.entries.push_back({forge::write_g1t(g1t, false), 0, 0, false});
  archive.entries.push_back({forge::write_g1t(g1t, false), 0, 0, false});
  std::string error;
  ASSERT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;
  // Entry 1's container claims more bytes than it holds: its last texture fails.
  Bytes data = read_bytes(directory.file("mixed.bin"));
  const std::size_t second = (archive.entries[0].payload.size() + 15) / 16 * 16;
  data[second + 11] = 0x7F;  // total_size, little-endian: its high byte
  write_bytes(directory.file("mixed.bin"), data);

  const CliRun run = cli({"extract-all", directory.file("mixed.idx"), directory.file("out")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("3 textures written"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("3 failed"), std::string::npos) << run.out;
  for (const char* id : {".\\00000000\\1.dds", ".\\00000001\\1.dds", ".\\00000001\\2.dds"}) {
    EXPECT_NE(run.err.find(id), std::string::npos) << id << " in " << run.err;
  }
  // Each says what is wrong, in extract as in extract-all.
  for (const auto& [id, reason] : {std::pair{".\\00000000\\1.dds", "has the unknown format code 3"},
                                   std::pair{".\\00000001\\2.dds", "lies outside its container"}}) {
    EXPECT_NE(run.err.find(std::string(id) + ": not extracted (texture " + id + " " + reason),
              std::string::npos)
        << run.err;
    const CliRun single =
        cli({"extract", directory.file("mixed.idx"), id, directory.file("one.dds")});
    EXPECT_NE(single.err.find(reason), std::string::npos) << single.err;
  }
  EXPECT_FALSE(read_bytes(directory.file("out/00000000_2.dds")).empty());
  EXPECT_TRUE(read_bytes(directory.file("out/00000000_1.dds")).empty());
}

int g_console_messages = 0;

// An entry is decoded once for all its textures: a damaged zlib stream warns
// once, not once more per texture; payloads several records share are
// extracted once; a file that cannot be written stops the run, saying how far
// it got.
TEST(CliExtractAll, DecodesEachPayloadOnceAndStopsWhenAWriteFails) {
  TempDir directory;
  forge::ForgeG1t g1t;
  g1t.textures.resize(3);
  Bytes data = forge::write_g1t(g1t, false);
  data.resize((data.size() / 0x200 + 1) * 0x200 + 0x100, 0);  // the last chunk: filler alone
  forge::ZlibStreamSpec stream = forge::zlib_stream_spec_of(data, 0x200);
  stream.chunks.back().raw_body = Bytes(40, 0x5A);  // does not decompress
  forge::ForgeArchive archive;
  archive.name = "damaged";
  archive.entries.push_back({forge::write_zlib_stream(stream, false), 1, 0, false});
  std::string error;
  ASSERT_TRUE(forge::write_archive(directory.path(), archive, &error)) << error;
  // Three more records name the same payload.
  Bytes index = read_bytes(directory.file("damaged.idx"));
  for (int copy = 0; copy < 3; ++copy) index.insert(index.end(), index.begin(), index.begin() + 32);
  write_bytes(directory.file("damaged.idx"), index);
  const std::string idx = directory.file("damaged.idx");

  g_console_messages = 0;
  const ConsoleMessageHandler previous =
      set_console_message_handler([](const char*) { ++g_console_messages; });
  const CliRun run = cli({"extract-all", idx, directory.file("out")});
  EXPECT_EQ(g_console_messages, 1);
  set_console_message_handler(previous);
  EXPECT_NE(run.out.find("3 textures written"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("entry 00000003 shares its payload with entry 00000000"),
            std::string::npos)
      << run.err;
  for (const auto& [key, name] : {std::pair{".\\00000000\\0\\0.dds", "00000000_0_0.dds"},
                                  std::pair{".\\00000000\\0\\2.dds", "00000000_0_2.dds"}}) {
    EXPECT_EQ(read_bytes(directory.file(std::string("out/") + name)), loaded_item(idx, key))
        << name;
  }

  // The second file lands on a full disk.
  ::mkdir(directory.file("full").c_str(), 0755);
  ASSERT_EQ(::symlink("/dev/full", directory.file("full/00000000_0_1.dds").c_str()), 0);
  const CliRun full = cli({"extract-all", idx, directory.file("full")});
  EXPECT_EQ(full.status, 1);
  EXPECT_NE(full.err.find("stopped at .\\00000000\\0\\1.dds: cannot write"), std::string::npos)
      << full.err;
  EXPECT_NE(full.err.find("1 textures were written before it"), std::string::npos) << full.err;
  EXPECT_TRUE(read_bytes(directory.file("full/00000000_0_2.dds")).empty());
}

}  // namespace
}  // namespace korvel::test
