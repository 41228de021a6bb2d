// Frame preparation on an 800 x 600 camera frame holding a turned sheet, step
// by step and as a whole. The frame timer gives 150 ms per frame; the whole
// preparation should stay within a few milliseconds.
#include <benchmark/benchmark.h>

#include <cstring>

#include "imaging/BorderBlobs.h"
#include "imaging/DotBlockRemoval.h"
#include "imaging/FindAngle.h"
#include "imaging/FramePrep.h"
#include "tools/testsupport/SyntheticFrame.h"

namespace {

using namespace kestrelo;

const Picture& SheetFrame() {
  static const Picture frame = [] {
    testsupport::FrameScene scene;
    scene.Angle = 6;
    scene.Noise = 6;
    scene.LightFall = 0.3;
    scene.Finger = true;
    scene.Blob = true;
    return testsupport::DrawFrameScene(scene);
  }();
  return frame;
}

// The frame binarised as the frame watch does it, before any cleaning.
const Picture& BinarisedFrame() {
  static const Picture frame = [] {
    Picture p = SheetFrame().Clone();
    TIntBmp bmp;
    bmp.LoadBitmap(p);
    bmp.BinariseBlocks(12, DarknessFactor(30));
    return p;
  }();
  return frame;
}

void Restore(Picture& work, const Picture& from) {
  std::memcpy(work.Data(), from.Data(), from.Stride() * static_cast<std::size_t>(from.Height()));
}

void BM_BinariseBlocks(benchmark::State& state) {
  Picture work = SheetFrame().Clone();
  TIntBmp bmp;
  for (auto _ : state) {
    state.PauseTiming();
    Restore(work, SheetFrame());
    state.ResumeTiming();
    bmp.LoadBitmap(work);
    bmp.BinariseBlocks(12, DarknessFactor(30));
  }
}
BENCHMARK(BM_BinariseBlocks)->Unit(benchmark::kMillisecond);

// Times one step on a fresh copy of the binarised frame per iteration.
template <typename Step>
void OnBinarisedFrame(benchmark::State& state, Step step) {
  Picture work = BinarisedFrame().Clone();
  TIntBmp bmp;
  bmp.LoadBitmap(work);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(work, BinarisedFrame());
    state.ResumeTiming();
    step(bmp);
  }
}

void BM_RemoveSpecks(benchmark::State& state) {
  OnBinarisedFrame(state, [](TIntBmp& bmp) { RemoveSpecks(bmp, true); });
}
BENCHMARK(BM_RemoveSpecks)->Unit(benchmark::kMillisecond);

void BM_RemoveBorderBlobs(benchmark::State& state) {
  OnBinarisedFrame(state, [](TIntBmp& bmp) { RemoveBorderBlobs(bmp); });
}
BENCHMARK(BM_RemoveBorderBlobs)->Unit(benchmark::kMillisecond);

void BM_FindCorners(benchmark::State& state) {
  TFindAngle finder;
  OnBinarisedFrame(state, [&](TIntBmp& bmp) {
    const SheetLocation loc = LocateSheet(bmp, finder);
    benchmark::DoNotOptimize(loc.Skew);
  });
}
BENCHMARK(BM_FindCorners)->Unit(benchmark::kMillisecond);

// Load, binarise, remove border blobs and specks, find the corners and the skew.
void BM_WholePreparation(benchmark::State& state) {
  Picture work = SheetFrame().Clone();
  TIntBmp bmp;
  TFindAngle finder;
  for (auto _ : state) {
    state.PauseTiming();
    Restore(work, SheetFrame());
    state.ResumeTiming();
    PrepareFrame(bmp, work, FrameCleaning{30, true, true});
    const SheetLocation loc = LocateSheet(bmp, finder);
    if (!loc.Accepted) state.SkipWithError("the benchmark frame must be accepted");
  }
}
BENCHMARK(BM_WholePreparation)->Unit(benchmark::kMillisecond);

}  // namespace
