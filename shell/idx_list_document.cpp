#include "shell/idx_list_document.h"

#include <cstring>
#include <iterator>

#include <rapidxml_print.hpp>

#include "archive/file_io.h"
#include "archive/file_stream.h"
#include "archive/limits.h"
#include "archive/temporary_files.h"
#include "shell/list_text_check.h"

namespace korvel {
namespace {

// The size of a list file, 0 when it cannot be opened. A read-only or locked
// file counts as missing, as the stream opens for writing too.
std::uint64_t list_file_size(FileStream& stream, const char* path) {
  if (path == nullptr || stream.open(path, kStreamBufferCapacity) != 1) return 0;
  return stream.seek(0, FileStream::kFromEnd);
}

void position_of(const char* text, std::size_t offset, std::size_t* line, std::size_t* column) {
  *line = 1;
  *column = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++*line;
      *column = 1;
    } else {
      ++*column;
    }
  }
}

}  // namespace

ListLoadResult IdxListDocument::load(const char* primary_path, const char* fallback_path) {
  ListLoadResult result;
  document_.clear();
  FileStream stream;
  std::uint64_t size = list_file_size(stream, primary_path);
  result.path = primary_path ? primary_path : "";
  if (size == 0 || size > kMaxPayloadLength) {
    // Too large to read counts as unopenable.
    result.primary_unreadable = file_size64(primary_path) > 0;
    stream.close();
    size = list_file_size(stream, fallback_path);
    result.path = fallback_path ? fallback_path : "";
    result.from_fallback = true;
  }
  if (size == 0 || size > kMaxPayloadLength) {
    result.path.clear();
    return result;
  }
  stream.seek(0, FileStream::kFromStart);
  const auto length = static_cast<std::size_t>(size);
  char* block = document_.allocate_string(nullptr, length + 4);
  const std::uint64_t read = stream.read(size, block);
  stream.close();
  std::memset(block + read, 0, length + 4 - static_cast<std::size_t>(read));
  // A UTF-8 byte-order mark is skipped; nothing else decides the encoding.
  char* text = block;
  if (read >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
  // The parser's errors are the one exception we catch: a malformed list
  // must be reported with its position, not end the program.
  const std::string original(text);
  std::string refusal;
  std::size_t refused_at = 0;
  if (!list_text_is_acceptable(original.data(), original.size(), &refusal, &refused_at)) {
    document_.clear();
    result.status = ListLoadStatus::kMalformed;
    result.message = refusal;
    position_of(original.c_str(), refused_at, &result.line, &result.column);
    return result;
  }
  try {
    document_.parse<0>(text);
  } catch (const rapidxml::parse_error& failure) {
    document_.clear();
    result.status = ListLoadStatus::kMalformed;
    result.message = failure.what();
    const char* where = failure.where<char>();
    const std::size_t offset = where != nullptr && where >= text && where <= text + original.size()
                                   ? static_cast<std::size_t>(where - text)
                                   : original.size();
    position_of(original.c_str(), offset, &result.line, &result.column);
  }
  return result;
}

std::string IdxListDocument::to_text() const {
  std::string text = kListDeclaration;
  rapidxml::print(std::back_inserter(text), document_, rapidxml::print_no_indenting);
  return text;
}

int IdxListDocument::save(const char* path, std::string* error) {
  if (path == nullptr) return 0;
  make_dirs_for_path(path);
  const std::string text = to_text();
  // Saves of a list take turns on its folder, so that a temporary file a
  // killed save left behind cannot be one being written now: it is removed.
  const FileLock lock = FileLock::on_folder_of(path);
  if (lock.held()) remove_stale_temporaries(path);
  return replace_file_atomically(path, text.data(), text.size(), error);
}

void set_attribute_text(ListNode* node, const char* name, const std::string& utf8) {
  if (node == nullptr) return;
  auto* document = node->document();
  const char* copy = document->allocate_string(utf8.c_str(), utf8.size() + 1);
  if (auto* attribute = node->first_attribute(name)) {
    attribute->value(copy);
    return;
  }
  node->append_attribute(document->allocate_attribute(document->allocate_string(name), copy));
}

void set_value_text(ListNode* node, const std::string& utf8) {
  if (node == nullptr) return;
  const char* copy = node->document()->allocate_string(utf8.c_str(), utf8.size() + 1);
  node->value(copy);
}

std::string node_text(const ListNode* node) {
  if (node == nullptr || node->value() == nullptr) return {};
  return std::string(node->value(), node->value_size());
}

std::string node_attribute(const ListNode* node, const char* name) {
  const auto* attribute = node ? node->first_attribute(name) : nullptr;
  if (attribute == nullptr) return {};
  return std::string(attribute->value(), attribute->value_size());
}

}  // namespace korvel
