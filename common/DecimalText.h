#pragma once
// Numbers become text in one general decimal form everywhere a score or a
// float field is shown, stored in a cell or spoken: at most 15 significant
// digits, no trailing zeros, no decimal point for whole values, scientific
// form only below 0.00001 or from 10^15 on (1E-6, 1.5E15).
#include <optional>
#include <string>
#include <string_view>

namespace kestrelo {

std::string GeneralDecimalText(double value);

// A 32-bit score is widened exactly before it is written, so 3.6f reads
// 3.60000014305115, the way the results have always shown it.
inline std::string ScoreText(float value) { return GeneralDecimalText(static_cast<double>(value)); }

// Whole decimal number with an optional sign and surrounding blanks; nothing
// else (no fraction, no hex). Empty when the text is not such a number or
// does not fit 64 bits.
std::optional<long long> ParseDecimalInteger(std::string_view text);

// Decimal number with an optional fraction and exponent, surrounding blanks
// allowed. Empty when the text is not a number.
std::optional<double> ParseDecimalNumber(std::string_view text);

}  // namespace kestrelo
