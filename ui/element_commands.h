// The page's commands: extract ("pick_up_pic"), replace ("change_pic") and a
// sub-model's visibility checkbox ("model_show_flag").
#pragma once

#include "platform/engine/htmlayout_types.h"

namespace korvel {

// Runs the command the clicked element's id names; a null element does nothing.
void ElementCommand(engine::HELEMENT element);

}  // namespace korvel
