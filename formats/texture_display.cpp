#include "formats/texture_display.h"

#include <cstdint>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/file_stream.h"
#include "archive/format_text.h"
#include "archive/limits.h"
#include "formats/selection_keys.h"
#include "formats/shared_ui_state.h"
#include "platform/d3d9/png_encode.h"
#include "platform/engine/htmlayout.h"
#include "platform/win/text_conversion.h"

namespace korvel {
namespace {

constexpr const char16_t* kTexturePseudoUrl = u"korvel:G1TG";

// Pages, style sheets and pictures are small; a file beyond this is not
// something the page should hold in memory, and is answered with nothing.
constexpr std::uint64_t kMaxServedFileSize = 256ull << 20;

void deliver(const engine::NMHL_LOAD_DATA& request, const std::uint8_t* bytes, std::size_t length) {
  static const std::uint8_t kNothing = 0;
  engine::HTMLayoutDataReady(request.hdr.hwndFrom, request.uri,
                             bytes != nullptr ? bytes : &kNothing,
                             static_cast<engine::DWORD>(length));
}

// The selected texture's first level as PNG; nothing when any step fails.
void answer_texture(const engine::NMHL_LOAD_DATA& request) {
  const ArchiveKeys keys = archive_keys_of(selected_list_node());
  if (!keys.fit) return;
  Archive archive;
  archive.open(keys.idx_path.c_str());
  if (archive.load_entry(keys.output_id.c_str()) == 1) {
    std::vector<std::uint8_t> png;
    // Shown once over loopback and dropped: speed matters, size does not.
    if (d3d9::dds_first_level_to_png(archive.image.data(), archive.image_size, &png,
                                     d3d9::PngPacking::kQuick)
            .ok()) {
      deliver(request, png.data(), png.size());
    }
  }
  archive.release();
}

// URLs are appended to the executable's directory, so only a path that starts
// with '/' and never climbs stays inside it; anything else (a scheme, a drive,
// a ".." segment, a backslash) would name a file elsewhere.
bool stays_in_directory(const std::string& url) {
  if (url.empty() || url[0] != '/' || url.find('\\') != std::string::npos) return false;
  std::size_t start = 1;
  for (;;) {
    const std::size_t end = url.find('/', start);
    const std::size_t length = (end == std::string::npos ? url.size() : end) - start;
    if (url.compare(start, length, "..") == 0) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

// A file under the executable's directory, delivered unchanged; zero bytes
// when it is missing, unreadable, too large or outside that directory.
void answer_file(const engine::NMHL_LOAD_DATA& request) {
  const std::string url = win::utf16_to_utf8(request.uri);
  std::vector<std::uint8_t> bytes;
  // Without the executable's directory the URL alone would be a path from the root.
  if (g_exeDir[0] != '\0' && stays_in_directory(url)) {
    const std::string path = format_text("%s%s", g_exeDir, url.c_str());
    FileStream stream;
    stream.open(path.c_str(), kStreamBufferCapacity, FileStream::kReadOnly);
    const std::uint64_t size = stream.seek(0, FileStream::kFromEnd);
    if (size <= kMaxServedFileSize) {
      stream.seek(0, FileStream::kFromStart);
      bytes.assign(static_cast<std::size_t>(size) + 4, 0);
      bytes.resize(static_cast<std::size_t>(stream.read(size, bytes.data())));
    }
    stream.close();
  }
  deliver(request, bytes.data(), bytes.size());
}

}  // namespace

engine::LRESULT LoadDataHandler(engine::NMHL_LOAD_DATA* request) {
  if (request == nullptr || request->uri == nullptr) return 0;
  if (win::lstrcmpiW(request->uri, kTexturePseudoUrl) == 0) {
    answer_texture(*request);
  } else {
    answer_file(*request);
  }
  return 0;
}

}  // namespace korvel
