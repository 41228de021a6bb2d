#include <gtest/gtest.h>

#include "common/DecimalText.h"

namespace kestrelo {
namespace {

TEST(DecimalText, GeneralFormHasFifteenDigitsAndNoTrailingZeros) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {85, "85"},
      {85.5, "85.5"},
      {-2.5, "-2.5"},
      {100, "100"},
      {0.1, "0.1"},
      {1.0 / 3, "0.333333333333333"},
      {static_cast<double>(3.6f), "3.59999990463257"},
      {0.00001, "0.00001"},
      {0.0000123, "0.0000123"},
      {0.000001, "1E-6"},
      {-0.0000015, "-1.5E-6"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1.5e15, "1.5E15"},
      {999999999999999.9, "1E15"},  // rounds to 15 digits before choosing the form
  };
  for (const Case& c : cases) EXPECT_EQ(GeneralDecimalText(c.value), c.text) << c.value;
}

TEST(DecimalText, ParsesOnlyPlainDecimalText) {
  EXPECT_EQ(ParseDecimalInteger(" 42 "), 42);
  EXPECT_EQ(ParseDecimalInteger("-1"), -1);
  EXPECT_EQ(ParseDecimalInteger("0815"), 815);
  for (const char* bad : {"", " ", "1.5", "0x10", "12a", "-", "99999999999999999999"}) {
    EXPECT_FALSE(ParseDecimalInteger(bad).has_value()) << bad;
  }
  EXPECT_EQ(ParseDecimalNumber("3.5"), 3.5);
  EXPECT_EQ(ParseDecimalNumber(" -1e2"), -100);
  for (const char* bad : {"", "abc", "inf", "nan", "0x1p3", "1.2.3"}) {
    EXPECT_FALSE(ParseDecimalNumber(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace kestrelo
