// Fuzz target: real to text (UT_VTOC) with arbitrary values (NaN, infinities and subnormals
// included) and arbitrary field sizes. The checks: the argument errors as documented, no
// empty text, and a fixed-form text that reads back close to the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_files.h"
#include "ut.h"

namespace {

template <typename T>
T take(const std::uint8_t*& data, std::size_t& size) {
  T value{};
  const std::size_t n = size < sizeof(T) ? size : sizeof(T);
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const float value = take<float>(data, size);
  const std::uint8_t flags = take<std::uint8_t>(data, size);
  std::int32_t max_chars;
  std::int32_t decimals;
  if (flags & 0x80) {  // any 32-bit sizes
    max_chars = take<std::int32_t>(data, size);
    decimals = take<std::int32_t>(data, size);
  } else {  // the sizes that callers use
    max_chars = take<std::uint8_t>(data, size) % 40;
    decimals = take<std::uint8_t>(data, size) % 24;
  }
  const bool point = flags & 1;
  const bool trim_zeros = flags & 2;
  const bool allow_exponent = flags & 4;

  std::int32_t status;
  ST_DEF_SYSTEM(status);
  bool fits = false;
  std::string text = "previous";
  UT_VTOC(value, max_chars, decimals, point, trim_zeros, allow_exponent, fits, text, status);

  if (max_chars < 1 || decimals < 0) {
    RAV_FUZZ_CHECK(status == 10017);
    return 0;
  }
  if (decimals > max_chars) {
    RAV_FUZZ_CHECK(status == 10013);
    return 0;
  }
  RAV_FUZZ_CHECK(status == ST_OK);
  RAV_FUZZ_CHECK(!text.empty());
  if (!fits || !std::isfinite(value)) return 0;

  // A fixed-form text (no exponent) reads back within half a unit of its last place (the
  // text holds at most 20 decimals), plus the float's own rounding.
  if (text.find('E') == std::string::npos) {
    char* end = nullptr;
    const double back = std::strtod(text.c_str(), &end);
    RAV_FUZZ_CHECK(end != nullptr && *end == '\0');
    const int shown = decimals < 20 ? decimals : 20;
    const double unit = std::pow(10.0, -shown);
    const double tolerance = unit + 4.0 * std::fabs(static_cast<double>(value)) * 1.2e-7;
    RAV_FUZZ_CHECK(std::fabs(back - static_cast<double>(value)) <= tolerance);
  }
  return 0;
}
