#include "tools/synth/Jpeg.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace kestrelo::synth {

namespace {

constexpr std::array<int, 64> kLumaTable = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr std::array<int, 64> kChromaTable = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99, 24, 26, 56, 99, 99, 99,
    99, 99, 47, 66, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

std::array<float, 64> Scaled(const std::array<int, 64>& base, int quality) {
  const int q = std::clamp(quality, 1, 100);
  const int scale = q < 50 ? 5000 / q : 200 - 2 * q;
  std::array<float, 64> t{};
  for (int i = 0; i < 64; ++i) {
    t[static_cast<std::size_t>(i)] = static_cast<float>(
        std::clamp((base[static_cast<std::size_t>(i)] * scale + 50) / 100, 1, 255));
  }
  return t;
}

struct Dct {
  float C[8][8];
  Dct() {
    for (int k = 0; k < 8; ++k) {
      for (int n = 0; n < 8; ++n) {
        const double a = k == 0 ? std::sqrt(0.125) : 0.5;
        C[k][n] = static_cast<float>(a * std::cos((2 * n + 1) * k * std::numbers::pi / 16));
      }
    }
  }
  // Quantises and restores one block in place.
  void RoundTrip(float b[64], const std::array<float, 64>& q) const {
    float t[64], f[64];
    for (int y = 0; y < 8; ++y) {
      for (int k = 0; k < 8; ++k) {
        float s = 0;
        for (int n = 0; n < 8; ++n) s += C[k][n] * b[y * 8 + n];
        t[y * 8 + k] = s;
      }
    }
    for (int k = 0; k < 8; ++k) {
      for (int x = 0; x < 8; ++x) {
        float s = 0;
        for (int n = 0; n < 8; ++n) s += C[k][n] * t[n * 8 + x];
        const float step = q[static_cast<std::size_t>(k * 8 + x)];
        f[k * 8 + x] = std::nearbyint(s / step) * step;
      }
    }
    for (int n = 0; n < 8; ++n) {
      for (int x = 0; x < 8; ++x) {
        float s = 0;
        for (int k = 0; k < 8; ++k) s += C[k][n] * f[k * 8 + x];
        t[n * 8 + x] = s;
      }
    }
    for (int y = 0; y < 8; ++y) {
      for (int n = 0; n < 8; ++n) {
        float s = 0;
        for (int k = 0; k < 8; ++k) s += C[k][n] * t[y * 8 + k];
        b[y * 8 + n] = s;
      }
    }
  }
};

// One plane through the blocks; the grid starts at (ox, oy), edges repeated.
void CompressPlane(std::vector<float>& plane, int w, int h, int ox, int oy,
                   const std::array<float, 64>& q, const Dct& dct) {
  float b[64];
  for (int by = -oy; by < h; by += 8) {
    for (int bx = -ox; bx < w; bx += 8) {
      for (int y = 0; y < 8; ++y) {
        const int sy = std::clamp(by + y, 0, h - 1);
        for (int x = 0; x < 8; ++x) {
          b[y * 8 + x] =
              plane[static_cast<std::size_t>(sy) * w + std::clamp(bx + x, 0, w - 1)] - 128.0f;
        }
      }
      dct.RoundTrip(b, q);
      for (int y = 0; y < 8; ++y) {
        const int sy = by + y;
        if (sy < 0 || sy >= h) continue;
        for (int x = 0; x < 8; ++x) {
          const int sx = bx + x;
          if (sx >= 0 && sx < w)
            plane[static_cast<std::size_t>(sy) * w + sx] = b[y * 8 + x] + 128.0f;
        }
      }
    }
  }
}

}  // namespace

void CompressLikeJpeg(Picture& picture, int quality, int shiftX, int shiftY) {
  const int w = picture.Width();
  const int h = picture.Height();
  if (w == 0 || h == 0) return;
  static const Dct dct;
  const std::array<float, 64> ql = Scaled(kLumaTable, quality);
  const std::array<float, 64> qc = Scaled(kChromaTable, quality);
  const int cw = (w + 1) / 2;
  const int ch = (h + 1) / 2;
  std::vector<float> Y(static_cast<std::size_t>(w) * h);
  std::vector<float> Cb(static_cast<std::size_t>(cw) * ch, 0.0f), Cr(Cb.size(), 0.0f);
  std::vector<float> count(Cb.size(), 0.0f);
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < w; ++x, p += 3) {
      const float b = p[0], g = p[1], r = p[2];
      Y[static_cast<std::size_t>(y) * w + x] = 0.299f * r + 0.587f * g + 0.114f * b;
      const std::size_t c = static_cast<std::size_t>(y / 2) * cw + x / 2;
      Cb[c] += -0.168736f * r - 0.331264f * g + 0.5f * b + 128;
      Cr[c] += 0.5f * r - 0.418688f * g - 0.081312f * b + 128;
      count[c] += 1;
    }
  }
  for (std::size_t i = 0; i < Cb.size(); ++i) {
    Cb[i] /= count[i];
    Cr[i] /= count[i];
  }
  const int ox = ((shiftX % 8) + 8) % 8;
  const int oy = ((shiftY % 8) + 8) % 8;
  CompressPlane(Y, w, h, ox, oy, ql, dct);
  CompressPlane(Cb, cw, ch, ox / 2, oy / 2, qc, dct);
  CompressPlane(Cr, cw, ch, ox / 2, oy / 2, qc, dct);
  // Chroma back to full size by bilinear interpolation between sample centres.
  auto chroma = [&](const std::vector<float>& plane, int x, int y) {
    const float fx = std::clamp((x - 0.5f) / 2.0f, 0.0f, static_cast<float>(cw - 1));
    const float fy = std::clamp((y - 0.5f) / 2.0f, 0.0f, static_cast<float>(ch - 1));
    const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    const int x1 = std::min(x0 + 1, cw - 1), y1 = std::min(y0 + 1, ch - 1);
    const float ax = fx - x0, ay = fy - y0;
    auto at = [&](int xx, int yy) { return plane[static_cast<std::size_t>(yy) * cw + xx]; };
    return (at(x0, y0) * (1 - ax) + at(x1, y0) * ax) * (1 - ay) +
           (at(x0, y1) * (1 - ax) + at(x1, y1) * ax) * ay;
  };
  for (int y = 0; y < h; ++y) {
    std::uint8_t* p = picture.Row(y);
    for (int x = 0; x < w; ++x, p += 3) {
      const float yy = Y[static_cast<std::size_t>(y) * w + x];
      const float cb = chroma(Cb, x, y) - 128;
      const float cr = chroma(Cr, x, y) - 128;
      auto clip = [](float v) {
        return static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::lround(v)), 0, 255));
      };
      p[2] = clip(yy + 1.402f * cr);
      p[1] = clip(yy - 0.344136f * cb - 0.714136f * cr);
      p[0] = clip(yy + 1.772f * cb);
    }
  }
}

}  // namespace kestrelo::synth
