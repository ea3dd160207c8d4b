// Procedural pictures for the forged textures: things a person recognises at
// a glance (gradients, checkers, lettering, rings), so that a wrong channel
// order, a flipped axis or a swapped word shows on the page.
#pragma once

#include <cstdint>

#include "platform/d3d9/rgba_image.h"

namespace korvel::forge {

enum class Picture {
  kGradient,   // red across, green down, alpha falling along the diagonal
  kChecker,    // 8 x 8 cells of two colours, one half see-through
  kLettering,  // the word KORVEL in block letters on a banded background
  kRings,      // concentric rings around the centre
};

d3d9::RgbaImage render_picture(Picture picture, std::uint32_t width, std::uint32_t height);

// The next mip level: each pixel the average of a 2 x 2 square (a side of 1
// stays 1).
d3d9::RgbaImage half_size(const d3d9::RgbaImage& image);

}  // namespace korvel::forge
