// Survey of bad inputs, parameter file rows: missing, unreadable, a directory, not a parameter
// file, and every keyword set to garbage. Nothing is reconstructed, the exit code is 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "survey.h"

namespace {

using rav_survey::lines_starting;
using rav_survey::expect_clean_end;
namespace fs = std::filesystem;

class ParameterSurvey : public rav_survey::Survey {};

// The file cannot be used: ERROR (the lines that start so), nothing was reconstructed and no
// output was written.
void expect_not_read(const test_support::RunResult& r, const std::vector<std::string>& errors) {
  expect_clean_end(r);
  EXPECT_EQ(lines_starting(r.out, "ERROR: "), errors) << r.out;
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out.find("Entered RAV_RECONSTRUCTION"), std::string::npos);
}

TEST_F(ParameterSurvey, MissingUnreadableOrDirectory) {
  expect_not_read(vuzav({"missing.par"}), {"ERROR: Parameter file not found"});

  // A file that is there but cannot be read says why, not "not found".
  make_scan();
  ::chmod(path("phantom.par").c_str(), 0);
  const test_support::RunResult unreadable = vuzav({"phantom.par"}, /*unprivileged=*/true);
  expect_not_read(unreadable, {"ERROR: Parameter file cannot be read: Permission denied"});
  EXPECT_NE(unreadable.out.find("Permission denied\n       phantom.par\n"), std::string::npos);

  fs::create_directory(path("dir.par"));
  expect_not_read(vuzav({"dir.par"}), {"ERROR: Parameter file cannot be read: Is a directory"});
  EXPECT_FALSE(fs::exists(path("recon.raw")));
}

// An empty file, an image given by mistake and a header that does not start in column 1: no
// header line, so the file is not read at all; the error names the file and the header.
TEST_F(ParameterSurvey, NotAParameterFile) {
  make_scan();
  write("empty.par", "");
  write("indented.par", "  " + read("phantom.par"));
  for (const std::string name : {"empty.par", "proj_0001.zlf", "indented.par"}) {
    SCOPED_TRACE(name);
    const test_support::RunResult r = vuzav({name});
    expect_not_read(r, {"ERROR: " + name + " is not a parameter file: its first line must be"});
    EXPECT_NE(r.out.find("\n       \"! RAV_VUZAV PARAMETER FILE\", starting in column 1\n"),
              std::string::npos);
  }
  EXPECT_FALSE(fs::exists(path("recon.raw")));
}

const std::vector<std::string> kNumericKeywords = {
    "NUM_FIRST_IMAGE", "NUM_FIRST_SINOGRAM", "NUM_LAST_IMAGE", "NUM_LAST_SINOGRAM",
    "FILE_INTERVAL", "SINOGRAM_INTERVAL", "LENGTH_OF_NUMERICAL_PART", "NUM_IMAGE_1",
    "NUM_IMAGE_2", "IMAGE_PIXEL_SIZE_1", "IMAGE_PIXEL_SIZE_2", "FF_NUM_FIRST_IMAGE",
    "FF_NUM_LAST_IMAGE", "FF_FILE_INTERVAL", "FF_LENGTH_OF_NUMERICAL_PART", "ANGLE_OFFSET",
    "ANGLE_BETWEEN_PROJECTIONS", "ROTATION_AXIS_POSITION", "OVERSAMPLING_FACTOR",
    "CACHE_KILOBYTES", "SINOGRAM_MEGABYTES", "START_VOXEL_1", "START_VOXEL_2", "START_VOXEL_3",
    "END_VOXEL_1", "END_VOXEL_2", "END_VOXEL_3"};
const std::vector<std::string> kLogicalKeywords = {
    "NUMBER_LENGTH_VARIES", "SUBTRACT_BACKGROUND", "CORRECT_FLATFIELD", "FLATFIELD_CHANGING",
    "FF_NUMBER_LENGTH_VARIES", "TAKE_LOGARITHM", "ROTATION_VERTICAL", "OUTPUT_SINOGRAMS",
    "OUTPUT_RECONSTRUCTION", "DISPLAY_GRAPHICS", "RECONSTRUCT_FROM_SINOGRAMS"};
const std::vector<std::string> kOtherKeywords = {
    "FILE_PREFIX", "SINOGRAM_PREFIX", "NUMBER_LENGTH_VARIES", "FILE_POSTFIX",
    "SINOGRAM_POSTFIX", "SUBTRACT_BACKGROUND", "BACKGROUND_FILE", "CORRECT_FLATFIELD",
    "FLATFIELD_CHANGING", "FLATFIELD_FILE", "FF_PREFIX", "FF_NUMBER_LENGTH_VARIES",
    "FF_POSTFIX", "TAKE_LOGARITHM", "ROTATION_VERTICAL", "OUTPUT_SINOGRAMS",
    "OUTPUT_RECONSTRUCTION", "OUTPUT_FILE", "DISPLAY_GRAPHICS", "RECONSTRUCT_FROM_SINOGRAMS"};

