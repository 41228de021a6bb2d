#include "tools/synth/Camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "common/Error.h"
#include "tools/synth/Jpeg.h"

namespace kestrelo::synth {

namespace {

constexpr double kDegree = std::numbers::pi / 180;

struct Homography {
  double M[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
  FramePoint Apply(double x, double y) const {
    const double w = M[6] * x + M[7] * y + M[8];
    return FramePoint{(M[0] * x + M[1] * y + M[2]) / w, (M[3] * x + M[4] * y + M[5]) / w};
  }
  Homography Inverse() const {
    const double* m = M;
    Homography r;
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    r.M[0] = (m[4] * m[8] - m[5] * m[7]) / det;
    r.M[1] = (m[2] * m[7] - m[1] * m[8]) / det;
    r.M[2] = (m[1] * m[5] - m[2] * m[4]) / det;
    r.M[3] = (m[5] * m[6] - m[3] * m[8]) / det;
    r.M[4] = (m[0] * m[8] - m[2] * m[6]) / det;
    r.M[5] = (m[2] * m[3] - m[0] * m[5]) / det;
    r.M[6] = (m[3] * m[7] - m[4] * m[6]) / det;
    r.M[7] = (m[1] * m[6] - m[0] * m[7]) / det;
    r.M[8] = (m[0] * m[4] - m[1] * m[3]) / det;
    return r;
  }
};

// The plane mapping that takes four points to four others.
Homography FromPoints(const std::array<FramePoint, 4>& from, const std::array<FramePoint, 4>& to) {
  double a[8][9] = {};
  for (int i = 0; i < 4; ++i) {
    const double x = from[static_cast<std::size_t>(i)].X, y = from[static_cast<std::size_t>(i)].Y;
    const double u = to[static_cast<std::size_t>(i)].X, v = to[static_cast<std::size_t>(i)].Y;
    double* r0 = a[2 * i];
    double* r1 = a[2 * i + 1];
    r0[0] = x;
    r0[1] = y;
    r0[2] = 1;
    r0[6] = -u * x;
    r0[7] = -u * y;
    r0[8] = u;
    r1[3] = x;
    r1[4] = y;
    r1[5] = 1;
    r1[6] = -v * x;
    r1[7] = -v * y;
    r1[8] = v;
  }
  for (int c = 0; c < 8; ++c) {
    int pivot = c;
    for (int r = c + 1; r < 8; ++r) {
      if (std::abs(a[r][c]) > std::abs(a[pivot][c])) pivot = r;
    }
    if (std::abs(a[pivot][c]) < 1e-12) throw Error("the camera's view of the card is degenerate");
    for (int k = 0; k < 9; ++k) std::swap(a[c][k], a[pivot][k]);
    for (int r = 0; r < 8; ++r) {
      if (r == c) continue;
      const double f = a[r][c] / a[c][c];
      for (int k = c; k < 9; ++k) a[r][k] -= f * a[c][k];
    }
  }
  Homography h;
  for (int i = 0; i < 8; ++i) h.M[i] = a[i][8] / a[i][i];
  h.M[8] = 1;
  return h;
}

std::array<FramePoint, 4> FrameOnCard(const SynthCard& card) {
  const Box& f = card.Frame;
  return {FramePoint{static_cast<double>(f.X), static_cast<double>(f.Y)},
          FramePoint{static_cast<double>(f.Right()), static_cast<double>(f.Y)},
          FramePoint{static_cast<double>(f.X), static_cast<double>(f.Bottom())},
          FramePoint{static_cast<double>(f.Right()), static_cast<double>(f.Bottom())}};
}

void GaussianBlur(LinearImage& img, double sigma) {
  if (sigma <= 0.05) return;
  const int r = std::max(1, static_cast<int>(std::ceil(3 * sigma)));
  std::vector<float> k(static_cast<std::size_t>(2 * r + 1));
  float sum = 0;
  for (int i = -r; i <= r; ++i) {
    k[static_cast<std::size_t>(i + r)] =
        static_cast<float>(std::exp(-0.5 * i * i / (sigma * sigma)));
    sum += k[static_cast<std::size_t>(i + r)];
  }
  for (float& v : k) v /= sum;
  const int w = img.Width, h = img.Height;
  std::vector<float> tmp(img.Data.size());
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float acc[3] = {0, 0, 0};
      for (int i = -r; i <= r; ++i) {
        const float* p = img.Px(std::clamp(x + i, 0, w - 1), y);
        const float kk = k[static_cast<std::size_t>(i + r)];
        acc[0] += kk * p[0];
        acc[1] += kk * p[1];
        acc[2] += kk * p[2];
      }
      float* t = tmp.data() + (static_cast<std::size_t>(y) * w + x) * 3;
      t[0] = acc[0];
      t[1] = acc[1];
      t[2] = acc[2];
    }
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      float acc[3] = {0, 0, 0};
      for (int i = -r; i <= r; ++i) {
        const float* t =
            tmp.data() + (static_cast<std::size_t>(std::clamp(y + i, 0, h - 1)) * w + x) * 3;
        const float kk = k[static_cast<std::size_t>(i + r)];
        acc[0] += kk * t[0];
        acc[1] += kk * t[1];
        acc[2] += kk * t[2];
      }
      float* p = img.Px(x, y);
      p[0] = acc[0];
      p[1] = acc[1];
      p[2] = acc[2];
    }
  }
}

