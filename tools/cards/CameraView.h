#pragma once
// A card picture as the camera and the reading see it, for the card tests and
// the design sweep: the card is scaled so that its printed frame covers a
// given share of the camera frame's width, turned, blurred by the lens, given
// paper and ink levels and sensor noise; then the frame watch binarises it and
// finds the corners and the skew, the read thread straightens it, and the
// division and layout step find the grid. Header-only so that the tests can
// use it without a library of their own.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "analysis/CardTemplate.h"
#include "analysis/RectAnalyse.h"
#include "analysis/SheetLayout.h"
#include "imaging/FindAngle.h"
#include "imaging/FramePrep.h"
#include "imaging/IntBmp.h"
#include "imaging/Picture.h"
#include "imaging/PictureOps.h"
#include "settings/Cfg.h"

namespace kestrelo::cards {

struct CameraShot {
  int Width = 800;
  int Height = 600;
  double FrameShare = 0.7;  // printed frame width / camera frame width
  double Angle = 0;         // degrees; positive turns the card clockwise (right end lower)
  double Blur = 0.6;        // lens blur, Gaussian sigma in camera pixels
  double Noise = 3;         // sensor noise, standard deviation in grey levels
  int Paper = 215;          // grey level of white paper
  int Ink = 35;             // grey level of black ink
  double LightFall = 0;     // 0..1: darkening towards the bottom-right
  std::uint32_t Seed = 1;
};

// Where a point of the card picture lands: in the camera frame, and in the
// straightened sheet picture that the analysis reads.
class CardMapping {
 public:
  CardMapping() = default;
  CardMapping(const CameraShot& shot, double frameX, double frameY, double frameW, double frameH)
      : scale_(shot.FrameShare * shot.Width / frameW),
        cu_(frameX + frameW / 2),
        cv_(frameY + frameH / 2),
        cx_(shot.Width / 2.0),
        cy_(shot.Height / 2.0),
        cos_(std::cos(shot.Angle * std::numbers::pi / 180)),
        sin_(std::sin(shot.Angle * std::numbers::pi / 180)) {}

  double Scale() const { return scale_; }

  // Continuous coordinates: pixel i covers [i, i+1).
  void ToCamera(double u, double v, double& x, double& y) const {
    const double du = (u - cu_) * scale_;
    const double dv = (v - cv_) * scale_;
    x = cx_ + du * cos_ - dv * sin_;
    y = cy_ + du * sin_ + dv * cos_;
  }
  void ToCard(double x, double y, double& u, double& v) const {
    const double dx = x - cx_;
    const double dy = y - cy_;
    u = cu_ + (dx * cos_ + dy * sin_) / scale_;
    v = cv_ + (-dx * sin_ + dy * cos_) / scale_;
  }

  // The straightening the read thread applies: a turn by `skew` degrees
  // about the camera frame's centre pixel (Width div 2, Height div 2).
  void SetDeskew(int skew, int width, int height) {
    skew_ = skew;
    rcx_ = width / 2;
    rcy_ = height / 2;
  }
  void ToSheet(double u, double v, double& x, double& y) const {
    double cx, cy;
    ToCamera(u, v, cx, cy);
    if (skew_ == 0) {
      x = cx;
      y = cy;
      return;
    }
    const double a = skew_ * 0.017453292519943295;
    const double c = std::cos(a);
    const double s = std::sin(a);
    const double sx = cx - 0.5 - rcx_;
    const double sy = cy - 0.5 - rcy_;
    x = sx * c + sy * s + rcx_ + 0.5;
    y = -sx * s + sy * c + rcy_ + 0.5;
  }

 private:
  double scale_ = 1, cu_ = 0, cv_ = 0, cx_ = 0, cy_ = 0, cos_ = 1, sin_ = 0;
  int skew_ = 0, rcx_ = 0, rcy_ = 0;
};

namespace detail {

inline void GaussianBlur(std::vector<float>& img, int w, int h, double sigma) {
  if (sigma <= 0.05) return;
  const int r = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
  std::vector<float> k(static_cast<std::size_t>(2 * r + 1));
  float sum = 0;
  for (int i = -r; i <= r; ++i) {
    k[static_cast<std::size_t>(i + r)] = static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)));
    sum += k[static_cast<std::size_t>(i + r)];
  }
  for (float& v : k) v /= sum;
  std::vector<float> tmp(img.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float a = 0;
      for (int i = -r; i <= r; ++i) {
        const int xx = std::clamp(x + i, 0, w - 1);
        a += k[static_cast<std::size_t>(i + r)] * img[static_cast<std::size_t>(y) * w + xx];
      }
      tmp[static_cast<std::size_t>(y) * w + x] = a;
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float a = 0;
      for (int i = -r; i <= r; ++i) {
        const int yy = std::clamp(y + i, 0, h - 1);
        a += k[static_cast<std::size_t>(i + r)] * tmp[static_cast<std::size_t>(yy) * w + x];
      }
      img[static_cast<std::size_t>(y) * w + x] = a;
    }
  }
}

}  // namespace detail

