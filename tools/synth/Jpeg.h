#pragma once
// What a webcam's JPEG stream does to a frame: colour to YCbCr, chroma
// halved both ways, each 8 x 8 block through the DCT and quantised with the
// standard tables at a quality, and back. Our own few lines rather than a
// codec library, so that a seed gives the same frame everywhere.
#include "imaging/Picture.h"

namespace kestrelo::synth {

// quality 1..100 as in the IJG scaling. The block grid starts at (shiftX,
// shiftY) - 8, so a frame cut from a larger compressed picture can have its
// blocks anywhere (0..7).
void CompressLikeJpeg(Picture& picture, int quality, int shiftX = 0, int shiftY = 0);

}  // namespace kestrelo::synth
