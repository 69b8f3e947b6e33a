// Fixed-width number fields as Fortran's I and F edit descriptors write them.
#include <cmath>
#include <algorithm>
#include <cstdio>

#include "ut.h"

namespace {
std::string fit(const std::string& text, int width) {
  if (width < 1) return {};
  if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}
}  // namespace

std::string ut_fmt_int(std::int64_t value, int width) { return fit(std::to_string(value), width); }

std::string ut_fmt_real(double value, int width, int decimals) {
  decimals = std::clamp(decimals, 0, 100);
  if (std::isnan(value)) return fit("NaN", width);
  if (std::isinf(value)) {
    const std::string sign = value < 0 ? "-" : "";
    const std::string word = static_cast<int>(sign.size()) + 8 <= width ? "Infinity" : "Inf";
    return fit(sign + word, width);
  }
  // The point is always written, even with no decimals ("3.").
  char buffer[512];  // room for 309 digits, the point and 100 decimals
  std::snprintf(buffer, sizeof buffer, "%#.*f", decimals, value);
  std::string text = buffer;
  // The zero before the point is optional and is left out when the field is too narrow for it.
  if (static_cast<int>(text.size()) > width) {
    if (text.starts_with("0.")) {
      text.erase(0, 1);
    } else if (text.starts_with("-0.")) {
      text.erase(1, 1);
    }
  }
  return fit(text, width);
}
