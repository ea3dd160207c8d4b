#include <cinttypes>

#include "archive/archive.h"
#include "archive/format_text.h"
#include "archive/replacement_history.h"
#include "tools/cli/cli.h"
#include "tools/cli/entry_items.h"

namespace korvel::cli {

// One line per replacement, newest first: its number for undo, entry,
// output id, time (UTC), replacing file, its CRC-32, and whether it can be undone.
int run_history(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 1) {
    err << "usage: korvel-cli history ARCHIVE.idx\n";
    return kExitError;
  }
  Archive archive;
  if (!open_archive(arguments[0], &archive, err)) return kExitError;
  const ReplacementHistory history = replacement_history(archive);
  for (std::size_t i = 0; i < history.newest_first.size(); ++i) {
    const HistoryItem& item = history.newest_first[i];
    out << format_text("%zu\t%08u\t%s\t%s\t%s\t%08X\t%s\n", i + 1, item.record.entry,
                       item.record.output_id.c_str(), journal_time_text(item.record.time).c_str(),
                       item.record.source_name.c_str(), item.record.source_crc,
                       status_text(item).c_str());
  }
  if (!history.note.empty()) err << "korvel-cli: " << history.note << '\n';
  archive.release();
  return kExitOk;
}

}  // namespace korvel::cli
