// The program's pictures (icon 128, banner 130) as PNG bytes built into the program.
#pragma once

#include <span>

namespace larkwend {

// The PNG bytes of a picture resource; empty for an unknown id.
std::span<const unsigned char> PictureResource(int resourceId);

}  // namespace larkwend
