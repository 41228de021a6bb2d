// Reading a handed-over sheet: camera-like frames of a drawn card and of the
// filled sample card go through the frame watch's preparation and corner
// search and then ReadSheet; plus the hand-offs it must refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/CardTemplate.h"
#include "analysis/ReadSheet.h"
#include "common/AtomicFile.h"
#include "imaging/BmpFile.h"
#include "tests/analysis/PhotographCard.h"
#include "tests/analysis/SyntheticCard.h"

namespace kestrelo {
namespace {

namespace fs = std::filesystem;

TAnswer Key(std::string answer, bool multi = false) {
  TAnswer a;
  a.Answer = std::move(answer);
  a.IsMulti = multi;
  return a;
}

// --- a drawn card -------------------------------------------------------------------

// 12 rows of 10 columns of boxes; question c+1 runs down column c, letters A-L.
test::CardPlan BigCard() {
  test::CardPlan s;
  s.Rows = 12;
  s.Cols = 10;
  s.PitchX = 40;
  s.PitchY = 28;
  s.BoxW = 28;
  s.BoxH = 18;
  s.Outline = 2;
  s.LineThick = 5;
  s.Margin = 40;
  s.Inset = 10;
  // One mark per question, question 10 (multiple choice) with two.
  s.Filled = {{0, 0}, {3, 1}, {11, 2}, {5, 3}, {1, 4}, {7, 5},
              {2, 6}, {9, 7}, {4, 8},  {6, 9}, {8, 9}};
  return s;
}

const std::vector<std::string> kBigCardLines{"1=A", "2=D", "3=L", "4=F", "5=B",
                                             "6=H", "7=C", "8=J", "9=E", "10=GI"};

std::vector<TAnswer> BigCardKey() {
  std::vector<TAnswer> key(10, Key("A"));
  key[9] = Key("GI", true);
  return key;
}

TEST(ReadSheet, ReadsPhotographedDrawnCardsStraightAndTurned) {
  const test::CardPlan plan = BigCard();
  const test::Card card = test::DrawCard(plan);
  const std::string text = CardTemplate::FromText(test::CardTemplateText(plan)).ToText();
  // The frame covers about two thirds of the camera frame's width.
  constexpr double kScale = 1.2;
  const double frameW = kScale * (card.Sheet.Width() - 2 * plan.Margin);
  const double frameH = kScale * (card.Sheet.Height() - 2 * plan.Margin);
  for (double angle : {0.0, 6.0, -9.0, 12.0}) {
    SCOPED_TRACE("angle " + std::to_string(angle));
    Tcfg cfg;
    test::Located l = test::Locate(test::Photograph(card.Sheet, kScale, angle, 11), text, cfg);
    ASSERT_TRUE(l.Location.Accepted) << l.Location.Message;
    const ReadSheetResult r = ReadSheet(std::move(l.HandOff), BigCardKey(), cfg);
    ASSERT_TRUE(r.Ok()) << r.Status << ": " << r.Reason;
    EXPECT_EQ(r.AnswerLines, kBigCardLines);
    EXPECT_EQ(r.ExamNo, "");
    EXPECT_EQ(r.Cells.size(), 12u);
    // The part to show hugs the printed frame on the straightened sheet
    // whatever the skew (the skew is measured in whole degrees: a degree
    // left over adds some 9 pixels).
    EXPECT_NEAR(r.SheetRect.Right - r.SheetRect.Left + 1, frameW, 12);
    EXPECT_NEAR(r.SheetRect.Bottom - r.SheetRect.Top + 1, frameH, 12);
    EXPECT_LT(r.LightestMarked.DarkCount, 10000);
    EXPECT_GT(r.LightestMarked.DarkCount, r.DarkestUnmarked.DarkCount);
  }
}

TEST(ReadSheet, WithoutAutomaticDeskewTheFrameIsReadAsItIs) {
  const test::CardPlan plan = BigCard();
  const test::Card card = test::DrawCard(plan);
  Tcfg cfg;
  cfg.SetFAutoDeskew(false);
  test::Located l =
      test::Locate(test::Photograph(card.Sheet, 1.2, 0.5, 3),
                   CardTemplate::FromText(test::CardTemplateText(plan)).ToText(), cfg);
  ASSERT_TRUE(l.Location.Accepted) << l.Location.Message;
  l.HandOff.Skew = 3;
  const ReadSheetResult r = ReadSheet(std::move(l.HandOff), BigCardKey(), cfg);
  ASSERT_TRUE(r.Ok()) << r.Status << ": " << r.Reason;
  EXPECT_EQ(r.Sheet.Width(), 800);
  EXPECT_EQ(r.Sheet.Height(), 600);
  EXPECT_EQ(r.AnswerLines, kBigCardLines);
}

TEST(ReadSheet, RefusedHandOffsAreFailedSheets) {
  const test::CardPlan plan = BigCard();
  const std::string text = CardTemplate::FromText(test::CardTemplateText(plan)).ToText();
  Tcfg cfg;
  struct Case {
    const char* Name;
    ReadHandOff HandOff;
  };
  std::vector<Case> cases;
  {
    ReadHandOff h;
    h.TemplateText = text;
    cases.push_back({"empty frame", std::move(h)});
  }
  {
    ReadHandOff h;
    h.Frame = Picture(200, 100);
    h.Grey.assign(99, TIntDynaArr(200, 255));
    h.TemplateText = text;
    cases.push_back({"grey plane of another size", std::move(h)});
  }
  {
    ReadHandOff h;
    h.Frame = Picture(200, 100);
    h.Grey.assign(100, TIntDynaArr(200, 255));
    h.TemplateText = text;
    h.Skew = 1000;
    cases.push_back({"skew not measured", std::move(h)});
  }
  {
    ReadHandOff h;
    h.Frame = Picture(200, 100);
    h.Grey.assign(100, TIntDynaArr(200, 255));
    h.TemplateText = text;
    cases.push_back({"blank frame: no lines to divide by", std::move(h)});
  }
  for (Case& c : cases) {
    const ReadSheetResult r = ReadSheet(std::move(c.HandOff), {}, cfg);
    EXPECT_EQ(r.Status, kAnalysisFailed) << c.Name;
    EXPECT_FALSE(r.Reason.empty()) << c.Name;
    EXPECT_TRUE(r.AnswerLines.empty()) << c.Name;
  }

  ReadHandOff bad;
  bad.Frame = Picture(200, 100);
  bad.Grey.assign(100, TIntDynaArr(200, 255));
  bad.TemplateText = R"({"DevidePaper":{}})";
  EXPECT_THROW(ReadSheet(std::move(bad), {}, cfg), TemplateError);
}

TEST(ReadSheet, DeskewedPointFollowsTheTurn) {
  // A point right of the centre of a 800 x 600 frame, turned 90 degrees
  // back, lies above the centre.
  EXPECT_EQ(DeskewedPoint({500, 300}, 800, 600, 90), (TPoint{400, 200}));
  EXPECT_EQ(DeskewedPoint({123, 45}, 800, 600, 0), (TPoint{123, 45}));
}

TEST(AnswerValues, TextAfterTheFirstEqualsSign) {
  EXPECT_EQ(AnswerValues({"1=AC", "2= ", "3=", "x=y=z", "none"}),
            (std::vector<std::string>{"AC", " ", "", "y=z", "none"}));
}

TEST(OutlineMultiGroups, OneFramePerRunAndPrintedGroup) {
  // Twenty questions of one cell each down a column of 20 x 20 cells; 11-20
  // multiple choice, 5 questions per group: frames 11-15 and 16-20.
  std::string q;
  for (int i = 1; i <= 20; ++i) {
    q +=
        std::string(q.empty() ? "" : ",") + R"({"Id":")" + std::to_string(i) +
        R"(","PaperRects_ID":1,"StartPosLine":)" + std::to_string(i) +
        R"(,"StartPosColum":1,"GridNum":1,"Orient":"LeftRight","BackValue":"A","BackAnswerNum":0})";
  }
  const CardTemplate tmpl = CardTemplate::FromText(
      R"({"DevidePaper":{"LinesThreadCount":2,"ColumsThreadCount":2,"LineCount":20,"ColumCount":1,
      "ClearRects":[],"PaperRects":{"PaperRect1":{"Left":0,"Top":0,"Right":1,"Bottom":1,"LineCount":20,
      "ColumCount":1,"FirstCellLine":1,"FirstCellColum":1}}},"SplitConfig":{"TestNoAreaBlank":-1},
      "TestNo":[],"Verifys":[],"Questions":[)" +
      q + "]}");
  std::vector<std::vector<TCellInfo>> cells(20, std::vector<TCellInfo>(1));
  for (int i = 0; i < 20; ++i) cells[i][0].Rect = TRect{0, 20 * i, 19, 20 * i + 19};
  std::vector<TAnswer> key(20, Key("A"));
  for (int i = 10; i < 20; ++i) key[i].IsMulti = true;
  Picture sheet(20, 400);
  OutlineMultiGroups(sheet, tmpl, cells, key);
  const auto blue = [&](int x, int y) {
    const std::uint8_t* p = sheet.Pixel(x, y);
    return p[0] == 255 && p[1] == 0 && p[2] == 0;
  };
  // Frames are drawn 2 pixels inside their rectangle, 3 thick.
  EXPECT_TRUE(blue(10, 202));  // top of 11-15
  EXPECT_TRUE(blue(10, 297));  // bottom of 11-15
  EXPECT_TRUE(blue(10, 302));  // top of 16-20
  EXPECT_TRUE(blue(10, 397));  // bottom of 16-20
  EXPECT_FALSE(blue(10, 250));
  EXPECT_FALSE(blue(10, 150));
  for (int y = 0; y < 200; ++y) EXPECT_FALSE(blue(2, y)) << y;
}

