#include "shell/program.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "archive/file_stream.h"
#include "archive/limits.h"
#include "formats/model_viewer.h"
#include "formats/shared_ui_state.h"
#include "platform/engine/htmlayout.h"
#include "platform/win/display.h"
#include "platform/win/win32.h"
#include "shell/module_paths.h"
#include "ui/archive_tree_view.h"
#include "ui/dom_element.h"
#include "ui/host_window.h"

namespace korvel {
namespace {

// Module paths are asked for in buffers of this size, NUL included.
constexpr win::DWORD kModulePathCapacity = 260;
// A page larger than this is not loaded: the engine takes its length in 32 bits.
constexpr std::uint64_t kMaxPageLength = kStreamBufferCapacity;
// How long the exit waits for a running model viewer to notice its end.
constexpr win::DWORD kViewerEndTimeoutMs = 5000;

constexpr win::DWORD kTreeControlStyle = 0x5000002F;
static_assert(kTreeControlStyle ==
              (win::WS_CHILD | win::WS_VISIBLE | win::TVS_HASBUTTONS | win::TVS_HASLINES |
               win::TVS_LINESATROOT | win::TVS_EDITLABELS | win::TVS_SHOWSELALWAYS));

std::atomic<bool> g_closeRequested{false};
std::atomic<win::HWND> g_hostForClose{nullptr};

// The executable's path, or empty when it cannot be used.
std::string module_path(const StartOptions& options) {
  if (!options.module_path.empty()) {
    return options.module_path.size() < kModulePathCapacity ? options.module_path : std::string();
  }
  win::WCHAR wide[kModulePathCapacity] = {};
  const win::DWORD wide_length = win::GetModuleFileNameW(nullptr, wide, kModulePathCapacity);
  // A path cut short would name another directory: refused like no path.
  if (wide_length == 0 || wide_length >= kModulePathCapacity) return {};
  if (!directory_of_module(win::utf16_to_utf8(std::u16string(wide, wide_length)), nullptr)) {
    return {};
  }
  char narrow[kModulePathCapacity] = {};
  const win::DWORD length = win::GetModuleFileNameA(nullptr, narrow, kModulePathCapacity);
  if (length == 0 || length >= kModulePathCapacity) return {};
  return std::string(narrow, length);
}

std::u16string to_wide(const std::string& text) {
  return win::utf8_to_utf16(text);
}

std::u16string malformed_report(const std::u16string& what, const ListLoadResult& loaded) {
  return what + to_wide(loaded.path) + u" is not well-formed: " + to_wide(loaded.message) +
         u" at line " + to_wide(std::to_string(loaded.line)) + u", column " +
         to_wide(std::to_string(loaded.column)) + u".";
}

// The list document, with the reports a malformed or unreadable list earns.
void load_list(ProgramRun* run, std::vector<std::u16string>* reports) {
  const char* primary = run->list_path.c_str();
  ListLoadResult loaded = run->list.load(primary, kDefaultListPath);
  if (loaded.primary_unreadable) {
    run->save_list = false;
    reports->push_back(u"The list of archives " + to_wide(run->list_path) +
                       u" cannot be read. korvel starts from the default list and leaves that "
                       u"file as it is.");
  }
  if (loaded.status != ListLoadStatus::kMalformed) return;
  reports->push_back(malformed_report(u"The list of archives ", loaded));
  if (loaded.from_fallback) return;
  run->save_list = false;
  reports->back() += u" korvel starts from the default list and leaves that file as it is.";
  loaded = run->list.load(kDefaultListPath, nullptr);
  if (loaded.status == ListLoadStatus::kMalformed) {
    reports->push_back(malformed_report(u"The default list ", loaded));
  }
}

void register_classes(win::HINSTANCE instance) {
  const struct {
    const char16_t* name;
    win::WNDPROC procedure;
  } classes[] = {{kHostClassName, &HostWindowProc},
                 {kTreePopupClassName, &TreeWindowProc},
                 {kModelClassName, &ModelWindowProc}};
  for (const auto& entry : classes) {
    win::WNDCLASSW window_class{};
    window_class.lpfnWndProc = entry.procedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = entry.name;
    win::RegisterClassW(&window_class);
  }
}

// The page is read whole; a missing one reads as 0 bytes.
void load_page(win::HWND host) {
  FileStream stream;
  std::uint64_t size = 0;
  if (stream.open(kMainPagePath, kStreamBufferCapacity) == 1) {
    size = stream.seek(0, FileStream::kFromEnd);
  }
  if (size > kMaxPageLength) size = 0;
  stream.seek(0, FileStream::kFromStart);
  const auto length = static_cast<std::size_t>(size);
  std::unique_ptr<win::BYTE[]> page(new win::BYTE[length + 4]);
  const std::uint64_t read = length != 0 ? stream.read(size, page.get()) : 0;
  stream.close();
  std::memset(page.get() + read, 0, length + 4 - static_cast<std::size_t>(read));
  engine::HTMLayoutLoadHtmlEx(host, page.get(), static_cast<win::UINT>(read), kPageBaseUrl);
}

// The page's slots for the tree and for the selected item's page.
void find_page_slots(win::HWND host) {
  engine::HELEMENT root_handle = nullptr;
  engine::HTMLayoutGetRootElement(host, &root_handle);
  const htmlayout::dom::element root(root_handle);
  if (!root.is_valid()) return;
  g_treeElement = root.get_element_by_id("treeview");
  g_contentElement = root.get_element_by_id("content");
}

// The tree popup over its slot, shown while the slot is.
void lay_tree_over_slot(win::HWND popup) {
  win::WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  win::GetWindowPlacement(g_hwndHost, &placement);
  const win::POINT base{placement.rcNormalPosition.left, placement.rcNormalPosition.top};
  const htmlayout::dom::element slot(g_treeElement);
  PlacePopupOverElement(popup, slot, base, engine::VIEW_RELATIVE);
  win::ShowWindow(g_hwndTree, win::SW_SHOW);
  engine::BOOL visible = win::FALSE;
  engine::HTMLayoutIsElementVisible(slot, &visible);
  win::ShowWindow(popup, visible != win::FALSE ? win::SW_SHOW : win::SW_HIDE);
}

// One root item per element child of "xml_root", in document order.
void insert_archive_items(IdxListDocument& list) {
  ListNode* root = list.root();
  if (root == nullptr) return;
  for (ListNode* child = root->first_node(); child != nullptr; child = child->next_sibling()) {
    if (child->type() != rapidxml::node_element) continue;
    // The label lives in the document's pool, as long as the document does.
    const std::string text = node_text(child);
    const int units = win::MultiByteToWideChar(win::CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    auto* label = reinterpret_cast<win::WCHAR*>(list.document().allocate_string(
        nullptr, static_cast<std::size_t>(units > 0 ? units : 1) * sizeof(win::WCHAR)));
    label[0] = 0;
    if (units > 0) win::MultiByteToWideChar(win::CP_UTF8, 0, text.c_str(), -1, label, units);

    win::TVINSERTSTRUCTW insert{};
    insert.hParent = nullptr;
    insert.hInsertAfter = win::TVI_ROOT;
    insert.item.mask = win::TVIF_TEXT | win::TVIF_PARAM | win::TVIF_CHILDREN;
    insert.item.pszText = label;
    insert.item.cChildren = 1;
    insert.item.lParam = reinterpret_cast<win::LPARAM>(child);
    win::SendMessageW(g_hwndTree, win::TVM_INSERTITEMW, 0, reinterpret_cast<win::LPARAM>(&insert));
  }
}

void show_reports(const std::vector<std::u16string>& reports) {
  const std::u16string caption = std::u16string(kProductCaption) + u" info";
  for (const std::u16string& report : reports) {
    win::MessageBoxW(g_hwndHost, report.c_str(), caption.c_str(),
                     win::MB_OK | win::MB_ICONINFORMATION);
  }
}

void close_host(win::HWND host) {
  if (host != nullptr) win::input_close_window(host);
}

}  // namespace

int start_program(ProgramRun* run, const StartOptions& options) {
  const std::string module = module_path(options);
  std::string directory;
  if (module.empty() || !directory_of_module(module, &directory)) {
    std::fprintf(stderr, "korvel: the program's own path is unknown or longer than %u bytes\n",
                 static_cast<unsigned>(kModulePathCapacity - 1));
    return 1;
  }
  std::memset(g_exeDir, 0, sizeof g_exeDir);
  std::memcpy(g_exeDir, directory.data(), directory.size());
  run->list_path = list_path_for_module(module);
  run->save_list = true;

  std::vector<std::u16string> reports;
  load_list(run, &reports);

  const win::HINSTANCE instance = win::GetModuleHandleW(nullptr);
  register_classes(instance);
  g_hwndHost = win::CreateWindowExW(win::WS_EX_LAYERED, kHostClassName, kHostTitle, win::WS_POPUP,
                                    0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  engine::HTMLayoutSetCallback(g_hwndHost, &HostNotifyCallback, nullptr);
  engine::HTMLayoutWindowAttachEventHandler(g_hwndHost, &htmlayout::ElementEventProc,
                                            &g_domEventsHandler, engine::HANDLE_ALL);
  load_page(g_hwndHost);
  find_page_slots(g_hwndHost);
  centre_host_on_desktop();
  win::ShowWindow(g_hwndHost, win::SW_SHOW);

  const win::HWND popup = win::CreateWindowExW(0, kTreePopupClassName, u"", win::WS_POPUP, 0, 0, 0,
                                               0, nullptr, nullptr, instance, nullptr);
  g_hwndTree = win::CreateWindowExW(
      0, win::WC_TREEVIEWW, nullptr, kTreeControlStyle, 0, 0, 0, 0, popup,
      reinterpret_cast<win::HMENU>(static_cast<std::uintptr_t>(kTreeControlId)), instance, nullptr);
  lay_tree_over_slot(popup);
  insert_archive_items(run->list);

  g_hwndModel = win::CreateWindowExW(0, kModelClassName, u"", win::WS_POPUP, 0, 0, 0, 0, nullptr,
                                     nullptr, instance, nullptr);
  win::ShowWindow(g_hwndModel, win::SW_HIDE);

  show_reports(reports);
  // A close asked for before the host existed is carried out now.
  g_hostForClose.store(g_hwndHost);
  if (g_closeRequested.load()) close_host(g_hwndHost);
  return 0;
}

int run_message_loop() {
  win::MSG msg{};
  for (;;) {
    const win::BOOL got = win::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(msg.wParam);
    if (got < 0) return 1;  // not the UI thread: there is no loop to run
    win::TranslateMessage(&msg);
    win::DispatchMessageW(&msg);
  }
}

int finish_program(ProgramRun* run, int quit_code) {
  win::UnregisterClassW(kHostClassName, win::GetModuleHandleW(nullptr));
  win::UnregisterClassW(kTreePopupClassName, win::GetModuleHandleW(nullptr));
  win::UnregisterClassW(kModelClassName, win::GetModuleHandleW(nullptr));
  g_hostForClose.store(nullptr);
  // A viewer still drawing reads the list's nodes: it ends before they go.
  g_modelElement.store(nullptr);
  if (!win::wait_for_threads(kViewerEndTimeoutMs)) {
    std::fprintf(stderr, "korvel: the model viewer did not end; the list is not written\n");
    return quit_code;
  }
  std::string save_error;
  if (run->save_list && run->list.save(run->list_path.c_str(), &save_error) != 1) {
    std::fprintf(stderr,
                 "korvel: could not write the list of archives to %s (%s); the old one is kept\n",
                 run->list_path.c_str(), save_error.c_str());
  }
  run->list.document().clear();
  return quit_code;
}

int korvel_main() {
  ProgramRun run;
  const int failed = start_program(&run);
  if (failed != 0) return failed;
  return finish_program(&run, run_message_loop());
}

void request_close() {
  g_closeRequested.store(true);
  close_host(g_hostForClose.load());
}

void force_close() {
  g_closeRequested.store(true);
  const win::HWND host = g_hostForClose.load();
  if (host != nullptr) win::PostMessageW(host, win::WM_CLOSE, 0, 0);
}

}  // namespace korvel
