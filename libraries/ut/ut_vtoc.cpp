// Reals to text: UT_VTOC (fixed or exponential form within a number of characters) and UT_RTOC.
#include <cmath>
#include <cstdio>

#include "ut.h"

namespace {
// The exact decimal expansion of VALUE with 20 decimals, as an F80.20 field shows it without
// its leading blanks ("0." before the point for magnitudes below 1).
std::string twenty_decimals(double value) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%.20f", value);
  return buffer;
}

// TEXT up to DECIMALS places after its point.
std::string cut_decimals(const std::string& text, int decimals) {
  const std::size_t point = text.find('.');
  if (point == std::string::npos) return text;
  return text.substr(0, std::min(text.size(), point + 1 + static_cast<std::size_t>(decimals)));
}

void trim_zeros_to_point(std::string& text) {
  if (text.find('.') == std::string::npos) return;
  while (!text.empty() && text.back() == '0') text.pop_back();
}

// Decimal exponent of the first significant digit of MAGNITUDE (> 0).
int decimal_exponent(double magnitude) {
  int exponent = static_cast<int>(std::floor(std::log10(magnitude)));
  if (magnitude < std::pow(10.0, exponent)) --exponent;
  if (magnitude >= std::pow(10.0, exponent + 1)) ++exponent;
  return exponent;
}

int exponent_chars(int exponent) {
  if (exponent == 0) return 0;
  if (exponent >= 1 && exponent <= 9) return 1;
  if (exponent >= 10 || exponent >= -9) return 2;
  return 3;
}

void clean_up(std::string& text, std::int32_t max_chars, std::int32_t decimals) {
  if (text.empty()) text.push_back('0');
  if (max_chars - decimals >= 2 && text.front() == '.') text.insert(0, 1, '0');
  if (max_chars - decimals >= 3 && text.starts_with("-.")) text.insert(1, 1, '0');
  if (text == "." || text == "-") text.front() = '0';
  // A negative zero loses its sign ("-0.00" becomes "0.00").
  if (text.front() == '-' && text.size() > 1 &&
      text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);
  }
}
}  // namespace

void UT_VTOC(float value, std::int32_t max_chars, std::int32_t decimals, bool point,
             bool trim_zeros, bool allow_exponent, bool& fits, std::string& text,
             std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_VTOC V0.6 ";
  if (st_bad(status, kRoutine)) return;
  if (max_chars < 1 || decimals < 0) {
    ST_SAVE(kRoutine);
    status = 10017;
    return;
  }
  if (decimals > max_chars) {
    ST_SAVE(kRoutine);
    status = 10013;
    return;
  }

  if (!std::isfinite(value)) {  // no digits to round; say what it is
    fits = true;
    text = std::isnan(value) ? "NaN" : (value < 0.0f ? "-Inf" : "Inf");
    return;
  }

  // 64-bit: DECIMALS and MAX_CHARS may be as large as the 32-bit range.
  std::int64_t room = max_chars;
  if (point || decimals != 0) room -= std::int64_t{decimals} + 1;
  if (value < 0.0f) room -= 1;
  const double upper = std::pow(10.0, static_cast<double>(room)) - 1.0;
  const float lower = static_cast<float>(std::pow(10.0, -decimals));
  const float magnitude = std::fabs(value);
  const bool negative = std::signbit(value);

  if (!allow_exponent || magnitude < 1e-31f ||
      (magnitude >= lower && static_cast<double>(magnitude) <= upper)) {
    // Fixed form: moved away from zero by just under half a unit of the last place, so that
    // cutting the digits rounds to nearest (an exact half toward zero).
    fits = true;
    const float shift = 0.499f * lower;
    const float moved = negative ? value - shift : value + shift;
    std::string result = cut_decimals(twenty_decimals(moved), decimals);
    if (trim_zeros) trim_zeros_to_point(result);
    if (!point && !result.empty() && result.back() == '.') result.pop_back();
    text = result;
  } else {
    int exponent = decimal_exponent(magnitude);
    const std::int64_t needed =
        std::int64_t{decimals} + 2 + exponent_chars(exponent) + (negative ? 1 : 0);
    if (needed > max_chars) {
      fits = false;
    } else {
      fits = true;
      const float shift = static_cast<float>(0.4999 * lower * std::pow(10.0, exponent));
      double mantissa = static_cast<double>(magnitude + shift) / std::pow(10.0, exponent);
      if (mantissa >= 10.0) {  // the rounding carried into a new leading digit
        mantissa /= 10.0;
        ++exponent;
      }
      std::string result = cut_decimals(twenty_decimals(mantissa), decimals);
      if (trim_zeros) trim_zeros_to_point(result);
      text = (negative ? "-" : "") + result + "E" + UT_ITOC(exponent);
    }
  }
  clean_up(text, max_chars, decimals);
}

std::string UT_RTOC(float value) {
  if (value == 0.0f) return "0.0";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.7G", static_cast<double>(value));
  std::string text = buffer;
  if (text.find_first_of(".EN") == std::string::npos) text += ".0";  // N: INF and NAN
  return text;
}
