#pragma once
#include "imaging/IntBmp.h"

namespace kestrelo {

// Erases dark areas touching the picture's edge (a desk edge, a shadow, a
// finger) by painting them yellow, and keeps those that reach far into the
// picture: wider than a third of it from the left and right edges, higher
// than a third from the top and bottom. The grey matrix is untouched.
void RemoveBorderBlobs(TIntBmp& bmp);

}  // namespace kestrelo
