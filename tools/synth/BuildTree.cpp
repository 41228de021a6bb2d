#include "tools/synth/BuildTree.h"

namespace kestrelo::synth {

SynthSources BuildTreeSources() {
  return SynthSources{KESTRELO_SYNTH_TEMPLATES, KESTRELO_SYNTH_GEOMETRY, KESTRELO_SYNTH_DATA,
                      kPinnedFont};
}

}  // namespace kestrelo::synth
