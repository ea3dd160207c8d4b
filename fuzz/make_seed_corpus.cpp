// Writes the seed corpus of the fuzz targets (fuzz/corpus/<target>/) from
// forged containers and DDS files: make_seed_corpus FUZZ_DIR.
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz/replace_input.h"
#include "tools/forge/g1t_writer.h"
#include "tools/forge/samples.h"

namespace {

using korvel::forge::Bytes;

void write(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

korvel::forge::ForgeTexture texture(std::uint8_t format, std::uint8_t side_log2,
                                    std::uint8_t levels, int extension) {
  korvel::forge::ForgeTexture t;
  t.format = format;
  t.width_log2 = side_log2;
  t.height_log2 = side_log2;
  t.mip_levels = levels;
  t.extension = extension;
  t.picture = korvel::forge::Picture::kChecker;
  return t;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_seed_corpus FUZZ_DIR\n");
    return 1;
  }
  const std::string g1t_dir = std::string(argv[1]) + "/corpus/fuzz_g1t/";
  const std::string dds_dir = std::string(argv[1]) + "/corpus/fuzz_dds/";
  using namespace korvel::forge;
  ForgeG1t small;
  small.textures = {texture(kG1tDxt1, 3, 2, 0), texture(kG1tArgb, 2, 1, 1),
                    texture(kG1tDxt5, 2, 1, 0)};
  ForgeG1t other = small;
  other.magic_g1tg = false;
  other.header_extra = {0, 0, 0, 1};
  other.global_data = {0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0};
  other.textures = {texture(kG1tDxt3, 2, 1, 3), texture(kG1tArgb0, 1, 2, 4)};
  const struct {
    const char* name;
    const ForgeG1t& g1t;
    bool big_endian;
    std::uint8_t control;
  } seeds[] = {
      {"le_list_first", small, false, 0x00},       {"le_extract_second", small, false, 0x02},
      {"le_rebuild_second", small, false, 0x12},   {"be_list", small, true, 0x05},
      {"be_rebuild_last", small, true, 0x35},      {"gt1g_be_extract", other, true, 0x03},
      {"gt1g_le_rebuild_bad", other, false, 0x90},
  };
  for (const auto& seed : seeds) {
    Bytes input = {seed.control};
    const Bytes g1t = write_g1t(seed.g1t, seed.big_endian);
    input.insert(input.end(), g1t.begin(), g1t.end());
    write(g1t_dir + seed.name, input);
  }
  write(g1t_dir + "empty_container", [] {
    Bytes input = {0x10};
    const Bytes g1t = write_g1t(ForgeG1t{}, false);
    input.insert(input.end(), g1t.begin(), g1t.end());
    return input;
  }());

  write(dds_dir + "dxt1_8x8", expected_dds_file(texture(kG1tDxt1, 3, 2, 0)));
  write(dds_dir + "dxt3_4x4", expected_dds_file(texture(kG1tDxt3, 2, 1, 0)));
  write(dds_dir + "dxt5_16x16", expected_dds_file(texture(kG1tDxt5, 4, 1, 0)));
  write(dds_dir + "argb_4x4", expected_dds_file(texture(kG1tArgb, 2, 3, 0)));

  // Replacement seeds: every entry of the sample archives with the control
  // byte that reaches a texture in it.
  const std::string replace_dir = std::string(argv[1]) + "/corpus/fuzz_replace/";
  for (const ForgeArchive& archive : sample_archives()) {
    for (std::size_t e = 0; e < archive.entries.size(); ++e) {
      for (std::uint8_t depth = 0; depth < 4; ++depth) {
        for (std::uint8_t wide = 0; wide < 2; ++wide) {
          Bytes input = {
              static_cast<std::uint8_t>((archive.big_endian ? 1 : 0) | depth << 1 | wide << 6)};
          const Bytes& payload = archive.entries[e].payload;
          input.insert(input.end(), payload.begin(), payload.end());
          if (input.size() > 16384) continue;  // long inputs slow every mutation
          // Only those whose texture 0 the archive yields.
          ForgeArchive one;
          one.name = "arc";
          one.big_endian = archive.big_endian;
          one.entries = {archive.entries[e]};
          std::string error;
          const auto& dir = korvel::fuzz::scratch_dir();
          if (!write_archive(dir.path(), one, &error)) continue;
          if (korvel::fuzz::load_texture(dir.file("arc.idx"), korvel::fuzz::replace_key(input[0]))
                  .empty()) {
            continue;
          }
          write(replace_dir + archive.name + "_" + std::to_string(e) + "_depth" +
                    std::to_string(depth) + (wide ? "_wide" : ""),
                input);
        }
      }
    }
  }
  // And the small containers above, bare, each of their textures.
  for (const bool big_endian : {false, true}) {
    const Bytes g1t = write_g1t(small, big_endian);
    for (std::uint8_t n = 0; n < 3; ++n) {
      Bytes input = {static_cast<std::uint8_t>((big_endian ? 1 : 0) | n << 3 | (n == 2) << 6)};
      input.insert(input.end(), g1t.begin(), g1t.end());
      write(replace_dir + std::string("small_g1t_") + (big_endian ? "be_" : "le_") +
                std::to_string(n) + (n == 2 ? "_wide" : ""),
            input);
    }
  }
  std::printf("seed corpus written under %s\n", argv[1]);
  return 0;
}
