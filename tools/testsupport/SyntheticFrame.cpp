#include "tools/testsupport/SyntheticFrame.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace kestrelo::testsupport {
namespace {

struct Frame {
  double c, s;  // cos, sin of the angle
  double cx, cy;
  // Picture point to sheet coordinates (origin at the frame centre).
  void ToSheet(double x, double y, double& u, double& v) const {
    const double dx = x - cx;
    const double dy = y - cy;
    u = dx * c + dy * s;
    v = -dx * s + dy * c;
  }
  PointF ToPicture(double u, double v) const {
    return PointF{cx + u * c - v * s, cy + u * s + v * c};
  }
};

bool InRect(double u, double v, double halfW, double halfH) {
  return std::fabs(u) <= halfW && std::fabs(v) <= halfH;
}

// Ink share (0..1) of the printed sheet at sheet point (u, v).
double InkAt(const FrameScene& sc, double u, double v) {
  const double a = sc.FrameWidth / 2;
  const double b = sc.FrameHeight / 2;
  const double t = sc.LineThickness;
  if (sc.DrawFrame && InRect(u, v, a, b) && !InRect(u, v, a - t, b - t)) return 1.0;
  if (!sc.DrawLattice) return 0.0;
  // Option boxes on a regular lattice inside the frame, a few filled in.
  const double inset = t + 14;
  if (!InRect(u, v, a - inset, b - inset)) return 0.0;
  const double pitchX = 22, pitchY = 16, boxW = 15, boxH = 10;
  const double lu = u + a - inset;
  const double lv = v + b - inset;
  const int col = static_cast<int>(std::floor(lu / pitchX));
  const int row = static_cast<int>(std::floor(lv / pitchY));
  const double pu = lu - col * pitchX;
  const double pv = lv - row * pitchY;
  if (pu > boxW || pv > boxH) return 0.0;
  const unsigned h = static_cast<unsigned>(col * 73856093) ^ static_cast<unsigned>(row * 19349663);
  if (h % 7 == 0) return 0.9;  // a pencil mark filling the box
  const bool edge = pu < 1.0 || pu > boxW - 1.0 || pv < 1.0 || pv > boxH - 1.0;
  return edge ? 0.6 : 0.0;
}

}  // namespace

SceneCorners ExpectedCorners(const FrameScene& sc) {
  const double r = sc.Angle * std::numbers::pi / 180.0;
  const Frame f{std::cos(r), std::sin(r), sc.CentreX, sc.CentreY};
  const double a = sc.FrameWidth / 2;
  const double b = sc.FrameHeight / 2;
  return SceneCorners{f.ToPicture(-a, -b), f.ToPicture(a, -b), f.ToPicture(-a, b),
                      f.ToPicture(a, b)};
}

Picture DrawFrameScene(const FrameScene& sc) {
  Picture pic(sc.Width, sc.Height);
  const double r = sc.Angle * std::numbers::pi / 180.0;
  const Frame f{std::cos(r), std::sin(r), sc.CentreX, sc.CentreY};
  const double pageA = sc.FrameWidth / 2 + sc.PageMargin;
  const double pageB = sc.FrameHeight / 2 + sc.PageMargin;
  std::mt19937 rng(sc.Seed);
  std::normal_distribution<double> noise(0.0, sc.Noise);

  constexpr int kSub = 3;  // 3 x 3 samples per pixel soften the edges like a lens
  for (int y = 0; y < sc.Height; ++y) {
    std::uint8_t* row = pic.Row(y);
    for (int x = 0; x < sc.Width; ++x) {
      double sum = 0;
      for (int sy = 0; sy < kSub; ++sy) {
        for (int sx = 0; sx < kSub; ++sx) {
          double u, v;
          f.ToSheet(x + (sx + 0.5) / kSub - 0.5, y + (sy + 0.5) / kSub - 0.5, u, v);
          if (!InRect(u, v, pageA, pageB)) {
            sum += sc.Desk;
            continue;
          }
          const double ink = InkAt(sc, u, v);
          sum += sc.Paper * (1 - ink) + sc.Ink * ink;
        }
      }
      double g = sum / (kSub * kSub);

      if (sc.Blob) {
        const double bx = sc.Width * 0.92, by = sc.Height * 0.08, br = sc.Height * 0.05;
        const double dd = std::hypot(x - bx, (y - by) * 1.3);
        if (dd < br) g = 45;
      }
      if (sc.Finger) {
        // A finger reaching up from the bottom edge, about 35 px wide.
        const double tipY = sc.Height * 0.88;
        const double fx = sc.Width * sc.FingerX + (sc.Height - y) * 0.25;
        if (y > tipY && std::fabs(x - fx) < 17) g = 70;
      }
      if (sc.LightFall > 0) {
        const double k = (static_cast<double>(x) / sc.Width + static_cast<double>(y) / sc.Height) / 2;
        g *= 1.0 - sc.LightFall * k;
      }
      if (sc.Noise > 0) g += noise(rng);
      const auto v = static_cast<std::uint8_t>(std::clamp(std::lround(g), 0L, 255L));
      row[3 * x] = v;
      row[3 * x + 1] = v;
      row[3 * x + 2] = v;
    }
  }
  return pic;
}

}  // namespace kestrelo::testsupport
