// Whole reconstructions of synthetic scans: accuracy against the phantom, identical volumes
// whatever the grouping of slices, passes, axis orientation or source of the sinograms, the
// files written, the console transcript, and the refusal of unusable parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <utility>

#include "e2e_support.h"

namespace {

using e2e::fs::path;
using test_support::RunResult;

struct Scan {
  path dir;
  path par() const { return dir / "phantom.par"; }
  path volume() const { return dir / "recon.raw"; }
};

class Pipeline : public testing::Test {
 protected:
  void SetUp() override {
    root_ = test_support::test_directory("rav_e2e");
  }
  void TearDown() override { e2e::fs::remove_all(root_); }

  // Writes a synthetic scan into a directory of its own; file names in its parameter file are
  // relative to it.
  Scan scan(const std::string& name, std::vector<std::string> options) {
    Scan s{root_ / name};
    options.insert(options.end(), {"--out", s.dir.string(), "--relative"});
    const RunResult written = test_support::run(test_support::kPhantom, options, {.dir = root_});
    EXPECT_EQ(written.exit_code, 0) << written.out;
    return s;
  }

  RunResult reconstruct(const Scan& s, const std::string& par = "phantom.par",
                        const std::string& threads = "2") {
    return test_support::run(test_support::kVuzav, {par},
                             {.dir = s.dir, .env = {{"OMP_NUM_THREADS", threads}}});
  }

