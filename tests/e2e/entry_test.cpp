// Whole runs of the program: console transcript and exit code for the usage text and for
// parameter files that cannot be used.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

namespace fs = std::filesystem;
using test_support::RunResult;

const std::string kBanner =
    " \n"
    "                --------------\n"
    "                RAV_VUZAV V1.7\n"
    "                --------------\n"
    " \n"
    "AXIS POSITION SHOULD NOW BE 'IMAGE CENTRE - OFFSET' FOR ALL\n"
    "RECONSTRUCTION METHODS.\n"
    "e.g. For 1024 pixel width, 'IMAGE CENTRE' is 512.0\n"
    " \n";

// The lines after the parameter file was read, when nothing was reconstructed.
std::string closing(const std::string& output_file) {
  const std::string info = output_file.empty() ? "INFO: Output file:"
                                               : "INFO: Output file: " + output_file;
  return info + "\n \n \n" + info + "\nINFO: RAV_VUZAV V1.7  FINISHED\n \n";
}

class Entry : public testing::Test {
 protected:
  void SetUp() override { dir_ = test_support::test_directory("rav_entry"); }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& name, const std::string& content) {
    e2e::write_text(dir_ / name, content);
    return name;
  }
  RunResult run(const std::vector<std::string>& args) {
    return test_support::run(test_support::kVuzav, args, {.dir = dir_});
  }

  fs::path dir_;
};

TEST_F(Entry, NoArgumentPrintsUsage) {
  const RunResult r = run({});
  EXPECT_EQ(r.out, kBanner +
                       " \n"
                       "Usage:\n"
                       " \n"
                       "rav_vuzav my_parameters.par\n"
                       " \n"
                       "Where \"my_parameters.par\" is the parameter file created by \"rav_master\"\n"
                       " \n"
                       " \n");
  EXPECT_EQ(r.exit_code, 2);
}

TEST_F(Entry, MissingParameterFile) {
  const std::string expected = kBanner + "ERROR: Parameter file not found\n" + closing("");
  const RunResult r = run({"missing.par"});
  EXPECT_EQ(r.out, expected);
  EXPECT_EQ(r.exit_code, 1);
  // Arguments after the first are ignored.
  write("other.par", "! RAV_VUZAV PARAMETER FILE\n");
  const RunResult extra = run({"missing.par", "other.par", "-LAND"});
  EXPECT_EQ(extra.out, expected);
  EXPECT_EQ(extra.exit_code, 1);
}

TEST_F(Entry, BadValuesAreAllReportedAndNothingIsReconstructed) {
  write("bad.par",
        "! RAV_VUZAV PARAMETER FILE\n"
        "NUM_IMAGE_1 = 12.5\n"
        "OUTPUT_FILE = slices.raw\n"
        "ANGLE_OFFSET = north\n");
  const RunResult r = run({"bad.par"});
  EXPECT_EQ(r.out, kBanner +
                       "ERROR: Problem interpreting value associated keyword: NUM_IMAGE_1\n"
                       "       Value = 12.5\n"
                       "ERROR: Problem interpreting value associated keyword: ANGLE_OFFSET\n"
                       "       Value = north\n" +
                       closing("slices.raw"));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(fs::exists(dir_ / "slices.raw"));
  EXPECT_FALSE(fs::exists(dir_ / "slices.raw.info"));
}

TEST_F(Entry, HeaderPrecededByBlanksIsReported) {
  write("blanks.par",
        "  ! RAV_VUZAV PARAMETER FILE\n"
        "OUTPUT_FILE = slices.raw\n");
  const RunResult r = run({"blanks.par"});
  EXPECT_EQ(r.out, kBanner +
                       "ERROR: blanks.par is not a parameter file: its first line must be\n"
                       "       \"! RAV_VUZAV PARAMETER FILE\", starting in column 1\n" +
                       closing(""));
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_FALSE(fs::exists(dir_ / "slices.raw"));
}

TEST_F(Entry, HelpAndVersionAnswerAndEndWell) {
  const RunResult version = run({"--version"});
  EXPECT_EQ(version.out, "RAV_VUZAV V1.7\n");
  EXPECT_EQ(version.exit_code, 0);
  const RunResult help = run({"--help"});
  EXPECT_EQ(help.out.substr(0, help.out.find("\n \n")), "Usage:");
  EXPECT_NE(help.out.find("\nrav_vuzav my_parameters.par\n"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("\n  --version "), std::string::npos) << help.out;
  EXPECT_EQ(help.exit_code, 0);
}

}  // namespace