// --- the filled sample card of the card set -----------------------------------------

fs::path U8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

TEST(ReadSheet, ReadsThePhotographedFilledSampleCard) {
  const fs::path folder = fs::path(KESTRELO_PROGRAM_DIR) / "PaperTemplate";
  const fs::path picture = folder / U8("已填涂测试卡.PaperCard");
  const fs::path sampleFile = fs::path(KESTRELO_SOURCE_DIR) / "data" / "cards" / "sample.json";
  if (!fs::exists(picture) || !fs::exists(sampleFile)) {
    GTEST_SKIP() << "the card set is not built (" << picture << "); build kestrelo_card_set";
  }
  const nlohmann::json sample =
      nlohmann::json::parse(ReadWholeFile(sampleFile), nullptr, true, true);
  const std::string cardName = sample.at("card").get<std::string>();
  const CardTemplate tmpl = CardTemplate::Load(folder / U8(cardName + ".Config"));
  const Picture card = ReadBmp(picture);

  std::vector<TAnswer> key;
  std::vector<std::string> want;
  int i = 0;
  for (const auto& a : sample.at("answers")) {
    const std::string letters = a.get<std::string>();
    key.push_back(Key(letters, letters.size() > 1));
    want.push_back(tmpl.Questions.at(static_cast<std::size_t>(i++)).Id + "=" + letters);
  }
  // Scaled so that the whole card fits the frame; straight and turned.
  const double scale = 560.0 / card.Height();
  for (double angle : {0.0, 4.0, -7.0}) {
    SCOPED_TRACE("angle " + std::to_string(angle));
    Tcfg cfg;
    test::Located l = test::Locate(test::Photograph(card, scale, angle, 5), tmpl.ToText(), cfg);
    ASSERT_TRUE(l.Location.Accepted) << l.Location.Message;
    const ReadSheetResult r = ReadSheet(std::move(l.HandOff), key, cfg);
    ASSERT_TRUE(r.Ok()) << r.Status << ": " << r.Reason;
    EXPECT_EQ(r.ExamNo, sample.at("examNumber").get<std::string>());
    EXPECT_EQ(r.AnswerLines, want);
  }
}

}  // namespace
}  // namespace kestrelo
