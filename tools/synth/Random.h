#pragma once
// The synthesiser's random numbers: a small generator of our own with our own
// distributions, so that a seed draws the same sheet with every compiler and
// standard library (the standard distributions are not specified bit for bit).
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string_view>

namespace kestrelo::synth {

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  // A generator for one aspect of a sheet (its answers, its marks, its
  // camera), so that drawing more of one aspect never shifts the others.
  Rng Fork(std::string_view aspect) const {
    std::uint64_t h = state_ ^ 0x9E3779B97F4A7C15ull;
    for (char c : aspect) h = Mix(h ^ static_cast<unsigned char>(c));
    return Rng(Mix(h));
  }

  std::uint64_t Next() {
    state_ += 0x9E3779B97F4A7C15ull;
    return Mix(state_);
  }
  // [0, 1)
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // lo .. hi inclusive.
  int Int(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  bool Chance(double p) { return Uniform() < p; }
  double Sign() { return Chance(0.5) ? -1.0 : 1.0; }
  double Normal() {
    const double u = 1.0 - Uniform();  // (0, 1]
    const double v = Uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2 * std::numbers::pi * v);
  }

  static std::uint64_t Mix(std::uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

 private:
  std::uint64_t state_;
};

// A smooth random field over the plane, values in [0, 1): bilinear between
// hashed lattice points `cell` apart. For paper grain, pencil texture and the
// unevenness of light.
class ValueNoise {
 public:
  ValueNoise(std::uint64_t seed, double cell) : seed_(seed), inv_(1.0 / cell) {}
  double At(double x, double y) const {
    const double fx = x * inv_;
    const double fy = y * inv_;
    const double x0 = std::floor(fx);
    const double y0 = std::floor(fy);
    const double ax = Smooth(fx - x0);
    const double ay = Smooth(fy - y0);
    const auto ix = static_cast<std::int64_t>(x0);
    const auto iy = static_cast<std::int64_t>(y0);
    const double a = Corner(ix, iy), b = Corner(ix + 1, iy);
    const double c = Corner(ix, iy + 1), d = Corner(ix + 1, iy + 1);
    return (a + (b - a) * ax) * (1 - ay) + (c + (d - c) * ax) * ay;
  }

 private:
  static double Smooth(double t) { return t * t * (3 - 2 * t); }
  double Corner(std::int64_t x, std::int64_t y) const {
    const std::uint64_t h =
        Rng::Mix(seed_ ^ Rng::Mix(static_cast<std::uint64_t>(x) * 0x632BE59BD9B4E019ull +
                                  static_cast<std::uint64_t>(y)));
    return static_cast<double>(h >> 11) * 0x1.0p-53;
  }
  std::uint64_t seed_;
  double inv_;
};

}  // namespace kestrelo::synth
