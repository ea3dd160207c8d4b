// The list document: the archives a user can browse and the items inside them,
// an XML file read whole at start-up, parsed in place, changed only by
// pointing nodes at new pool strings, and written back at exit.
#pragma once

#include <cstddef>
#include <string>

#include <rapidxml.hpp>

namespace korvel {

using ListNode = rapidxml::xml_node<char>;

// The first line of every saved list, 39 bytes.
inline constexpr const char* kListDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>";

enum class ListLoadStatus {
  kLoaded,     // parsed (perhaps empty: both files missing or empty)
  kMalformed,  // the file exists but does not parse; the document is empty
};

struct ListLoadResult {
  ListLoadStatus status = ListLoadStatus::kLoaded;
  std::string path;  // the file that was read; empty when neither had content
  bool from_fallback = false;
  // The primary file holds bytes that could not be read (it cannot be opened
  // for reading and writing, or is too large): saving would replace them.
  bool primary_unreadable = false;
  std::string message;   // the parser's message, when malformed
  std::size_t line = 0;  // 1-based position of the fault, when malformed
  std::size_t column = 0;
};

class IdxListDocument {
 public:
  IdxListDocument() = default;
  IdxListDocument(const IdxListDocument&) = delete;
  IdxListDocument& operator=(const IdxListDocument&) = delete;

  // Reads the primary file, or the fallback when the primary is missing,
  // unopenable or empty. A malformed file leaves the document empty and says
  // where it failed, so that the caller can refuse to save over it.
  ListLoadResult load(const char* primary_path, const char* fallback_path);

  // Writes the declaration and the document on one line, through a temporary
  // file renamed over the old one (over a link's target, keeping the link).
  // 1 on success, 0 when nothing was written; error, when given, says why.
  int save(const char* path, std::string* error = nullptr);

  // The document printed as save writes it.
  std::string to_text() const;

  // The first top-level element named exactly "xml_root", or null.
  ListNode* root() const { return document_.first_node("xml_root"); }

  rapidxml::xml_document<char>& document() { return document_; }

 private:
  rapidxml::xml_document<char> document_;
};

// In-place changes: the text is copied into the node's document pool and the
// attribute or node is pointed at it; the old text is not freed, so pointers
// that others hold stay valid.
void set_attribute_text(ListNode* node, const char* name, const std::string& utf8);
void set_value_text(ListNode* node, const std::string& utf8);

// A node's value (its label), or "" when it has none.
std::string node_text(const ListNode* node);
// An attribute's value, or "" when missing.
std::string node_attribute(const ListNode* node, const char* name);

}  // namespace korvel
