#include <algorithm>
#include <climits>

#include "ut.h"

void UT_FILENAME(std::string_view prefix, std::int32_t number, bool fixed_width,
                 std::int32_t num_chars, std::string_view suffix, bool& overflow,
                 std::string& file_name, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_FILENAME V0.2 ";
  if (st_bad(status, kRoutine)) return;
  if (fixed_width && num_chars < 0) {
    ST_SAVE(kRoutine);
    status = 10017;
    return;
  }
  std::string digits = UT_ITOC(number);
  if (fixed_width) {
    const std::size_t width = static_cast<std::size_t>(num_chars);
    if (width == 0) {
      digits.clear();
    } else if (digits.size() > width) {
      overflow = true;
      return;
    } else {
      // Before a minus sign too. No file name is longer than the system's path limit, so the
      // zeros stop there: an absurd width would otherwise build a name of gigabytes.
      const std::size_t padded = std::min<std::size_t>(width, PATH_MAX);
      if (padded > digits.size()) digits.insert(0, padded - digits.size(), '0');
    }
  }
  file_name = std::string(prefix.substr(0, static_cast<std::size_t>(SLEN(prefix)))) + digits +
              std::string(suffix.substr(0, static_cast<std::size_t>(SLEN(suffix))));
  overflow = false;
}
