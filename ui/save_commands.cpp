#include "ui/save_commands.h"

#include <cstring>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/file_io.h"
#include "formats/gltf_export.h"
#include "formats/png_replacement.h"
#include "formats/selection_keys.h"
#include "formats/shared_ui_state.h"
#include "platform/d3d9/png_encode.h"
#include "platform/win/text_conversion.h"
#include "platform/win/win32.h"

namespace korvel {
namespace {

constexpr const char16_t* kCaption = u"korvel info";
constexpr const char16_t* kExported = u"导出成功，碉堡了！";
constexpr const char16_t* kExportFailed = u"不科学，导出失败了！";
constexpr const char16_t* kSaved = u"保存成功，碉堡了！";
constexpr const char16_t* kSaveFailed = u"不科学，保存失败了！";

constexpr char kGlbFilter[] = "glTF文件（*.glb）\0*.glb\0所有文件（*.*）\0*.*\0";
constexpr char kPngFilter[] = "png文件（*.png）\0*.png\0所有文件（*.*）\0*.*\0";

// The failure text, with the reason on a line of its own when there is one.
void tell(const char16_t* text, const std::string& reason = {}) {
  std::u16string message = text;
  if (!reason.empty()) message += u"\n" + win::utf8_to_utf16(reason);
  win::MessageBoxW(g_hwndTree, message.c_str(), kCaption, win::MB_ICONINFORMATION);
}

// The save dialog; the chosen name is left in file_name, which stays empty
// when the user cancelled.
void ask_where_to_save(const char* filter, char (&file_name)[kKeyBufferSize]) {
  win::OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = g_hwndTree;
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = file_name;
  dialog.nMaxFile = kKeyBufferSize;
  dialog.lpstrTitle = "保存文件：";
  dialog.Flags = win::OFN_OVERWRITEPROMPT;
  win::GetSaveFileNameA(&dialog);
}

// Appends extension unless the name already ends in it (any case); false when
// the buffer has no room for it.
bool ensure_extension(char (&file_name)[kKeyBufferSize], const char* extension) {
  const std::size_t length = std::strlen(file_name);
  const std::size_t extension_length = std::strlen(extension);
  if (length >= extension_length &&
      win::lstrcmpiA(file_name + length - extension_length, extension) == 0) {
    return true;
  }
  if (length + extension_length >= kKeyBufferSize) return false;
  std::memcpy(file_name + length, extension, extension_length + 1);
  return true;
}

// The viewer's rule for a model's texture: the first following sibling of
// its list node named "G1TG".
std::string first_texture_after(const ListNode* node) {
  for (const ListNode* sibling = node->next_sibling("G1TG"); sibling != nullptr;
       sibling = sibling->next_sibling("G1TG")) {
    std::string key;
    if (utf8_to_ansi_key(list_attribute(sibling, "output_id"), &key)) return key;
  }
  return {};
}

}  // namespace

void export_selected_model() {
  const ListNode* node = selected_list_node();
  const ArchiveKeys keys = archive_keys_of(node);
  const char* content = list_attribute(node, "content");
  if (!keys.fit || keys.output_id.empty() || content == nullptr ||
      std::strcmp(content, "g1m_.html") != 0) {
    tell(kExportFailed, "the selected item is not a model");
    return;
  }
  char file_name[kKeyBufferSize] = {};
  ask_where_to_save(kGlbFilter, file_name);
  if (file_name[0] == '\0') return;
  if (!ensure_extension(file_name, ".glb")) {
    tell(kExportFailed, "the file name is too long");
    return;
  }
  GltfExportSummary summary;
  std::string error;
  if (!export_model_file(keys.idx_path, keys.output_id, first_texture_after(node), file_name,
                         &summary, &error)) {
    tell(kExportFailed, error);
    return;
  }
  tell(kExported);
}

void save_selected_texture_as_png() {
  const ArchiveKeys keys = archive_keys_of(selected_list_node());
  std::vector<std::uint8_t> dds;
  std::string error;
  if (!keys.fit || !load_stored_texture(keys.idx_path, keys.output_id, &dds, &error)) {
    tell(kSaveFailed, error);
    return;
  }
  std::vector<std::uint8_t> png;
  const d3d9::ImageResult converted =
      d3d9::dds_first_level_to_png(dds.data(), dds.size(), &png, d3d9::PngPacking::kCompact);
  if (!converted.ok()) {
    tell(kSaveFailed, converted.message);
    return;
  }
  char file_name[kKeyBufferSize] = {};
  ask_where_to_save(kPngFilter, file_name);
  if (file_name[0] == '\0') return;
  if (!ensure_extension(file_name, ".png")) {
    tell(kSaveFailed, "the file name is too long");
    return;
  }
  make_dirs_for_path(file_name);
  const std::int32_t written = write_file_part(file_name, png.data(), 0, png.size(), kCreateAlways);
  if (written < 0 || static_cast<std::size_t>(written) != png.size()) {
    tell(kSaveFailed, std::string("cannot write ") + file_name);
    return;
  }
  tell(kSaved);
}

}  // namespace korvel
