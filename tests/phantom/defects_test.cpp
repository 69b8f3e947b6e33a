// The defects of real scans in the synthetic scan: their options, and the images that carry
// them (dead and hot pixels in the flat field and every projection, gain errors only in the
// projections), against the same scan without them.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/files.h"
#include "phantom.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace {

namespace fs = std::filesystem;

TEST(PhantomDefectOptions, AcceptedAndRefused) {
  PhantomOptions o;
  std::string error;
  ASSERT_TRUE(phantom_parse_options({"--dead-pixels", "3", "--hot-pixels=2", "--gain-columns",
                                     "4", "--gain-error", "-1.5", "--sample-width", "1.1",
                                     "--out", "d"},
                                    o, error))
      << error;
  EXPECT_EQ(o.dead_pixels, 3);
  EXPECT_EQ(o.hot_pixels, 2);
  EXPECT_EQ(o.gain_columns, 4);
  EXPECT_DOUBLE_EQ(o.gain_error, -1.5);
  EXPECT_DOUBLE_EQ(o.sample_width, 1.1);
  PhantomOptions bad;
  EXPECT_FALSE(phantom_parse_options({"--out", "d", "--dead-pixels", "2.5"}, bad, error));
  EXPECT_EQ(error, "Option --dead-pixels needs a whole number from 0 to 10000, not: 2.5");
}

// Every image of a 32-bin scan, as floats, with and without defects.
class PhantomDefectImages : public testing::Test {
 protected:
  void SetUp() override {
    std::int32_t status = ST_OK;
    ST_DEF_SYSTEM(status);
    dir_ = test_support::test_directory("rav_phantom_defects");
  }
  void TearDown() override { fs::remove_all(dir_); }

  PhantomOptions write(const std::string& name, std::vector<std::string> args) {
    args.insert(args.end(), {"--bins", "32", "--projections", "6", "--slices", "3", "--float",
                             "--out", (dir_ / name).string()});
    PhantomOptions o;
    std::string error;
    EXPECT_TRUE(phantom_parse_options(args, o, error)) << error;
    EXPECT_TRUE(phantom_write_scan(o));
    return o;
  }

  std::vector<float> image(const std::string& scan, const std::string& file) {
    std::vector<float> data(32 * 3);
    std::int32_t status = ST_OK, retstat = -1, xnum = 0, ynum = 0;
    RAV_IN_ZELFA(32, 3, 1, 1, 32, 3, (dir_ / scan / file).string(), retstat, xnum, ynum, data,
                 status);
    EXPECT_EQ(retstat, 0);
    return data;
  }

  fs::path dir_;
};

TEST_F(PhantomDefectImages, DefectsChangeOnlyTheirPixels) {
  write("clean", {});
  const PhantomOptions o =
      write("defects", {"--dead-pixels", "2", "--hot-pixels", "1", "--gain-columns", "2"});
  const PhantomDefects d = phantom_defects(o);
  int dead = 0, hot = 0, columns = 0;
  for (int k = 1; k <= 32; ++k) {
    columns += d.gains[k - 1] != 1.0 ? 1 : 0;
    for (int s = 1; s <= 3; ++s) {
      dead += d.kind(k, s) == PhantomDefects::DEAD ? 1 : 0;
      hot += d.kind(k, s) == PhantomDefects::HOT ? 1 : 0;
    }
  }
  EXPECT_EQ(dead, 2);
  EXPECT_EQ(hot, 1);
  EXPECT_EQ(columns, 2);

  const std::vector<float> dark = image("clean", "background.zlf");
  EXPECT_EQ(image("defects", "background.zlf"), dark);
  for (const std::string file : {"flat.zlf", "proj_0001.zlf", "proj_0004.zlf"}) {
    SCOPED_TRACE(file);
    const bool flat = file == "flat.zlf";
    const std::vector<float> good = image("clean", file), bad = image("defects", file);
    for (int s = 1; s <= 3; ++s) {
      for (int k = 1; k <= 32; ++k) {
        const std::size_t i = (k - 1) + (s - 1) * 32;
        const PhantomDefects::Kind kind = d.kind(k, s);
        const double gain = flat ? 1.0 : d.gains[k - 1];
        const double signal = gain * (good[i] - dark[i]);
        const double expected = kind == PhantomDefects::DEAD  ? dark[i]
                                : kind == PhantomDefects::HOT ? dark[i] + 1.5 * kPhantomOpen
                                                               : dark[i] + signal;
        EXPECT_NEAR(bad[i], expected, 1e-3 * expected) << k << ", " << s;
      }
    }
  }
}

}  // namespace
