#pragma once
// A card picture as a webcam shows it and as the frame watch hands it over:
// scaled, turned, in the grey levels of paper and pencil with sensor noise,
// then binarised, its corners found and packed into a hand-off. Shared by the
// reading tests and the reading benchmark.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <string>

#include "capture/FrameWatch.h"
#include "imaging/FindAngle.h"
#include "imaging/FramePrep.h"
#include "imaging/IntBmp.h"
#include "imaging/Picture.h"
#include "settings/Cfg.h"

namespace kestrelo::test {

// The card picture turned by `angle` degrees (clockwise on screen) and scaled
// about its centre, centred in an 800 x 600 frame, in the grey levels of
// paper and pencil with a little sensor noise. Paper continues beyond the
// card picture.
inline Picture Photograph(const Picture& card, double scale, double angle, std::uint32_t seed) {
  constexpr int kW = 800;
  constexpr int kH = 600;
  constexpr int kSub = 3;  // samples per pixel and direction
  const double a = angle * std::numbers::pi / 180;
  const double c = std::cos(a);
  const double s = std::sin(a);
  const double cu = card.Width() / 2.0;
  const double cv = card.Height() / 2.0;
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0.0, 3.0);
  Picture out(kW, kH);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      double sum = 0;
      for (int j = 0; j < kSub; ++j) {
        for (int i = 0; i < kSub; ++i) {
          const double dx = x + (i + 0.5) / kSub - kW / 2.0;
          const double dy = y + (j + 0.5) / kSub - kH / 2.0;
          const int u = static_cast<int>(std::floor(cu + (dx * c + dy * s) / scale));
          const int v = static_cast<int>(std::floor(cv + (-dx * s + dy * c) / scale));
          double g = 255;
          if (u >= 0 && v >= 0 && u < card.Width() && v < card.Height()) {
            const std::uint8_t* p = card.Pixel(u, v);
            g = (28 * p[0] + 151 * p[1] + 77 * p[2]) / 256.0;
          }
          sum += g;
        }
      }
      const double level = 40 + (205 - 40) * sum / (kSub * kSub) / 255 + noise(rng);
      const auto b =
          static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::lround(level)), 0, 255));
      std::uint8_t* p = out.Pixel(x, y);
      p[0] = p[1] = p[2] = b;
    }
  }
  return out;
}

// What the frame watch does with a frame before it hands it over.
struct Located {
  SheetLocation Location;
  ReadHandOff HandOff;
};

inline Located Locate(Picture frame, const std::string& templateText, const Tcfg& cfg) {
  Located l;
  TIntBmp work;
  PrepareFrame(work, frame, CleaningFrom(cfg, 30));
  TFindAngle finder(cfg);
  l.Location = LocateSheet(work, finder);
  l.HandOff.Frame = frame.Clone();
  l.HandOff.Grey = work.Grey;
  l.HandOff.TemplateText = templateText;
  l.HandOff.Skew = l.Location.Skew;
  l.HandOff.Sequence = 7;
  l.HandOff.TopLeft = l.Location.TopLeft;
  l.HandOff.TopRight = l.Location.TopRight;
  l.HandOff.BottomLeft = l.Location.BottomLeft;
  l.HandOff.BottomRight = l.Location.BottomRight;
  l.HandOff.Bounds = l.Location.Bounds;
  return l;
}

inline ReadHandOff CopyHandOff(const ReadHandOff& h) {
  ReadHandOff c;
  c.Frame = h.Frame.Clone();
  c.Grey = h.Grey;
  c.TemplateText = h.TemplateText;
  c.Skew = h.Skew;
  c.Sequence = h.Sequence;
  c.TopLeft = h.TopLeft;
  c.TopRight = h.TopRight;
  c.BottomLeft = h.BottomLeft;
  c.BottomRight = h.BottomRight;
  c.Bounds = h.Bounds;
  return c;
}

}  // namespace kestrelo::test
