#include "common/DecimalText.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kestrelo {
namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::string GeneralDecimalText(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";

  // Round to 15 significant digits first; the exponent of the rounded value
  // decides the form. "%.14e" gives "-d.dddddddddddddde+XX".
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
  const char* e = std::strchr(buf, 'e');
  const int exponent = std::atoi(e + 1);
  char digits[16];
  std::size_t n = 0;
  for (const char* p = buf; p < e && n < sizeof digits; ++p) {
    if (*p != '.') digits[n++] = *p;
  }
  while (n > 1 && digits[n - 1] == '0') --n;

  std::string out;
  out.reserve(32);
  if (value < 0) out.push_back('-');
  if (exponent >= 15 || exponent < -5) {
    out.push_back(digits[0]);
    if (n > 1) {
      out.push_back('.');
      out.append(digits + 1, n - 1);
    }
    out.push_back('E');
    out.append(std::to_string(exponent));
  } else if (exponent < 0) {
    out.append("0.");
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out.append(digits, n);
  } else {
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    if (n <= whole) {
      out.append(digits, n);
      out.append(whole - n, '0');
    } else {
      out.append(digits, whole);
      out.push_back('.');
      out.append(digits + whole, n - whole);
    }
  }
  return out;
}

std::optional<long long> ParseDecimalInteger(std::string_view text) {
  const std::string_view t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  std::size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
  if (i == t.size()) return std::nullopt;
  for (std::size_t k = i; k < t.size(); ++k) {
    if (t[k] < '0' || t[k] > '9') return std::nullopt;
  }
  const std::string copy(t);
  errno = 0;
  const long long v = std::strtoll(copy.c_str(), nullptr, 10);
  if (errno == ERANGE) return std::nullopt;
  return v;
}

std::optional<double> ParseDecimalNumber(std::string_view text) {
  const std::string_view t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  // Only plain decimal notation: strtod would also take hex, inf and nan.
  for (const char c : t) {
    const bool ok =
        (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' || c == 'e' || c == 'E';
    if (!ok) return std::nullopt;
  }
  const std::string copy(t);
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size() || errno == ERANGE) return std::nullopt;
  return v;
}

}  // namespace kestrelo
