// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources/pictures.h"

#include "resources/pictures_data.h"

namespace larkwend {

std::span<const unsigned char> PictureResource(int resourceId, int scale) {
  for (const embedded::Picture& picture : embedded::kPictures)
    if (picture.id == resourceId && picture.scale == scale) return {picture.data, picture.size};
  return {};
}

}  // namespace larkwend
