#pragma once
// The webcam: the page lying on a desk, seen from above through a lens that
// is a little out of focus and maybe moving, under uneven light with a soft
// shadow, by a noisy sensor whose stream is JPEG-compressed; drawn as the
// user's selection of the preview, the frame the frame watch takes. The
// camera's own sharpening is left out, so fine lines come out softer than
// many webcams would show them.
#include <array>
#include <cstdint>

#include "imaging/Picture.h"
#include "tools/synth/Marks.h"
#include "tools/synth/PageText.h"
#include "tools/synth/Raster.h"
#include "tools/synth/SynthCard.h"

namespace kestrelo::synth {

struct CameraScene {
  int Width = 800;
  int Height = 600;
  // Geometry: the printed frame's width as a share of the picture's width
  // (before turning), its turn (degrees, positive clockwise: right end lower),
  // the perspective (relative length differences of the frame's top and
  // bottom edges, and of its left and right edges; positive: top resp. left
  // shorter) and the offset of its centre from the picture's centre.
  double Coverage = 0.7;
  double Angle = 0;
  double TiltX = 0;
  double TiltY = 0;
  double ShiftX = 0;
  double ShiftY = 0;
  // Lens: defocus (Gaussian sigma, pixels) and a straight motion smear.
  double Defocus = 0.6;
  double MotionLength = 0;
  double MotionAngle = 0;
  // Light: the level blank paper reaches in linear light (0.8 is a well lit
  // page; a dim room leaves less), the share lost across the picture along
  // GradientAngle, the share lost towards the corners, and a soft-edged
  // shadow (the share lost in it, its edge width in pixels, and its edge as
  // a line through EdgePoint at EdgeAngle, the shadow on its left side).
  double Level = 0.8;
  double Gradient = 0;
  double GradientAngle = 0;
  double Vignette = 0.1;
  double Shadow = 0;
  double ShadowSoftness = 40;
  double ShadowEdgeX = 0;
  double ShadowEdgeY = 0;
  double ShadowEdgeAngle = 0;
  // Sensor: noise in grey levels at the paper's level, white balance gains.
  double Noise = 2;
  std::array<double, 3> WhiteBalance{1, 1, 1};
  int JpegQuality = 90;  // 0: no compression
  int JpegShiftX = 0;
  int JpegShiftY = 0;
  // A hand reaching in at one edge (-1 none, 0 left, 1 top, 2 right, 3 bottom),
  // how deep (pixels), and where along the edge (0..1).
  int Hand = -1;
  double HandDepth = 60;
  double HandAlong = 0.5;
  double FingerWidth = 50;  // pixels
  std::uint64_t NoiseSeed = 1;
};

struct FramePoint {
  double X = 0;
  double Y = 0;
};

// Where the printed frame's outer corners land: top-left, top-right,
// bottom-left, bottom-right.
using FrameCorners = std::array<FramePoint, 4>;
FrameCorners CornersInFrame(const SynthCard& card, const CameraScene& scene);

// Whether the frame lies inside the picture with `margin` pixels to spare and
// every corner within the corner search's reach (half the picture height,
// counted along both axes from the picture's corner, less `margin`).
bool FrameFits(const FrameCorners& corners, const CameraScene& scene, double margin);

struct Desk {
  std::array<float, 3> Colour{0.25f, 0.17f, 0.1f};  // reflectance
  double GrainAngle = 0;
  double Grain = 0.15;  // strength of the wood grain
};

// Draws the frame: the page (its layout, the card pasted in at the layout's
// place, the pupil's strokes) on the desk, through the camera.
Picture Shoot(const SynthCard& card, const PageLayout& page, const MarkPlan& marks,
              const Desk& desk, GlyphFont& font, const CameraScene& scene);

}  // namespace kestrelo::synth
