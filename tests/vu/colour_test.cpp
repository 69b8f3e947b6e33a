// Colour tables, the LUT choice and the colour codes.
#include <array>
#include <cmath>
#include <set>

#include "vu_test_support.h"

using namespace vu_test;

namespace {

using Table = std::array<float, 256 * 3>;

Table compute(std::int32_t lut, std::int32_t first, std::int32_t last, std::int32_t levels,
              std::int32_t& status) {
  Table table{};
  std::int32_t entries = 0;
  const float* control = vu_control_table(lut, entries);
  VU_CAL_COLOURTABLE(entries, entries, control, first, last, levels, 256, table.data(), status);
  return table;
}

float red(const Table& t, int index) { return t[static_cast<std::size_t>(3 * index)]; }

}  // namespace

TEST(ColourTable, Lut4With200LevelsRunsFromNearWhiteToBlack) {
  std::int32_t status = fresh_status();
  const Table t = compute(4, 9, 255, 200, status);
  ASSERT_EQ(status, ST_OK);
  // The highest index always gets the last control colour.
  EXPECT_EQ(red(t, 255), 0.0f);
  EXPECT_EQ(t[3 * 255 + 1], 0.0f);
  EXPECT_EQ(t[3 * 255 + 2], 0.0f);
  // The first index gets level 1, not level 0: a grey of 1 - 1/199 in each component.
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(t[3 * 9 + c], 1.0f - 1.0f / 199.0f, 1e-6f);
  EXPECT_NEAR(red(t, 9), 0.99497f, 1e-5f);
  // Indices 10 and 11 share level 2.
  EXPECT_EQ(red(t, 10), red(t, 11));
  EXPECT_LT(red(t, 10), red(t, 9));
  // 247 indices, 199 distinct greys, pure white never used, never brighter going up.
  std::set<float> greys;
  for (int i = 9; i <= 255; ++i) {
    greys.insert(red(t, i));
    EXPECT_EQ(t[static_cast<std::size_t>(3 * i + 1)], red(t, i));
    EXPECT_LT(red(t, i), 1.0f);
    if (i > 9) {
      EXPECT_LE(red(t, i), red(t, i - 1));
    }
  }
  EXPECT_EQ(greys.size(), 199u);
  // Nothing outside FIRST..LAST is written.
  EXPECT_EQ(red(t, 8), 0.0f);
}

TEST(ColourTable, Lut3WithTwoLevelsSplitsAtHalf) {
  std::int32_t status = fresh_status();
  const Table t = compute(3, 9, 255, 2, status);
  ASSERT_EQ(status, ST_OK);
  // n = 247: i / n < 0.5 up to i = 123 (index 131) is black, from i = 124 on white.
  EXPECT_EQ(red(t, 9), 0.0f);
  EXPECT_EQ(red(t, 131), 0.0f);
  EXPECT_EQ(red(t, 132), 1.0f);
  EXPECT_EQ(red(t, 255), 1.0f);
  // With an even count an exact half rounds up to white.
  const Table even = compute(3, 0, 9, 2, status);
  EXPECT_EQ(red(even, 3), 0.0f);
  EXPECT_EQ(red(even, 4), 1.0f);
}

TEST(ColourTable, InterpolatesBetweenControlColours) {
  std::int32_t status = fresh_status();
  // LUT 1 over 6 indices with 6 levels lands exactly on the control colours 2..6 and the last.
  const Table t = compute(1, 1, 5, 5, status);
  ASSERT_EQ(status, ST_OK);
  // i = 5 of 5 is the last control colour (red); i = 1 is level 1 of 4: position 2.25.
  EXPECT_EQ(red(t, 5), 1.0f);
  EXPECT_EQ(t[3 * 5 + 1], 0.0f);
  // Between (0,0,1) and (0,1,1) a quarter of the way: green 0.25, blue 1.
  EXPECT_NEAR(t[3 * 1 + 1], 0.25f, 1e-6f);
  EXPECT_NEAR(t[3 * 1 + 2], 1.0f, 1e-6f);
}

