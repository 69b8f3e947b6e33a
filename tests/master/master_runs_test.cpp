// rav_master around runs: a run split into parts and joined, the check of a parameter file and
// its estimate against the real run, and scans it refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

#include "master_support.h"

namespace {

using namespace master_test;

using MasterRuns = ScratchTest;

TEST_F(MasterRuns, SplitIntoThreeAndJoinedGivesTheVolumeOfOneRun) {
  const fs::path dir = root_ / "scan";
  phantom(dir, {"--projections", "120", "--slices", "10", "--axis-offset", "2"});
  // The axis is left to the worker: the parts must use the one the whole run finds.
  ASSERT_EQ(master({dir.string(), "--yes", "--pixel-size", "100", "--axis", "AUTO"}).exit_code,
            0);
  const fs::path par = dir / "scan.par";
  ASSERT_EQ(test_support::run(test_support::kVuzav, {par.string()}).exit_code, 0);
  fs::rename(dir / "volume.raw", root_ / "one.raw");
  fs::rename(dir / "volume.raw.info", root_ / "one.raw.info");

  const RunResult split = master({"--split", "3", par.string()});
  ASSERT_EQ(split.exit_code, 0) << split.out;
  EXPECT_NE(test_support::read_text(dir / "scan_slurm.sh").find("#SBATCH --array=1-3"),
            std::string::npos);
  EXPECT_NE(test_support::read_text(dir / "scan_part3.par").find("START_VOXEL_3 = 8 "),
            std::string::npos);  // 4, 3 and 3 slices
  const RunResult joined = test_support::run("/bin/sh", {(dir / "scan_run.sh").string()});
  ASSERT_EQ(joined.exit_code, 0) << joined.out;
  EXPECT_EQ(test_support::read_text(dir / "volume.raw"), test_support::read_text(root_ / "one.raw"));
  EXPECT_EQ(test_support::read_text(dir / "volume.raw.info"),
            test_support::read_text(root_ / "one.raw.info"));
}

// The parts of a run that writes a TIFF volume are raw; the join writes the run's TIFF file.
TEST_F(MasterRuns, SplitTiffRunJoinsIntoTheVolumeOfOneRun) {
  const fs::path dir = root_ / "scan";
  phantom(dir, {"--projections", "60", "--slices", "5"});
  const fs::path par = dir / "phantom.par";
  std::ofstream(par, std::ios::app) << "OUTPUT_FORMAT = TIFF\n";
  ASSERT_EQ(test_support::run(test_support::kVuzav, {par.string()}, {.dir = dir}).exit_code, 0);
  fs::rename(dir / "recon.raw", root_ / "one.tif");
  ASSERT_EQ(master({"--split", "2", par.string()}).exit_code, 0);
  const RunResult joined = test_support::run("/bin/sh", {(dir / "phantom_run.sh").string()});
  ASSERT_EQ(joined.exit_code, 0) << joined.out;
  EXPECT_TRUE(test_support::read_text(dir / "recon.raw") ==
              test_support::read_text(root_ / "one.tif"))
      << "the joined TIFF file differs from the one run's";
}

TEST_F(MasterRuns, JoinRefusesMissingParts) {
  const fs::path dir = root_ / "scan";
  phantom(dir, {"--projections", "60", "--slices", "4"});
  const fs::path par = dir / "phantom.par";
  ASSERT_EQ(master({"--split", "2", par.string()}).exit_code, 0);
  const RunResult join = master({"--join", par.string()});
  EXPECT_EQ(join.exit_code, 1);
  EXPECT_NE(join.out.find("ERROR: " + (dir / "recon.raw.part1").string() + " (of "),
            std::string::npos)
      << join.out;
  EXPECT_FALSE(fs::exists(dir / "recon.raw"));
}

// One bad scan: what is done to a good one, and the file the error must name.
struct BadScan {
  const char* name;
  std::function<std::string(const fs::path&)> spoil;
};

TEST_F(MasterRuns, BadScansAreRefusedNamingTheFile) {
  const std::vector<BadScan> cases = {
      {"empty", [](const fs::path& d) { fs::remove_all(d); fs::create_directories(d);
                                        return d.string(); }},
      {"gap", [](const fs::path& d) { fs::remove(d / "proj_0007.zlf");
                                      return (d / "proj_0007.zlf").string(); }},
      {"sizes", [](const fs::path& d) {
         e2e::write_text(d / "proj_0005.zlf", test_support::read_text(d / "other" / "proj_0001.zlf"));
         return (d / "proj_0005.zlf").string(); }},
      {"header", [](const fs::path& d) { e2e::write_text(d / "proj_0003.zlf", "no header here");
                                         return (d / "proj_0003.zlf").string(); }},
  };
  for (const BadScan& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path dir = root_ / c.name;
    phantom(dir, {"--projections", "20", "--slices", "4", "--bins", "32"});
    phantom(dir / "other", {"--projections", "2", "--slices", "6", "--bins", "32"});
    const std::string named = c.spoil(dir);
    fs::remove_all(dir / "other");
    const RunResult r = master({dir.string(), "--yes"});
    EXPECT_EQ(r.exit_code, 1);
    const std::size_t error = r.out.find("ERROR: ");
    ASSERT_NE(error, std::string::npos) << r.out;
    EXPECT_NE(r.out.find(named, error), std::string::npos) << r.out;
    EXPECT_FALSE(fs::exists(dir / "scan.par"));
  }
}
}  // namespace

namespace {
TEST_F(MasterRuns, CheckReportsEveryProblemTheWorkerWouldMeet) {
  const fs::path dir = root_ / "scan";
  phantom(dir, {"--projections", "30", "--slices", "4", "--bins", "32"});
  phantom(dir / "other", {"--projections", "2", "--slices", "6", "--bins", "32"});
  const fs::path par = dir / "phantom.par";
  fs::remove(dir / "proj_0002.zlf");
  fs::copy_file(dir / "other" / "background.zlf", dir / "background.zlf",
                fs::copy_options::overwrite_existing);
  e2e::set_parameter(par, "OUTPUT_FILE", (dir / "flat.zlf").string());
  const RunResult r = master({"--check", par.string()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ERROR: Cannot open " + (dir / "proj_0002.zlf").string()),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ERROR: " + (dir / "background.zlf").string() + " has 32 x 6 pixels"),
            std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" is the same file as the flat field " + (dir / "flat.zlf").string()),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("3 problems that the worker would meet"), std::string::npos) << r.out;
}

// The estimate of --check against the run itself, on a scan whose run takes about a second.
TEST_F(MasterRuns, EstimateOfTheRunTimeIsCloseToTheRun) {
  const fs::path dir = root_ / "scan";
  phantom(dir, {"--bins", "384", "--projections", "600", "--slices", "24", "--subsamples", "1"});
  const fs::path par = dir / "phantom.par";
  const RunResult check = master({"--check", par.string()});
  ASSERT_EQ(check.exit_code, 0) << check.out;
  const std::string label = "run time: about ";
  const std::size_t at = check.out.find(label);
  ASSERT_NE(at, std::string::npos) << check.out;
  const double estimate = std::stod(check.out.substr(at + label.size()));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(test_support::run(test_support::kVuzav, {par.string()}).exit_code, 0);
  const double real =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("estimate %.2f s, run %.2f s, ratio %.2f\n", estimate, real, real / estimate);
  // Generous: the machine is shared while the tests run.
  EXPECT_GT(real / estimate, 0.5);
  EXPECT_LT(real / estimate, 2.0);
}
}  // namespace
