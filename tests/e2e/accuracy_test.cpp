// Whole runs with the options for real scans: dead and hot pixels found in the flat field and
// replaced, the filter, padding and ring options alike from projections and from stored
// sinograms, and the refusal of values that cannot be used.
#include <gtest/gtest.h>

#include <cmath>

#include "e2e_support.h"

namespace {

using e2e::fs::path;
using test_support::RunResult;

class Accuracy : public testing::Test {
 protected:
  void SetUp() override { root_ = test_support::test_directory("rav_accuracy"); }
  void TearDown() override { e2e::fs::remove_all(root_); }

  // A synthetic scan of 64 bins x 96 projections x 5 slices with OPTIONS, in a directory of
  // its own.
  path scan(const std::string& name, std::vector<std::string> options) {
    const path dir = root_ / name;
    options.insert(options.end(), {"--bins", "64", "--projections", "96", "--slices", "5",
                                   "--out", dir.string(), "--relative"});
    const RunResult written = test_support::run(test_support::kPhantom, options, {.dir = root_});
    EXPECT_EQ(written.exit_code, 0) << written.out;
    return dir;
  }

  RunResult reconstruct(const path& dir, const std::string& par = "phantom.par") {
    return test_support::run(test_support::kVuzav, {par}, {.dir = dir});
  }

