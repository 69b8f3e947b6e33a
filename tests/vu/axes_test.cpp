// Tick values, axis numbers, the power-of-ten factor, and the texts of a plot.
#include <algorithm>
#include <cmath>
#include <limits>

#include "vu_test_support.h"

using namespace vu_test;

namespace {

void ticks(float min, float max, float& first, float& step, std::int32_t& number,
           std::int32_t& status) {
  status = fresh_status();
  VU_CAL_TICKS(min, max, first, step, number, status);
}

long count(const std::vector<std::string>& texts, const std::string& text) {
  return std::count(texts.begin(), texts.end(), text);
}

}  // namespace

TEST(Ticks, SliceExtentAndShiftedAxis) {
  float first = 0, step = 0;
  std::int32_t number = 0, status = 0;
  // Extent 0..2048: d = 204.8, m = 100, q = 2.048, so steps of 200 from 0, eleven ticks.
  ticks(0.0f, 2048.0f, first, step, number, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(first, 0.0f);
  EXPECT_EQ(step, 200.0f);
  EXPECT_EQ(number, 11);
  // Extent 0.5..2048.5: 0 lies more than 0.2048 below the minimum, so ticks start at 200.
  ticks(0.5f, 2048.5f, first, step, number, status);
  EXPECT_EQ(first, 200.0f);
  EXPECT_EQ(step, 200.0f);
  EXPECT_EQ(number, 10);
  // A first tick only a hair below the minimum is kept.
  ticks(0.01f, 2048.0f, first, step, number, status);
  EXPECT_EQ(first, 0.0f);
}

TEST(Ticks, SmallAndNegativeRanges) {
  float first = 0, step = 0;
  std::int32_t number = 0, status = 0;
  ticks(0.0f, 0.004f, first, step, number, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_FLOAT_EQ(step, 0.0005f);
  EXPECT_EQ(first, 0.0f);
  EXPECT_EQ(number, 9);
  // q = 1.0 gives the power itself; q just above 5.25 gives 10 times it.
  ticks(-50.0f, 50.0f, first, step, number, status);
  EXPECT_EQ(step, 10.0f);
  EXPECT_EQ(first, -50.0f);
  EXPECT_EQ(number, 11);
  ticks(0.0f, 53.0f, first, step, number, status);
  EXPECT_EQ(step, 10.0f);
  EXPECT_EQ(number, 6);
  ticks(-1.0f, 1.0f, first, step, number, status);
  EXPECT_FLOAT_EQ(step, 0.2f);
  EXPECT_EQ(number, 11);
}

TEST(Ticks, EmptyOrUnusableRangeSetsStatus13) {
  float first = 7, step = 7;
  std::int32_t number = 7, status = 0;
  ticks(1.0f, 1.0f, first, step, number, status);
  EXPECT_EQ(status, 140013);
  ticks(2.0f, 1.0f, first, step, number, status);
  EXPECT_EQ(status, 140013);
  ticks(0.0f, std::numeric_limits<float>::infinity(), first, step, number, status);
  EXPECT_EQ(status, 140013);
  ticks(std::nanf(""), 1.0f, first, step, number, status);
  EXPECT_EQ(status, 140013);
  EXPECT_EQ(first, 7.0f);
  EXPECT_EQ(number, 7);
}

TEST(AxisNumbers, DecimalsAndFactorText) {
  std::int32_t status = fresh_status();
  std::int32_t decimals = -1, width = 0;
  VU_CAL_ENUMFIELD(0.0f, 200.0f, decimals, width, status);
  EXPECT_EQ(decimals, 0);
  VU_CAL_ENUMFIELD(0.0f, 0.5f, decimals, width, status);
  EXPECT_EQ(decimals, 1);
  VU_CAL_ENUMFIELD(1.25f, 0.5f, decimals, width, status);  // the first value needs more
  EXPECT_EQ(decimals, 2);
  VU_CAL_ENUMFIELD(1000.1f, 0.1f, decimals, width, status);  // no binary noise digits
  EXPECT_EQ(decimals, 1);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(vu_factor_text(0.001), "*10-3");
  EXPECT_EQ(vu_factor_text(1.0e5), "*105");
  EXPECT_EQ(vu_factor_text(10.0), "*101");
}

// The texts a slice plot draws, read back from a PostScript workstation beside the page.
class PlotTexts : public InTempDir {
 protected:
  void TearDown() override {
    close_graphics();
    InTempDir::TearDown();
  }
  std::vector<std::string> plot_slice(const std::vector<float>& axis, float max_value) {
    std::int32_t status;
    open_graphics({"+PNG"}, status);
    EXPECT_EQ(status, ST_OK);
    open_postscript("plot.ps", status);
    // 64 x 64 pixels over the extent of a 2048 slice; a ramp from 0 to MAX_VALUE.
    std::vector<float> data(64 * 64);
    for (std::size_t i = 0; i < data.size(); ++i) {
      data[i] = max_value * static_cast<float>(i) / static_cast<float>(data.size() - 1);
    }
    VU_PLOT(64, 64, data.data(), axis.data(), axis.data(), 1, 1, 64, 64, "Slice 20", "X-axis",
            "Y-axis", "Absorption", status);
    EXPECT_EQ(status, ST_OK);
    close_postscript(status);
    EXPECT_EQ(status, ST_OK);
    return postscript_texts("plot.ps");
  }
};

TEST_F(PlotTexts, IntegerTicksAndScaledIntensities) {
  std::vector<float> axis(64);
  for (int i = 0; i < 64; ++i) axis[static_cast<std::size_t>(i)] = 32.0f * (i + 0.5f);
  const std::vector<std::string> texts = plot_slice(axis, 0.004f);
  ASSERT_FALSE(texts.empty());
  // Every numbered edge (bottom, left, top, right) shows 0, 200, ..., 2000 as integers.
  for (int value = 0; value <= 2000; value += 200) {
    EXPECT_EQ(count(texts, std::to_string(value)), 4) << value;
  }
  EXPECT_EQ(count(texts, "2200"), 0);
  EXPECT_EQ(count(texts, "Slice 20"), 1);
  EXPECT_EQ(count(texts, "X-axis"), 1);
  EXPECT_EQ(count(texts, "Y-axis"), 1);
  EXPECT_EQ(count(texts, "Absorption"), 1);
  // The colour scale: 0.0 .. 4.0 in steps of 0.5 with the factor written once.
  for (const char* n : {"0.0", "0.5", "1.0", "1.5", "2.0", "2.5", "3.0", "3.5", "4.0"}) {
    EXPECT_EQ(count(texts, n), 1) << n;
  }
  EXPECT_EQ(count(texts, "*10-3"), 1);
  // The y label comes last.
  EXPECT_EQ(texts.back(), "Y-axis");
  // The scale used is kept for inquiry.
  std::int32_t status = fresh_status(), mode = -1;
  float min = 0, max = 0;
  VU_INQ_IMAGESCALE(mode, min, max, status);
  EXPECT_EQ(mode, 0);
  EXPECT_EQ(min, 0.0f);
  EXPECT_EQ(max, 0.004f);
}

TEST_F(PlotTexts, AxisFromOneStartsAt200) {
  std::vector<float> axis(64);
  // Centres 1..2048 in steps of 32.5 would not be integral; use 1 + 32.5 k up to 2048.5 - 16.
  for (int i = 0; i < 64; ++i) axis[static_cast<std::size_t>(i)] = 16.5f + 32.0f * i;
  const std::vector<std::string> texts = plot_slice(axis, 1.0f);
  // Extent 0.5 .. 2048.5: no 0 on the axes, 200 first.
  EXPECT_EQ(count(texts, "0"), 0);
  EXPECT_EQ(count(texts, "200"), 4);
  EXPECT_EQ(VU_XLTICKS.first, 200.0f);
  EXPECT_EQ(VU_XLTICKS.number, 10);
  EXPECT_TRUE(VU_XLTICKS.automatic);
  EXPECT_EQ(count(texts, "2000"), 4);
  // Intensities 0 to 1 need no factor: 0.0, 0.1, ..., 1.0.
  EXPECT_EQ(count(texts, "0.0"), 1);
  EXPECT_EQ(count(texts, "0.3"), 1);
  EXPECT_EQ(count(texts, "1.0"), 1);
  for (const std::string& t : texts) EXPECT_EQ(t.find("*10"), std::string::npos) << t;
}
