// Whole runs under mpirun on tiny synthetic scans: two and three ranks give bitwise the volume
// and the info file of the single-process run, rank 0 alone speaks for the run, and a failing
// rank ends the job. Skipped when the program was built without MPI.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "../e2e/e2e_support.h"

namespace {

using e2e::fs::path;
using test_support::RunResult;

#ifdef RAV_HAVE_MPI
constexpr const char* kMpiexec = RAV_MPIEXEC;
#else
constexpr const char* kMpiexec = "";
#endif

// Runs `mpirun --oversubscribe -np RANKS rav_vuzav PAR` in DIR. Runs that have not ended after
// two minutes are taken for hung: the job is killed and the test fails.
RunResult mpirun(int ranks, const std::string& par, const path& dir) {
  // Open MPI does not free everything it allocates: leak checking of the sanitizer build would
  // fail every rank at its end (its own leaks are checked in the single-process tests).
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string asan_options = (asan != nullptr ? std::string(asan) + ":" : std::string()) +
                                   "detect_leaks=0";
  return test_support::run(
      kMpiexec, {"--oversubscribe", "-np", std::to_string(ranks), test_support::kVuzav, par},
      {.dir = dir,
       // Tests and CI run as root, which mpirun refuses unless told.
       .env = {{"OMPI_ALLOW_RUN_AS_ROOT", "1"},
               {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"},
               {"ASAN_OPTIONS", asan_options}},
       .time_limit = std::chrono::seconds(120)});
}

// TEXT without the lines that report the threads of the process: a rank runs on the cores it
// is bound to, a process alone on all of them.
std::string without_threads(const std::string& text) {
  std::string result;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string line = text.substr(start, end - start);
    if (!line.starts_with("INFO: Running ") && !line.ends_with(" slices simultaneously")) {
      result += line + "\n";
    }
    start = end + 1;
  }
  return result;
}

// What a job ended with and wrote, for failure messages.
std::string described(const RunResult& r) {
  return "exit " + std::to_string(r.exit_code) + (r.hung ? " (hung, killed)" : "") +
         "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

class Mpirun : public testing::Test {
 protected:
  void SetUp() override {
#ifndef RAV_HAVE_MPI
    GTEST_SKIP() << "built without MPI";
#endif
    if (::access(kMpiexec, X_OK) != 0) GTEST_SKIP() << "no " << kMpiexec;
    root_ = test_support::test_directory("rav_e2e_mpi");
  }
  void TearDown() override {
    if (!root_.empty()) e2e::fs::remove_all(root_);
  }

  path scan(const std::string& name, std::vector<std::string> options) {
    const path dir = root_ / name;
    options.insert(options.end(), {"--out", dir.string(), "--relative"});
    const RunResult written = test_support::run(test_support::kPhantom, options, {.dir = root_});
    EXPECT_EQ(written.exit_code, 0) << written.out;
    return dir;
  }

  // The volume, info file and transcript of one run, the output file moved aside.
  struct Outcome {
    std::vector<float> volume;
    std::string info, out;
  };
  static Outcome take(const path& dir, const std::string& output, const std::string& out) {
    Outcome o{e2e::read_floats(dir / output), e2e::read_text(dir / (output + ".info")), out};
    e2e::fs::remove(dir / output);
    e2e::fs::remove(dir / (output + ".info"));
    return o;
  }

  // Runs PAR alone and then with each rank count of RANKS; every run must give bitwise the
  // volume and the info file of the run alone, and rank 0's transcript must be the single one
  // (timing numbers aside) when SAME_TRANSCRIPT.
  void expect_same_as_alone(const path& dir, const std::string& par, const std::string& output,
                            std::vector<int> ranks, bool same_transcript = true) {
    const RunResult alone_run = test_support::run(test_support::kVuzav, {par}, {.dir = dir});
    ASSERT_EQ(alone_run.exit_code, 0) << alone_run.out;
    const Outcome alone = take(dir, output, alone_run.out);
    ASSERT_FALSE(alone.volume.empty());
    for (int n : ranks) {
      SCOPED_TRACE(std::to_string(n) + " ranks");
      const RunResult job = mpirun(n, par, dir);
      ASSERT_EQ(job.exit_code, 0) << described(job);
      const std::uintmax_t bytes = e2e::fs::file_size(dir / output);
      const Outcome got = take(dir, output, job.out);
      EXPECT_EQ(bytes, alone.volume.size() * sizeof(float));
      EXPECT_TRUE(got.volume == alone.volume) << "the volumes differ";
      EXPECT_EQ(got.info, alone.info);
      EXPECT_EQ(job.out.find("[rank"), std::string::npos) << job.out;
      if (same_transcript) {
        EXPECT_EQ(without_threads(e2e::timing_masked(got.out)),
                  without_threads(e2e::timing_masked(alone.out)));
      }
    }
  }

  // OUTPUT and its info file in DIR are BEFORE (what they held before a failed job), and the
  // job left no temporary or lock file.
  static void expect_unchanged(const path& dir, const std::string& output,
                               const std::pair<std::string, std::string>& before) {
    EXPECT_TRUE(e2e::read_text(dir / output) == before.first) << "the earlier volume changed";
    EXPECT_EQ(e2e::read_text(dir / (output + ".info")), before.second);
    for (const auto& entry : e2e::fs::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
      EXPECT_EQ(name.find(".lock"), std::string::npos) << name;
    }
  }
  // A good run of PAR alone in DIR: its OUTPUT and info file.
  static std::pair<std::string, std::string> earlier_volume(const path& dir, const std::string& par,
                                                            const std::string& output) {
    const RunResult alone = test_support::run(test_support::kVuzav, {par}, {.dir = dir});
    EXPECT_EQ(alone.exit_code, 0) << alone.out;
    return {e2e::read_text(dir / output), e2e::read_text(dir / (output + ".info"))};
  }

  path root_;
};

const std::vector<std::string> kSmall = {"--bins", "64", "--projections", "96"};

// A parameter file for the stored sinograms sino_FIRST.zlf to sino_LAST.zlf of a kSmall scan.
std::string sinogram_parameters(int first, int last, const std::string& method) {
  return "! RAV_VUZAV PARAMETER FILE\nRECONSTRUCT_FROM_SINOGRAMS = YES\n"
         "SINOGRAM_PREFIX = sino_\nSINOGRAM_POSTFIX = .zlf\n"
         "NUM_FIRST_SINOGRAM = " + std::to_string(first) + "\n"
         "NUM_LAST_SINOGRAM = " + std::to_string(last) + "\nSINOGRAM_INTERVAL = 1\n"
         "LENGTH_OF_NUMERICAL_PART = 4\nNUM_IMAGE_1 = 64\nNUM_IMAGE_2 = 96\n"
         "ANGLE_OFFSET = 0\nANGLE_BETWEEN_PROJECTIONS = 1.875\n"
         "ROTATION_AXIS_POSITION = 32\nOVERSAMPLING_FACTOR = " + method + "\n"
         "OUTPUT_FILE = stored.raw\n"
         "START_VOXEL_1 = 1\nEND_VOXEL_1 = 64\nSTART_VOXEL_2 = 1\nEND_VOXEL_2 = 64\n";
}

std::vector<std::string> with(std::vector<std::string> options,
                              const std::vector<std::string>& more) {
  options.insert(options.end(), more.begin(), more.end());
  return options;
}

TEST_F(Mpirun, OddSliceCountsGiveTheVolumeOfOneProcess) {
  // 7 slices: slabs of 4 and 3, or 3, 2 and 2; rank 0 has one pass like the single run.
  const path dir = scan("odd", with(kSmall, {"--slices", "7"}));
  expect_same_as_alone(dir, "phantom.par", "recon.raw", {2, 3});
}

TEST_F(Mpirun, SeveralPassesPerRankGiveTheVolumeOfOneProcess) {
  // 128 bins x 512 projections with one megabyte: four sinograms a pass, so 9 slices take three
  // passes alone, two on each rank of two, and one or two on ranks of three.
  const path dir = scan("passes", {"--bins", "128", "--projections", "512", "--slices", "9",
                                   "--sinogram-mb", "1"});
  expect_same_as_alone(dir, "phantom.par", "recon.raw", {2, 3}, false);
  const RunResult job = mpirun(2, "phantom.par", dir);
  EXPECT_NE(job.out.find("INFO: Pass  2  of  2  passes"), std::string::npos) << job.out;
  EXPECT_EQ(job.out.find("of  3  passes"), std::string::npos) << job.out;
}

TEST_F(Mpirun, OversamplingAndAHorizontalAxisGiveTheVolumeOfOneProcess) {
  const path over = scan("over", with(kSmall, {"--slices", "5", "--oversampling", "2"}));
  expect_same_as_alone(over, "phantom.par", "recon.raw", {2, 3});
  // Slices along the first image axis: the slabs are taken after the axes are exchanged.
  const path horizontal = scan("horizontal", with(kSmall, {"--slices", "5", "--horizontal"}));
  expect_same_as_alone(horizontal, "phantom.par", "recon.raw", {2, 3});
}

TEST_F(Mpirun, StoredSinogramsGiveTheVolumeOfOneProcess) {
  const path dir = scan("stored", with(kSmall, {"--slices", "5"}));
  e2e::set_parameter(dir / "phantom.par", "OUTPUT_SINOGRAMS", "YES");
  ASSERT_EQ(test_support::run(test_support::kVuzav, {"phantom.par"}, {.dir = dir}).exit_code, 0);
  for (const std::string method : {"0", "2"}) {
    SCOPED_TRACE("OVERSAMPLING_FACTOR " + method);
    e2e::write_text(dir / "sino.par", sinogram_parameters(1, 5, method));
    expect_same_as_alone(dir, "sino.par", "stored.raw", {2, 3});
  }
}

TEST_F(Mpirun, MoreRanksThanSlicesLeaveTheSpareRanksIdle) {
  const path dir = scan("spare", with(kSmall, {"--slices", "2"}));
  expect_same_as_alone(dir, "phantom.par", "recon.raw", {3});
  // One stored sinogram for three ranks.
  e2e::set_parameter(dir / "phantom.par", "OUTPUT_SINOGRAMS", "YES");
  ASSERT_EQ(test_support::run(test_support::kVuzav, {"phantom.par"}, {.dir = dir}).exit_code, 0);
  e2e::write_text(dir / "sino.par", sinogram_parameters(2, 2, "1"));
  expect_same_as_alone(dir, "sino.par", "stored.raw", {3});
}

TEST_F(Mpirun, AnOlderLongerOutputFileIsCutOnce) {
  const path dir = scan("cut", with(kSmall, {"--slices", "5"}));
  e2e::write_text(dir / "recon.raw", std::string(1 << 20, 'x'));
  const RunResult job = mpirun(3, "phantom.par", dir);
  ASSERT_EQ(job.exit_code, 0) << described(job);
  EXPECT_EQ(e2e::fs::file_size(dir / "recon.raw"), 64u * 64u * 4u * 5u);
  for (float value : e2e::read_floats(dir / "recon.raw")) ASSERT_TRUE(std::isfinite(value));
}

TEST_F(Mpirun, AnUnreadableFlatFieldOnOneSlabEndsTheJob) {
  // The flat field keeps its header and the rows of the first slab only (rows 1 to 3 of 5 for
  // two ranks): rank 0 reads its rows, rank 1 cannot and ends the process.
  const path dir = scan("flat", with(kSmall, {"--slices", "5"}));
  const auto before = earlier_volume(dir, "phantom.par", "recon.raw");
  const std::string flat = e2e::read_text(dir / "flat.zlf");
  const std::size_t header = flat.size() - 64u * 5u * 2u;
  e2e::write_text(dir / "flat.zlf", flat.substr(0, header + 64u * 3u * 2u));
  const RunResult job = mpirun(2, "phantom.par", dir);
  EXPECT_FALSE(job.hung) << described(job);
  EXPECT_NE(job.exit_code, 0) << described(job);
  EXPECT_NE(job.out.find("[rank 1] ERROR: Problem inputting flat-field\n[rank 1] flat.zlf\n"),
            std::string::npos)
      << described(job);
  expect_unchanged(dir, "recon.raw", before);
}

TEST_F(Mpirun, AFailedRankShowsItsStatusReportAndFailsTheRun) {
  // A stored sinogram missing from the last slab: that rank's reader fails (a status, not an
  // end of the process); the others finish, and the run fails with that rank's report.
  const path dir = scan("missing", with(kSmall, {"--slices", "5"}));
  e2e::set_parameter(dir / "phantom.par", "OUTPUT_SINOGRAMS", "YES");
  ASSERT_EQ(test_support::run(test_support::kVuzav, {"phantom.par"}, {.dir = dir}).exit_code, 0);
  e2e::write_text(dir / "sino.par", sinogram_parameters(1, 5, "0"));
  const auto before = earlier_volume(dir, "sino.par", "stored.raw");
  e2e::fs::remove(dir / "sino_0005.zlf");
  const RunResult job = mpirun(3, "sino.par", dir);
  EXPECT_FALSE(job.hung) << described(job);
  EXPECT_NE(job.exit_code, 0) << described(job);
  EXPECT_NE(job.out.find("ERROR: The run failed on rank 2; its messages are marked \"[rank 2]\""),
            std::string::npos)
      << described(job);
  EXPECT_NE(job.out.find("[rank 2] STATUS: Position where error condition was identified\n"
                         "[rank 2] Subroutine RAV_IN_ZELFA"),
            std::string::npos)
      << described(job);
  EXPECT_EQ(job.out.find("Timing Information"), std::string::npos) << job.out;
  EXPECT_EQ(job.out.find("[rank 1]"), std::string::npos) << job.out;
  expect_unchanged(dir, "stored.raw", before);
}

TEST_F(Mpirun, RefusedParametersStopEveryRank) {
  const path dir = scan("refused", with(kSmall, {"--slices", "3"}));
  e2e::set_parameter(dir / "phantom.par", "END_VOXEL_2", "0");
  const RunResult job = mpirun(2, "phantom.par", dir);
  EXPECT_FALSE(job.hung) << described(job);
  EXPECT_NE(job.exit_code, 0) << described(job);
  EXPECT_NE(job.out.find("\nERROR: END_VOXEL_2 = 0 is below START_VOXEL_2 = 1\n"),
            std::string::npos)
      << described(job);
  EXPECT_NE(job.out.find("[rank 1] ERROR: END_VOXEL_2 = 0 is below START_VOXEL_2 = 1\n"),
            std::string::npos)
      << described(job);
  EXPECT_FALSE(e2e::fs::exists(dir / "recon.raw"));
}

}  // namespace

namespace {

TEST_F(Mpirun, TheAxisFoundByRankZeroIsTheAxisOfEveryRank) {
  // AUTO: rank 0 finds the axis and every rank reconstructs with it, as one process does.
  const path dir = scan("auto", with(kSmall, {"--slices", "5", "--turn", "360",
                                             "--axis-offset", "2.2", "--noise", "20000"}));
  e2e::set_parameter(dir / "phantom.par", "ROTATION_AXIS_POSITION", "AUTO");
  expect_same_as_alone(dir, "phantom.par", "recon.raw", {2, 3});
  // A sweep: rank 0 writes every record.
  e2e::set_parameter(dir / "phantom.par", "AXIS_SWEEP", "28.8 30.8 0.5");
  expect_same_as_alone(dir, "phantom.par", "recon.raw", {2});
  // An axis that cannot be found stops every rank: the first half turn of a sample wider than
  // the field of view.
  const path wide = scan("wide", with(kSmall, {"--slices", "3", "--turn", "360",
                                              "--half-acquisition", "--axis-offset", "-26"}));
  e2e::set_parameter(wide / "phantom.par", "HALF_ACQUISITION", "NO");
  e2e::set_parameter(wide / "phantom.par", "NUM_LAST_IMAGE", "48");
  e2e::set_parameter(wide / "phantom.par", "ROTATION_AXIS_POSITION", "AUTO");
  const RunResult job = mpirun(2, "phantom.par", wide);
  EXPECT_FALSE(job.hung) << described(job);
  EXPECT_NE(job.exit_code, 0) << described(job);
  EXPECT_NE(job.out.find("ERROR: The rotation axis could not be found"), std::string::npos)
      << described(job);
}

}  // namespace
