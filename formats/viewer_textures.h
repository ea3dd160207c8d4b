// The model's textures: the "G1TG" nodes that follow the model's node in the
// list document, loaded through the viewer's Archive.
#pragma once

#include <array>
#include <cstddef>

#include "archive/archive.h"
#include "formats/shared_ui_state.h"
#include "platform/d3d9/d3d9.h"

namespace korvel {

constexpr std::size_t kMaxModelTextures = 256;

using TextureSlots = std::array<d3d9::IDirect3DTexture9*, kMaxModelTextures>;

// Fills the slots in order, one per following "G1TG" sibling of model_node;
// a texture that cannot be loaded or made leaves its slot empty.
void load_model_textures(Archive* archive, d3d9::IDirect3DDevice9* device,
                         const ListNode* model_node, TextureSlots* slots);

void release_model_textures(TextureSlots* slots);

}  // namespace korvel
