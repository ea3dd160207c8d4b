#include "platform/win/modal_dialogs.h"

#include <cstring>
#include <optional>
#include <vector>

#include "platform/limits.h"
#include "platform/win/display.h"
#include "platform/win/message_queue.h"
#include "platform/win/text_conversion.h"
#include "platform/win/window_state.h"

namespace korvel::win {
namespace {

bool modal_done(detail::State& st, std::uint64_t id) {
  const auto found = st.modals.find(id);
  return found == st.modals.end() || found->second.answered;
}

// Opens the request and waits for its answer; a request that went away
// unanswered reads as cancelled. Nullopt when the owner is not a window.
std::optional<ModalAnswer> run_modal(ModalRequest request) {
  detail::State& st = detail::state();
  std::shared_ptr<Display> display;
  bool ui_thread = false;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (request.owner != nullptr && detail::find_window(st, request.owner) == nullptr) {
      return std::nullopt;
    }
    ui_thread = detail::on_ui_thread(st);
    request.id = st.next_modal++;
    detail::ModalRecord record;
    record.request = request;
    record.blocks_all = request.kind == ModalKind::kConsoleMessage && ui_thread;
    // With no screen to answer it, waiting would never end.
    record.answered = st.display == nullptr;
    st.modals[request.id] = std::move(record);
    display = st.display;
  }
  if (display != nullptr) display->modal_opened(request);

  if (ui_thread) {
    for (;;) {
      MSG msg{};
      const detail::Retrieved got = detail::retrieve_message(&msg, true, &modal_done, request.id);
      if (got == detail::Retrieved::kNothing) break;
      if (got == detail::Retrieved::kQuit) {
        // As a Windows modal loop does: close, and leave the quit for the
        // loop outside.
        std::lock_guard<std::mutex> lock(st.mutex);
        st.quit_posted = true;
        st.quit_code = static_cast<int>(msg.wParam);
        if (auto found = st.modals.find(request.id); found != st.modals.end()) {
          found->second.answered = true;
          found->second.answer = ModalAnswer{};
        }
        break;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  } else {
    std::unique_lock<std::mutex> lock(st.mutex);
    st.changed.wait(lock, [&st, &request] { return modal_done(st, request.id); });
  }

  ModalAnswer answer;
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (auto found = st.modals.find(request.id); found != st.modals.end()) {
      answer = found->second.answer;
      st.modals.erase(found);
    }
  }
  if (display != nullptr) display->modal_closed(request.id);
  return answer;
}

std::vector<FileFilter> parse_filters(LPCSTR filter) {
  std::vector<FileFilter> filters;
  if (filter == nullptr) return filters;
  for (int pair = 0; pair < kMaxFilterPairs && *filter != 0; ++pair) {
    FileFilter entry;
    entry.description = filter;
    filter += entry.description.size() + 1;
    if (*filter == 0) break;  // a description without its pattern is dropped
    entry.pattern = filter;
    filter += entry.pattern.size() + 1;
    filters.push_back(std::move(entry));
  }
  return filters;
}

BOOL file_dialog(OPENFILENAMEA* dialog, ModalKind kind) {
  if (dialog == nullptr || dialog->lpstrFile == nullptr || dialog->nMaxFile == 0) return FALSE;
  ModalRequest request;
  request.kind = kind;
  request.owner = dialog->hwndOwner;
  request.title = dialog->lpstrTitle != nullptr ? dialog->lpstrTitle : "";
  request.filters = parse_filters(dialog->lpstrFilter);
  request.initial_file_name.assign(dialog->lpstrFile, strnlen(dialog->lpstrFile, dialog->nMaxFile));
  request.flags = dialog->Flags;
  const std::optional<ModalAnswer> answer = run_modal(std::move(request));
  if (!answer || !answer->accepted || answer->file_name.empty()) return FALSE;
  const std::string& name = answer->file_name;
  if (name.find('\0') != std::string::npos || name.size() >= dialog->nMaxFile) {
    dialog->lpstrFile[0] = 0;
    return FALSE;
  }
  std::memcpy(dialog->lpstrFile, name.c_str(), name.size() + 1);
  return TRUE;
}

}  // namespace

BOOL GetOpenFileNameA(OPENFILENAMEA* dialog) {
  return file_dialog(dialog, ModalKind::kOpenFile);
}

BOOL GetSaveFileNameA(OPENFILENAMEA* dialog) {
  return file_dialog(dialog, ModalKind::kSaveFile);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  ModalRequest request;
  request.kind = ModalKind::kMessageBox;
  request.owner = owner;
  request.title = caption != nullptr ? utf16_to_utf8(caption) : "Error";  // Windows' default
  request.text = text != nullptr ? utf16_to_utf8(text) : "";
  request.flags = type;
  return run_modal(std::move(request)) ? IDOK : 0;
}

void show_console_message_modal(const std::string& text) {
  ModalRequest request;
  request.kind = ModalKind::kConsoleMessage;
  request.text = text;
  run_modal(std::move(request));
}

void answer_modal(std::uint64_t id, const ModalAnswer& answer) {
  detail::State& st = detail::state();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    const auto found = st.modals.find(id);
    if (found == st.modals.end() || found->second.answered) return;
    found->second.answered = true;
    found->second.answer = answer;
  }
  st.changed.notify_all();
}

}  // namespace korvel::win
