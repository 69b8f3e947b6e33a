// Elapsed and processor time.
#include <ctime>
#include <optional>

#include "ut.h"

namespace {
std::function<std::tm()> g_clock;       // replaced by tests; empty: the real local clock
std::optional<std::int64_t> g_first_day;  // day number of the first call of the run

// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t day_number(std::int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const std::int64_t year_of_era = year - era * 400;
  const std::int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t day_of_era =
      year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

bool local_time(std::tm& now) {
  if (g_clock) {
    now = g_clock();
    return true;
  }
  const std::time_t seconds = std::time(nullptr);
  return seconds != static_cast<std::time_t>(-1) && localtime_r(&seconds, &now) != nullptr;
}
}  // namespace

void ut_set_local_clock(std::function<std::tm()> clock) {
  g_clock = std::move(clock);
  g_first_day.reset();
}

void UT_TIMES(float& elapsed, float& cpu, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_TIMES V0.1 ")) return;
  std::tm now{};
  const std::clock_t ticks = std::clock();
  if (!local_time(now) || ticks == static_cast<std::clock_t>(-1)) {
    ST_SAVE("Subroutine UT_TIMESC V0.1 ");
    status = 19999;
    return;
  }
  // Seconds since midnight, plus a day for every midnight since the first call, so that the
  // difference of two readings stays right across midnight.
  const std::int64_t today = day_number(now.tm_year + 1900LL, now.tm_mon + 1, now.tm_mday);
  if (!g_first_day) g_first_day = today;
  const std::int64_t seconds = (today - *g_first_day) * 86400 + now.tm_hour * 3600LL +
                               now.tm_min * 60LL + now.tm_sec;
  elapsed = static_cast<float>(seconds);
  cpu = static_cast<float>(static_cast<double>(ticks) / CLOCKS_PER_SEC);
}