  path root_;
};

double rms_error(const path& dir) {
  const std::vector<float> got = e2e::read_floats(dir / "recon.raw");
  const std::vector<float> truth = e2e::read_floats(dir / "truth.raw");
  double squares = 0;
  for (std::size_t i = 0; i < got.size(); ++i) squares += (got[i] - truth[i]) * (got[i] - truth[i]);
  return std::sqrt(squares / static_cast<double>(got.size()));
}

// Five dead and two hot pixels ruin the slices they lie in; found in the flat field and replaced
// along their rows in every image, they leave the error of the scan without them (either
// orientation of the rotation axis gives the same volume). A scan without bad pixels is left
// as it was.
TEST_F(Accuracy, DeadAndHotPixelsAreReplacedFromTheirNeighbours) {
  const path clean = scan("clean", {});
  ASSERT_EQ(reconstruct(clean).exit_code, 0);
  const double clean_error = rms_error(clean);
  const std::vector<float> clean_volume = e2e::read_floats(clean / "recon.raw");
  e2e::set_parameter(clean / "phantom.par", "CORRECT_DEAD_PIXELS", "YES");
  const RunResult unchanged = reconstruct(clean);
  EXPECT_NE(unchanged.out.find("INFO: No dead or hot pixels in the flat field\n"),
            std::string::npos)
      << unchanged.out;
  EXPECT_EQ(e2e::read_floats(clean / "recon.raw"), clean_volume);

  const std::vector<std::string> defects = {"--dead-pixels", "5", "--hot-pixels", "2"};
  const path dead = scan("dead", defects);
  ASSERT_EQ(reconstruct(dead).exit_code, 0);
  EXPECT_GT(rms_error(dead), 10 * clean_error);
  e2e::set_parameter(dead / "phantom.par", "CORRECT_DEAD_PIXELS", "YES");
  const RunResult corrected = reconstruct(dead);
  ASSERT_EQ(corrected.exit_code, 0) << corrected.out;
  EXPECT_NE(corrected.out.find("INFO: 7 dead or hot pixels (image column, row) replaced by their "
                               "neighbours along the bins: ("),
            std::string::npos)
      << corrected.out;
  EXPECT_LT(rms_error(dead), 1.2 * clean_error);

  std::vector<std::string> transposed = defects;
  transposed.push_back("--horizontal");
  const path horizontal = scan("horizontal", transposed);
  e2e::set_parameter(horizontal / "phantom.par", "CORRECT_DEAD_PIXELS", "YES");
  ASSERT_EQ(reconstruct(horizontal).exit_code, 0);
  EXPECT_EQ(e2e::read_floats(horizontal / "recon.raw"), e2e::read_floats(dead / "recon.raw"));
}

// A window, a cutoff, edge padding and ring removal on a scan with miscalibrated columns: the
// stored sinograms (written before the rings are removed) give the volume of the projections.
TEST_F(Accuracy, OptionsApplyAlikeToStoredSinograms) {
  const path s = scan("stored", {"--gain-columns", "4"});
  const path par = s / "phantom.par";
  ASSERT_EQ(reconstruct(s).exit_code, 0);
  const std::vector<float> original = e2e::read_floats(s / "recon.raw");
  const std::string options = "FILTER = hamming\nFILTER_CUTOFF = 0.8\nPADDING = Edge\n"
                              "RING_REMOVAL = SORTING\nRING_STRENGTH = 3\n";
  e2e::write_text(par, e2e::read_text(par) + options);
  e2e::set_parameter(par, "OUTPUT_SINOGRAMS", "YES");
  const RunResult direct = reconstruct(s);
  ASSERT_EQ(direct.exit_code, 0) << direct.out;
  const std::string info = "INFO: Fourier filter initialised\n"
                           "INFO: Filter HAMMING, cutoff 0.8 of the Nyquist frequency, padding "
                           "EDGE\nINFO: Ring removal SORTING of stripes up to 3 bins wide\n";
  EXPECT_NE(direct.out.find(info), std::string::npos) << direct.out;
  EXPECT_NE(direct.out.find("INFO: Ring removal corrected "), std::string::npos);
  const std::vector<float> expected = e2e::read_floats(s / "recon.raw");
  EXPECT_NE(expected, original);

  e2e::write_text(s / "sino.par",
                  "! RAV_VUZAV PARAMETER FILE\nRECONSTRUCT_FROM_SINOGRAMS = YES\n"
                  "SINOGRAM_PREFIX = sino_\nSINOGRAM_POSTFIX = .zlf\n"
                  "NUM_FIRST_SINOGRAM = 1\nNUM_LAST_SINOGRAM = 5\nSINOGRAM_INTERVAL = 1\n"
                  "LENGTH_OF_NUMERICAL_PART = 4\nNUM_IMAGE_1 = 64\nNUM_IMAGE_2 = 96\n"
                  "ANGLE_OFFSET = 0\nANGLE_BETWEEN_PROJECTIONS = 1.875\n"
                  "ROTATION_AXIS_POSITION = 32\nOVERSAMPLING_FACTOR = 0\nOUTPUT_FILE = stored.raw\n"
                  "START_VOXEL_1 = 1\nEND_VOXEL_1 = 64\nSTART_VOXEL_2 = 1\nEND_VOXEL_2 = 64\n" +
                      options);
  const RunResult stored = reconstruct(s, "sino.par");
  ASSERT_EQ(stored.exit_code, 0) << stored.out;
  EXPECT_NE(stored.out.find(info), std::string::npos) << stored.out;
  EXPECT_EQ(e2e::read_floats(s / "stored.raw"), expected);
}

TEST_F(Accuracy, UnusableValuesAreRefused) {
  const path s = scan("refuse", {});
  const std::string original = e2e::read_text(s / "phantom.par");
  struct Case {
    std::string lines, message;
  };
  const std::vector<Case> cases = {
      {"FILTER = BUTTERWORTH\n",
       "ERROR: Problem interpreting value associated keyword: FILTER\n       Value = BUTTERWORTH\n"
       "       Allowed values: RAMP, SHEPP_LOGAN, COSINE, HAMMING, HANN, PARZEN\n"},
      {"PADDING = MIRROR\n", "       Allowed values: NONE, ZERO, EDGE\n"},
      {"FILTER_CUTOFF = 0\n",
       "ERROR: FILTER_CUTOFF = 0 is not a fraction of the Nyquist frequency (above 0, at most "
       "1)\n"},
      {"RING_REMOVAL = sorting\nRING_STRENGTH = 0\n",
       "ERROR: RING_STRENGTH = 0 is not a stripe width in bins (at least 1, and 2 x "
       "RING_STRENGTH + 1 at most the 64 bins)\n"},
      {"CORRECT_DEAD_PIXELS = YES\nCORRECT_FLATFIELD = NO\n",
       "ERROR: CORRECT_DEAD_PIXELS = YES needs a flat field to find the dead pixels in "
       "(CORRECT_FLATFIELD = YES)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    e2e::write_text(s / "phantom.par", original + c.lines);
    const RunResult run = reconstruct(s);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.out.find(c.message), std::string::npos) << run.out;
    EXPECT_FALSE(e2e::fs::exists(s / "recon.raw"));
  }
}

}  // namespace
