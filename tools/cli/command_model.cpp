#include <cstdint>

#include "archive/archive.h"
#include "archive/byte_reader.h"
#include "archive/format_text.h"
#include "formats/g1m_format.h"
#include "tools/cli/cli.h"
#include "tools/cli/entry_items.h"

namespace korvel::cli {
namespace {

// load_entry succeeds for any requested item; only a model leaves a G1M
// container in image.
bool image_holds_model(const Archive& archive) {
  const ByteReader reader(archive.image.data(), archive.image_size, 0);
  return reader.bytes_equal(g1m::kMagicOffset, g1m::kMagicLittle, 4) ||
         reader.bytes_equal(g1m::kMagicOffset, g1m::kMagicBig, 4);
}

void print_geometry(const ModelView& view, std::ostream& out) {
  using W = ModelView;
  out << format_text("model vertex_buffers %u index_buffers %u submeshes %u\n",
                     view.vertex_buffer_count(), view.index_buffer_count(), view.submesh_count());
  for (std::uint32_t i = 0; i < view.vertex_buffer_count(); ++i) {
    const std::uint8_t* header = view.vb_headers[i];
    out << format_text("vertex_buffer %u stride %u vertex_count %u\n", i,
                       W::word(header, g1m::kVertexBufferStrideWord),
                       W::word(header, g1m::kVertexBufferCountWord));
  }
  for (std::uint32_t i = 0; i < view.index_buffer_count(); ++i) {
    const std::uint8_t* header = view.ib_headers[i];
    out << format_text("index_buffer %u index_bits %u index_count %u\n", i,
                       W::word(header, g1m::kIndexBufferBitsWord),
                       W::word(header, g1m::kIndexBufferCountWord));
  }
  for (std::uint32_t i = 0; i < view.submesh_count(); ++i) {
    const std::uint8_t* record = view.sm_records[i];
    out << format_text(
        "submesh %u buffer %u first_vertex %u vertex_count %u first_index %u index_count %u\n", i,
        W::word(record, g1m::kSubmeshBufferWord), W::word(record, g1m::kSubmeshFirstVertexWord),
        W::word(record, g1m::kSubmeshVertexCountWord), W::word(record, g1m::kSubmeshFirstIndexWord),
        W::word(record, g1m::kSubmeshIndexCountWord));
  }
}

}  // namespace

int run_model(const Arguments& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() != 2) {
    err << "usage: korvel-cli model ARCHIVE.idx KEY\n";
    return kExitError;
  }
  Archive archive;
  if (!open_archive(arguments[0], &archive, err)) return kExitError;
  if (archive.load_entry(arguments[1].c_str()) != 1 || !image_holds_model(archive)) {
    err << "korvel-cli: no model: "
        << (archive.error.empty() ? arguments[1] + " names no model" : archive.error) << '\n';
    archive.release();
    return exit_code_of_load_failure(archive.error_kind);
  }
  print_geometry(archive.model_view, out);
  archive.release();
  return kExitOk;
}

}  // namespace korvel::cli