// The average of the picture shifted along a straight line of `length` pixels.
void MotionBlur(LinearImage& img, double length, double angle) {
  if (length < 0.3) return;
  const int n = std::max(2, static_cast<int>(std::ceil(length * 2)) + 1);
  const double dx = std::cos(angle * kDegree), dy = std::sin(angle * kDegree);
  const int w = img.Width, h = img.Height;
  LinearImage out(w, h, 0, 0, 0);
  for (int s = 0; s < n; ++s) {
    const double t = -length / 2 + length * s / (n - 1);
    const double ox = t * dx, oy = t * dy;
    const int ix = static_cast<int>(std::floor(ox)), iy = static_cast<int>(std::floor(oy));
    const float ax = static_cast<float>(ox - ix), ay = static_cast<float>(oy - iy);
    for (int y = 0; y < h; ++y) {
      const int y0 = std::clamp(y + iy, 0, h - 1), y1 = std::clamp(y + iy + 1, 0, h - 1);
      for (int x = 0; x < w; ++x) {
        const int x0 = std::clamp(x + ix, 0, w - 1), x1 = std::clamp(x + ix + 1, 0, w - 1);
        const float* a = img.Px(x0, y0);
        const float* b = img.Px(x1, y0);
        const float* c = img.Px(x0, y1);
        const float* d = img.Px(x1, y1);
        float* o = out.Px(x, y);
        for (int k = 0; k < 3; ++k) {
          o[k] += ((a[k] * (1 - ax) + b[k] * ax) * (1 - ay) + (c[k] * (1 - ax) + d[k] * ax) * ay) /
                  static_cast<float>(n);
        }
      }
    }
  }
  img.Data = std::move(out.Data);
}

double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double len2 = dx * dx + dy * dy;
  const double t = len2 > 0 ? std::clamp(((px - ax) * dx + (py - ay) * dy) / len2, 0.0, 1.0) : 0;
  return std::hypot(ax + t * dx - px, ay + t * dy - py);
}

// A hand reaching in from one edge: the palm beyond the edge, four fingers
// towards the middle. Coverage 0..1 per pixel.
std::vector<float> HandMask(const CameraScene& s) {
  const int w = s.Width, h = s.Height;
  std::vector<float> mask(static_cast<std::size_t>(w) * h, 0.0f);
  // Inward direction and the position along the edge.
  double nx = 0, ny = 0, ex = 0, ey = 0, ox = 0, oy = 0;
  switch (s.Hand) {
    case 0:
      nx = 1;
      ey = 1;
      ox = 0;
      oy = s.HandAlong * h;
      break;
    case 1:
      ny = 1;
      ex = 1;
      ox = s.HandAlong * w;
      oy = 0;
      break;
    case 2:
      nx = -1;
      ey = 1;
      ox = w;
      oy = s.HandAlong * h;
      break;
    default:
      ny = -1;
      ex = 1;
      ox = s.HandAlong * w;
      oy = h;
      break;
  }
  struct Capsule {
    double Ax, Ay, Bx, By, R;
  };
  // Palm beyond the edge, four fingers reaching in to HandDepth.
  const double f = s.FingerWidth;
  std::vector<Capsule> parts;
  const double palmR = 1.8 * f;
  const double knuckles = s.HandDepth - 2.6 * f;
  parts.push_back(Capsule{ox - nx * 3 * f - ex * f, oy - ny * 3 * f - ey * f,
                          ox + nx * (knuckles - palmR * 0.6), oy + ny * (knuckles - palmR * 0.6),
                          palmR});
  const double spread[4] = {-1.6, -0.55, 0.55, 1.6};
  const double reach[4] = {0.8, 1.0, 0.95, 0.72};
  for (int i = 0; i < 4; ++i) {
    const double bx = ox + nx * knuckles + ex * spread[i] * f;
    const double by = oy + ny * knuckles + ey * spread[i] * f;
    const double len = 2.6 * f * reach[i] - f / 2;
    parts.push_back(Capsule{bx, by, bx + nx * len + ex * spread[i] * f * 0.12,
                            by + ny * len + ey * spread[i] * f * 0.12, f / 2});
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double best = 0;
      for (const Capsule& c : parts) {
        const double d = SegmentDistance(x + 0.5, y + 0.5, c.Ax, c.Ay, c.Bx, c.By);
        best = std::max(best, std::clamp(c.R + 0.5 - d, 0.0, 1.0));
      }
      mask[static_cast<std::size_t>(y) * w + x] = static_cast<float>(best);
    }
  }
  return mask;
}

}  // namespace

