// libFuzzer target for the list document's load and save (see
// fuzz/list_document_input.h).
#include <cstdlib>

#include "fuzz/list_document_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!korvel::fuzz::run_list_document_input(data, size)) std::abort();
  return 0;
}
