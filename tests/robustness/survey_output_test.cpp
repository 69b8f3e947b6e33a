// Survey of bad inputs, output rows: a directory that cannot be written, a directory or a
// missing directory in place of the output file, a full disk (the full device, a small file
// system) for the slices and for the info file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "survey.h"

namespace {

namespace fs = std::filesystem;
using rav_survey::lines_starting;
using rav_survey::expect_clean_end;

class OutputSurvey : public rav_survey::Survey {};

// The output file could not be opened: the drivers' three lines, exit code 1, nothing read.
void expect_open_refused(const test_support::RunResult& r, const std::string& name, int error) {
  expect_clean_end(r);
  EXPECT_EQ(r.exit_code, 1);
  const std::string code = std::to_string(error);
  EXPECT_NE(r.out.find("ERROR: Problem openning output file\n       " + name + "\nretstat = " +
                       std::string(6 - code.size(), ' ') + code + "\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("INFO: Inputting"), std::string::npos);
}

TEST_F(OutputSurvey, OutputFileCannotBeOpened) {
  make_scan();
  fs::create_directory(path("ro"));
  ::chmod(path("ro").c_str(), 0555);
  set_parameter("OUTPUT_FILE", "ro/recon.raw");
  expect_open_refused(vuzav({"phantom.par"}, /*unprivileged=*/true), "ro/recon.raw", 13);
  EXPECT_TRUE(fs::is_empty(path("ro")));

  set_parameter("OUTPUT_FILE", "missing/recon.raw");
  expect_open_refused(vuzav({"phantom.par"}), "missing/recon.raw", 2);

  set_parameter("OUTPUT_FILE", "recon.raw");
  fs::create_directory(path("recon.raw"));
  expect_open_refused(vuzav({"phantom.par"}), "recon.raw", 21);
}

TEST_F(OutputSurvey, FolderNotWritable) {
  // The output file may be written but its folder not: the volume, which is written under a
  // temporary name beside it and renamed when complete, cannot be; the earlier file stays.
  make_scan();
  write("recon.raw", "earlier");
  ::chmod(dir_.c_str(), 0555);
  const test_support::RunResult r = vuzav({"phantom.par"}, /*unprivileged=*/true);
  ::chmod(dir_.c_str(), 0777);
  expect_open_refused(r, "recon.raw", 13);
  EXPECT_NE(r.out.find("retstat =     13\n       The volume is written under a temporary name"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(read("recon.raw"), "earlier");
  EXPECT_FALSE(fs::exists(path("recon.raw.info")));
}

TEST_F(OutputSurvey, FullDevice) {
  make_scan();
  ASSERT_EQ(vuzav({"phantom.par"}).exit_code, 0);  // an earlier complete volume
  fs::remove(path("recon.raw"));
  fs::create_symlink("/dev/full", path("recon.raw"));
  const test_support::RunResult r = vuzav({"phantom.par"});
  expect_clean_end(r);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(lines_starting(r.out, "ERROR: "),
            std::vector<std::string>{"ERROR: Problem writing record 1 of output file recon.raw: "
                                     "No space left on device"})
      << r.out;
  EXPECT_EQ(r.out.find("FINISHED"), std::string::npos);
  expect_no_complete_volume();
}

TEST_F(OutputSurvey, SmallFileSystem) {
  // 64 x 64 slices (16 KiB each) onto a file system of 16 KiB: the second record fails.
  make_scan();
  ASSERT_EQ(vuzav({"phantom.par"}).exit_code, 0);
  set_parameter("OUTPUT_FILE", "small/recon.raw");
  set_parameter("END_VOXEL_1", "64");
  set_parameter("END_VOXEL_2", "64");
  // The lock file takes the first of the four pages, so the first record does not fit.
  test_support::RunResult r = vuzav_small_fs("phantom.par", "small", 16384);
  if (r.exit_code == test_support::kNoSmallFs) GTEST_SKIP() << "cannot mount a tmpfs here";
  expect_clean_end(r);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(lines_starting(r.out, "ERROR: "),
            std::vector<std::string>{"ERROR: Problem writing record 1 of output file "
                                     "small/recon.raw: No space left on device"})
      << r.out;
  EXPECT_EQ(r.out.substr(r.out.find("LISTING\n")), "LISTING\n");  // nothing left

  // Room for the lock and the slices (a page each) but not for the info file: reported, exit
  // code 1, and nothing left.
  set_parameter("END_VOXEL_1", "16");
  set_parameter("END_VOXEL_2", "16");
  r = vuzav_small_fs("phantom.par", "small", 8192);
  expect_clean_end(r);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("ERROR: Failed to output ASCII text to an output file."),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("Write to output file failed"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.substr(r.out.find("LISTING\n")), "LISTING\n");
}

}  // namespace