TEST(ColourTable, OneControlEntryAndOneLevelGiveOneColour) {
  std::int32_t status = fresh_status();
  const float violet[3] = {0.8666f, 0.235f, 1.0f};
  Table t{};
  VU_CAL_COLOURTABLE(1, 1, violet, 9, 255, 200, 256, t.data(), status);
  ASSERT_EQ(status, ST_OK);
  for (int i = 9; i <= 255; ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(t[static_cast<std::size_t>(3 * i + c)], violet[c]);
  }
  // A single level is the last control colour everywhere (LUT 2 ends in white).
  const Table single = compute(2, 9, 255, 1, status);
  ASSERT_EQ(status, ST_OK);
  for (int i = 9; i <= 255; ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(single[static_cast<std::size_t>(3 * i + c)], 1.0f);
  }
}

TEST(ColourTable, BadArgumentsLeaveTheTableAlone) {
  std::int32_t entries = 0;
  const float* control = vu_control_table(2, entries);
  ASSERT_EQ(entries, 13);
  struct Case {
    std::int32_t max_entries, num_entries, first, last, levels, max_colours, expected;
  };
  const Case cases[] = {
      {0, 1, 9, 255, 200, 256, 140001},    // no control table
      {13, 0, 9, 255, 200, 256, 140005},   // no entries used
      {13, 14, 9, 255, 200, 256, 140005},  // more entries than the table has
      {13, 13, 9, 8, 200, 256, 140013},    // empty index range
      {13, 13, 9, 255, 0, 256, 140017},    // no levels
      {13, 13, 9, 256, 200, 256, 140017},  // beyond the table
      {13, 13, -1, 255, 200, 256, 140017},
  };
  for (const Case& c : cases) {
    std::int32_t status = fresh_status();
    Table t{};
    t.fill(0.5f);
    VU_CAL_COLOURTABLE(c.max_entries, c.num_entries, control, c.first, c.last, c.levels,
                       c.max_colours, t.data(), status);
    EXPECT_EQ(status, c.expected);
    EXPECT_EQ(st_position().substr(0, 35), "Subroutine VU_CAL_COLOURTABLE V0.1 ");
    for (float v : t) ASSERT_EQ(v, 0.5f);
  }
}

TEST(ColourTable, ControlTablesHaveTheirListedSizes) {
  const int sizes[12] = {0, 6, 13, 2, 2, 8, 12, 63, 5, 9, 13, 10};
  for (int lut = 0; lut <= 11; ++lut) {
    std::int32_t entries = -1;
    const float* control = vu_control_table(lut, entries);
    EXPECT_EQ(entries, sizes[lut]) << "LUT " << lut;
    EXPECT_EQ(control == nullptr, lut == 0);
  }
  std::int32_t entries = 0;
  // LUT 7: the grey ramp ends the table at full white; LUT 10 is LUT 2 reversed.
  const float* lut7 = vu_control_table(7, entries);
  EXPECT_EQ(lut7[3 * 62], 1.0f);
  EXPECT_EQ(lut7[3 * 9 + 0], 0.0f);      // red ramp starts black
  EXPECT_EQ(lut7[3 * 10 + 0], 0.125f);   // then steps by 1/8
  const float* lut2 = vu_control_table(2, entries);
  const float* lut10 = vu_control_table(10, entries);
  for (int i = 0; i < 13; ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(lut10[3 * i + c], lut2[3 * (12 - i) + c]);
  }
}

