// The control colours of the eleven colour tables, from the lowest data values to the highest.
#include <array>

#include "vu_internal.h"

namespace {

using Rgb = std::array<float, 3>;

constexpr Rgb kLut1[] = {{1, 0, 1}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
constexpr Rgb kLut2[] = {{0, 0, 0},
                         {0, 0, 0.6f},
                         {0, 0, 1},
                         {0.78f, 0.78f, 1},
                         {0.545f, 0.87f, 0.219f},
                         {0.757f, 0.925f, 0.384f},
                         {1, 1, 0.475f},
                         {1, 0.77f, 0.36f},
                         {1, 0.749f, 0},
                         {0.78f, 0.509f, 0},
                         {0.8666f, 0.235f, 1},
                         {0.8666f, 0.61f, 1},
                         {1, 1, 1}};
constexpr Rgb kLut3[] = {{0, 0, 0}, {1, 1, 1}};
constexpr Rgb kLut4[] = {{1, 1, 1}, {0, 0, 0}};
constexpr Rgb kLut5[] = {{0, 0, 0}, {1, 0, 1}, {1, 0, 0}, {1, 1, 0},
                         {0, 1, 0}, {0, 1, 1}, {0, 0, 1}, {1, 1, 1}};
constexpr Rgb kLut6[] = {{0, 0, 0},       {0.35f, 0, 0.35f},       {0, 0, 0.4f},
                         {0, 0, 0.65f},   {0, 0.5f, 0.5f},         {0, 0.5f, 0.1f},
                         {0.08f, 0.65f, 0.08f}, {0.8f, 0.32f, 0.32f}, {0.9f, 0, 0},
                         {1, 0.57f, 0.14f}, {1, 1, 0},             {1, 1, 1}};
constexpr Rgb kLut8[] = {{0, 0, 0}, {0.9f, 0, 0}, {1, 0.57f, 0.14f}, {1, 1, 0}, {1, 1, 1}};
constexpr Rgb kLut9[] = {{0, 0, 0},    {0.5176f, 0, 0.5176f}, {0, 0, 0.6f},
                         {0, 0.5f, 0}, {0, 1, 0},             {1, 1, 0},
                         {1, 0, 0},    {1, 0.3333f, 0.3333f}, {1, 1, 1}};
constexpr Rgb kLut11[] = {{0, 0, 0},        {0.35f, 0, 0.35f}, {0.5176f, 0, 0.5176f},
                          {0.7f, 0, 0.7f},  {1, 0, 0.5f},      {1, 0, 0},
                          {1, 0.749f, 0},   {1, 0.77f, 0.36f}, {1, 1, 0},
                          {1, 1, 1}};

// LUT 7: seven ramps of nine entries from black to full magenta, red, yellow, green, cyan, blue
// and grey.
constexpr std::array<Rgb, 63> make_lut7() {
  constexpr Rgb kFull[7] = {{1, 0, 1}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                            {0, 1, 1}, {0, 0, 1}, {1, 1, 1}};
  std::array<Rgb, 63> table{};
  for (int ramp = 0; ramp < 7; ++ramp) {
    for (int step = 0; step < 9; ++step) {
      const float k = 0.125f * static_cast<float>(step);
      for (int c = 0; c < 3; ++c) table[ramp * 9 + step][c] = kFull[ramp][c] * k;
    }
  }
  return table;
}
constexpr std::array<Rgb, 63> kLut7 = make_lut7();

// LUT 10: LUT 2 from white to black.
constexpr std::array<Rgb, 13> make_lut10() {
  std::array<Rgb, 13> table{};
  for (int i = 0; i < 13; ++i) table[i] = kLut2[12 - i];
  return table;
}
constexpr std::array<Rgb, 13> kLut10 = make_lut10();

template <std::size_t N>
const float* first_float(const Rgb (&table)[N], std::int32_t& entries) {
  entries = static_cast<std::int32_t>(N);
  return table[0].data();
}
template <std::size_t N>
const float* first_float(const std::array<Rgb, N>& table, std::int32_t& entries) {
  entries = static_cast<std::int32_t>(N);
  return table[0].data();
}

}  // namespace

const float* vu_control_table(std::int32_t lut, std::int32_t& entries) {
  // std::array<float, 3> has no padding, so each table is 3 * entries consecutive floats.
  static_assert(sizeof(Rgb) == 3 * sizeof(float));
  switch (lut) {
    case 1: return first_float(kLut1, entries);
    case 2: return first_float(kLut2, entries);
    case 3: return first_float(kLut3, entries);
    case 4: return first_float(kLut4, entries);
    case 5: return first_float(kLut5, entries);
    case 6: return first_float(kLut6, entries);
    case 7: return first_float(kLut7, entries);
    case 8: return first_float(kLut8, entries);
    case 9: return first_float(kLut9, entries);
    case 10: return first_float(kLut10, entries);
    case 11: return first_float(kLut11, entries);
    default: entries = 0; return nullptr;
  }
}
