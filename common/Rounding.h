#pragma once
// Real values become integers by rounding to the nearest, ties to even,
// everywhere in the analysis. std::nearbyint does that in the default
// floating-point environment, which the program never changes.
#include <cmath>
#include <cstdint>

namespace kestrelo {

inline int RoundEven(double v) { return static_cast<int>(std::nearbyint(v)); }
inline std::int64_t RoundEven64(double v) { return static_cast<std::int64_t>(std::nearbyint(v)); }

}  // namespace kestrelo
