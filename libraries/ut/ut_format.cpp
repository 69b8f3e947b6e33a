#include <cstdio>

#include "ut.h"

namespace {
std::string fit(const std::string& text, int width) {
  if (static_cast<int>(text.size()) > width) return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}
}  // namespace

std::string ut_fmt_int(std::int64_t value, int width) {
  return fit(std::to_string(value), width);
}

std::string ut_fmt_real(double value, int width, int decimals) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return fit(buffer, width);
}
