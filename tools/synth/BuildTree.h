#pragma once
// The synthesiser's material as this build lays it out: the card set in the
// program folder, the generator's box records beside it, the committed page
// texts and the pinned font.
#include "tools/synth/SheetSynth.h"

namespace kestrelo::synth {

inline constexpr const char* kPinnedFont = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

SynthSources BuildTreeSources();

}  // namespace kestrelo::synth