TEST(LutChoice, RangeCheckAndBareStatus) {
  std::int32_t status = fresh_status();
  VU_SET_LUTCHOICE(11, 5, status);
  std::int32_t lut = 0, levels = 0;
  VU_INQ_LUTCHOICE(lut, levels, status);
  EXPECT_EQ(lut, 11);
  EXPECT_EQ(levels, 5);
  VU_SET_LUTCHOICE(12, 5, status);
  EXPECT_EQ(status, 17);  // no module offset for this one
  status = fresh_status();
  VU_SET_LUTCHOICE(-1, 5, status);
  EXPECT_EQ(status, 17);
  status = fresh_status();
  VU_INQ_LUTCHOICE(lut, levels, status);
  EXPECT_EQ(lut, 11);
}

class ColoursOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    std::int32_t status;
    open_graphics({"+PNG"}, status);
    ASSERT_EQ(status, ST_OK);
  }
  void TearDown() override { close_graphics(); }
};

TEST_F(ColoursOpen, DefaultChoiceAndColourCodes) {
  std::int32_t status = fresh_status();
  std::int32_t lut = 0, levels = 0;
  VU_INQ_LUTCHOICE(lut, levels, status);
  EXPECT_EQ(lut, 2);
  EXPECT_EQ(levels, 247);
  // Codes 1..8 land on the eight basic colours from the first basic index (1), 13..15 forced.
  for (int code = 1; code <= 8; ++code) EXPECT_EQ(vu_colour_index(code), code);
  EXPECT_EQ(vu_colour_index(13), 0);
  EXPECT_EQ(vu_colour_index(14), 1);
  EXPECT_EQ(vu_colour_index(15), -1);
  // Orange, grey, brown and violet go to the nearest colour loaded at open, in the image range.
  for (int code = 9; code <= 12; ++code) {
    EXPECT_GE(vu_colour_index(code), 9) << "code " << code;
    EXPECT_LE(vu_colour_index(code), 255) << "code " << code;
  }
  // Violet is LUT 2's eleventh control colour, so some image index holds it exactly.
  const float* violet = DV_DB_COLOURS.table[vu_colour_index(12)];
  EXPECT_NEAR(violet[0], 0.8666f, 1e-6f);
  EXPECT_NEAR(violet[1], 0.235f, 1e-6f);
  // The reference text was measured in the window's font.
  EXPECT_GT(VU_DOC_CONTROL.text_width, 0.0f);
}

TEST_F(ColoursOpen, ProgramsTableIsLoadedIntoTheDevice) {
  std::int32_t status = fresh_status();
  VU_SET_LUTCHOICE(4, 200, status);
  VU_COLOURS(status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(DV_DB_COLOURS.table[255][0], 0.0f);
  EXPECT_NEAR(DV_DB_COLOURS.table[9][1], 0.99497f, 1e-5f);
  EXPECT_EQ(DV_DB_COLOURS.table[9][0], VU_COM_COLOURTABLE[9][0]);
  // The basic colours below the image range are untouched.
  EXPECT_EQ(DV_DB_COLOURS.table[3][0], 1.0f);
  EXPECT_EQ(DV_DB_COLOURS.table[3][1], 0.0f);
}

TEST_F(ColoursOpen, Lut0LoadsTheKeptTable) {
  std::int32_t status = fresh_status();
  // As at the start of a run: nothing computed yet, so LUT 0 loads black.
  for (auto& rgb : VU_COM_COLOURTABLE) rgb[0] = rgb[1] = rgb[2] = 0.0f;
  VU_SET_LUTCHOICE(0, 200, status);
  VU_COLOURS(status);
  ASSERT_EQ(status, ST_OK);
  for (int i = 9; i <= 255; ++i) {
    for (int c = 0; c < 3; ++c) ASSERT_EQ(DV_DB_COLOURS.table[i][c], 0.0f) << i;
  }
  // After a real table, LUT 0 keeps it.
  VU_SET_LUTCHOICE(3, 2, status);
  VU_COLOURS(status);
  VU_SET_LUTCHOICE(0, 7, status);
  VU_COLOURS(status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(DV_DB_COLOURS.table[255][0], 1.0f);
  EXPECT_EQ(DV_DB_COLOURS.table[9][0], 0.0f);
}
