// The program: start-up (the list document, the windows, the page, the tree's
// first level), the message loop, and the exit that writes the list back.
// korvel_main does all three; they are separate so that tests can drive
// the program in-process between them.
#pragma once

#include <string>

#include "platform/win/win_types.h"
#include "shell/idx_list_document.h"

namespace korvel {

inline constexpr const char16_t* kHostClassName = u"korvel_engine_v1 htmlayout";
inline constexpr const char16_t* kTreePopupClassName = u"korvel_engine_v1 treeview";
inline constexpr const char16_t* kModelClassName = u"korvel_engine_v1 DirectX";
inline constexpr const char16_t* kHostTitle = u"korvel_engine_v1 2014-07-02 16:32";
// The caption of the program's own message boxes.
inline constexpr const char16_t* kProductCaption = u"korvel";

inline constexpr const char* kDefaultListPath = "./korvel_res/default_idx_list.xml";
inline constexpr const char* kMainPagePath = "./korvel_res/main.html";
inline constexpr const char16_t* kPageBaseUrl = u"/korvel_res/";

// The tree control's id in its popup.
constexpr int kTreeControlId = 0x213;

struct StartOptions {
  // The executable's path as the window system gives it; empty asks it.
  std::string module_path;
};

// What lives from start-up to exit.
struct ProgramRun {
  IdxListDocument list;
  std::string list_path;  // where the list is written at exit
  // False when the file at list_path holds a list this run could not read:
  // it is the user's only copy, so it is never written over.
  bool save_list = true;
};

// Start-up. 0 once the windows are up and the tree's first level is in;
// otherwise the exit code (1: the executable's path cannot be split), with
// no window made and nothing read.
int start_program(ProgramRun* run, const StartOptions& options = {});
// The message loop; answers the WM_QUIT code.
int run_message_loop();
// The exit: unregisters the classes, ends a running model viewer, writes the
// list document and answers quit_code.
int finish_program(ProgramRun* run, int quit_code);
// All of the above.
int korvel_main();

// Any thread, also before the host window exists: closes the host window as
// the user's close does, so that the program leaves through its usual exit.
// Like the user's close, it waits while a dialog is open.
void request_close();
// Any thread: closes the host window even while a dialog is open (the dialog
// ends as cancelled), still through the usual exit.
void force_close();

}  // namespace korvel
