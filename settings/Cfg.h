#pragma once
// The settings every part of the reading pipeline consults. Each run starts
// from the defaults below; the main window's controls change them on the UI
// thread while the frame watch and the read thread read them.
#include <atomic>
#include <cstdint>

namespace kestrelo {

namespace detail {

// One setting that other threads read while the UI thread writes it. Every
// setting is an independent single value and no reader combines two of them
// into one decision that needs both at once, so relaxed order is enough: a
// reader sees the old or the new value and the change shows at its next read.
template <typename T>
class Setting {
  static_assert(std::atomic<T>::is_always_lock_free, "readers must never wait on the UI thread");

 public:
  explicit Setting(T initial) : value_(initial) {}
  T Get() const { return value_.load(std::memory_order_relaxed); }
  void Set(T v) { value_.store(v, std::memory_order_relaxed); }

 private:
  std::atomic<T> value_;
};

}  // namespace detail

class Tcfg {
 public:
  Tcfg() = default;
  // One object is shared by reference; a copy would silently stop following
  // the controls.
  Tcfg(const Tcfg&) = delete;
  Tcfg& operator=(const Tcfg&) = delete;

  // Frame orientation.
  bool FFlipHorizontal() const { return flipHorizontal_.Get(); }
  void SetFFlipHorizontal(bool v) { flipHorizontal_.Set(v); }
  bool FRotate() const { return rotate_.Get(); }
  void SetFRotate(bool v) { rotate_.Set(v); }
  bool FFlipVertical() const { return flipVertical_.Get(); }
  void SetFFlipVertical(bool v) { flipVertical_.Set(v); }
  bool FUpscaleSmall() const { return upscaleSmall_.Get(); }
  void SetFUpscaleSmall(bool v) { upscaleSmall_.Set(v); }

  // Image cleaning and analysis.
  bool FAutoDeskew() const { return autoDeskew_.Get(); }
  void SetFAutoDeskew(bool v) { autoDeskew_.Set(v); }
  bool FRemoveSpecks() const { return removeSpecks_.Get(); }
  void SetFRemoveSpecks(bool v) { removeSpecks_.Set(v); }
  bool FRemoveBorder() const { return removeBorder_.Get(); }
  void SetFRemoveBorder(bool v) { removeBorder_.Set(v); }
  std::int32_t FTrustRange() const { return trustRange_.Get(); }
  void SetFTrustRange(std::int32_t v) { trustRange_.Set(v); }
  std::int32_t FDeformCorrect() const { return deformCorrect_.Get(); }
  void SetFDeformCorrect(std::int32_t v) { deformCorrect_.Set(v); }
  std::int32_t FMaxReadThreads() const { return maxReadThreads_.Get(); }
  void SetFMaxReadThreads(std::int32_t v) { maxReadThreads_.Set(v); }

  // Mark judging.
  bool FAutoJudge() const { return autoJudge_.Get(); }
  void SetFAutoJudge(bool v) { autoJudge_.Set(v); }
  bool FForceSingleChoice() const { return forceSingleChoice_.Get(); }
  void SetFForceSingleChoice(bool v) { forceSingleChoice_.Set(v); }
  bool FFixedMultiCount() const { return fixedMultiCount_.Get(); }
  void SetFFixedMultiCount(bool v) { fixedMultiCount_.Set(v); }

  // Announcement.
  bool FSpeakScore() const { return speakScore_.Get(); }
  void SetFSpeakScore(bool v) { speakScore_.Set(v); }
  bool FSpeakNumber() const { return speakNumber_.Get(); }
  void SetFSpeakNumber(bool v) { speakNumber_.Set(v); }
  bool FSpeakName() const { return speakName_.Get(); }
  void SetFSpeakName(bool v) { speakName_.Set(v); }
  bool FSpeakTypeScores() const { return speakTypeScores_.Get(); }
  void SetFSpeakTypeScores(bool v) { speakTypeScores_.Set(v); }
  // Milliseconds.
  std::int32_t FPauseMs() const { return pauseMs_.Get(); }
  void SetFPauseMs(std::int32_t v) { pauseMs_.Set(v); }

  // Result handling.
  bool FShowWrongDetail() const { return showWrongDetail_.Get(); }
  void SetFShowWrongDetail(bool v) { showWrongDetail_.Set(v); }
  bool FShowRightDetail() const { return showRightDetail_.Get(); }
  void SetFShowRightDetail(bool v) { showRightDetail_.Set(v); }
  bool FIgnoreRepeatSheet() const { return ignoreRepeatSheet_.Get(); }
  void SetFIgnoreRepeatSheet(bool v) { ignoreRepeatSheet_.Set(v); }
  bool FWarnDuplicate() const { return warnDuplicate_.Get(); }
  void SetFWarnDuplicate(bool v) { warnDuplicate_.Set(v); }

  // Debug output.
  bool FDebugAnalyse() const { return debugAnalyse_.Get(); }
  void SetFDebugAnalyse(bool v) { debugAnalyse_.Set(v); }
  bool FDebugFindAngle() const { return debugFindAngle_.Get(); }
  void SetFDebugFindAngle(bool v) { debugFindAngle_.Set(v); }

 private:
  detail::Setting<bool> flipHorizontal_{false};
  detail::Setting<bool> rotate_{true};
  detail::Setting<bool> flipVertical_{false};
  detail::Setting<bool> upscaleSmall_{false};

  detail::Setting<bool> autoDeskew_{true};
  detail::Setting<bool> removeSpecks_{false};
  detail::Setting<bool> removeBorder_{false};
  detail::Setting<std::int32_t> trustRange_{20};
  detail::Setting<std::int32_t> deformCorrect_{3};
  detail::Setting<std::int32_t> maxReadThreads_{2};

  detail::Setting<bool> autoJudge_{true};
  detail::Setting<bool> forceSingleChoice_{true};
  detail::Setting<bool> fixedMultiCount_{false};

  detail::Setting<bool> speakScore_{false};
  detail::Setting<bool> speakNumber_{false};
  detail::Setting<bool> speakName_{false};
  detail::Setting<bool> speakTypeScores_{false};
  detail::Setting<std::int32_t> pauseMs_{2000};

  detail::Setting<bool> showWrongDetail_{false};
  detail::Setting<bool> showRightDetail_{true};
  detail::Setting<bool> ignoreRepeatSheet_{false};
  detail::Setting<bool> warnDuplicate_{true};

  detail::Setting<bool> debugAnalyse_{false};
  detail::Setting<bool> debugFindAngle_{false};
};

// The program's own settings. Code that can be handed other settings (tools,
// tests, the image code) takes a Tcfg& instead of calling this.
Tcfg& Cfg();

}  // namespace kestrelo
