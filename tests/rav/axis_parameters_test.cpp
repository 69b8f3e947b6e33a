// The keywords of the rotation axis: ROTATION_AXIS_POSITION = AUTO, AXIS_SWEEP = FIRST LAST STEP
// and HALF_ACQUISITION, as lines and as the checks of a run.
#include <gtest/gtest.h>

#include <string>

#include "rav.h"
#include "rav_drivers.h"
#include "ut.h"

namespace {

struct Outcome {
  ParameterSet parameters;
  std::int32_t retstat = 0;
  bool usable = true;
  std::string output;
};

Outcome parse(const std::string& line, ParameterSet p = {}) {
  Outcome o;
  o.parameters = std::move(p);
  std::int32_t status = ST_OK;
  ST_DEF_SYSTEM(status);
  testing::internal::CaptureStdout();
  RAV_PARSE_LINE(line, o.retstat, o.parameters, status);
  std::fflush(stdout);
  o.output = testing::internal::GetCapturedStdout();
  return o;
}

TEST(AxisKeywords, AutoAndANumberEachReplaceTheOther) {
  Outcome o = parse("ROTATION_AXIS_POSITION = AUTO");
  EXPECT_TRUE(o.parameters.ROTATION_AXIS_AUTO);
  EXPECT_EQ(o.parameters.ROTATION_AXIS_POSITION, -1000000.0F);
  EXPECT_TRUE(parse("ROTATION_AXIS_POSITION = auto").parameters.ROTATION_AXIS_AUTO);
  o = parse("ROTATION_AXIS_POSITION = 511.25", o.parameters);  // the later line wins
  EXPECT_FALSE(o.parameters.ROTATION_AXIS_AUTO);
  EXPECT_EQ(o.parameters.ROTATION_AXIS_POSITION, 511.25F);
  o = parse("ROTATION_AXIS_POSITION = AUTOMATIC");
  EXPECT_EQ(o.retstat, 1);
  EXPECT_NE(o.output.find("ERROR: Problem interpreting value associated keyword: "
                          "ROTATION_AXIS_POSITION"),
            std::string::npos);
  EXPECT_TRUE(parse("HALF_ACQUISITION = YES").parameters.HALF_ACQUISITION);
}

TEST(AxisKeywords, ASweepTakesThreeValues) {
  Outcome o = parse("AXIS_SWEEP = 500 524.5 0.25");
  EXPECT_EQ(o.retstat, 0);
  EXPECT_TRUE(o.parameters.AXIS_SWEEP.given);
  EXPECT_EQ(o.parameters.AXIS_SWEEP.FIRST, 500.0F);
  EXPECT_EQ(o.parameters.AXIS_SWEEP.LAST, 524.5F);
  EXPECT_EQ(o.parameters.AXIS_SWEEP.STEP, 0.25F);
  o = parse("AXIS_SWEEP = 500 524.5");
  EXPECT_EQ(o.retstat, 1);
  EXPECT_FALSE(o.parameters.AXIS_SWEEP.given);
  EXPECT_NE(o.output.find("ERROR: AXIS_SWEEP needs three values"), std::string::npos) << o.output;
  o = parse("AXIS_SWEEP = 500 x 0.5");
  EXPECT_EQ(o.retstat, 1);
  EXPECT_NE(o.output.find("       Value = x"), std::string::npos) << o.output;
  EXPECT_FALSE(parse("AXIS_SWEEP = N.A.").parameters.AXIS_SWEEP.given);
}

// A run of 100 bins and 360 projections over a half turn (0.5 degrees each), as read.
ParameterSet run_parameters() {
  ParameterSet p;
  p.NUM_FIRST_IMAGE = 1;
  p.NUM_LAST_IMAGE = 360;
  p.FILE_INTERVAL = 1;
  p.NUM_IMAGE_1 = 100;
  p.NUM_IMAGE_2 = 10;
  p.IMAGE_PIXEL_SIZE_1 = p.IMAGE_PIXEL_SIZE_2 = 1.0e-5F;
  p.ANGLE_OFFSET = 0.0F;
  p.ANGLE_BETWEEN_PROJECTIONS = 0.5F * 0.017453292F;
  p.ROTATION_AXIS_POSITION = 50.0F;
  p.OVERSAMPLING_FACTOR = 0;
  p.START_VOXEL_1 = p.START_VOXEL_2 = p.START_VOXEL_3 = 1;
  p.END_VOXEL_1 = p.END_VOXEL_2 = 100;
  p.END_VOXEL_3 = 10;
  return p;
}

Outcome check(const ParameterSet& p) {
  Outcome o;
  std::int32_t status = ST_OK;
  ST_DEF_SYSTEM(status);
  testing::internal::CaptureStdout();
  o.usable = RAV_CHECK_PARAMETERS(p, false, status);
  std::fflush(stdout);
  o.output = testing::internal::GetCapturedStdout();
  return o;
}

TEST(AxisKeywords, TheChecksOfARun) {
  ParameterSet p = run_parameters();
  EXPECT_TRUE(check(p).usable);
  // AUTO and a sweep need no axis.
  p.ROTATION_AXIS_POSITION = -1000000.0F;
  p.ROTATION_AXIS_AUTO = true;
  EXPECT_TRUE(check(p).usable);
  p.ROTATION_AXIS_AUTO = false;
  p.AXIS_SWEEP = {true, 45.0F, 55.0F, 0.5F};
  EXPECT_TRUE(check(p).usable);
  for (const auto& [sweep, message] : std::vector<std::pair<AxisSweep, std::string>>{
           {{true, 45.0F, 55.0F, 0.0F}, "is not a sweep"},
           {{true, 55.0F, 45.0F, 1.0F}, "is not a sweep"},
           {{true, 0.0F, 99.0F, 0.01F}, "trial axes, more than 1000"},
           {{true, 45.0F, 99.6F, 0.5F}, "AXIS_SWEEP = 99.6 leaves no reconstruction circle"}}) {
    p.AXIS_SWEEP = sweep;
    const Outcome o = check(p);
    EXPECT_FALSE(o.usable);
    EXPECT_NE(o.output.find(message), std::string::npos) << o.output;
  }
  // Half acquisition needs a partner half a turn later for each projection of a half turn.
  p = run_parameters();
  p.HALF_ACQUISITION = true;
  Outcome o = check(p);
  EXPECT_FALSE(o.usable);
  EXPECT_NE(o.output.find("ERROR: HALF_ACQUISITION = YES: projection 1 has no partner"),
            std::string::npos)
      << o.output;
  p.ANGLE_BETWEEN_PROJECTIONS = 1.0F * 0.017453292F;  // 360 projections over a whole turn
  p.ROTATION_AXIS_POSITION = 94.0F;
  EXPECT_TRUE(check(p).usable);
  p.AXIS_SWEEP = {true, 40.0F, 60.0F, 1.0F};
  o = check(p);
  EXPECT_NE(o.output.find("crosses the centre of the detector"), std::string::npos) << o.output;
  p.AXIS_SWEEP = {};
  p.ROTATION_AXIS_AUTO = true;
  o = check(p);
  EXPECT_NE(o.output.find("AUTO cannot find the axis of a half-acquisition scan"),
            std::string::npos)
      << o.output;
}

}  // namespace
