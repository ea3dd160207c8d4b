#include <cinttypes>

#include "archive/archive.h"
#include "archive/entry_walk.h"
#include "archive/format_text.h"
#include "tools/cli/cli.h"
#include "tools/cli/entry_items.h"

namespace korvel::cli {

int run_entries(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 1) {
    err << "usage: korvel-cli entries ARCHIVE.idx\n";
    return kExitError;
  }
  Archive archive;
  if (!open_archive(arguments[0], &archive, err)) return kExitError;
  std::int32_t file_number = archive.first_bin_number;
  for (std::uint32_t i = 0; i < archive.entry_count; ++i) {
    const IndexEntry& record = archive.entries[i];
    file_number = next_data_file_number(archive, i, file_number);
    out << format_text(
        "%08u\t%s\t%016" PRIX64 "h\t%016" PRIX64 "h\t%016" PRIX64 "h\t%016" PRIX64 "h\n", i,
        file_name_of(data_file_name(archive.base_path, archive.first_bin_number, file_number))
            .c_str(),
        record.offset, record.size_uncomp, record.size_comp, record.flag);
  }
  archive.release();
  return kExitOk;
}

}  // namespace korvel::cli
