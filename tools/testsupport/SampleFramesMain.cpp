// Writes the bundled sample frames: a turned sheet on a desk with a finger at
// the edge, and a blank frame of plain paper.
#include <filesystem>
#include <iostream>

#include "common/Error.h"
#include "imaging/BmpFile.h"
#include "tools/testsupport/SyntheticFrame.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: kestrelo-sample-frames FOLDER\n";
    return 2;
  }
  using namespace kestrelo;
  try {
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    testsupport::FrameScene sheet;
    sheet.Angle = 7;
    sheet.LightFall = 0.3;
    sheet.Noise = 6;
    sheet.Finger = true;
    sheet.Seed = 2024;
    WriteBmp(testsupport::DrawFrameScene(sheet), dir / "frame.bmp");

    testsupport::FrameScene blank;
    blank.DrawFrame = false;
    blank.DrawLattice = false;
    blank.PageMargin = 1000;
    blank.Seed = 7;
    WriteBmp(testsupport::DrawFrameScene(blank), dir / "blank.bmp");
  } catch (const Error& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  return 0;
}
