// kestrelo-locate: finds the sheet on one frame the way the frame watch does
// and tells whether the frame would be handed on for reading.
#include <charconv>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <algorithm>
#include <cstdlib>

#include "common/Error.h"
#include "imaging/BmpFile.h"
#include "imaging/FramePrep.h"

namespace {

constexpr const char* kUsage =
    "usage: kestrelo-locate FRAME.bmp [--darkness D] [--remove-specks] [--remove-border]\n"
    "                       [--out ANNOTATED.bmp]\n"
    "Exit status: 0 the sheet is found and straight enough, 1 it is not, 2 bad input.\n";

struct Options {
  std::string frame;
  std::string out;
  kestrelo::FrameCleaning cleaning;
};

std::optional<Options> Parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--remove-specks") {
      o.cleaning.RemoveSpecks = true;
    } else if (a == "--remove-border") {
      o.cleaning.RemoveBorder = true;
    } else if (a == "--darkness" && i + 1 < argc) {
      const std::string_view v = argv[++i];
      int d = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), d);
      if (ec != std::errc() || end != v.data() + v.size() || d < 0 || d > 50) {
        std::cerr << "kestrelo-locate: --darkness takes a whole number from 0 to 50, not '" << v
                  << "'\n";
        return std::nullopt;
      }
      o.cleaning.Darkness = d;
    } else if (a == "--out" && i + 1 < argc) {
      o.out = argv[++i];
    } else if (a == "-h" || a == "--help") {
      std::cout << kUsage;
      std::exit(0);
    } else if (!a.starts_with("-") && o.frame.empty()) {
      o.frame = a;
    } else {
      std::cerr << "kestrelo-locate: unexpected argument '" << a << "'\n" << kUsage;
      return std::nullopt;
    }
  }
  if (o.frame.empty()) {
    std::cerr << kUsage;
    return std::nullopt;
  }
  return o;
}

// A red cross over a found corner point.
void Mark(kestrelo::TIntBmp& bmp, kestrelo::TPoint p) {
  const kestrelo::TColorTriple red{0, 0, 255};
  for (int k = -6; k <= 6; ++k) {
    for (const auto& [x, y] : {std::pair{p.X + k, p.Y}, std::pair{p.X, p.Y + k}}) {
      if (x >= 0 && x < bmp.Width && y >= 0 && y < bmp.Height) bmp.SetPixel(y, x, red);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kestrelo;
  const std::optional<Options> opt = Parse(argc, argv);
  if (!opt) return 2;

  Picture frame;
  try {
    frame = ReadBmp(opt->frame);
  } catch (const Error& e) {
    std::cerr << "kestrelo-locate: " << e.what() << "\n";
    return 2;
  }
  if (frame.Empty()) {
    std::cerr << "kestrelo-locate: " << opt->frame << ": the picture is empty\n";
    return 2;
  }

  TIntBmp work;
  TFindAngle finder;
  PrepareFrame(work, frame, opt->cleaning);
  const SheetLocation loc = LocateSheet(work, finder);

  const auto pt = [](TPoint p) { return "(" + std::to_string(p.X) + ", " + std::to_string(p.Y) + ")"; };
  std::cout << "frame:        " << opt->frame << " (" << frame.Width() << " x " << frame.Height()
            << ")\n";
  std::cout << "corners:      " << loc.CornerCount << "\n";
  std::cout << "top-left:     " << pt(loc.TopLeft) << "\n";
  std::cout << "top-right:    " << pt(loc.TopRight) << "\n";
  std::cout << "bottom-left:  " << pt(loc.BottomLeft) << "\n";
  std::cout << "bottom-right: " << pt(loc.BottomRight) << "\n";
  if (loc.CornerCount == 4) {
    std::cout << "bounds:       (" << loc.Bounds.Left << ", " << loc.Bounds.Top << ", "
              << loc.Bounds.Right << ", " << loc.Bounds.Bottom << ")\n";
    std::cout << "skew:         " << loc.Skew << " degrees\n";
  }
  std::cout << "accepted:     " << (loc.Accepted ? "yes" : "no") << "\n";
  if (!loc.Accepted) std::cout << "message:      " << loc.Message << "\n";

  if (!opt->out.empty()) {
    if (loc.CornerCount == 4 && PlausibleRectangle(loc)) {
      const TRect all = work.BoundsRect;
      work.DrawVBand(all, std::min(loc.TopLeft.X, loc.BottomLeft.X), 3, clGray);
      work.DrawHBand(all, std::min(loc.TopLeft.Y, loc.TopRight.Y), 3, clGray);
      work.DrawVBand(all, std::max(loc.TopRight.X, loc.BottomRight.X), 3, clGray);
      work.DrawHBand(all, std::max(loc.BottomLeft.Y, loc.BottomRight.Y), 3, clGray);
    }
    for (const TPoint p : {loc.TopLeft, loc.TopRight, loc.BottomLeft, loc.BottomRight}) {
      if (p != TPoint{}) Mark(work, p);
    }
    try {
      WriteBmp(frame, opt->out);
    } catch (const Error& e) {
      std::cerr << "kestrelo-locate: " << e.what() << "\n";
      return 2;
    }
  }
  return loc.Accepted ? 0 : 1;
}
