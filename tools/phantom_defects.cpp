// Defects of real scans in the synthetic scan: dead and hot detector pixels, detector columns
// whose gain in the projections differs from the flat field's (they make rings), and a head
// wider than the field of view.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "phantom.h"

namespace {

constexpr double kHotLevel = 1.5;  // a hot pixel reads this many open beams over the background

// The options that count defects (--gain-error and --sample-width take other numbers).
struct CountOption {
  const char* name;
  int PhantomOptions::*field;
};
constexpr CountOption kCounts[] = {{"--dead-pixels", &PhantomOptions::dead_pixels},
                                   {"--hot-pixels", &PhantomOptions::hot_pixels},
                                   {"--gain-columns", &PhantomOptions::gain_columns}};
constexpr int kMaxDefects = 10000;

bool read_number(const std::string& text, double low, double high, double& value) {
  char* end = nullptr;
  const double parsed = std::strtod(text.c_str(), &end);
  if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(parsed) ||
      parsed < low || parsed > high) {
    return false;
  }
  value = parsed;
  return true;
}

// COUNT distinct positions drawn from 0 .. RANGE - 1 (all of them when COUNT >= RANGE).
std::vector<int> distinct(std::mt19937_64& random, int count, int range) {
  std::vector<int> all(static_cast<std::size_t>(std::max(range, 0)));
  for (int i = 0; i < range; ++i) all[i] = i;
  std::shuffle(all.begin(), all.end(), random);
  all.resize(static_cast<std::size_t>(std::clamp(count, 0, range)));
  return all;
}

}  // namespace

bool phantom_is_defect_option(const std::string& name) {
  for (const CountOption& option : kCounts) {
    if (name == option.name) return true;
  }
  return name == "--gain-error" || name == "--sample-width";
}

bool phantom_defect_option(const std::string& name, const std::string& value,
                           PhantomOptions& options, std::string& error) {
  double number = 0;
  for (const CountOption& option : kCounts) {
    if (name != option.name) continue;
    if (!read_number(value, 0, kMaxDefects, number) || number != std::floor(number)) {
      error = "Option " + name + " needs a whole number from 0 to " +
              std::to_string(kMaxDefects) + ", not: " + value;
      return false;
    }
    options.*option.field = static_cast<int>(number);
    return true;
  }
  const bool gain = name == "--gain-error";
  if (!read_number(value, gain ? -50.0 : 0.0, gain ? 50.0 : 10.0, number)) {
    error = "Option " + name + " needs a number from " + (gain ? "-50 to 50" : "0 to 10") +
            ", not: " + value;
    return false;
  }
  (gain ? options.gain_error : options.sample_width) = number;
  return true;
}

std::vector<std::string> phantom_defects_help() {
  return {
      "  --dead-pixels N      N detector pixels that see no light (they read the background),",
      "                       in the flat field and every projection",
      "  --hot-pixels N       N pixels stuck far above the open beam, flat field included",
      "  --gain-columns N     N detector columns whose gain in the projections differs from the",
      "                       flat field's by --gain-error percent (rings), alternately up, down",
      "  --gain-error PCT     that difference in percent (2)",
      "  --sample-width F     the head's widest extent as a fraction of the detector's width",
      "                       (1.1: 10 % wider than the field of view; default: 70 % of circle)",
  };
}

PhantomDefects phantom_defects(const PhantomOptions& o) {
  PhantomDefects d;
  d.bins = o.bins;
  d.kinds.assign(static_cast<std::size_t>(o.bins) * o.slices, PhantomDefects::GOOD);
  d.gains.assign(static_cast<std::size_t>(o.bins), 1.0);
  // Positions among the middle three quarters of the bins, from a generator of their own so
  // that the noise of a scan does not depend on its defects.
  std::mt19937_64 random(o.seed ^ 0x5DEECE66DULL);
  const int first = o.bins / 8, width = o.bins - 2 * first;
  const std::vector<int> pixels = distinct(random, o.dead_pixels + o.hot_pixels, width * o.slices);
  for (std::size_t n = 0; n < pixels.size(); ++n) {
    const int k = first + pixels[n] % width + 1, s = pixels[n] / width + 1;
    d.kinds[(k - 1) + static_cast<std::size_t>(s - 1) * o.bins] =
        static_cast<int>(n) < o.dead_pixels ? PhantomDefects::DEAD : PhantomDefects::HOT;
  }
  const std::vector<int> columns = distinct(random, o.gain_columns, width);
  for (std::size_t n = 0; n < columns.size(); ++n) {
    const double sign = n % 2 == 0 ? 1.0 : -1.0;
    d.gains[static_cast<std::size_t>(first + columns[n])] = 1.0 + sign * o.gain_error / 100.0;
  }
  return d;
}

double phantom_defective_value(PhantomDefects::Kind kind, double dark, double good) {
  switch (kind) {
    case PhantomDefects::DEAD:
      return dark;
    case PhantomDefects::HOT:
      return dark + kHotLevel * kPhantomOpen;
    case PhantomDefects::GOOD:
      break;
  }
  return good;
}

