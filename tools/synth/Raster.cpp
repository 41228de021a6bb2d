#include "tools/synth/Raster.h"

#include <array>
#include <cmath>

namespace kestrelo::synth {

namespace {

double Decode(double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); }
double Encode(double l) {
  return l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
}

// Encoding by table: 16384 steps of linear light keep every 8-bit output
// exact except within a step of a boundary.
constexpr int kSteps = 16384;

const std::array<float, 256>& DecodeTable() {
  static const std::array<float, 256> t = [] {
    std::array<float, 256> a{};
    for (int i = 0; i < 256; ++i)
      a[static_cast<std::size_t>(i)] = static_cast<float>(Decode(i / 255.0));
    return a;
  }();
  return t;
}

const std::vector<unsigned char>& EncodeTable() {
  static const std::vector<unsigned char> t = [] {
    std::vector<unsigned char> a(kSteps + 1);
    for (int i = 0; i <= kSteps; ++i) {
      a[static_cast<std::size_t>(i)] = static_cast<unsigned char>(
          std::lround(std::clamp(Encode(static_cast<double>(i) / kSteps), 0.0, 1.0) * 255));
    }
    return a;
  }();
  return t;
}

}  // namespace

float SrgbToLinear(int v) { return DecodeTable()[static_cast<std::size_t>(std::clamp(v, 0, 255))]; }

const float* SrgbToLinearTable() { return DecodeTable().data(); }

int LinearToSrgb(float linear) {
  const float c = std::clamp(linear, 0.0f, 1.0f);
  return EncodeTable()[static_cast<std::size_t>(c * kSteps + 0.5f)];
}

LinearImage HalfSize(const LinearImage& image) {
  LinearImage half(std::max(1, image.Width / 2), std::max(1, image.Height / 2), 0, 0, 0);
  half.OriginX = image.OriginX;
  half.OriginY = image.OriginY;
  for (int y = 0; y < half.Height; ++y) {
    const int y0 = std::min(2 * y, image.Height - 1), y1 = std::min(2 * y + 1, image.Height - 1);
    for (int x = 0; x < half.Width; ++x) {
      const int x0 = std::min(2 * x, image.Width - 1), x1 = std::min(2 * x + 1, image.Width - 1);
      const float* a = image.Px(x0, y0);
      const float* b = image.Px(x1, y0);
      const float* c = image.Px(x0, y1);
      const float* d = image.Px(x1, y1);
      float* o = half.Px(x, y);
      for (int k = 0; k < 3; ++k) o[k] = (a[k] + b[k] + c[k] + d[k]) * 0.25f;
    }
  }
  return half;
}

}  // namespace kestrelo::synth
