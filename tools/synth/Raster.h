#pragma once
// Linear-light RGB rasters for the synthesiser: the page as reflectance, the
// camera picture as light, both float so that blur and light add up as they
// do physically; and the sRGB tone curve between those and 8-bit values.
#include <algorithm>
#include <cstddef>
#include <vector>

namespace kestrelo::synth {

struct LinearImage {
  int Width = 0;
  int Height = 0;
  // Page coordinates of pixel (0, 0) when the raster is a piece of a page.
  int OriginX = 0;
  int OriginY = 0;
  std::vector<float> Data;  // R, G, B per pixel, rows top to bottom

  LinearImage() = default;
  LinearImage(int w, int h, float r, float g, float b) : Width(w), Height(h) {
    Data.resize(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 3);
    for (std::size_t i = 0; i < Data.size(); i += 3) {
      Data[i] = r;
      Data[i + 1] = g;
      Data[i + 2] = b;
    }
  }
  float* Px(int x, int y) { return Data.data() + (static_cast<std::size_t>(y) * Width + x) * 3; }
  const float* Px(int x, int y) const {
    return Data.data() + (static_cast<std::size_t>(y) * Width + x) * 3;
  }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
};

// 8-bit sRGB value to linear light and back.
float SrgbToLinear(int v);
int LinearToSrgb(float linear);
// The 256 entries of SrgbToLinear, for pixel loops.
const float* SrgbToLinearTable();

// The raster at half the resolution, each pixel the mean of four; the
// origin stays in page coordinates of the full resolution.
LinearImage HalfSize(const LinearImage& image);

}  // namespace kestrelo::synth
