// Whole runs with the rotation axis found (AUTO), swept (AXIS_SWEEP) or half acquired: the axis
// found and the volume it gives, the runs that cannot find it, the records and montage pages of
// a sweep, and a half-acquisition scan reconstructed over the enlarged circle.
#include <gtest/gtest.h>

#include <cmath>

#include "e2e_support.h"

namespace {

using e2e::fs::path;
using test_support::RunResult;

class AxisRun : public testing::Test {
 protected:
  void SetUp() override { root_ = test_support::test_directory("rav_e2e_axis"); }
  void TearDown() override { e2e::fs::remove_all(root_); }

  // A synthetic scan in a directory of its own, its parameter file naming files relative to it.
  path scan(const std::string& name, std::vector<std::string> options) {
    const path dir = root_ / name;
    options.insert(options.end(), {"--out", dir.string(), "--relative", "--noise", "20000"});
    const RunResult written = test_support::run(test_support::kPhantom, options, {.dir = root_});
    EXPECT_EQ(written.exit_code, 0) << written.out;
    return dir;
  }

  static RunResult reconstruct(const path& dir, std::vector<std::string> args = {"phantom.par"}) {
    return test_support::run(test_support::kVuzav, args, {.dir = dir});
  }

  path root_;
};

// The value after "INFO: Rotation axis found at ", as text (empty when there is none).
std::string found_axis(const std::string& out) {
  const std::string lead = "INFO: Rotation axis found at ";
  const std::size_t at = out.find(lead);
  if (at == std::string::npos) return "";
  const std::size_t from = at + lead.size();
  return out.substr(from, out.find('\n', from) - from);
}

TEST_F(AxisRun, AutoFindsTheAxisAndGivesTheVolumeOfThatValue) {
  // Projections 180 degrees apart read alone (a half turn with its end, a whole turn), or
  // sinograms when the scan has no such pair.
  struct Case {
    std::string name;
    std::vector<std::string> options;
    std::string read;
    double tolerance;
  };
  const std::vector<Case> cases = {
      {"end",
       {"--projections", "121", "--with-end", "--axis-offset", "7.3"},
       "from projections 1 and 121 (180 degrees apart)",
       0.1},
      {"turn",
       {"--turn", "360", "--projections", "120", "--axis-offset", "-5.55"},
       "from 12 projections (6 pairs 180 degrees apart)",
       0.1},
      {"half",
       {"--projections", "120", "--axis-offset", "2.8"},
       "from the sinograms of slices",
       0.25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> options = {"--bins", "128", "--slices", "8"};
    options.insert(options.end(), c.options.begin(), c.options.end());
    const path dir = scan(c.name, options);
    const float truth = std::stof(
        e2e::read_text(dir / "phantom.par")
            .substr(e2e::read_text(dir / "phantom.par").find("ROTATION_AXIS_POSITION = ") + 25));
    e2e::set_parameter(dir / "phantom.par", "ROTATION_AXIS_POSITION", "AUTO");
    const RunResult automatic = reconstruct(dir);
    ASSERT_EQ(automatic.exit_code, 0) << automatic.out;
    EXPECT_NE(automatic.out.find("INFO: Finding the rotation axis " + c.read), std::string::npos)
        << automatic.out;
    const std::string axis = found_axis(automatic.out);
    ASSERT_FALSE(axis.empty()) << automatic.out;
    EXPECT_NEAR(std::stod(axis), truth, c.tolerance);
    // The value printed, given by hand, gives the same volume bit for bit.
    e2e::fs::rename(dir / "recon.raw", dir / "auto.raw");
    e2e::set_parameter(dir / "phantom.par", "ROTATION_AXIS_POSITION", axis);
    ASSERT_EQ(reconstruct(dir).exit_code, 0);
    EXPECT_TRUE(e2e::read_floats(dir / "auto.raw") == e2e::read_floats(dir / "recon.raw"));
  }
}

TEST_F(AxisRun, AnAxisThatCannotBeFoundStopsTheRunWithWhatToDo) {
  // The first half turn of a half-acquisition scan: the sample is wider than the field of view
  // and no projection has its partner 180 degrees later.
  const path dir = scan("wide", {"--bins", "64", "--turn", "360", "--projections", "120",
                                 "--half-acquisition", "--axis-offset", "-26", "--slices", "2"});
  e2e::set_parameter(dir / "phantom.par", "HALF_ACQUISITION", "NO");
  e2e::set_parameter(dir / "phantom.par", "NUM_LAST_IMAGE", "60");
  e2e::set_parameter(dir / "phantom.par", "ROTATION_AXIS_POSITION", "AUTO");
  const RunResult run = reconstruct(dir);
  EXPECT_EQ(run.exit_code, 1) << run.out;
  EXPECT_NE(run.out.find("ERROR: The rotation axis could not be found: the sample reaches the "
                         "ends of the detector"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("or sweep it\n       (AXIS_SWEEP = FIRST LAST STEP)"), std::string::npos)
      << run.out;
  EXPECT_FALSE(e2e::fs::exists(dir / "recon.raw.info"));
}

TEST_F(AxisRun, ASweepWritesOneRecordAndOnePictureForEveryTrialAxis) {
  const path dir = scan(
      "sweep", {"--bins", "64", "--projections", "90", "--axis-offset", "3.3", "--slices", "3"});
  // The axis is 28.7: nine trials from 26.7 to 30.7, the fifth at the axis.
  e2e::set_parameter(dir / "phantom.par", "AXIS_SWEEP", "26.7 30.7 0.5");
  e2e::set_parameter(dir / "phantom.par", "DISPLAY_GRAPHICS", "YES");
  e2e::set_parameter(dir / "phantom.par", "START_VOXEL_3", "2");
  const RunResult run = reconstruct(dir, {"phantom.par", "+PNG"});
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_NE(run.out.find("INFO: Axis sweep of slice 2: 9 trial axes from 26.70 to 30.70 in steps "
                         "of 0.50, one record each"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("INFO: Record    5: axis 28.70, sharpness "), std::string::npos);
  EXPECT_NE(run.out.find("INFO: Sharpest: record "), std::string::npos);
  EXPECT_EQ(e2e::read_text(dir / "recon.raw.info"),
            "! RAV_VUZAV VOLUME INFO FILE\nNUM_X =       64\nNUM_Y =       64\nNUM_Z =        9\n");
  const std::vector<float> sweep = e2e::read_floats(dir / "recon.raw");
  ASSERT_EQ(sweep.size(), 9u * 64u * 64u);
  // The first sinogram, then one montage page for the nine slices.
  EXPECT_TRUE(e2e::fs::exists(dir / "rav_plot_0001.png"));
  EXPECT_TRUE(e2e::fs::exists(dir / "rav_plot_0002.png"));
  EXPECT_FALSE(e2e::fs::exists(dir / "rav_plot_0003.png"));
  // Record 5 is slice 2 of an ordinary run with the axis 28.7.
  for (const char* keyword : {"AXIS_SWEEP", "DISPLAY_GRAPHICS"}) {
    e2e::set_parameter(dir / "phantom.par", keyword, "N.A.");
  }
  e2e::set_parameter(dir / "phantom.par", "DISPLAY_GRAPHICS", "NO");
  ASSERT_EQ(reconstruct(dir).exit_code, 0);
  const std::vector<float> volume = e2e::read_floats(dir / "recon.raw");
  ASSERT_EQ(volume.size(), 2u * 64u * 64u);
  EXPECT_TRUE(std::equal(volume.begin(), volume.begin() + 64 * 64, sweep.begin() + 4 * 64 * 64));
}

TEST_F(AxisRun, HalfAcquisitionReconstructsTheEnlargedCircle) {
  // 128 bins, the axis at 94 % of them (120.32), over a whole turn: the head, filling 40 % of the
  // enlarged circle (radius 119.8), reaches beyond the detector's end.
  const path dir =
      scan("half", {"--bins", "128", "--turn", "360", "--projections", "360", "--half-acquisition",
                    "--axis-offset", "-56.32", "--fill", "0.4", "--slices", "2"});
  const RunResult run = reconstruct(dir);
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_NE(run.out.find("INFO: Half acquisition: projections 1 to 180 joined with 181 to 360"),
            std::string::npos)
      << run.out;
  const std::vector<float> got = e2e::read_floats(dir / "recon.raw");
  const std::vector<float> truth = e2e::read_floats(dir / "truth.raw");
  ASSERT_EQ(got.size(), 2u * 256u * 256u);
  ASSERT_EQ(truth.size(), got.size());
  // The brain (0.2 1/cm) two pixels or more inside its edges, and there the pixels within the
  // blended part about the axis (7.68 pixels) and those further out.
  const double axis = 120.32, blended = 128 - axis;
  double sum = 0, seam = 0, ring = 0;
  int n = 0, n_seam = 0, n_ring = 0;
  for (int s = 0; s < 2; ++s) {
    for (int y = 2; y < 254; ++y) {
      for (int x = 2; x < 254; ++x) {
        bool uniform = true;
        for (int dy = -2; dy <= 2; ++dy) {
          for (int dx = -2; dx <= 2; ++dx) {
            uniform = uniform && std::abs(truth[(s * 256 + y + dy) * 256 + x + dx] - 0.2f) < 1e-4f;
          }
        }
        if (!uniform) continue;
        const std::size_t i = (s * 256 + y) * 256 + x;
        const double error = got[i] - truth[i];
        const double r = std::hypot(x + 0.5 - axis, y + 0.5 - axis);
        sum += got[i];
        ++n;
        if (r <= blended) {
          seam += error * error;
          ++n_seam;
        } else if (r > blended + 2 && r < 40) {
          ring += error * error;
          ++n_ring;
        }
      }
    }
  }
  ASSERT_GT(n_seam, 20);
  ASSERT_GT(n_ring, 500);
  EXPECT_NEAR(sum / n, 0.2, 0.002);
  EXPECT_LT(std::sqrt(seam / n_seam), 1.25 * std::sqrt(ring / n_ring));
}

// The parameter file of a run from the stored sinograms sino_0001.zlf .. sino_000SLICES.zlf of
// a whole turn of PROJECTIONS over BINS bins, with MORE lines after it.
std::string stored_parameters(int bins, int projections, int slices, const std::string& more) {
  const std::string b = std::to_string(bins), n = std::to_string(2 * bins);
  return "! RAV_VUZAV PARAMETER FILE\nRECONSTRUCT_FROM_SINOGRAMS = YES\n"
         "SINOGRAM_PREFIX = sino_\nSINOGRAM_POSTFIX = .zlf\nNUM_FIRST_SINOGRAM = 1\n"
         "NUM_LAST_SINOGRAM = " +
         std::to_string(slices) +
         "\nSINOGRAM_INTERVAL = 1\n"
         "LENGTH_OF_NUMERICAL_PART = 4\nNUM_IMAGE_1 = " +
         b + "\nNUM_IMAGE_2 = " + std::to_string(projections) +
         "\nANGLE_OFFSET = 0\nANGLE_BETWEEN_PROJECTIONS = " + std::to_string(360.0 / projections) +
         "\nOVERSAMPLING_FACTOR = 0\n"
         "OUTPUT_FILE = stored.raw\n" +
         more;
}

TEST_F(AxisRun, StoredSinogramsAreJoinedSweptAndTheirAxisFound) {
  // A half-acquisition scan, its sinograms stored by the run from projections.
  const path dir =
      scan("stored", {"--bins", "64", "--turn", "360", "--projections", "120", "--half-acquisition",
                      "--axis-offset", "-27.5", "--slices", "2"});
  e2e::set_parameter(dir / "phantom.par", "OUTPUT_SINOGRAMS", "YES");
  ASSERT_EQ(reconstruct(dir).exit_code, 0);
  const std::string block =
      "START_VOXEL_1 = 1\nEND_VOXEL_1 = 128\nSTART_VOXEL_2 = 1\n"
      "END_VOXEL_2 = 128\n";
  e2e::write_text(dir / "joined.par", stored_parameters(64, 120, 2,
                                                        block + "ROTATION_AXIS_POSITION = 59.5\n"
                                                                "HALF_ACQUISITION = YES\n"));
  RunResult run = reconstruct(dir, {"joined.par"});
  ASSERT_EQ(run.exit_code, 0) << run.out;
  const std::vector<float> volume = e2e::read_floats(dir / "recon.raw");
  EXPECT_TRUE(e2e::read_floats(dir / "stored.raw") == volume);
  // A sweep of the first sinogram, joined about each trial axis: its slice 1 at 59.5.
  e2e::write_text(dir / "sweep.par", stored_parameters(64, 120, 2,
                                                       block + "AXIS_SWEEP = 58.5 60.5 1\n"
                                                               "HALF_ACQUISITION = YES\n"));
  run = reconstruct(dir, {"sweep.par"});
  ASSERT_EQ(run.exit_code, 0) << run.out;
  const std::vector<float> sweep = e2e::read_floats(dir / "stored.raw");
  ASSERT_EQ(sweep.size(), 3u * 128u * 128u);
  EXPECT_TRUE(std::equal(sweep.begin() + 128 * 128, sweep.begin() + 2 * 128 * 128, volume.begin()));
  // The axis of the stored sinograms found, pairs of the whole turn (the sample of a scan that is
  // not half acquired stays inside the field of view).
  const path whole = scan("whole", {"--bins", "64", "--turn", "360", "--projections", "120",
                                    "--axis-offset", "1.7", "--slices", "3"});
  e2e::set_parameter(whole / "phantom.par", "OUTPUT_SINOGRAMS", "YES");
  ASSERT_EQ(reconstruct(whole).exit_code, 0);
  e2e::write_text(whole / "auto.par", stored_parameters(64, 120, 3,
                                                        "START_VOXEL_1 = 1\nEND_VOXEL_1 = 64\n"
                                                        "START_VOXEL_2 = 1\nEND_VOXEL_2 = 64\n"
                                                        "ROTATION_AXIS_POSITION = AUTO\n"));
  run = reconstruct(whole, {"auto.par"});
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_NE(run.out.find("INFO: Finding the rotation axis from sinograms 1 to 3"),
            std::string::npos);
  EXPECT_NEAR(std::stod(found_axis(run.out)), 30.3, 0.1) << run.out;
}

}  // namespace
