#include <gtest/gtest.h>

#include "analysis/AnalysisError.h"
#include "analysis/RectAnalyse.h"
#include "analysis/XianDuanList.h"

namespace kestrelo {
namespace {

TXianDuanList LinesAt(const std::vector<int>& centres, TLineDir dir) {
  TXianDuanList l;
  for (int c : centres) {
    TXianDuan& s = l.AddSegment();
    (dir == TLineDir::Rows ? s.MidY : s.MidX) = c;
  }
  return l;
}

std::vector<int> Centres(const TXianDuanList& l, TLineDir dir) {
  std::vector<int> v;
  for (const TXianDuan& s : l.Segments()) v.push_back(dir == TLineDir::Rows ? s.MidY : s.MidX);
  return v;
}

class LineSegments : public testing::Test {
 protected:
  Tcfg cfg;
  TRectAnalyse ra{TRect{0, 0, 999, 999}, 10, 10, cfg};
};

TEST_F(LineSegments, RunsOfAProfile) {
  const std::vector<int> p{8, 0, 0, 5, 5, 0, 0, 8};
  TXianDuanList rows;
  TRectAnalyse::RowRuns(TRect{0, 0, 7, 7}, rows, p, 2);
  ASSERT_EQ(rows.Count(), 5);
  const int starts[] = {0, 1, 3, 5, 7};
  const int ends[] = {0, 2, 4, 6, 7};
  for (int i = 0; i < 5; ++i) {
    const TXianDuan& s = rows.GetSegment(i);
    EXPECT_EQ(s.No, i + 1);
    EXPECT_EQ(s.Y1, starts[i]);
    EXPECT_EQ(s.Y2, ends[i]);
    EXPECT_EQ(s.Len, ends[i] - starts[i] + 1);
    EXPECT_EQ(s.Color, i % 2 == 0 ? kDarkRun : kLightRun);
    EXPECT_EQ(s.X1, 2);
    EXPECT_EQ(s.MidX, 2);
  }
  rows.KeepColor(kLightRun);
  EXPECT_EQ(Centres(rows, TLineDir::Rows), (std::vector<int>{1, 5}));

  // Along x the same, offset by the rectangle's left edge.
  TXianDuanList cols;
  TRectAnalyse::ColumRuns(TRect{10, 0, 17, 3}, cols, p, 2);
  cols.KeepColor(kLightRun);
  EXPECT_EQ(Centres(cols, TLineDir::Colums), (std::vector<int>{11, 15}));
  EXPECT_EQ(cols.GetSegment(0).MidY, 2);
  EXPECT_EQ(cols.GetSegment(1).No, 4);  // numbers are not renumbered
}

TEST_F(LineSegments, RemoveNarrowestGap) {
  struct Case {
    std::vector<int> Before;
    TLineDir Dir;
    int TestNoAreaBlank;
    std::vector<int> After;
  };
  const Case cases[] = {
      {{10, 12, 40, 70}, TLineDir::Colums, -1, {10, 40, 70}},
      {{10, 40, 70, 72}, TLineDir::Colums, -1, {10, 40, 72}},
      {{10, 40, 43, 70, 100}, TLineDir::Colums, -1, {10, 40, 70, 100}},
      // Gap 2 (40..45) is the narrowest; exempt for rows, it is never taken.
      {{0, 20, 40, 45, 65, 85}, TLineDir::Rows, -1, {0, 20, 45, 65, 85}},
      {{0, 20, 40, 45, 65, 85}, TLineDir::Rows, 2, {0, 40, 45, 65, 85}},
      {{0, 20, 40, 45, 65, 85}, TLineDir::Colums, 2, {0, 20, 45, 65, 85}},
  };
  for (const Case& c : cases) {
    ra.TestNoAreaBlank = c.TestNoAreaBlank;
    TXianDuanList l = LinesAt(c.Before, c.Dir);
    ra.RemoveNarrowestGap(l, c.Dir);
    EXPECT_EQ(Centres(l, c.Dir), c.After) << testing::PrintToString(c.Before);
  }
}

TEST_F(LineSegments, TwofoldSpacingCheck) {
  struct Case {
    std::vector<int> Lines;
    TLineDir Dir;
    int TestNoAreaBlank;
    bool Ok;
  };
  // The first and the last gap never count.
  const Case cases[] = {
      {{0, 15, 35, 55, 96, 110}, TLineDir::Rows, -1, false},  // 20, 20, 41
      {{0, 15, 35, 55, 95, 110}, TLineDir::Rows, -1, true},   // 20, 20, 40
      // Interior gaps 45, 20, 20: gap 1 is left out for TestNoAreaBlank 2.
      {{0, 15, 60, 80, 100, 115}, TLineDir::Rows, -1, false},
      {{0, 15, 60, 80, 100, 115}, TLineDir::Rows, 2, true},
      {{0, 15, 60, 80, 100, 115}, TLineDir::Colums, 2, false},
      {{0, 50, 51}, TLineDir::Rows, -1, true},  // no interior gap
  };
  for (const Case& c : cases) {
    ra.TestNoAreaBlank = c.TestNoAreaBlank;
    const TGapCheck g = ra.CheckGapSpread(LinesAt(c.Lines, c.Dir), c.Dir);
    EXPECT_EQ(g.OK, c.Ok) << testing::PrintToString(c.Lines);
    EXPECT_EQ(g.Msg, c.Ok ? "" : "两倍错");
  }
  ra.TestNoAreaBlank = -1;
  const TGapCheck g =
      ra.CheckGapSpread(LinesAt({0, 15, 35, 55, 96, 110}, TLineDir::Rows), TLineDir::Rows);
  EXPECT_EQ(g.MinGap, 20);
  EXPECT_EQ(g.MaxGap, 41);
  EXPECT_EQ(g.MinIndex, 1);
  EXPECT_EQ(g.MaxIndex, 3);
  EXPECT_EQ(g.Spread, 21);
}

TEST_F(LineSegments, GapVariance) {
  // Gaps 5, 20, 22, 24, 5: interior mean 22, variance (4 + 0 + 4) div 3.
  EXPECT_EQ(ra.GapVariance(LinesAt({0, 5, 25, 47, 71, 76}, TLineDir::Rows), TLineDir::Rows), 2);
  EXPECT_EQ(ra.Gaps, (std::vector<int>{5, 20, 22, 24, 5}));
  EXPECT_EQ(ra.GapVariance(LinesAt({0, 30}, TLineDir::Colums), TLineDir::Colums), 0);
  // Three lines have no interior gap: an orderly failure, not a division by zero.
  EXPECT_THROW(ra.GapVariance(LinesAt({0, 30, 60}, TLineDir::Rows), TLineDir::Rows), AnalysisError);
}

// A row profile drawn from runs of (length, value), noting the centres of the
// runs marked as wanted lines.
struct Profile {
  std::vector<int> P;
  std::vector<int> Wanted;
  Profile& Run(int len, int value, bool line = false) {
    if (line) Wanted.push_back(static_cast<int>(P.size()) + (len - 1) / 2);
    P.insert(P.end(), static_cast<std::size_t>(len), value);
    return *this;
  }
};

Profile Lattice(int rows, int band, int box, int bandValue) {
  Profile p;
  p.Run(1, 50);
  for (int i = 0; i < rows; ++i) p.Run(band, bandValue, true).Run(box, 40);
  p.Run(band, bandValue, true).Run(1, 50);
  return p;
}

TEST_F(LineSegments, SearchTriesEveryThresholdButEachThird) {
  // Bands of value v become light from threshold v on; the search starts
  // at 1 and skips 3, 6, 9.
  const std::pair<int, int> cases[] = {{0, 1}, {2, 2}, {3, 4}, {6, 7}, {9, 10}, {10, 10}, {11, -1}};
  for (const auto& [bandValue, threshold] : cases) {
    SCOPED_TRACE(bandValue);
    const Profile p = Lattice(6, 6, 12, bandValue);
    const TRect r{0, 0, 99, static_cast<int>(p.P.size()) - 1};
    TLineSearch out;
    const auto lines = ra.SearchRowLines(r, 0, 10, 6, p.P, out);
    if (threshold < 0) {
      EXPECT_EQ(lines, nullptr);
      continue;
    }
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(lines->Threshold, threshold);
    EXPECT_EQ(Centres(*lines, TLineDir::Rows), p.Wanted);
  }
}

TEST_F(LineSegments, SearchRepairsTheCountOfLightRuns) {
  // Eight rows of boxes; some boxes carry light slivers or a lighter band.
  const auto card = [](int slivers, bool lighterBand) {
    Profile p;
    p.Run(1, 50);
    for (int i = 0; i < 8; ++i) {
      p.Run(6, 0, true);
      if (i < slivers) {
        p.Run(5, 40).Run(2, 0).Run(5, 40);
      } else if (i == 7 && lighterBand) {
        p.Run(3, 40).Run(6, 1).Run(3, 40);
      } else {
        p.Run(12, 40);
      }
    }
    p.Run(6, 0, true).Run(1, 50);
    return p;
  };
  struct Case {
    const char* Name;
    int Slivers;
    bool Lighter;
  };
  // Excess of 1-3: the narrowest gaps go. Excess above 3: slivers go first,
  // then the least light run.
  for (const Case c : {Case{"two slivers", 2, false}, Case{"four slivers", 4, false},
                       Case{"four slivers and a lighter band", 4, true}}) {
    SCOPED_TRACE(c.Name);
    const Profile p = card(c.Slivers, c.Lighter);
    TLineSearch out;
    const auto lines =
        ra.SearchRowLines(TRect{0, 0, 99, static_cast<int>(p.P.size()) - 1}, 0, 30, 8, p.P, out);
    ASSERT_NE(lines, nullptr) << out.Diag.Text;
    EXPECT_EQ(Centres(*lines, TLineDir::Rows), p.Wanted);
  }
}

TEST_F(LineSegments, FailedSearchKeepsItsBestFailures) {
  // Row 3 more than twice as tall as the others, and nothing exempts it.
  Profile p;
  p.Run(1, 50);
  for (int i = 0; i < 6; ++i) p.Run(6, 0, true).Run(i == 3 ? 31 : 12, 40);
  p.Run(6, 0, true).Run(1, 50);
  TLineSearch out;
  const auto lines =
      ra.SearchRowLines(TRect{0, 0, 99, static_cast<int>(p.P.size()) - 1}, 0, 10, 6, p.P, out);
  EXPECT_EQ(lines, nullptr);
  ASSERT_NE(out.SpreadFail, nullptr);
  EXPECT_EQ(Centres(*out.SpreadFail, TLineDir::Rows), p.Wanted);
  EXPECT_EQ(out.Diag.BestSpread, 19);
  EXPECT_EQ(out.Diag.Text, "最大最小差19  最小18  最大37  方差10000");
  EXPECT_EQ(out.VarFail, nullptr);

  // Twice as tall passes the twofold check and fails the variance limit.
  Profile q;
  q.Run(1, 50);
  for (int i = 0; i < 6; ++i) q.Run(6, 0, true).Run(i == 3 ? 30 : 12, 40);
  q.Run(6, 0, true).Run(1, 50);
  TLineSearch out2;
  EXPECT_EQ(
      ra.SearchRowLines(TRect{0, 0, 99, static_cast<int>(q.P.size()) - 1}, 0, 10, 6, q.P, out2),
      nullptr);
  ASSERT_NE(out2.VarFail, nullptr);
  EXPECT_EQ(out2.Diag.BestVariance, 61);  // interior gaps 18 18 36 18: mean 22
}

}  // namespace
}  // namespace kestrelo