  path root_;
};

// Mean of the CENTRE x CENTRE block in the middle of every slice of a NUM x NUM volume.
std::vector<double> centre_means(const std::vector<float>& volume, int num, int centre) {
  std::vector<double> means;
  const std::size_t slice = static_cast<std::size_t>(num) * num;
  for (std::size_t first = 0; first + slice <= volume.size(); first += slice) {
    double sum = 0;
    const int from = num / 2 - centre / 2;
    for (int y = from; y < from + centre; ++y) {
      for (int x = from; x < from + centre; ++x) sum += volume[first + y * num + x];
    }
    means.push_back(sum / (centre * centre));
  }
  return means;
}

const std::vector<std::string> kSmall = {"--bins", "64", "--projections", "96", "--slices", "5"};

TEST_F(Pipeline, EveryMethodMatchesThePhantomInAUniformRegion) {
  for (const std::string method : {"0", "1", "2", "4"}) {
    SCOPED_TRACE("OVERSAMPLING_FACTOR " + method);
    const Scan s = scan("m" + method, {"--bins", "128", "--projections", "180", "--slices", "3",
                                       "--oversampling", method});
    const RunResult run = reconstruct(s);
    ASSERT_EQ(run.exit_code, 0) << run.out;
    const std::vector<float> volume = e2e::read_floats(s.volume());
    ASSERT_EQ(e2e::fs::file_size(s.volume()), 128u * 128u * 4u * 3u);
    const std::vector<double> got = centre_means(volume, 128, 8);
    const std::vector<double> truth = centre_means(e2e::read_floats(s.dir / "truth.raw"), 128, 8);
    for (std::size_t k = 0; k < got.size(); ++k) {
      EXPECT_NEAR(got[k], truth[k], 0.05 * truth[k]) << "slice " << k + 1;
    }
    EXPECT_EQ(e2e::read_text(s.dir / "recon.raw.info"),
              "! RAV_VUZAV VOLUME INFO FILE\nNUM_X =      128\nNUM_Y =      128\n"
              "NUM_Z =        3\n");
  }
}

TEST_F(Pipeline, OneTwoAndFourSliceGroupsGiveTheSameVolume) {
  for (const std::string method : {"0", "1", "2", "3"}) {
    SCOPED_TRACE("OVERSAMPLING_FACTOR " + method);
    std::vector<std::string> options = kSmall;
    options.insert(options.end(), {"--oversampling", method});
    const Scan s = scan("g" + method, options);
    // No cache: one slice at a time (groups of two when oversampling); the default cache
    // holds two slices: pairs, or groups of four when oversampling.
    e2e::set_parameter(s.par(), "CACHE_KILOBYTES", "0");
    ASSERT_EQ(reconstruct(s).exit_code, 0);
    const std::vector<float> single = e2e::read_floats(s.volume());
    e2e::set_parameter(s.par(), "CACHE_KILOBYTES", "4096");
    const RunResult grouped = reconstruct(s);
    ASSERT_EQ(grouped.exit_code, 0);
    EXPECT_NE(grouped.out.find("INFO: Two slices will be reconstructed together"),
              std::string::npos);
    EXPECT_EQ(single, e2e::read_floats(s.volume()));
    ASSERT_EQ(single.size(), 64u * 64u * 5u);
  }
}

TEST_F(Pipeline, SeveralPassesGiveTheVolumeOfOnePass) {
  // 128 bins x 512 projections: four sinograms to the megabyte, so nine slices take 3 passes.
  const Scan s = scan("passes", {"--bins", "128", "--projections", "512", "--slices", "9"});
  ASSERT_EQ(reconstruct(s).exit_code, 0);
  const std::vector<float> one_pass = e2e::read_floats(s.volume());
  e2e::set_parameter(s.par(), "SINOGRAM_MEGABYTES", "1");
  const RunResult run = reconstruct(s);
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_NE(run.out.find("INFO: Pass  3  of  3  passes"), std::string::npos) << run.out;
  EXPECT_EQ(one_pass, e2e::read_floats(s.volume()));
}

TEST_F(Pipeline, HorizontalAxisGivesTheVolumeOfTheVerticalOne) {
  const Scan vertical = scan("vertical", kSmall);
  std::vector<std::string> options = kSmall;
  options.push_back("--horizontal");
  const Scan horizontal = scan("horizontal", options);
  ASSERT_EQ(reconstruct(vertical).exit_code, 0);
  const RunResult run = reconstruct(horizontal);
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_EQ(e2e::read_floats(vertical.volume()), e2e::read_floats(horizontal.volume()));
  EXPECT_EQ(e2e::read_text(vertical.dir / "recon.raw.info"),
            e2e::read_text(horizontal.dir / "recon.raw.info"));
}

TEST_F(Pipeline, ChangingFlatFieldSeriesIsInterpolated) {
  const Scan s = scan("flats", {"--bins", "128", "--projections", "180", "--slices", "2",
                                "--flat-series", "4"});
  const RunResult run = reconstruct(s);
  ASSERT_EQ(run.exit_code, 0) << run.out;
  const std::vector<double> got = centre_means(e2e::read_floats(s.volume()), 128, 8);
  const std::vector<double> truth = centre_means(e2e::read_floats(s.dir / "truth.raw"), 128, 8);
  for (std::size_t k = 0; k < got.size(); ++k) EXPECT_NEAR(got[k], truth[k], 0.05 * truth[k]);
}

TEST_F(Pipeline, StoredSinogramsGiveTheDirectVolume) {
  for (const std::string method : {"0", "2"}) {
    SCOPED_TRACE("OVERSAMPLING_FACTOR " + method);
    std::vector<std::string> options = kSmall;
    options.insert(options.end(), {"--oversampling", method});
    const Scan s = scan("stored" + method, options);
    e2e::set_parameter(s.par(), "OUTPUT_SINOGRAMS", "YES");
    const RunResult direct = reconstruct(s);
    ASSERT_EQ(direct.exit_code, 0) << direct.out;
    EXPECT_NE(direct.out.find("first_slice, last_slice =    1   5\n"), std::string::npos);
    const std::vector<float> expected = e2e::read_floats(s.volume());

    e2e::write_text(s.dir / "sino.par",
                    "! RAV_VUZAV PARAMETER FILE\n"
                    "RECONSTRUCT_FROM_SINOGRAMS = YES\n"
                    "SINOGRAM_PREFIX = sino_\nSINOGRAM_POSTFIX = .zlf\n"
                    "NUM_FIRST_SINOGRAM = 1\nNUM_LAST_SINOGRAM = 5\nSINOGRAM_INTERVAL = 1\n"
                    "LENGTH_OF_NUMERICAL_PART = 4\nNUM_IMAGE_1 = 64\nNUM_IMAGE_2 = 96\n"
                    "ANGLE_OFFSET = 0\nANGLE_BETWEEN_PROJECTIONS = 1.875\n"
                    "ROTATION_AXIS_POSITION = 32\nOVERSAMPLING_FACTOR = " + method + "\n"
                    "OUTPUT_FILE = stored.raw\n"
                    "START_VOXEL_1 = 1\nEND_VOXEL_1 = 64\nSTART_VOXEL_2 = 1\nEND_VOXEL_2 = 64\n");
    const RunResult stored = reconstruct(s, "sino.par");
    ASSERT_EQ(stored.exit_code, 0) << stored.out;
    EXPECT_NE(stored.out.find("INFO: Reconstructing directly from sinograms"), std::string::npos);
    EXPECT_EQ(expected, e2e::read_floats(s.dir / "stored.raw"));
    EXPECT_EQ(e2e::read_text(s.dir / "stored.raw.info"),
              "! RAV_VUZAV VOLUME INFO FILE\nNUM_X =       64\nNUM_Y =       64\n"
              "NUM_Z =        5\n");
  }
}

TEST_F(Pipeline, TranscriptMatchesTheGoldenFile) {
  const Scan s = scan("golden", kSmall);
  const RunResult run = reconstruct(s);
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(e2e::timing_masked(run.out),
            e2e::read_text(path(RAV_SOURCE_DIR) / "tests/e2e/golden/small_linear.txt"));
}

TEST_F(Pipeline, ThreadsReportedAreTheThreadsUsed) {
  // 5 slices in pairs: three pairs, one for each of two threads; eight threads share one pair
  // at a time. Every count gives the same volume.
  const Scan s = scan("threads", kSmall);
  std::vector<float> first;
  for (const auto& [threads, lines] : std::vector<std::pair<std::string, std::string>>{
           {"1", "\nINFO: Running on   1 processor\n \n"},
           {"2", "\nINFO: Running in parallel on   2 processors\n"
                 "INFO: Reconstructing 4 slices simultaneously\n"},
           {"8", "\nINFO: Running in parallel on   8 processors\n"
                 "INFO: Reconstructing 2 slices simultaneously\n"}}) {
    SCOPED_TRACE("OMP_NUM_THREADS " + threads);
    const RunResult run = reconstruct(s, "phantom.par", threads);
    ASSERT_EQ(run.exit_code, 0) << run.out;
    EXPECT_NE(run.out.find(lines), std::string::npos) << run.out;
    const std::vector<float> volume = e2e::read_floats(s.volume());
    if (first.empty()) first = volume;
    EXPECT_TRUE(volume == first) << "the volume depends on the thread count";
  }
}

TEST_F(Pipeline, OlderLongerOutputFileIsCutToTheNewVolume) {
  const Scan s = scan("truncate", kSmall);
  e2e::write_text(s.volume(), std::string(1 << 20, 'x'));
  ASSERT_EQ(reconstruct(s).exit_code, 0);
  EXPECT_EQ(e2e::fs::file_size(s.volume()), 64u * 64u * 4u * 5u);
}

TEST_F(Pipeline, UnwritableRecordEndsTheRunWithAnError) {
  const Scan s = scan("full", kSmall);
  e2e::set_parameter(s.par(), "OUTPUT_FILE", "/dev/full");
  const RunResult run = reconstruct(s);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("ERROR: "), std::string::npos) << run.out;
  EXPECT_EQ(run.out.find("FINISHED"), std::string::npos);
}

