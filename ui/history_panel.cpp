#include "ui/history_panel.h"

#include <cstdlib>
#include <string>

#include "archive/archive.h"
#include "archive/format_text.h"
#include "archive/replacement_history.h"
#include "formats/selection_keys.h"
#include "formats/shared_ui_state.h"
#include "platform/win/text_conversion.h"
#include "platform/win/win32.h"
#include "ui/dom_element.h"

namespace korvel {
namespace {

constexpr const char16_t* kCaption = u"korvel info";
constexpr const char* kHistoryElementId = "replacement_history";

// The index path of the selection's archive: its own "idx_file_path" for an
// archive item, else the nearest ancestor's. Empty without one.
std::string selected_index_path() {
  for (const ListNode* node = selected_list_node(); node != nullptr; node = node->parent()) {
    if (const char* path = list_attribute(node, "idx_file_path")) {
      std::string ansi;
      return utf8_to_ansi_key(path, &ansi) ? ansi : "";
    }
  }
  return "";
}

std::string escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string file_name_of(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string history_html(const std::string& index_path) {
  if (index_path.empty()) {
    return "<p class=\"history-note\">Select an archive, or anything in it, on the Archives tab "
           "to see its replacements.</p>";
  }
  Archive archive;
  if (archive.open(index_path.c_str()) != 1) {
    return "<p class=\"history-note\">" +
           escaped("Cannot open " + index_path + ": " + archive.error) + "</p>";
  }
  const ReplacementHistory history = replacement_history(archive);
  std::string html = "<h2 class=\"history-archive\">" + escaped(file_name_of(index_path)) + "</h2>";
  if (!history.note.empty()) html += "<p class=\"history-note\">" + escaped(history.note) + "</p>";
  if (history.newest_first.empty()) {
    html += "<p class=\"history-empty\">No replacements to undo.</p>";
  }
  for (std::size_t i = 0; i < history.newest_first.size(); ++i) {
    const HistoryItem& item = history.newest_first[i];
    const bool undoable = item.status == ReplacementStatus::kInEffect;
    html += format_text("<div class=\"history-row\" number=\"%zu\">", i + 1);
    html += "<span class=\"history-key\">" + escaped(item.record.output_id) + "</span>";
    html += "<span class=\"history-source\">" + escaped(file_name_of(item.record.source_name)) +
            "</span>";
    html += "<span class=\"history-time\">" + journal_time_text(item.record.time) + "</span>";
    html += "<span class=\"history-status\">" + escaped(status_text(item)) + "</span>";
    html += format_text(
        "<button id=\"undo_replacement\" class=\"action\" number=\"%zu\"%s>Undo</button>", i + 1,
        undoable ? "" : " disabled");
    html += "</div>";
  }
  archive.release();
  return html;
}

}  // namespace

void show_replacement_history() {
  const htmlayout::dom::element slot(g_treeElement);
  if (!slot.is_valid()) return;
  const htmlayout::dom::element top(slot.root());
  const htmlayout::dom::element list(top.get_element_by_id(kHistoryElementId));
  if (!list.is_valid()) return;
  const std::string html = history_html(selected_index_path());
  engine::HTMLayoutSetElementInnerText16(list, u"", 0);
  list.set_html(reinterpret_cast<const engine::BYTE*>(html.data()), html.size());
  list.update(true);
}

void undo_replacement_of_button(engine::HELEMENT button) {
  const htmlayout::dom::element clicked(button);
  const engine::LPCWSTR number_text = clicked.get_attribute("number");
  if (number_text == nullptr) return;
  const std::string number = win::utf16_to_utf8(number_text);
  const std::size_t history_number = std::strtoul(number.c_str(), nullptr, 10);
  const std::string index_path = selected_index_path();
  if (history_number == 0 || index_path.empty()) return;
  std::string message;
  const int result = undo_replacement(index_path, history_number, &message);
  const std::u16string text = win::utf8_to_utf16(result == 1 ? message : "Not undone: " + message);
  win::MessageBoxW(g_hwndTree, text.c_str(), kCaption, win::MB_ICONINFORMATION);
  show_replacement_history();
}

}  // namespace korvel