// Every one of the 47 keywords set to values that are no numbers and no YES or NO: each number
// and each YES/NO keyword is reported (a value too long for any field: every keyword), nothing is
// reconstructed, no output file appears.
TEST_F(ParameterSurvey, EveryKeywordGarbage) {
  const std::vector<std::string> garbage = {
      "#garbage!", "nan", "-inf", "1e39", "-3.5d99", "12.5.3", std::string(300, 'Z'),
      "\x01\x02\x7f\xff", "0x10", "--5"};
  std::vector<std::string> reported = kNumericKeywords;
  for (const std::string& k : kOtherKeywords) {
    if (std::find(kLogicalKeywords.begin(), kLogicalKeywords.end(), k) != kLogicalKeywords.end()) {
      reported.push_back(k);
    }
  }
  for (const std::string& value : garbage) {
    SCOPED_TRACE(value.substr(0, 20));
    std::string text = "! RAV_VUZAV PARAMETER FILE\n";
    for (const std::string& k : kNumericKeywords) text += k + " = " + value + "\n";
    for (const std::string& k : kOtherKeywords) text += k + " = " + value + "\n";
    write("garbage.par", text);
    const test_support::RunResult r = vuzav({"garbage.par"});
    expect_clean_end(r);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.out.find("Entered RAV_RECONSTRUCTION"), std::string::npos);
    const bool too_long = value.size() > 132;
    const std::string error = too_long ? "ERROR: Value too long for keyword "
                                       : "ERROR: Problem interpreting value associated keyword: ";
    const std::vector<std::string> errors = lines_starting(r.out, error);
    const std::size_t count = too_long ? kNumericKeywords.size() + kOtherKeywords.size()
                                       : reported.size();
    ASSERT_EQ(errors.size(), count) << r.out;
    for (std::size_t i = 0; !too_long && i < errors.size(); ++i) {
      EXPECT_EQ(errors[i], error + reported[i]);
    }
    EXPECT_EQ(lines_starting(r.out, "       Value = ").size(), count);
    // Only the parameter file is left in the directory.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  }
}

// Values that convert but cannot describe a run: refused with one "ERROR: " line naming the
// keyword, before anything is allocated or written.
TEST_F(ParameterSurvey, AbsurdValues) {
  struct Case {
    std::vector<std::pair<std::string, std::string>> values;
    std::string error;
    std::vector<std::string> options;  // of rav_phantom
  };
  const std::vector<Case> cases = {
      {{{"NUM_IMAGE_1", "0"}}, "ERROR: NUM_IMAGE_1 = 0 is not a number of pixels (at least 1)", {}},
      {{{"NUM_IMAGE_2", "-5"}}, "ERROR: NUM_IMAGE_2 = -5 is not a number of pixels (at least 1)", {}},
      {{{"FILE_INTERVAL", "0"}}, "ERROR: FILE_INTERVAL = 0 is not an interval between file numbers", {}},
      {{{"NUM_FIRST_IMAGE", "-2147483648"}, {"NUM_LAST_IMAGE", "2147483647"}},
       "ERROR: NUM_FIRST_IMAGE = -2147483648 to NUM_LAST_IMAGE = 2147483647 in steps of 1 is too "
       "long a series", {}},
      {{{"START_VOXEL_1", "-2147483648"}},
       "ERROR: START_VOXEL_1 = -2147483648 to END_VOXEL_1 = 16 is more than 2147483647 voxels", {}},
      {{{"END_VOXEL_2", "-3"}}, "ERROR: END_VOXEL_2 = -3 is below START_VOXEL_2 = 1", {}},
      {{{"SINOGRAM_MEGABYTES", "0"}},
       "ERROR: SINOGRAM_MEGABYTES = 0 is too small for one sinogram of 768 bytes", {}},
      {{{"OVERSAMPLING_FACTOR", "-2147483648"}},
       "ERROR: OVERSAMPLING_FACTOR = -2147483648 is not a method (0 linear, 1 nearest bin, 2 or "
       "more oversampled)", {}},
      {{{"FF_FILE_INTERVAL", "0"}},
       "ERROR: FF_FILE_INTERVAL = 0 is not an interval between flat fields from 0 to 12",
       {"--flat-series", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    make_scan(c.options);
    for (const auto& [keyword, value] : c.values) set_parameter(keyword, value);
    const test_support::RunResult r = vuzav({"phantom.par"});
    expect_clean_end(r);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(lines_starting(r.out, "ERROR: "), std::vector<std::string>{c.error}) << r.out;
    EXPECT_FALSE(fs::exists(path("recon.raw")));
  }
  // A number width no file name can have: the first projection cannot be opened (at once, in
  // little memory), and the status report says so.
  make_scan();
  set_parameter("LENGTH_OF_NUMERICAL_PART", "2147483647");
  const test_support::RunResult r = vuzav({"phantom.par"});
  expect_clean_end(r);
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.out.find("Failed to open file"), std::string::npos);
  expect_no_complete_volume();
}

}  // namespace
