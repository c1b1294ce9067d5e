#include "resources/pictures.h"

#include "resources/pictures_data.h"

namespace larkwend {

std::span<const unsigned char> PictureResource(int resourceId) {
  for (const embedded::Picture& picture : embedded::kPictures)
    if (picture.id == resourceId) return {picture.data, picture.size};
  return {};
}

}  // namespace larkwend
