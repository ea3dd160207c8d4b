// The tree's selected list node and the two keys an archive request takes
// from it: the node's "output_id" and the "idx_file_path" of the nearest
// ancestor above it, each converted to the ANSI code page into 1024 bytes.
#pragma once

#include <cstddef>
#include <string>

#include "formats/shared_ui_state.h"

namespace korvel {

// Each key's buffer: at most 1023 bytes and the NUL.
constexpr std::size_t kKeyBufferSize = 1024;

// The node bound to the caret item of g_hwndTree; null without a selection.
ListNode* selected_list_node();

// The value of the node's attribute name (exact, case-sensitive), or null.
const char* list_attribute(const ListNode* node, const char* name);

// UTF-8 -> UTF-16 -> ANSI into a 1024-byte buffer. False, leaving ansi
// empty, when the text does not fit: a cut path could name another file.
bool utf8_to_ansi_key(const char* utf8, std::string* ansi);

struct ArchiveKeys {
  std::string idx_path;   // empty when no ancestor has one
  std::string output_id;  // empty when the node has none
  bool fit = true;        // false when either did not fit its buffer (both are then empty)
};

// The keys of node; a null node gives two empty keys.
ArchiveKeys archive_keys_of(const ListNode* node);

}  // namespace korvel
