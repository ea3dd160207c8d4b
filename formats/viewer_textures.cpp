#include "formats/viewer_textures.h"

#include <string>

#include "archive/content_tree.h"
#include "platform/d3d9/d3dx9_texture.h"

namespace korvel {

void load_model_textures(Archive* archive, d3d9::IDirect3DDevice9* device,
                         const ListNode* model_node, TextureSlots* slots) {
  if (model_node == nullptr) return;
  std::size_t slot = 0;
  for (const ListNode* node = model_node->next_sibling(vocab::kG1t);
       node != nullptr && slot < slots->size(); node = node->next_sibling(vocab::kG1t), ++slot) {
    const rapidxml::xml_attribute<char>* attribute = node->first_attribute(vocab::kOutputId);
    const std::string output_id =
        attribute != nullptr ? std::string(attribute->value(), attribute->value_size()) : "";
    if (archive->load_entry(output_id.c_str()) == 0) continue;
    d3d9::D3DXCreateTextureFromFileInMemory(device, archive->image.data(), archive->image_size,
                                            &(*slots)[slot]);
  }
}

void release_model_textures(TextureSlots* slots) {
  for (d3d9::IDirect3DTexture9*& texture : *slots) {
    if (texture == nullptr) continue;
    while (texture->Release() > 0) {
    }
    texture = nullptr;
  }
}

}  // namespace korvel
