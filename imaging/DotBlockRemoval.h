#pragma once
#include "imaging/IntBmp.h"
#include "settings/Cfg.h"

namespace kestrelo {

// Erases specks and short, moderately upright strokes from a black-and-white
// picture; keeps upright lines (at least five times as high as wide) and
// blocks of 12 pixels or more that are at most one and a half times as high
// as wide. Does nothing unless `enabled` (the option to remove stray dots).
void RemoveSpecks(TIntBmp& bmp, bool enabled);
// As above, with the option "自动去除杂点" read from the settings.
inline void RemoveSpecks(TIntBmp& bmp, const Tcfg& cfg) { RemoveSpecks(bmp, cfg.FRemoveSpecks()); }

}  // namespace kestrelo
