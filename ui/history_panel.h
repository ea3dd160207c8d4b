// The history tab beside the tree: the selected archive's replacements from
// its journal, newest first, each with an undo button ("undo_replacement",
// its history number in "number").
#pragma once

#include "platform/engine/htmlayout_types.h"

namespace korvel {

// Fills the page's "replacement_history" element for the archive of the
// tree's selection (the archive item itself or anything inside it).
void show_replacement_history();

// The click on an undo button: undoes that replacement, tells the result and
// shows the history again.
void undo_replacement_of_button(engine::HELEMENT button);

}  // namespace korvel
