#pragma once
// A texture's mipmap levels made on the CPU, off the GL thread. Each level
// halves the one above by a 2x2 box with rounding, as GLU builds them, so
// every back end samples the texels the fixed-function one always did.
#include <vector>

#include "textures/Image.h"

namespace stagwerk {

enum class MipLayout {
  AsStored,  // the picture's own channels: grey, grey and alpha, BGR or BGRA
  Rgba,      // for back ends that have neither luminance nor BGR formats
};

// Fills image.levels from the full size down to 1x1; the picture's bytes
// move into level 0, so image.pixels is left empty. A channel count outside
// 1 to 4 leaves the picture as it is: the upload refuses it.
void PrepareMipmaps(Image& image, MipLayout layout);
// The same levels, the picture left as it is (empty for a bad channel count).
std::vector<MipLevel> MipmapsOf(const Image& image, MipLayout layout);
// What an upload stores: the levels prepared with the picture, or, when
// nothing prepared them, levels made now into made.
const std::vector<MipLevel>& LevelsToUpload(const Image& image, MipLayout layout, std::vector<MipLevel>& made);

}  // namespace stagwerk
