#include "settings/Cfg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace kestrelo {
namespace {

// Every field with its default, read and written through its own getter and
// setter. Numbers go through int64 so one table holds both kinds.
struct Field {
  const char* name;
  std::int64_t byDefault;
  std::int64_t (*get)(const Tcfg&);
  void (*set)(Tcfg&, std::int64_t);
  bool isBool;
};

#define BOOL_FIELD(F, d)                                                      \
  Field{#F, d, [](const Tcfg& c) -> std::int64_t { return c.F() ? 1 : 0; }, \
        [](Tcfg& c, std::int64_t v) { c.Set##F(v != 0); }, true}
#define INT_FIELD(F, d)                                                   \
  Field{#F, d, [](const Tcfg& c) -> std::int64_t { return c.F(); },     \
        [](Tcfg& c, std::int64_t v) { c.Set##F(static_cast<std::int32_t>(v)); }, false}

const std::vector<Field>& Fields() {
  static const std::vector<Field> fields = {
      BOOL_FIELD(FFlipHorizontal, 0),   BOOL_FIELD(FRotate, 1),
      BOOL_FIELD(FFlipVertical, 0),     BOOL_FIELD(FAutoDeskew, 1),
      BOOL_FIELD(FSpeakScore, 0),       INT_FIELD(FPauseMs, 2000),
      BOOL_FIELD(FShowWrongDetail, 0),  BOOL_FIELD(FShowRightDetail, 1),
      BOOL_FIELD(FIgnoreRepeatSheet, 0), INT_FIELD(FMaxReadThreads, 2),
      BOOL_FIELD(FAutoJudge, 1),        BOOL_FIELD(FForceSingleChoice, 1),
      BOOL_FIELD(FSpeakNumber, 0),      BOOL_FIELD(FRemoveSpecks, 0),
      BOOL_FIELD(FSpeakName, 0),        BOOL_FIELD(FWarnDuplicate, 1),
      BOOL_FIELD(FSpeakTypeScores, 0),  BOOL_FIELD(FFixedMultiCount, 0),
      INT_FIELD(FTrustRange, 20),       INT_FIELD(FDeformCorrect, 3),
      BOOL_FIELD(FDebugAnalyse, 0),     BOOL_FIELD(FUpscaleSmall, 0),
      BOOL_FIELD(FDebugFindAngle, 0),   BOOL_FIELD(FRemoveBorder, 0),
  };
  return fields;
}

TEST(Tcfg, FreshInstanceHasTheDefaults) {
  const Tcfg cfg;
  for (const Field& f : Fields()) EXPECT_EQ(f.get(cfg), f.byDefault) << f.name;
}

// Catches a setter wired to the wrong field: changing one field leaves every
// other field at its default.
TEST(Tcfg, EachSetterChangesOnlyItsOwnField) {
  for (const Field& changed : Fields()) {
    Tcfg cfg;
    // Numbers take any value, negatives included; the controls do the bounding.
    const std::int64_t value = changed.isBool ? 1 - changed.byDefault : -7;
    changed.set(cfg, value);
    for (const Field& f : Fields()) {
      EXPECT_EQ(f.get(cfg), &f == &changed ? value : f.byDefault)
          << "after setting " << changed.name << ", field " << f.name;
    }
  }
}

}  // namespace
}  // namespace kestrelo
