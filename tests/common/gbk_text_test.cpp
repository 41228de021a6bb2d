#include "common/GbkText.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>

#include "common/Error.h"

namespace kestrelo {
namespace {

TEST(GbkText, ChineseTextRoundTrips) {
  // 考号 in code page 936.
  EXPECT_EQ(Utf8ToGbk("考号"), "\xBF\xBC\xBA\xC5");
  EXPECT_EQ(GbkToUtf8("\xBF\xBC\xBA\xC5"), "考号");

  const std::string text = "答题卡 标准答案：判断题、单选题、多选题（1-20）张三丰 A1 €";
  EXPECT_EQ(GbkToUtf8(Utf8ToGbk(text)), text);
  EXPECT_EQ(Utf8ToGbk(""), "");
  EXPECT_EQ(GbkToUtf8(""), "");

  // Longer than one conversion buffer, with a NUL inside.
  std::string longText;
  for (int i = 0; i < 2000; ++i) longText += "考号A";
  longText += std::string("\0end", 4);
  const std::string gbk = Utf8ToGbk(longText);
  EXPECT_EQ(gbk.size(), 2000u * 5 + 4);
  EXPECT_EQ(GbkToUtf8(gbk), longText);
}

TEST(GbkText, CharactersOutsideGbkBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToGbk("A😀B"), "A?B");
  EXPECT_EQ(Utf8ToGbk("😀😀"), "??");
  EXPECT_EQ(Utf8ToGbk("考\xF0\x9F\x98\x80号"), "\xBF\xBC?\xBA\xC5");

  // Conversion resumes after each replacement, however far into the text.
  std::string text, want;
  for (int i = 0; i < 700; ++i) {
    text += "考😀";
    want += "\xBF\xBC?";
  }
  EXPECT_EQ(Utf8ToGbk(text), want);
}

TEST(GbkText, LengthCountsGbkBytes) {
  struct Case {
    const char* text;
    std::size_t bytes;
  };
  const Case cases[] = {
      {"", 0}, {"A1", 2}, {"考号A1", 6}, {"张三丰", 6}, {"😀", 1}, {"€", 1}, {"é", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkLength(c.text), c.bytes) << c.text;
    EXPECT_EQ(GbkLength(c.text), Utf8ToGbk(c.text).size()) << c.text;
  }
}

TEST(GbkText, CuttingNeverSplitsACharacter) {
  struct Case {
    const char* text;
    std::size_t maxBytes;
    const char* cut;
  };
  const Case cases[] = {
      {"张三丰", 6, "张三丰"}, {"张三丰", 5, "张三"}, {"张三丰", 4, "张三"},
      {"张三丰", 1, ""},       {"张三丰", 0, ""},     {"张三丰", 100, "张三丰"},
      {"A张B三", 2, "A"},      {"A张B三", 3, "A张"},  {"A张B三", 4, "A张B"},
      {"考号A1", 5, "考号A"},  {"😀考", 2, "😀"},      {"", 3, ""},
  };
  for (const Case& c : cases) {
    const std::string cut = CutToGbkBytes(c.text, c.maxBytes);
    EXPECT_EQ(cut, c.cut) << c.text << " to " << c.maxBytes;
    EXPECT_LE(GbkLength(cut), c.maxBytes);
  }
}

TEST(GbkText, InvalidUtf8IsRejected) {
  const char* bad[] = {
      "\xFF",              // never a UTF-8 byte
      "A\x80",             // stray continuation byte
      "\xE8\x80",          // sequence cut short at the end
      "\xE8\x80" "A",      // sequence cut short in the middle
      "\xC0\xAF",          // overlong
      "\xE0\x80\xAF",      // overlong
      "\xED\xA0\x80",      // surrogate
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
  };
  for (const char* s : bad) {
    EXPECT_FALSE(IsValidUtf8(s)) << testing::PrintToString(s);
    EXPECT_THROW(Utf8ToGbk(s), Error) << testing::PrintToString(s);
    EXPECT_THROW(GbkLength(s), Error) << testing::PrintToString(s);
    EXPECT_THROW(CutToGbkBytes(s, 10), Error) << testing::PrintToString(s);
  }
  EXPECT_TRUE(IsValidUtf8("考号A1😀"));
}

TEST(GbkText, InvalidGbkIsRejected) {
  for (const char* s : {"\xFF", "A\xBF", "\xBF\x20", "\xBF\x7F"}) {
    EXPECT_THROW(GbkToUtf8(s), Error) << testing::PrintToString(s);
  }
}

}  // namespace
}  // namespace kestrelo
