#include "ui/element_commands.h"

#include <cstring>
#include <string>

#include "archive/archive.h"
#include "archive/file_io.h"
#include "formats/png_replacement.h"
#include "formats/selection_keys.h"
#include "formats/shared_ui_state.h"
#include "platform/win/win32.h"
#include "ui/dom_element.h"
#include "ui/history_panel.h"
#include "ui/save_commands.h"

namespace korvel {
namespace {

constexpr const char16_t* kCaption = u"korvel info";
constexpr const char16_t* kExtracted = u"提取成功，碉堡了！";
constexpr const char16_t* kExtractFailed = u"不科学，提取失败了！";
constexpr const char16_t* kReplaced = u"替换成功，碉堡了！";
constexpr const char16_t* kReplaceUnchanged =
    u"新数据与现存在idx+bin中的是一样的，没有做任何修改，一样碉堡了！";
constexpr const char16_t* kReplaceFailed = u"不科学，替换失败了！";

constexpr char kDdsFilter[] = "dds文件（*.dds）\0*.dds\0所有文件（*.*）\0*.*\0";
// A replacement also takes a PNG picture, encoded into the texture's format.
constexpr char kReplaceFilter[] =
    "dds文件（*.dds）\0*.dds\0png文件（*.png）\0*.png\0所有文件（*.*）\0*.*\0";
constexpr const char* kDdsExtension = ".dds";
constexpr std::size_t kDdsExtensionLength = 4;

// Checkbox numbers at or above this change nothing.
constexpr unsigned kModelFlagLimit = 256;

void tell(const char16_t* text) {
  win::MessageBoxW(g_hwndTree, text, kCaption, win::MB_ICONINFORMATION);
}

// Shows the save or open dialog for DDS files; the chosen name is left in
// file_name, which stays empty when the user cancelled.
void ask_for_dds_file(char (&file_name)[kKeyBufferSize], bool save) {
  win::OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = g_hwndTree;
  dialog.lpstrFilter = save ? kDdsFilter : kReplaceFilter;
  dialog.lpstrFile = file_name;
  dialog.nMaxFile = kKeyBufferSize;
  if (save) {
    dialog.lpstrTitle = "保存文件：";
    dialog.Flags = win::OFN_OVERWRITEPROMPT;
    win::GetSaveFileNameA(&dialog);
  } else {
    dialog.lpstrTitle = "打开文件：";
    dialog.Flags = win::OFN_READONLY;
    win::GetOpenFileNameA(&dialog);
  }
}

// Appends ".dds" unless the name already ends in it (any case). False, with
// the name unchanged, when the buffer has no room left for it.
bool ensure_dds_extension(char (&file_name)[kKeyBufferSize]) {
  const std::size_t length = std::strlen(file_name);
  if (length >= kDdsExtensionLength &&
      win::lstrcmpiA(file_name + length - kDdsExtensionLength, kDdsExtension) == 0) {
    return true;
  }
  if (length + kDdsExtensionLength >= kKeyBufferSize) return false;
  std::memcpy(file_name + length, kDdsExtension, kDdsExtensionLength + 1);
  return true;
}

void extract_selected_texture() {
  const ArchiveKeys keys = archive_keys_of(selected_list_node());
  Archive archive;
  archive.open(keys.idx_path.c_str());
  if (!keys.fit || archive.load_entry(keys.output_id.c_str()) != 1) {
    archive.release();
    tell(kExtractFailed);
    return;
  }
  char file_name[kKeyBufferSize] = {};
  ask_for_dds_file(file_name, true);
  if (file_name[0] != '\0') {
    // A name that cannot take its extension, or a file that cannot be
    // written, is told as a failed extraction rather than passed over.
    bool written = false;
    if (ensure_dds_extension(file_name)) {
      make_dirs_for_path(file_name);
      const std::int32_t result =
          write_file_part(file_name, archive.image.data(), 0, archive.image_size, kCreateAlways);
      written = result != 0 && result != -1;
    }
    tell(written ? kExtracted : kExtractFailed);
  }
  archive.release();
}

void replace_selected_texture() {
  const ArchiveKeys keys = archive_keys_of(selected_list_node());
  char file_name[kKeyBufferSize] = {};
  ask_for_dds_file(file_name, false);
  if (file_name[0] == '\0') return;
  Archive archive;
  archive.open(keys.idx_path.c_str());
  std::string png_error;
  const int result =
      !keys.fit ? 0
      : names_png_path(file_name)
          ? replace_texture_with_png(keys.idx_path, keys.output_id, file_name, &png_error)
          : archive.replace_entry(keys.output_id.c_str(), file_name);
  archive.release();
  tell(result == 1 ? kReplaced : result == 2 ? kReplaceUnchanged : kReplaceFailed);
  if (result == 1) show_replacement_history();
}

// Leading decimal digits; any number at or above the limit reads as the limit.
unsigned leading_number(const std::string& text) {
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value >= kModelFlagLimit) return kModelFlagLimit;
  }
  return value;
}

void toggle_model_flag(const htmlayout::dom::element& checkbox) {
  const engine::LPCWSTR number_text = checkbox.get_attribute("number");
  const engine::LPCWSTR checked_text = checkbox.get_attribute("checked");
  if (number_text == nullptr || checked_text == nullptr) return;  // not one of ours
  const unsigned number = leading_number(win::utf16_to_utf8(number_text));
  const std::string checked = win::utf16_to_utf8(checked_text);
  if (number >= kModelFlagLimit) return;
  const bool was_checked = win::lstrcmpiA(checked.c_str(), "true") == 0;
  checkbox.set_attribute("checked", was_checked ? u"false" : u"true");
  g_modelShow[number].store(was_checked ? 0 : 1, std::memory_order_relaxed);
}

}  // namespace

void ElementCommand(engine::HELEMENT element) {
  const htmlayout::dom::element clicked(element);
  if (!clicked.is_valid()) return;
  const engine::LPCWSTR id = clicked.get_attribute("id");
  if (id == nullptr) return;
  if (win::lstrcmpiW(id, u"pick_up_pic") == 0) {
    extract_selected_texture();
  } else if (win::lstrcmpiW(id, u"change_pic") == 0) {
    replace_selected_texture();
  } else if (win::lstrcmpiW(id, u"model_show_flag") == 0) {
    toggle_model_flag(clicked);
  } else if (win::lstrcmpiW(id, u"export_model") == 0) {
    export_selected_model();
  } else if (win::lstrcmpiW(id, u"save_png") == 0) {
    save_selected_texture_as_png();
  } else if (win::lstrcmpiW(id, u"undo_replacement") == 0) {
    undo_replacement_of_button(clicked);
  }
}

}  // namespace korvel
