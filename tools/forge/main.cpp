// korvel-forge OUT_DIR: writes the deterministic sample archives.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "archive/file_io.h"
#include "tools/forge/samples.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvel-forge OUT_DIR\n");
    return 1;
  }
  const std::string directory = argv[1];
  korvel::make_dirs_for_path((directory + "/x").c_str());
  for (const korvel::forge::ForgeArchive& archive : korvel::forge::sample_archives()) {
    std::string error;
    if (!korvel::forge::write_archive(directory, archive, &error)) {
      std::fprintf(stderr, "korvel-forge: %s\n", error.c_str());
      return 1;
    }
    std::printf("forged %s/%s.idx (%zu entries)\n", directory.c_str(), archive.name.c_str(),
                archive.entries.size());
  }
  return 0;
}
