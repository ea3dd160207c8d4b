// The items inside one entry, for commands that visit every entry: the
// payload is read once, listed once, and each item is loaded from it again as
// load_entry would, without walking the index again.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/entry_walk.h"

namespace korvel::cli {

class EntryItems {
 public:
  EntryItems(Archive& archive, const EntryLocation& location, ByteBuffer payload)
      : archive_(archive), location_(location), payload_(std::move(payload)) {}

  // Dispatches the payload under the entry's element with nothing requested,
  // so that every item gets its node.
  void list();
  // Dispatches again with output_id requested; true when the decoders left
  // the item in the archive's image.
  bool load(const std::string& output_id);

  // Lists the payload as list() does, decoding it once, and calls sink for
  // every texture and model with the archive holding it as its own load
  // would (an empty image when it cannot be taken out, the reason in the
  // archive's error).
  void take_items(const std::function<void(const std::string& output_id)>& sink);

  Archive& archive() { return archive_; }

  const Archive& archive() const { return archive_; }

 private:
  Archive& archive_;
  const EntryLocation& location_;
  ByteBuffer payload_;
};

// The texture and model elements below node, in document order.
struct ItemNodes {
  std::vector<const ContentNode*> textures;
  std::vector<const ContentNode*> models;
};
ItemNodes items_below(const ContentNode* node);

// Opens the archive, or says on err why not.
bool open_archive(const std::string& index_path, Archive* archive, std::ostream& err);

std::string file_name_of(const std::string& path);

}  // namespace korvel::cli
