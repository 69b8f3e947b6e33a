// Token to integer, real and logical, each with a success flag instead of a failure status.
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "ut.h"

namespace {
// Sizes of the real conversion work buffers; longer pieces do not convert.
constexpr std::size_t kTokenWork = 30;
constexpr std::size_t kPieceWork = 20;
// From this field width on, a real is read in double precision and then rounded to single.
constexpr std::size_t kDoubleWidth = 15;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A formatted integer field: optional sign and decimal digits, blanks anywhere ignored; the
// value must lie in the 32-bit range.
bool read_integer_field(std::string_view field, std::int32_t& value) {
  std::int64_t magnitude = 0;
  bool negative = false;
  bool seen_sign = false;
  bool seen_digit = false;
  for (const char c : field) {
    if (c == ' ') continue;
    if ((c == '+' || c == '-') && !seen_sign && !seen_digit) {
      seen_sign = true;
      negative = c == '-';
    } else if (is_digit(c)) {
      seen_digit = true;
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > static_cast<std::int64_t>(INT32_MAX) + 1) return false;
    } else {
      return false;
    }
  }
  if (!seen_digit) return false;
  const std::int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX || result < INT32_MIN) return false;
  value = static_cast<std::int32_t>(result);
  return true;
}

// A formatted real field with no implied decimals: optional sign, digits with an optional
// point, an optional exponent given by E, D, e or d, or by a sign right after the digits.
// Blanks are ignored. At least one mantissa digit is needed. A value beyond the single
// precision range does not convert.
bool read_real_field(std::string_view field, float& value) {
  std::string clean;  // the field in the form that strtod / strtof read
  enum class Part { kSign, kMantissa, kExponentSign, kExponent } part = Part::kSign;
  bool seen_point = false;
  bool mantissa_digit = false;
  bool exponent_digit = false;
  for (const char c : field) {
    if (c == ' ') continue;
    switch (part) {
      case Part::kSign:
        part = Part::kMantissa;
        if (c == '+' || c == '-') {
          clean += c;
          continue;
        }
        [[fallthrough]];
      case Part::kMantissa:
        if (is_digit(c)) {
          mantissa_digit = true;
          clean += c;
        } else if (c == '.') {
          if (seen_point) return false;
          seen_point = true;
          clean += c;
        } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd') {
          clean += 'e';
          part = Part::kExponentSign;
        } else if (c == '+' || c == '-') {
          clean += 'e';
          clean += c;
          part = Part::kExponent;
        } else {
          return false;
        }
        break;
      case Part::kExponentSign:
        part = Part::kExponent;
        if (c == '+' || c == '-') {
          clean += c;
          continue;
        }
        [[fallthrough]];
      case Part::kExponent:
        if (!is_digit(c)) return false;
        exponent_digit = true;
        clean += c;
        break;
    }
  }
  if (!mantissa_digit) return false;
  if ((part == Part::kExponentSign || part == Part::kExponent) && !exponent_digit) return false;
  errno = 0;
  char* end = nullptr;
  float result;
  if (field.size() < kDoubleWidth) {
    result = std::strtof(clean.c_str(), &end);
  } else {
    result = static_cast<float>(std::strtod(clean.c_str(), &end));
  }
  if (end == nullptr || *end != '\0' || !std::isfinite(result)) return false;
  value = result;
  return true;
}

bool has_point(std::string_view text) { return text.find('.') != std::string_view::npos; }
}  // namespace

void UT_TOKTI(std::string_view token, bool& ok, std::int32_t& value, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_TOKTI V0.6 ")) return;
  const int length = SLEN(token);
  ok = length > 0 && read_integer_field(token.substr(0, static_cast<std::size_t>(length)), value);
}

void UT_TOKTR(std::string_view token, bool& ok, float& value, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_TOKTR V0.6 ")) return;
  ok = false;
  const std::size_t length = static_cast<std::size_t>(SLEN(token));
  if (length == 0) return;
  const std::string_view field = token.substr(0, length);
  const bool point = has_point(field);

  // Plain F-field reading first.
  if (point && read_real_field(field, value)) {
    ok = true;
    return;
  }

  // Second path: mantissa and exponent, with the *10^ and *10** forms, percent and PI.
  if (length > kTokenWork) return;
  const std::string work = UT_UPPER(field);
  std::string mantissa;
  std::string exponent;
  bool with_exponent = false;
  const std::size_t e_pos = work.find('E');
  const std::size_t d_pos = work.find('D');
  const std::size_t star_pos = work.find('*');
  auto split = [&](std::size_t at, std::size_t width) {
    mantissa = work.substr(0, at);
    if (at + width < work.size()) {
      exponent = work.substr(at + width);
      with_exponent = true;
    }
  };
  if (e_pos != std::string::npos) {
    split(e_pos, 1);
  } else if (d_pos != std::string::npos) {
    split(d_pos, 1);
  } else if (star_pos != std::string::npos) {
    const std::string_view rest = std::string_view(work).substr(star_pos);
    if (rest.starts_with("*10^")) {
      split(star_pos, 4);
    } else if (rest.starts_with("*10**")) {
      split(star_pos, 5);
    } else {
      return;
    }
  } else {
    mantissa = work;
  }

  bool percent = false;
  if (!mantissa.empty() && mantissa.back() == '%') {
    mantissa.pop_back();
    percent = true;
  }
  if (mantissa == "PI") {
    mantissa = "3.1415926";
  } else if (!point && !mantissa.empty()) {
    mantissa += '.';
  }
  if (mantissa.size() > kPieceWork || exponent.size() > kPieceWork) return;

  std::string text;
  if (with_exponent) {
    text = mantissa + "e" + exponent;
  } else {
    if (mantissa.empty()) return;
    text = mantissa;
  }
  float result = 0.0f;
  if (!read_real_field(text, result)) return;
  if (percent) result *= 0.01f;
  value = result;
  ok = true;
}

void UT_TOKTL(std::string_view token, bool& ok, bool& value, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_TOKTL V0.1 ")) return;
  constexpr std::size_t kField = 10;  // longer tokens are no logical words
  static constexpr std::array<std::string_view, 9> kTrue = {
      "YA", "OUI", ".TRUE.", "1", "TRUE", "T", "\"YES\"", "Y", "YES"};
  static constexpr std::array<std::string_view, 9> kFalse = {
      "NEIN", "0", ".FALSE.", "FALSE", "F", "\"NO\"", "NON", "N", "NO"};
  ok = false;
  const std::size_t length = static_cast<std::size_t>(SLEN(token));
  if (length == 0 || length > kField) return;
  const std::string word = UT_UPPER(token);
  for (const std::string_view candidate : kTrue) {
    if (word == candidate) {
      value = true;
      ok = true;
      return;
    }
  }
  for (const std::string_view candidate : kFalse) {
    if (word == candidate) {
      value = false;
      ok = true;
      return;
    }
  }
}
