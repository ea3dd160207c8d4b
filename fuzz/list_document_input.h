// What fuzz_list_document does with one input, shared with the corpus replay
// test: the bytes as the list file. A list that loads is saved and must load
// again as the same document (but for whitespace the parser skips); a label
// set on its root survives the round trip whatever it holds. A list that does
// not load says where it failed.
#pragma once

#include <cstdint>
#include <string>

#include "fuzz/scratch_dir.h"
#include "shell/idx_list_document.h"
#include "shell/list_text_check.h"

namespace korvel::fuzz {

// The longest label the harness sets: the escaping is per character.
inline constexpr std::size_t kMaxFuzzLabel = 64;

// How deep elements nest below node (its children count 1), walked without
// recursion so that the harness itself survives what it measures.
inline std::size_t nesting_depth(const ListNode* node) {
  std::size_t deepest = 0;
  std::size_t depth = 0;
  const ListNode* at = node->first_node();
  if (at != nullptr) depth = 1;
  while (at != nullptr) {
    if (depth > deepest) deepest = depth;
    if (at->first_node() != nullptr) {
      at = at->first_node();
      ++depth;
      continue;
    }
    while (at != node && at->next_sibling() == nullptr) {
      at = at->parent();
      --depth;
    }
    if (at == nullptr || at == node) break;
    at = at->next_sibling();
  }
  return deepest;
}

// The printed text without whitespace right after a tag's '>': the parser
// skips it before an element's content, so what a reference put there
// ("<a>&#13;<b/>", "<a>&#32;x") is printed as plain whitespace and is gone on
// the next load. The list's elements and attributes keep their meaning, so
// the round trip is compared without it.
inline std::string without_leading_blanks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  bool after_tag = false;
  for (const char c : text) {
    const bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (after_tag && blank) continue;
    after_tag = c == '>';
    out.push_back(c);
  }
  return out;
}

// False when a law broke; the sanitizers catch the rest.
inline bool run_list_document_input(const std::uint8_t* data, std::size_t size) {
  const ScratchDir& dir = scratch_dir();
  const std::string list = dir.file("list.xml");
  const std::string saved = dir.file("saved.xml");
  const std::string missing = dir.file("missing.xml");
  write_scratch_file(list, data, size);

  IdxListDocument document;
  const ListLoadResult loaded = document.load(list.c_str(), missing.c_str());
  if (loaded.status == ListLoadStatus::kMalformed) {
    return document.root() == nullptr && !loaded.message.empty() && loaded.line >= 1 &&
           loaded.column >= 1;
  }
  // What loads nests no deeper than the limit: printing at exit recurses too.
  if (nesting_depth(&document.document()) > kMaxListDepth + 1) return false;
  const std::string text = document.to_text();
  if (document.save(saved.c_str()) != 1) return false;
  IdxListDocument again;
  if (again.load(saved.c_str(), missing.c_str()).status != ListLoadStatus::kLoaded ||
      without_leading_blanks(again.to_text()) != without_leading_blanks(text)) {
    return false;
  }

  ListNode* root = document.root();
  if (root == nullptr) return true;
  std::string label;
  for (std::size_t i = 0; i < size && label.size() < kMaxFuzzLabel; ++i) {
    if (data[i] != 0) label.push_back(static_cast<char>(data[i]));
  }
  set_attribute_text(root, "name", label);
  if (document.save(saved.c_str()) != 1) return false;
  IdxListDocument labelled;
  return labelled.load(saved.c_str(), missing.c_str()).status == ListLoadStatus::kLoaded &&
         node_attribute(labelled.root(), "name") == label;
}

}  // namespace korvel::fuzz
