// What fuzz_list_document does with one input, shared with the corpus replay
// test: the bytes as the list file. A list that loads is saved and must load
// again with the same meaning, and saves as the same text from then on; a label
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

// What a list means: its elements and attributes, by name and value, in order,
// and the text of its data. Whitespace at the start of an element's content
// is not part of it: the parser skips it, so what a reference put there
// ("<a>&#13;</a>", "<a>&#32;x</a>") is printed as plain whitespace and is gone
// on the next load. Recursive, but what loads nests no deeper than the limit.
inline void append_meaning(const ListNode* node, std::string* out) {
  // Data next to data (a comment between them is not kept) is one text once
  // printed, so runs of it are compared as one.
  std::string text;
  auto flush = [&] {
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    if (!text.empty()) *out += "[" + text + "]";
    text.clear();
  };
  for (const ListNode* child = node->first_node(); child; child = child->next_sibling()) {
    if (child->type() == rapidxml::node_data) {
      text.append(child->value(), child->value_size());
      continue;
    }
    if (child->type() != rapidxml::node_element) continue;
    flush();
    *out += "<" + std::string(child->name(), child->name_size());
    for (auto* a = child->first_attribute(); a; a = a->next_attribute()) {
      *out += " " + std::string(a->name(), a->name_size()) + "=" +
              std::string(a->value(), a->value_size());
    }
    *out += ">";
    append_meaning(child, out);
    *out += "</>";
  }
  flush();
}

inline std::string list_meaning(IdxListDocument& document) {
  std::string out;
  append_meaning(&document.document(), &out);
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
  if (document.save(saved.c_str()) != 1) return false;
  IdxListDocument again;
  if (again.load(saved.c_str(), missing.c_str()).status != ListLoadStatus::kLoaded ||
      list_meaning(again) != list_meaning(document)) {
    return false;
  }
  // What was saved once saves again as the same text.
  const std::string text = again.to_text();
  IdxListDocument twice;
  if (again.save(saved.c_str()) != 1 ||
      twice.load(saved.c_str(), missing.c_str()).status != ListLoadStatus::kLoaded ||
      twice.to_text() != text) {
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
