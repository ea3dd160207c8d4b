// The page's save commands beside extract and replace: the selected model as
// a binary glTF file ("export_model") and the selected texture's first level
// as a PNG picture ("save_png"), each through a save dialog and a message.
#pragma once

namespace korvel {

void export_selected_model();
void save_selected_texture_as_png();

}  // namespace korvel
