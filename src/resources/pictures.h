// SPDX-License-Identifier: GPL-3.0-or-later
// The program's pictures (icon 128, banner 130) as PNG bytes built into the program, each at its
// own size and at twice it for screens of twice the pixel density.
#pragma once

#include <span>

namespace larkwend {

// The PNG bytes of a picture resource drawn for `scale` device pixels per logical pixel (1: at
// its own size); empty for an unknown id or a scale it is not drawn for.
std::span<const unsigned char> PictureResource(int resourceId, int scale);

}  // namespace larkwend
