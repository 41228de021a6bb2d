#pragma once
// Draws camera-like frames of a sheet with a printed corner frame at a known
// place and angle: paper on a desk, a lattice of option boxes, uneven light,
// noise, and optional disturbances (a dark blob, a finger from the edge).
// Deterministic by seed. Used by tests, benchmarks and the sample frames.
#include <cstdint>

#include "imaging/Picture.h"

namespace kestrelo::testsupport {

struct PointF {
  double X = 0;
  double Y = 0;
};

struct FrameScene {
  int Width = 800;
  int Height = 600;
  // The printed frame: centre, outer size and line thickness in pixels.
  double CentreX = 400;
  double CentreY = 300;
  double FrameWidth = 440;
  double FrameHeight = 400;
  double LineThickness = 4;
  // Degrees; positive turns the sheet clockwise on screen (its right end lower).
  double Angle = 0;
  // Paper around the frame; beyond it the desk shows.
  double PageMargin = 45;
  bool DrawFrame = true;
  bool DrawLattice = true;
  int Paper = 210;
  int Ink = 40;
  int Desk = 95;
  double Noise = 5;      // standard deviation of the sensor noise
  double LightFall = 0;  // 0..1: darkening towards the bottom-right
  bool Blob = false;     // a dark solid blob near the top-right corner
  bool Finger = false;   // a finger-like shadow reaching in from the bottom edge
  double FingerX = 0.3;  // where it enters, as a share of the width
  std::uint32_t Seed = 1;
};

Picture DrawFrameScene(const FrameScene& scene);

// Outer corners of the printed frame in picture coordinates.
struct SceneCorners {
  PointF TopLeft, TopRight, BottomLeft, BottomRight;
};
SceneCorners ExpectedCorners(const FrameScene& scene);

}  // namespace kestrelo::testsupport