TEST_F(Pipeline, DeadPixelsAreRaisedBeforeTheLogarithm) {
  const Scan s = scan("dead", kSmall);
  // A background far above every projection makes each corrected value negative.
  e2e::set_parameter(s.par(), "BACKGROUND_FILE", "flat.zlf");
  e2e::set_parameter(s.par(), "CORRECT_FLATFIELD", "NO");
  const RunResult run = reconstruct(s);
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_NE(run.out.find("WARNING: 30720 corrected values were not above 1e-06 and were raised "
                         "to it before the logarithm"),
            std::string::npos)
      << run.out;
  for (float value : e2e::read_floats(s.volume())) ASSERT_TRUE(std::isfinite(value));
}

TEST_F(Pipeline, UnusableProjectionGivesAZeroRowNotItsNeighbour) {
  const Scan s = scan("unusable", kSmall);
  // Same size, but a pixel type the reader cannot take.
  std::string bytes = e2e::read_text(s.dir / "proj_0007.zlf");
  const std::size_t type = bytes.find("UnsignedShort");
  ASSERT_NE(type, std::string::npos);
  bytes.replace(type, 13, "ComplexNumber");
  e2e::write_text(s.dir / "proj_0007.zlf", bytes);
  e2e::set_parameter(s.par(), "OUTPUT_SINOGRAMS", "YES");
  const RunResult run = reconstruct(s);
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_NE(run.out.find("WARNING: Problem inputting from\n         proj_0007.zlf\n"),
            std::string::npos)
      << run.out;
  // Row 7 of every stored sinogram is zero (1024-byte header, then 64 floats per row).
  const std::vector<float> sinogram = e2e::read_floats(s.dir / "sino_0003.zlf");
  for (int bin = 0; bin < 64; ++bin) EXPECT_EQ(sinogram[256 + 6 * 64 + bin], 0.0F);
  EXPECT_NE(sinogram[256 + 5 * 64 + 32], 0.0F);
}