// Photographs the card picture. `frame` is the printed frame's outer
// rectangle on the card picture (x, y, width, height); it is centred in the
// camera frame. Paper continues beyond the card picture's edges.
inline Picture ShootCard(const Picture& card, const std::array<int, 4>& frame, const CameraShot& shot,
                         CardMapping& mapping) {
  mapping = CardMapping(shot, frame[0], frame[1], frame[2], frame[3]);
  const int cw = card.Width();
  const int ch = card.Height();
  std::vector<float> grey(static_cast<std::size_t>(cw) * ch);
  for (int y = 0; y < ch; ++y) {
    const std::uint8_t* p = card.Row(y);
    for (int x = 0; x < cw; ++x) {
      grey[static_cast<std::size_t>(y) * cw + x] =
          static_cast<float>((77 * p[3 * x + 2] + 151 * p[3 * x + 1] + 28 * p[3 * x]) >> 8);
    }
  }
  auto sample = [&](double u, double v) -> float {
    // Bilinear between pixel centres; white beyond the picture.
    const double fu = u - 0.5;
    const double fv = v - 0.5;
    const int x0 = static_cast<int>(std::floor(fu));
    const int y0 = static_cast<int>(std::floor(fv));
    const double ax = fu - x0;
    const double ay = fv - y0;
    auto at = [&](int x, int y) -> float {
      if (x < 0 || y < 0 || x >= cw || y >= ch) return 255.0f;
      return grey[static_cast<std::size_t>(y) * cw + x];
    };
    return static_cast<float>((1 - ax) * (1 - ay) * at(x0, y0) + ax * (1 - ay) * at(x0 + 1, y0) +
                              (1 - ax) * ay * at(x0, y0 + 1) + ax * ay * at(x0 + 1, y0 + 1));
  };
  // Each camera pixel averages a grid of samples over its footprint on the card.
  const int n = std::clamp(static_cast<int>(std::ceil(1.0 / mapping.Scale())) + 1, 2, 8);
  const int w = shot.Width;
  const int h = shot.Height;
  std::vector<float> img(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float acc = 0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          double u, v;
          mapping.ToCard(x + (i + 0.5) / n, y + (j + 0.5) / n, u, v);
          acc += sample(u, v);
        }
      }
      img[static_cast<std::size_t>(y) * w + x] = acc / static_cast<float>(n * n);
    }
  }
  detail::GaussianBlur(img, w, h, shot.Blur);
  std::mt19937 rng(shot.Seed);
  std::normal_distribution<double> noise(0.0, shot.Noise > 0 ? shot.Noise : 1.0);
  Picture out(w, h);
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = out.Row(y);
    for (int x = 0; x < w; ++x) {
      const double light = 1.0 - shot.LightFall * 0.5 * (static_cast<double>(x) / w + static_cast<double>(y) / h);
      double v = (shot.Ink + (shot.Paper - shot.Ink) * img[static_cast<std::size_t>(y) * w + x] / 255.0) * light;
      if (shot.Noise > 0) v += noise(rng);
      const auto g = static_cast<std::uint8_t>(std::clamp(static_cast<int>(std::lround(v)), 0, 255));
      row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = g;
    }
  }
  return out;
}

// One photographed sheet carried through the frame watch and the read
// thread's preparation to the grid.
struct SheetReading {
  SheetLocation Location;
  bool Located = false;
  SheetLayout Layout;
};

// `frame` is changed (binarised). With the skew measured and automatic
// deskewing on, the mapping learns the straightening.
inline SheetReading ReadShot(Picture& frame, const CardTemplate& tmpl, const Tcfg& cfg, int darkness,
                             CardMapping& mapping) {
  SheetReading r;
  TIntBmp work;
  PrepareFrame(work, frame, FrameCleaning{darkness, cfg.FRemoveBorder(), cfg.FRemoveSpecks()});
  TFindAngle finder(cfg);
  r.Location = LocateSheet(work, finder);
  if (!r.Location.Accepted) return r;
  r.Located = true;
  // The read thread's copy: the binarised frame as the corner search left it.
  Picture sheet = frame.Clone();
  if (r.Location.Skew != 0 && cfg.FAutoDeskew()) {
    TIntDynaArrArr greyIn = work.Grey;
    TIntDynaArrArr greyOut;
    Picture turned;
    RotateAboutCentre(sheet, turned, greyIn, greyOut, r.Location.Skew);
    sheet = std::move(turned);
    mapping.SetDeskew(r.Location.Skew, frame.Width(), frame.Height());
  }
  SheetLayoutOptions options;
  options.Corners = std::array<TPoint, 4>{r.Location.TopLeft, r.Location.TopRight, r.Location.BottomLeft,
                                          r.Location.BottomRight};
  r.Layout = LayOutSheet(tmpl, sheet, cfg, options);
  return r;
}

// The automatic mark test of one cell (the seven conditions a pencil mark
// must meet), used to check that empty boxes stay unmarked and filled ones
// are taken.
inline bool AutoMarked(const TCellInfo& c) {
  const int w = c.ContentRect.Right - c.ContentRect.Left;
  const int h = c.ContentRect.Bottom - c.ContentRect.Top;
  const int W = c.Rect.Right - c.Rect.Left;
  return 5 * w > 4 * h && c.MaxRowDark > 10 && 3 * w > W && c.DarkCount > 50 &&
         3 * c.DarkCount > 2 * (c.ContentArea - c.DarkCount) && w + 1 > 10 && c.Filled;
}

}  // namespace kestrelo::cards