FrameCorners CornersInFrame(const SynthCard& card, const CameraScene& s) {
  const double scale = s.Coverage * s.Width / card.Frame.W;
  const double a = card.Frame.W * scale / 2;
  const double b = card.Frame.H * scale / 2;
  const double c = std::cos(s.Angle * kDegree), sn = std::sin(s.Angle * kDegree);
  const double local[4][2] = {{-a * (1 - s.TiltX / 2), -b * (1 - s.TiltY / 2)},
                              {a * (1 - s.TiltX / 2), -b * (1 + s.TiltY / 2)},
                              {-a * (1 + s.TiltX / 2), b * (1 - s.TiltY / 2)},
                              {a * (1 + s.TiltX / 2), b * (1 + s.TiltY / 2)}};
  FrameCorners out;
  for (int i = 0; i < 4; ++i) {
    const double x = local[i][0], y = local[i][1];
    out[static_cast<std::size_t>(i)] = FramePoint{s.Width / 2.0 + s.ShiftX + x * c - y * sn,
                                                  s.Height / 2.0 + s.ShiftY + x * sn + y * c};
  }
  return out;
}

bool FrameFits(const FrameCorners& k, const CameraScene& s, double margin) {
  for (const FramePoint& p : k) {
    if (p.X < margin || p.Y < margin || p.X > s.Width - margin || p.Y > s.Height - margin)
      return false;
  }
  const double reach = s.Height / 2.0 - margin;
  return k[0].X + k[0].Y <= reach && (s.Width - k[1].X) + k[1].Y <= reach &&
         k[2].X + (s.Height - k[2].Y) <= reach && (s.Width - k[3].X) + (s.Height - k[3].Y) <= reach;
}