TEST_F(Pipeline, SeriesReadsExactlyItsProjections) {
  const Scan s = scan("interval", {"--bins", "64", "--projections", "96", "--slices", "2"});
  // 1 to 95 in steps of 2 names 48 images, but holds (95 - 1 + 1) / 2 = 47 projections: the
  // 48th image (95) is not read, so its absence does not matter.
  e2e::set_parameter(s.par(), "NUM_LAST_IMAGE", "95");
  e2e::set_parameter(s.par(), "FILE_INTERVAL", "2");
  e2e::set_parameter(s.par(), "ANGLE_BETWEEN_PROJECTIONS", "3.75");
  e2e::fs::remove(s.dir / "proj_0095.zlf");
  const RunResult run = reconstruct(s);
  EXPECT_EQ(run.exit_code, 0) << run.out;
  EXPECT_EQ(run.out.find("WARNING"), std::string::npos) << run.out;
}

TEST_F(Pipeline, UnusableParametersAreRefusedBeforeAnythingIsWritten) {
  const Scan s = scan("refuse", kSmall);
  const std::string original = e2e::read_text(s.par());
  struct Case {
    std::string keyword, value, message;
  };
  const std::vector<Case> cases = {
      {"NUM_IMAGE_1", "0", "ERROR: NUM_IMAGE_1 = 0 is not a number of pixels (at least 1)"},
      {"NUM_IMAGE_2", "-3", "ERROR: NUM_IMAGE_2 = -3 is not a number of pixels (at least 1)"},
      {"FILE_INTERVAL", "0", "ERROR: FILE_INTERVAL = 0 is not an interval between file numbers"},
      {"NUM_LAST_IMAGE", "0", "ERROR: FILE_INTERVAL = 1 gives no file from 1 to 0"},
      {"END_VOXEL_2", "0", "ERROR: END_VOXEL_2 = 0 is below START_VOXEL_2 = 1"},
      {"END_VOXEL_3", "9", "ERROR: END_VOXEL_3 = 9 lies beyond NUM_IMAGE_2 = 5"},
      {"OVERSAMPLING_FACTOR", "-2",
       "ERROR: OVERSAMPLING_FACTOR = -2 is not a method (0 linear, 1 nearest bin, 2 or more "
       "oversampled)"},
      {"IMAGE_PIXEL_SIZE_1", "0", "ERROR: IMAGE_PIXEL_SIZE_1 = 0 is not a pixel size above 0"},
      {"ROTATION_AXIS_POSITION", "0.5",
       "ERROR: ROTATION_AXIS_POSITION = 0.5 leaves no reconstruction circle on 64 bins"},
      {"SINOGRAM_MEGABYTES", "0",
       "ERROR: SINOGRAM_MEGABYTES = 0 is too small for one sinogram of 24576 bytes"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword);
    e2e::write_text(s.par(), original);
    e2e::set_parameter(s.par(), c.keyword, c.value);
    const RunResult run = reconstruct(s);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.out.find("Entered RAV_RECONSTRUCTION\n" + c.message + "\n"), std::string::npos)
        << run.out;
    EXPECT_FALSE(e2e::fs::exists(s.volume()));
  }
  // The unset method of a parameter file without OVERSAMPLING_FACTOR is refused the same way.
  std::istringstream lines(original);
  std::string line, without_method;
  while (std::getline(lines, line)) {
    if (!line.starts_with("OVERSAMPLING_FACTOR")) without_method += line + "\n";
  }
  e2e::write_text(s.par(), without_method);
  EXPECT_NE(reconstruct(s).out.find("ERROR: OVERSAMPLING_FACTOR = -1000000 is not a method"),
            std::string::npos);
}

}  // namespace
