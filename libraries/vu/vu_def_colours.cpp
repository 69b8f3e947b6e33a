// The fifteen colour codes with which frames, texts and backgrounds are drawn.
#include "dv.h"
#include "vu_internal.h"

void VU_DEF_COLOURS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_DEF_COLOURS V0.4 ";
  if (st_bad(status, kRoutine)) return;
  constexpr float kColours[VU_NUM_COLOUR_CODES][3] = {
      {0, 0, 0},              // 1 black
      {1, 1, 1},              // 2 white
      {1, 0, 0},              // 3 red
      {0, 1, 0},              // 4 green
      {0, 0, 1},              // 5 blue
      {1, 1, 0},              // 6 yellow
      {1, 0, 1},              // 7 magenta
      {0, 1, 1},              // 8 cyan
      {1, 0.749f, 0},         // 9 orange
      {0.5f, 0.5f, 0.5f},     // 10 grey
      {0.639f, 0.349f, 0},    // 11 brown
      {0.8666f, 0.235f, 1},   // 12 violet
      {0, 0, 0},              // 13 device index 0
      {1, 1, 1},              // 14 device index 1
      {1, 1, 1},              // 15 inverse video
  };
  for (int code = 0; code < VU_NUM_COLOUR_CODES; ++code) {
    for (int c = 0; c < 3; ++c) VU_DB_COLOURS.rgb[code][c] = kColours[code][c];
  }
  VU_CAL_COLOURS(status);
  if (st_bad(status, kRoutine)) return;
}

void VU_CAL_COLOURS(std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine VU_CAL_COLOURSV0.3 ";
  if (st_bad(status, kRoutine)) return;
  for (int code = 0; code < VU_NUM_COLOUR_CODES; ++code) {
    const float* rgb = VU_DB_COLOURS.rgb[code];
    DV_BESTCOLOUR(rgb[0], rgb[1], rgb[2], VU_DB_COLOURS.index[code], status);
    if (st_bad(status, kRoutine)) return;
  }
  VU_DB_COLOURS.index[12] = 0;
  VU_DB_COLOURS.index[13] = 1;
  VU_DB_COLOURS.index[14] = -1;
}

std::int32_t vu_colour_index(std::int32_t code) {
  if (code < 1 || code > VU_NUM_COLOUR_CODES) code = 1;
  return VU_DB_COLOURS.index[code - 1];
}
