#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>

#include "analysis/CardTemplate.h"
#include "common/AtomicFile.h"
#include "common/GbkText.h"
#include "tests/common/TempFolder.h"

namespace kestrelo {
namespace {

using Json = nlohmann::json;

// Two sub-rectangles over a 10 x 6 grid with three horizontal frame lines.
const char* const kTemplate = R"(
# a card for the tests
{
  // layout
  "DevidePaper": {
    "LinesThreadCount": 3, "ColumsThreadCount": 2,
    "LineCount": 10, "ColumCount": "6",
    "ClearRects": [ {"Left":"0","Right":"1","Top":0,"Bottom":"1"} ],
    "PaperRects": {
      "PaperRect1": {"Left":0,"Top":0,"Right":1,"Bottom":1,"LineCount":4,"ColumCount":6,
                     "FirstCellLine":1,"FirstCellColum":1},
      /* the lower half */
      "PaperRect2": {"Left":0,"Top":1,"Right":1,"Bottom":2,"LineCount":5,"ColumCount":6,
                     "FirstCellLine":6,"FirstCellColum":"1.5"}
    }
  },
  "SplitConfig": {"TestNoAreaBlank": -1},
  "TestNo": [
    {"Id":"1","PaperRects_ID":1,"StartPosLine":1,"StartPosColum":1,"GridNum":4,
     "Orient":"TopBottom","BackValue":"0123","BackAnswerNum":0}
  ],
  "Questions": [
    {"Id":7,"PaperRects_ID":"2","StartPosLine":2,"StartPosColum":2,"GridNum":4,
     "Orient":"LeftRight","BackValue":"AB#D//x","BackAnswerNum":2.5},
    {"Id":"8","PaperRects_ID":2,"StartPosLine":1,"StartPosColum":1,"GridNum":9,
     "Orient":"leftright","BackValue":"","BackAnswerNum":0}
  ],
  "Verifys": []
}
)";

TEST(CardTemplate, ReadsRelaxedJson) {
  const CardTemplate t = CardTemplate::FromText(kTemplate, "test");
  EXPECT_EQ(t.LinesThreadCount, 3);
  EXPECT_EQ(t.ColumCount, 6);  // a numeric string
  ASSERT_EQ(t.ClearRects.size(), 1u);
  EXPECT_EQ(t.ClearRects[0].Bottom, 1);
  ASSERT_EQ(t.PaperRects.size(), 2u);
  EXPECT_EQ(t.PaperRects[1].FirstCellLine, 6);
  EXPECT_EQ(t.PaperRects[1].FirstCellColum, 2);  // "1.5" rounds to even
  ASSERT_EQ(t.Questions.size(), 2u);
  EXPECT_EQ(t.Questions[0].Id, "7");               // a number read as text
  EXPECT_EQ(t.Questions[0].BackValue, "AB#D//x");  // comment marks inside a text stay
  EXPECT_EQ(t.Questions[0].BackAnswerNum, 2);      // 2.5 rounds to even
  EXPECT_EQ(t.LineQuestionCount, 5);               // absent
  EXPECT_EQ(t.TestNoAreaBlank, -1);
}

TEST(CardTemplate, CellsOfBlocks) {
  const CardTemplate t = CardTemplate::FromText(kTemplate);
  EXPECT_EQ(t.BlockCells(t.TestNo[0]), (std::vector<GridCellRef>{{0, 0}, {1, 0}, {2, 0}, {3, 0}}));
  // Sub-rectangle 2's first cell is grid row 6, column 2 (from 1); the block
  // starts one row and one column further in.
  EXPECT_EQ(t.BlockCells(t.Questions[0]),
            (std::vector<GridCellRef>{{6, 2}, {6, 3}, {6, 4}, {6, 5}}));
  // An Orient in other letter case has no cells, so its short BackValue and
  // its run beyond the grid do not matter.
  EXPECT_TRUE(t.BlockCells(t.Questions[1]).empty());
  EXPECT_EQ(t.Letter(t.Questions[0], 3), "D");
}

TEST(CardTemplate, TextRoundTripsAndEncodings) {
  const CardTemplate t = CardTemplate::FromText(kTemplate);
  const CardTemplate again = CardTemplate::FromText(t.ToText());
  EXPECT_EQ(again.ToText(), t.ToText());

  // The same template with a Chinese Id: as UTF-8 with a BOM, and as GBK.
  std::string utf8 = kTemplate;
  utf8.replace(utf8.find(R"("Id":"8")"), 8, R"("Id":"判断")");
  const CardTemplate withBom = CardTemplate::FromText("\xEF\xBB\xBF" + utf8);
  EXPECT_EQ(withBom.Questions[1].Id, "判断");
  const CardTemplate fromGbk = CardTemplate::FromText(Utf8ToGbk(utf8));
  EXPECT_EQ(fromGbk.Questions[1].Id, "判断");
}

TEST(CardTemplate, LoadsFromAFileAndNamesIt) {
  TempFolder tmp;
  WriteFileAtomically(tmp / "A类-测试卡.Config", kTemplate);
  const CardTemplate t = CardTemplate::Load(tmp / "A类-测试卡.Config");
  EXPECT_EQ(t.Name(), "A类-测试卡");
  EXPECT_THROW(CardTemplate::Load(tmp / "missing.Config"), FileError);

  WriteFileAtomically(tmp / "bad.Config", "{\"DevidePaper\": 1}");
  try {
    CardTemplate::Load(tmp / "bad.Config");
    FAIL() << "accepted";
  } catch (const TemplateError& e) {
    EXPECT_NE(std::string(e.what()).find("bad.Config"), std::string::npos) << e.what();
    EXPECT_EQ(e.Member(), "DevidePaper");
  }
}

struct Malformed {
  const char* Name;
  std::function<void(Json&)> Change;
  const char* Member;  // expected in the error
};

Json Base() { return Json::parse(StripJsonComments(kTemplate)); }

class CardTemplateRefuses : public testing::TestWithParam<Malformed> {};

TEST_P(CardTemplateRefuses, NamingTheMember) {
  Json j = Base();
  GetParam().Change(j);
  try {
    CardTemplate::FromText(j.dump(), "x.Config");
    FAIL() << "accepted";
  } catch (const TemplateError& e) {
    EXPECT_EQ(e.Member(), GetParam().Member) << e.what();
    EXPECT_EQ(std::string(e.what()).rfind("x.Config: ", 0), 0u) << e.what();
  }
}

const auto dp = [](Json& j) -> Json& { return j["DevidePaper"]; };
const auto pr = [](Json& j, int n) -> Json& {
  return j["DevidePaper"]["PaperRects"]["PaperRect" + std::to_string(n)];
};

INSTANTIATE_TEST_SUITE_P(
    Cases, CardTemplateRefuses,
    testing::Values(
        Malformed{"no_DevidePaper", [](Json& j) { j.erase("DevidePaper"); }, "DevidePaper"},
        Malformed{"no_Verifys", [](Json& j) { j.erase("Verifys"); }, "Verifys"},
        Malformed{"Questions_not_array", [](Json& j) { j["Questions"] = Json::object(); },
                  "Questions"},
        Malformed{"no_split", [](Json& j) { j["SplitConfig"].erase("TestNoAreaBlank"); },
                  "SplitConfig.TestNoAreaBlank"},
        Malformed{"zero_rows", [](Json& j) { dp(j)["LineCount"] = 0; }, "DevidePaper.LineCount"},
        Malformed{"word_for_number", [](Json& j) { dp(j)["ColumCount"] = "six"; },
                  "DevidePaper.ColumCount"},
        Malformed{"one_frame_line", [](Json& j) { dp(j)["ColumsThreadCount"] = 1; },
                  "DevidePaper.ColumsThreadCount"},
        Malformed{"paper_rects_gap",
                  [](Json& j) {
                    auto& rects = dp(j)["PaperRects"];
                    rects["PaperRect3"] = rects["PaperRect2"];
                    rects.erase("PaperRect2");
                  },
                  "DevidePaper.PaperRects.PaperRect2"},
        Malformed{"paper_rect_line_beyond", [](Json& j) { pr(j, 2)["Bottom"] = 3; },
                  "DevidePaper.PaperRects.PaperRect2.Bottom"},
        Malformed{"paper_rect_vertical_beyond", [](Json& j) { pr(j, 1)["Right"] = 2; },
                  "DevidePaper.PaperRects.PaperRect1.Right"},
        Malformed{"negative_line", [](Json& j) { pr(j, 1)["Left"] = -1; },
                  "DevidePaper.PaperRects.PaperRect1.Left"},
        Malformed{"clear_rect_beyond", [](Json& j) { dp(j)["ClearRects"][0]["Top"] = "3"; },
                  "DevidePaper.ClearRects[0].Top"},
        Malformed{"clear_rect_not_whole", [](Json& j) { dp(j)["ClearRects"][0]["Left"] = "0.5"; },
                  "DevidePaper.ClearRects[0].Left"},
        Malformed{"sub_rect_zero", [](Json& j) { j["TestNo"][0]["PaperRects_ID"] = 0; },
                  "TestNo[0].PaperRects_ID"},
        Malformed{"sub_rect_beyond", [](Json& j) { j["Questions"][0]["PaperRects_ID"] = 3; },
                  "Questions[0].PaperRects_ID"},
        Malformed{"cells_below_grid", [](Json& j) { j["TestNo"][0]["GridNum"] = 11; }, "TestNo[0]"},
        Malformed{"cells_right_of_grid", [](Json& j) { j["Questions"][0]["StartPosColum"] = 4; },
                  "Questions[0]"},
        Malformed{"cells_above_grid", [](Json& j) { j["TestNo"][0]["StartPosLine"] = 0; },
                  "TestNo[0]"},
        Malformed{"back_value_short", [](Json& j) { j["TestNo"][0]["BackValue"] = "012"; },
                  "TestNo[0].BackValue"},
        Malformed{"block_member_missing", [](Json& j) { j["Questions"][1].erase("BackAnswerNum"); },
                  "Questions[1].BackAnswerNum"},
        Malformed{"block_not_object", [](Json& j) { j["Verifys"].push_back(3); }, "Verifys[0]"},
        Malformed{"id_not_text", [](Json& j) { j["Questions"][0]["Id"] = Json::array(); },
                  "Questions[0].Id"},
        Malformed{"negative_grid_num", [](Json& j) { j["Questions"][1]["GridNum"] = -1; },
                  "Questions[1].GridNum"},
        Malformed{"huge_number", [](Json& j) { dp(j)["LineCount"] = 1e12; },
                  "DevidePaper.LineCount"},
        Malformed{"zero_per_group", [](Json& j) { j["LineQuestionCount"] = 0; },
                  "LineQuestionCount"}),
    [](const testing::TestParamInfo<Malformed>& i) { return std::string(i.param.Name); });

TEST(CardTemplate, RefusesTextThatIsNoTemplate) {
  for (const std::string text :
       {"", "[1,2]", "{\"DevidePaper\": {", "\xFF\xFF\xFF", "{ /* never closed "}) {
    SCOPED_TRACE(text);
    EXPECT_THROW(CardTemplate::FromText(text), TemplateError);
  }
}

TEST(CardTemplate, CommentsAreStrippedOutsideStringsOnly) {
  EXPECT_EQ(StripJsonComments("{\"a#b\":1} # x\n//y\n/*z\n*/2"), "{\"a#b\":1}    \n   \n   \n  2");
  EXPECT_EQ(StripJsonComments(R"({"a\"//":"/*"})"), R"({"a\"//":"/*"})");
}

}  // namespace
}  // namespace kestrelo
