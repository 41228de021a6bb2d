#pragma once
// Developer switches, read by key from a JSON object. The program builds its
// own from an empty text, so every switch has its default; tools and tests
// may build others from real JSON.
#include <cstdint>
#include <string_view>

namespace kestrelo {

class TInicfg {
 public:
  // Keys that are missing or hold a value of the wrong type keep their
  // default. Throws Error when the text is neither empty nor a JSON object.
  explicit TInicfg(std::string_view jsonText = {});

  bool FDebugBlackDotCountArrayPeak() const { return debugBlackDotCountArrayPeak_; }
  bool FDebugCellRect() const { return debugCellRect_; }
  // Always true: verification colouring is on whatever the text says.
  bool FShowVerifyColor() const { return showVerifyColor_; }
  bool FDebugSplitThread() const { return debugSplitThread_; }
  // Read from the key "FshowDebugMemo" (lower-case s, as stored).
  bool FShowDebugMemo() const { return showDebugMemo_; }
  // Highest picture number of demo reading.
  std::int32_t FTestBmpCount() const { return testBmpCount_; }

 private:
  bool debugBlackDotCountArrayPeak_ = false;
  bool debugCellRect_ = false;
  bool showVerifyColor_ = false;
  bool debugSplitThread_ = false;
  bool showDebugMemo_ = false;
  std::int32_t testBmpCount_ = 5;
};

// The program's own switches; they never change after start, so any thread
// may read them.
const TInicfg& Inicfg();

}  // namespace kestrelo
