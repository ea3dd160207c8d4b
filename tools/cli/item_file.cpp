#include "tools/cli/item_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/content_tree.h"
#include "archive/file_io.h"
#include "platform/d3d9/png_encode.h"

namespace korvel::cli {

bool names_png_file(const std::string& path) {
  return path.size() >= 4 && keys_equal(path.substr(path.size() - 4), ".png");
}

bool write_item_file(const std::string& path, const std::uint8_t* item, std::uint32_t size,
                     bool as_png, std::string* error) {
  std::vector<std::uint8_t> png;
  const std::uint8_t* bytes = item;
  std::size_t length = size;
  if (as_png) {
    // A file the user keeps: worth the time to make it small.
    const d3d9::ImageResult converted =
        d3d9::dds_first_level_to_png(item, size, &png, d3d9::PngPacking::kCompact);
    if (!converted.ok()) {
      *error = "cannot make a PNG of it: " + converted.message;
      return false;
    }
    bytes = png.data();
    length = png.size();
  }
  make_dirs_for_path(path.c_str());
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  if (length > 0 && std::fwrite(bytes, 1, length, file.get()) != length) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  if (std::fclose(file.release()) != 0) {
    *error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace korvel::cli