Picture Shoot(const SynthCard& card, const PageLayout& page, const MarkPlan& marks,
              const Desk& desk, GlyphFont& font, const CameraScene& s) {
  // Page coordinates of the frame's corners, and where the camera sees them.
  std::array<FramePoint, 4> onPage = FrameOnCard(card);
  for (FramePoint& p : onPage) {
    p.X += page.CardX;
    p.Y += page.CardY;
  }
  const Homography toCamera = FromPoints(onPage, CornersInFrame(card, s));
  const Homography toPage = toCamera.Inverse();

  // The piece of the page the camera sees, printed at full resolution.
  double u0 = 1e18, v0 = 1e18, u1 = -1e18, v1 = -1e18;
  for (const auto& [x, y] :
       {std::pair{-8.0, -8.0}, std::pair{s.Width + 8.0, -8.0}, std::pair{-8.0, s.Height + 8.0},
        std::pair{s.Width + 8.0, s.Height + 8.0}}) {
    const FramePoint p = toPage.Apply(x, y);
    u0 = std::min(u0, p.X);
    v0 = std::min(v0, p.Y);
    u1 = std::max(u1, p.X);
    v1 = std::max(v1, p.Y);
  }
  const int cx0 =
      static_cast<int>(std::clamp(std::floor(u0) - 2, 0.0, static_cast<double>(page.Width)));
  const int cy0 =
      static_cast<int>(std::clamp(std::floor(v0) - 2, 0.0, static_cast<double>(page.Height)));
  const int cx1 =
      static_cast<int>(std::clamp(std::ceil(u1) + 2, 0.0, static_cast<double>(page.Width)));
  const int cy1 =
      static_cast<int>(std::clamp(std::ceil(v1) + 2, 0.0, static_cast<double>(page.Height)));
  LinearImage paper(std::max(1, cx1 - cx0), std::max(1, cy1 - cy0), page.Paper[0], page.Paper[1],
                    page.Paper[2]);
  paper.OriginX = cx0;
  paper.OriginY = cy0;
  PrintText(paper, page, font);
  constexpr float kInk = 0.035f;
  const float* toLinear = SrgbToLinearTable();
  for (int y = 0; y < card.Print.Height(); ++y) {
    const int py = y + page.CardY - paper.OriginY;
    if (py < 0 || py >= paper.Height) continue;
    const std::uint8_t* src = card.Print.Row(y);
    for (int x = 0; x < card.Print.Width(); ++x) {
      const int px = x + page.CardX - paper.OriginX;
      if (px < 0 || px >= paper.Width) continue;
      float* p = paper.Px(px, py);
      for (int k = 0; k < 3; ++k) {
        p[k] = page.Paper[k] * (kInk + (1 - kInk) * toLinear[src[3 * x + 2 - k]]);
      }
    }
  }
  DrawStrokes(paper, marks.Strokes, page.CardX, page.CardY, s.NoiseSeed ^ 0x7E57ull);

  // Through the lens: each camera pixel averages n x n points of its
  // footprint, taken from the page at half resolution where the camera
  // sees it smaller than that.
  const double scale = s.Coverage * s.Width / card.Frame.W;
  const int level = scale < 0.5 ? 2 : 1;
  if (level == 2) paper = HalfSize(paper);
  const int n = std::clamp(static_cast<int>(std::ceil(1.2 / (scale * level))), 2, 5);
  const ValueNoise grainCoarse(s.NoiseSeed ^ 0x11ull, 60);
  const ValueNoise grainFine(s.NoiseSeed ^ 0x22ull, 6);
  const ValueNoise wood(s.NoiseSeed ^ 0x33ull, 1);
  const double gc = std::cos(desk.GrainAngle * kDegree), gs = std::sin(desk.GrainAngle * kDegree);
  auto samplePage = [&](double u, double v, float out[3]) {
    if (u < 0 || v < 0 || u >= page.Width || v >= page.Height) {
      const double along = u * gc + v * gs, across = -u * gs + v * gc;
      const float f =
          static_cast<float>(1 + desk.Grain * (wood.At(along / 90, across / 5) - 0.5) * 2);
      for (int k = 0; k < 3; ++k) out[k] = desk.Colour[static_cast<std::size_t>(k)] * f;
      return;
    }
    const double fu = std::clamp((u - paper.OriginX) / level - 0.5, 0.0, paper.Width - 1.0);
    const double fv = std::clamp((v - paper.OriginY) / level - 0.5, 0.0, paper.Height - 1.0);
    const int x0 = static_cast<int>(fu), y0 = static_cast<int>(fv);
    const int x1 = std::min(x0 + 1, paper.Width - 1), y1 = std::min(y0 + 1, paper.Height - 1);
    const float ax = static_cast<float>(fu - x0), ay = static_cast<float>(fv - y0);
    const float* a = paper.Px(x0, y0);
    const float* b = paper.Px(x1, y0);
    const float* c = paper.Px(x0, y1);
    const float* d = paper.Px(x1, y1);
    for (int k = 0; k < 3; ++k) {
      out[k] = (a[k] * (1 - ax) + b[k] * ax) * (1 - ay) + (c[k] * (1 - ax) + d[k] * ax) * ay;
    }
  };
  LinearImage img(s.Width, s.Height, 0, 0, 0);
  for (int y = 0; y < s.Height; ++y) {
    for (int x = 0; x < s.Width; ++x) {
      float acc[3] = {0, 0, 0};
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          const FramePoint p = toPage.Apply(x + (i + 0.5) / n, y + (j + 0.5) / n);
          float v[3];
          samplePage(p.X, p.Y, v);
          acc[0] += v[0];
          acc[1] += v[1];
          acc[2] += v[2];
        }
      }
      const FramePoint c = toPage.Apply(x + 0.5, y + 0.5);
      const bool onPaper = c.X >= 0 && c.Y >= 0 && c.X < page.Width && c.Y < page.Height;
      const float grain = onPaper ? static_cast<float>(1 + 0.03 * (grainCoarse.At(c.X, c.Y) - 0.5) +
                                                       0.02 * (grainFine.At(c.X, c.Y) - 0.5))
                                  : 1.0f;
      float* o = img.Px(x, y);
      for (int k = 0; k < 3; ++k) o[k] = acc[k] / static_cast<float>(n * n) * grain;
    }
  }

  // Light: level, gradient, vignetting, the soft shadow, and the hand's shadow.
  std::vector<float> hand;
  std::vector<float> handShadow;
  if (s.Hand >= 0) {
    hand = HandMask(s);
    LinearImage sh(s.Width, s.Height, 0, 0, 0);
    for (int y = 0; y < s.Height; ++y) {
      for (int x = 0; x < s.Width; ++x) {
        // The shadow falls a little beside the hand.
        const int hx = std::clamp(x - 10, 0, s.Width - 1), hy = std::clamp(y - 12, 0, s.Height - 1);
        sh.Px(x, y)[0] = hand[static_cast<std::size_t>(hy) * s.Width + hx];
      }
    }
    GaussianBlur(sh, 9);
    handShadow.resize(hand.size());
    for (std::size_t i = 0; i < hand.size(); ++i) handShadow[i] = sh.Data[i * 3];
  }
  const double paperMean = (page.Paper[0] + page.Paper[1] + page.Paper[2]) / 3;
  const double gain = s.Level / paperMean;
  const double gx = std::cos(s.GradientAngle * kDegree), gy = std::sin(s.GradientAngle * kDegree);
  const double span = std::abs(gx) * s.Width + std::abs(gy) * s.Height;
  const double ex = std::cos(s.ShadowEdgeAngle * kDegree),
               ey = std::sin(s.ShadowEdgeAngle * kDegree);
  for (int y = 0; y < s.Height; ++y) {
    for (int x = 0; x < s.Width; ++x) {
      const double px = x + 0.5 - s.Width / 2.0, py = y + 0.5 - s.Height / 2.0;
      double light = 1 - s.Gradient * std::clamp((px * gx + py * gy) / span + 0.5, 0.0, 1.0);
      const double r2 = (px * px + py * py) / (s.Width * s.Width / 4.0 + s.Height * s.Height / 4.0);
      light *= 1 - s.Vignette * r2;
      if (s.Shadow > 0) {
        // Signed distance from the edge line; the shadow lies where it is positive.
        const double d = (x + 0.5 - s.ShadowEdgeX) * -ey + (y + 0.5 - s.ShadowEdgeY) * ex;
        const double t = std::clamp(d / s.ShadowSoftness + 0.5, 0.0, 1.0);
        light *= 1 - s.Shadow * t * t * (3 - 2 * t);
      }
      float* o = img.Px(x, y);
      if (!hand.empty()) {
        const std::size_t i = static_cast<std::size_t>(y) * s.Width + x;
        light *= 1 - 0.45 * handShadow[i];
        const float m = hand[i];
        if (m > 0) {
          // Skin, lit like the page it covers.
          static constexpr float kSkin[3] = {0.58f, 0.38f, 0.29f};
          for (int k = 0; k < 3; ++k) o[k] = o[k] * (1 - m) + kSkin[k] * m;
        }
      }
      for (int k = 0; k < 3; ++k) o[k] = static_cast<float>(o[k] * light * gain);
    }
  }

  MotionBlur(img, s.MotionLength, s.MotionAngle);
  GaussianBlur(img, s.Defocus);

  // The sensor: read noise and shot noise in linear light, white balance, the tone curve.
  Rng noise(s.NoiseSeed);
  const double sigma = s.Noise / 128.0;
  Picture out(s.Width, s.Height);
  for (int y = 0; y < s.Height; ++y) {
    std::uint8_t* row = out.Row(y);
    for (int x = 0; x < s.Width; ++x) {
      const float* o = img.Px(x, y);
      for (int k = 0; k < 3; ++k) {
        const double v = std::max(0.0f, o[k]);
        const double sd = sigma * std::sqrt(0.3 + 0.7 * v / s.Level);
        const double lin = (v + sd * noise.Normal()) * s.WhiteBalance[static_cast<std::size_t>(k)];
        row[3 * x + 2 - k] = static_cast<std::uint8_t>(LinearToSrgb(static_cast<float>(lin)));
      }
    }
  }
  if (s.JpegQuality > 0) CompressLikeJpeg(out, s.JpegQuality, s.JpegShiftX, s.JpegShiftY);
  return out;
}

}  // namespace kestrelo::synth
