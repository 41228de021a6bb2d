#include "settings/IniCfg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/Error.h"

namespace kestrelo {
namespace {

struct Switches {
  bool blackDotPeak = false;
  bool cellRect = false;
  bool splitThread = false;
  bool debugMemo = false;
  std::int32_t testBmpCount = 5;
};

void ExpectSwitches(const TInicfg& ini, const Switches& want, const std::string& label) {
  EXPECT_EQ(ini.FDebugBlackDotCountArrayPeak(), want.blackDotPeak) << label;
  EXPECT_EQ(ini.FDebugCellRect(), want.cellRect) << label;
  EXPECT_TRUE(ini.FShowVerifyColor()) << label;
  EXPECT_EQ(ini.FDebugSplitThread(), want.splitThread) << label;
  EXPECT_EQ(ini.FShowDebugMemo(), want.debugMemo) << label;
  EXPECT_EQ(ini.FTestBmpCount(), want.testBmpCount) << label;
}

TEST(TInicfg, ProgramInstanceHasTheDefaults) { ExpectSwitches(Inicfg(), {}, "Inicfg()"); }

TEST(TInicfg, ReadsKeysAndKeepsDefaultsForMissingOrMistypedOnes) {
  struct Case {
    const char* json;
    Switches want;
  };
  const Case cases[] = {
      {"", {}},
      {" \n ", {}},
      {"{}", {}},
      {R"({"FDebugBlackDotCountArrayPeak":true,"FDebugCellRect":true,"FShowVerifyColor":false,
           "FDebugSplitThread":true,"FshowDebugMemo":true,"FTestBmpCount":12})",
       {true, true, true, true, 12}},
      {R"({"FTestBmpCount":-3,"FDebugCellRect":false})", {.testBmpCount = -3}},
      // The stored key is "FshowDebugMemo"; the capitalised spelling is another key.
      {R"({"FShowDebugMemo":true})", {}},
      // Wrong types and numbers that are not 32-bit integers keep the default.
      {R"({"FDebugCellRect":1,"FDebugSplitThread":"true","FTestBmpCount":"7"})", {}},
      {R"({"FTestBmpCount":7.5})", {}},
      {R"({"FTestBmpCount":2147483648})", {}},
      {R"({"FTestBmpCount":-2147483649})", {}},
      {R"({"FTestBmpCount":2147483647})", {.testBmpCount = 2147483647}},
      {R"({"FTestBmpCount":null,"Unknown":[1,2]})", {}},
  };
  for (const Case& c : cases) ExpectSwitches(TInicfg(c.json), c.want, c.json);
}

TEST(TInicfg, RejectsTextThatIsNotAJsonObject) {
  for (const char* text : {"{", "not json", "[true]", "5", "{\"FDebugCellRect\":true} x"}) {
    EXPECT_THROW(TInicfg{text}, Error) << text;
  }
}

}  // namespace
}  // namespace kestrelo
