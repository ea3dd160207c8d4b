// Writes the seed corpus of the fuzz targets (fuzz/corpus/<target>/) from
// forged containers and DDS files: make_seed_corpus FUZZ_DIR.
#include <cstdio>
#include <fstream>
#include <string>

#include "tools/forge/g1t_writer.h"

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
  std::printf("seed corpus written under %s\n", argv[1]);
  return 0;
}
