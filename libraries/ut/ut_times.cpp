// Elapsed and processor time.
#include <chrono>
#include <ctime>

#include "ut.h"

namespace {
std::function<double()> g_clock;  // replaced by tests; empty: the real monotonic clock
bool g_started = false;
double g_origin = 0.0;  // the clock's reading at the first call of the run

double monotonic_seconds() {
  if (g_clock) return g_clock();
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}
}  // namespace

void ut_set_elapsed_clock(std::function<double()> clock) {
  g_clock = std::move(clock);
  g_started = false;
}

void UT_TIMES(float& elapsed, float& cpu, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_TIMES V0.1 ")) return;
  const std::clock_t ticks = std::clock();
  if (ticks == static_cast<std::clock_t>(-1)) {
    ST_SAVE("Subroutine UT_TIMESC V0.1 ");
    status = 19999;
    return;
  }
  // Seconds since the first call, from a clock that only goes forward and counts fractions of
  // a second: differences of two readings are right across midnight, a change of the system
  // time, and for phases shorter than a second.
  const double now = monotonic_seconds();
  if (!g_started) {
    g_started = true;
    g_origin = now;
  }
  elapsed = static_cast<float>(now - g_origin);
  cpu = static_cast<float>(static_cast<double>(ticks) / CLOCKS_PER_SEC);
}
