// Parameter lines: every keyword, value types, unit conversions and the lines that are ignored.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "rav.h"
#include "ut.h"

namespace {

struct Parsed {
  ParameterSet parameters;
  std::int32_t retstat = 0;
  std::int32_t status = ST_OK;
  std::string output;
};

Parsed parse(const std::string& line, ParameterSet start = {}) {
  Parsed result;
  result.parameters = std::move(start);
  ST_DEF_SYSTEM(result.status);
  testing::internal::CaptureStdout();
  RAV_PARSE_LINE(line, result.retstat, result.parameters, result.status);
  std::fflush(stdout);
  result.output = testing::internal::GetCapturedStdout();
  return result;
}

TEST(ParameterSetDefaults, EveryFieldStartsAtItsDefault) {
  const ParameterSet p;
  EXPECT_EQ(p.FILE_PREFIX, "");
  EXPECT_EQ(p.NUM_FIRST_IMAGE, -1000000);
  EXPECT_EQ(p.NUM_LAST_IMAGE, -1000000);
  EXPECT_EQ(p.FILE_INTERVAL, -1000000);
  EXPECT_FALSE(p.NUMBER_LENGTH_VARIES);
  EXPECT_EQ(p.LENGTH_OF_NUMERICAL_PART, 0);
  EXPECT_EQ(p.FILE_POSTFIX, "");
  EXPECT_EQ(p.NUM_IMAGE_1, -1000000);
  EXPECT_EQ(p.NUM_IMAGE_2, -1000000);
  EXPECT_EQ(p.IMAGE_PIXEL_SIZE_1, -1.0F);
  EXPECT_EQ(p.IMAGE_PIXEL_SIZE_2, -1.0F);
  EXPECT_FALSE(p.SUBTRACT_BACKGROUND);
  EXPECT_EQ(p.BACKGROUND_FILE, "");
  EXPECT_FALSE(p.CORRECT_FLATFIELD);
  EXPECT_FALSE(p.FLATFIELD_CHANGING);
  EXPECT_EQ(p.FLATFIELD_FILE, "");
  EXPECT_EQ(p.FF_NUM_FIRST_IMAGE, 0);
  EXPECT_EQ(p.FF_NUM_LAST_IMAGE, 900);
  EXPECT_EQ(p.FF_FILE_INTERVAL, 100);
  EXPECT_EQ(p.FF_PREFIX, "");
  EXPECT_FALSE(p.FF_NUMBER_LENGTH_VARIES);
  EXPECT_EQ(p.FF_LENGTH_OF_NUMERICAL_PART, 4);
  EXPECT_EQ(p.FF_POSTFIX, "");
  EXPECT_TRUE(p.TAKE_LOGARITHM);
  EXPECT_EQ(p.ANGLE_OFFSET, 0.0F);
  EXPECT_EQ(p.ANGLE_BETWEEN_PROJECTIONS, -1000000.0F);
  EXPECT_TRUE(p.ROTATION_VERTICAL);
  EXPECT_FALSE(p.OUTPUT_SINOGRAMS);
  EXPECT_TRUE(p.OUTPUT_RECONSTRUCTION);
  EXPECT_EQ(p.ROTATION_AXIS_POSITION, -1000000.0F);
  EXPECT_EQ(p.OVERSAMPLING_FACTOR, -1000000);
  EXPECT_EQ(p.CACHE_KILOBYTES, 4096);
  EXPECT_EQ(p.SINOGRAM_MEGABYTES, 800);
  EXPECT_EQ(p.OUTPUT_FILE, "");
  EXPECT_FALSE(p.DISPLAY_GRAPHICS);
  EXPECT_EQ(p.START_VOXEL_1, -1000000);
  EXPECT_EQ(p.START_VOXEL_2, -1000000);
  EXPECT_EQ(p.START_VOXEL_3, -1000000);
  EXPECT_EQ(p.END_VOXEL_1, -1000000);
  EXPECT_EQ(p.END_VOXEL_2, -1000000);
  EXPECT_EQ(p.END_VOXEL_3, -1000000);
  EXPECT_FALSE(p.RECONSTRUCT_FROM_SINOGRAMS);
}

// Each integer keyword, given a distinct value, lands in its own field and nowhere else.
TEST(ParameterLines, IntegerKeywords) {
  const struct {
    const char* keyword;
    std::int32_t ParameterSet::*field;
  } cases[] = {
      {"NUM_FIRST_IMAGE", &ParameterSet::NUM_FIRST_IMAGE},
      {"NUM_FIRST_SINOGRAM", &ParameterSet::NUM_FIRST_IMAGE},
      {"NUM_LAST_IMAGE", &ParameterSet::NUM_LAST_IMAGE},
      {"NUM_LAST_SINOGRAM", &ParameterSet::NUM_LAST_IMAGE},
      {"FILE_INTERVAL", &ParameterSet::FILE_INTERVAL},
      {"SINOGRAM_INTERVAL", &ParameterSet::FILE_INTERVAL},
      {"LENGTH_OF_NUMERICAL_PART", &ParameterSet::LENGTH_OF_NUMERICAL_PART},
      {"NUM_IMAGE_1", &ParameterSet::NUM_IMAGE_1},
      {"NUM_IMAGE_2", &ParameterSet::NUM_IMAGE_2},
      {"FF_NUM_FIRST_IMAGE", &ParameterSet::FF_NUM_FIRST_IMAGE},
      {"FF_NUM_LAST_IMAGE", &ParameterSet::FF_NUM_LAST_IMAGE},
      {"FF_FILE_INTERVAL", &ParameterSet::FF_FILE_INTERVAL},
      {"FF_LENGTH_OF_NUMERICAL_PART", &ParameterSet::FF_LENGTH_OF_NUMERICAL_PART},
      {"OVERSAMPLING_FACTOR", &ParameterSet::OVERSAMPLING_FACTOR},
      {"CACHE_KILOBYTES", &ParameterSet::CACHE_KILOBYTES},
      {"SINOGRAM_MEGABYTES", &ParameterSet::SINOGRAM_MEGABYTES},
      {"START_VOXEL_1", &ParameterSet::START_VOXEL_1},
      {"START_VOXEL_2", &ParameterSet::START_VOXEL_2},
      {"START_VOXEL_3", &ParameterSet::START_VOXEL_3},
      {"END_VOXEL_1", &ParameterSet::END_VOXEL_1},
      {"END_VOXEL_2", &ParameterSet::END_VOXEL_2},
      {"END_VOXEL_3", &ParameterSet::END_VOXEL_3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyword);
    const Parsed r = parse(std::string(c.keyword) + " = -1234");
    EXPECT_EQ(r.parameters.*c.field, -1234);
    EXPECT_EQ(r.retstat, 0);
    EXPECT_EQ(r.status, ST_OK);
    EXPECT_EQ(r.output, "");
    // Every other integer field kept its default.
    const ParameterSet defaults;
    for (const auto& other : cases) {
      if (other.field != c.field) {
        EXPECT_EQ(r.parameters.*other.field, defaults.*other.field);
      }
    }
  }
}

TEST(ParameterLines, RealKeywordsAndTheirUnits) {
  const struct {
    const char* line;
    float ParameterSet::*field;
    float expected;
  } cases[] = {
      {"IMAGE_PIXEL_SIZE_1 = 6.5", &ParameterSet::IMAGE_PIXEL_SIZE_1, 6.5F * 1.0E-6F},
      {"IMAGE_PIXEL_SIZE_2 = 13", &ParameterSet::IMAGE_PIXEL_SIZE_2, 13.0F * 1.0E-6F},
      {"ANGLE_OFFSET = 90.0", &ParameterSet::ANGLE_OFFSET, 90.0F * 0.017453292F},
      {"ANGLE_BETWEEN_PROJECTIONS = 0.2", &ParameterSet::ANGLE_BETWEEN_PROJECTIONS,
       0.2F * 0.017453292F},
      {"ROTATION_AXIS_POSITION = 512.25", &ParameterSet::ROTATION_AXIS_POSITION, 512.25F},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const Parsed r = parse(c.line);
    EXPECT_FLOAT_EQ(r.parameters.*c.field, c.expected);
    EXPECT_EQ(r.retstat, 0);
  }
  // The stored angle is the single-precision product, bit for bit.
  EXPECT_EQ(parse("ANGLE_BETWEEN_PROJECTIONS = 0.2").parameters.ANGLE_BETWEEN_PROJECTIONS,
            0.2F * 0.017453292F);
  EXPECT_EQ(parse("IMAGE_PIXEL_SIZE_1 = 6.5").parameters.IMAGE_PIXEL_SIZE_1, 6.5F * 1.0E-6F);
}

TEST(ParameterLines, LogicalKeywordsTakeYesOrNoInAnyCase) {
  const struct {
    const char* keyword;
    bool ParameterSet::*field;
  } cases[] = {
      {"NUMBER_LENGTH_VARIES", &ParameterSet::NUMBER_LENGTH_VARIES},
      {"SUBTRACT_BACKGROUND", &ParameterSet::SUBTRACT_BACKGROUND},
      {"CORRECT_FLATFIELD", &ParameterSet::CORRECT_FLATFIELD},
      {"FLATFIELD_CHANGING", &ParameterSet::FLATFIELD_CHANGING},
      {"FF_NUMBER_LENGTH_VARIES", &ParameterSet::FF_NUMBER_LENGTH_VARIES},
      {"TAKE_LOGARITHM", &ParameterSet::TAKE_LOGARITHM},
      {"ROTATION_VERTICAL", &ParameterSet::ROTATION_VERTICAL},
      {"OUTPUT_SINOGRAMS", &ParameterSet::OUTPUT_SINOGRAMS},
      {"OUTPUT_RECONSTRUCTION", &ParameterSet::OUTPUT_RECONSTRUCTION},
      {"DISPLAY_GRAPHICS", &ParameterSet::DISPLAY_GRAPHICS},
      {"RECONSTRUCT_FROM_SINOGRAMS", &ParameterSet::RECONSTRUCT_FROM_SINOGRAMS},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyword);
    ParameterSet all_false;
    ParameterSet all_true;
    for (const auto& f : cases) {
      all_false.*f.field = false;
      all_true.*f.field = true;
    }
    for (const char* yes : {"YES", "yes", "Yes"}) {
      EXPECT_TRUE(parse(std::string(c.keyword) + " = " + yes, all_false).parameters.*c.field);
    }
    for (const char* no : {"NO", "no", "No"}) {
      const Parsed r = parse(std::string(c.keyword) + " = " + no, all_true);
      EXPECT_FALSE(r.parameters.*c.field);
      EXPECT_EQ(r.output, "");
    }
    // Anything else is neither: reported, and the field keeps its value.
    for (const char* other : {"TRUE", "Y", "1", "YES.", "maybe"}) {
      SCOPED_TRACE(other);
      const Parsed r = parse(std::string(c.keyword) + " = " + other, all_true);
      EXPECT_TRUE(r.parameters.*c.field);
      EXPECT_EQ(r.retstat, 1);
      EXPECT_EQ(r.output, "ERROR: Problem interpreting value associated keyword: " +
                              std::string(c.keyword) + "\n       Value = " + other +
                              "\n       The value must be YES or NO\n");
    }
  }
}

TEST(ParameterLines, TextKeywordsAndSecondNames) {
  const struct {
    const char* keyword;
    std::string ParameterSet::*field;
  } cases[] = {
      {"FILE_PREFIX", &ParameterSet::FILE_PREFIX},
      {"SINOGRAM_PREFIX", &ParameterSet::FILE_PREFIX},
      {"FILE_POSTFIX", &ParameterSet::FILE_POSTFIX},
      {"SINOGRAM_POSTFIX", &ParameterSet::FILE_POSTFIX},
      {"BACKGROUND_FILE", &ParameterSet::BACKGROUND_FILE},
      {"FLATFIELD_FILE", &ParameterSet::FLATFIELD_FILE},
      {"FF_PREFIX", &ParameterSet::FF_PREFIX},
      {"FF_POSTFIX", &ParameterSet::FF_POSTFIX},
      {"OUTPUT_FILE", &ParameterSet::OUTPUT_FILE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keyword);
    const Parsed r = parse(std::string(c.keyword) + " = /data/Scan-01/x.zlf");
    EXPECT_EQ(r.parameters.*c.field, "/data/Scan-01/x.zlf");  // case kept
  }
}

TEST(ParameterLines, ValuesLongerThanTheirFieldAreReported) {
  // A token holds 132 characters, a postfix 80: a longer value is never stored cut.
  for (const auto& [keyword, limit] :
       {std::pair<std::string, int>{"OUTPUT_FILE", 132}, {"FILE_POSTFIX", 80}, {"FF_POSTFIX", 80},
        {"NUM_IMAGE_1", 132}}) {
    SCOPED_TRACE(keyword);
    if (keyword != "NUM_IMAGE_1") {
      EXPECT_EQ(parse(keyword + " = " + std::string(limit, '7')).retstat, 0);
    }
    const Parsed r = parse(keyword + " = " + std::string(limit + 1, '7'));
    EXPECT_EQ(r.retstat, 1);
    EXPECT_EQ(r.parameters.OUTPUT_FILE, "");
    EXPECT_EQ(r.output.substr(0, r.output.find('\n')),
              "ERROR: Value too long for keyword " + keyword + ": " + std::to_string(limit + 1) +
                  " characters, the limit is " + std::to_string(limit));
  }
}

TEST(ParameterLines, OnlyACommentMayFollowTheValue) {
  EXPECT_EQ(parse("FILE_POSTFIX = .zlf ! the extension, too").parameters.FILE_POSTFIX, ".zlf");
  EXPECT_EQ(parse("FILE_POSTFIX = .zlf !no blank").parameters.FILE_POSTFIX, ".zlf");
  EXPECT_EQ(parse("\tNUM_IMAGE_1\t=\t2048  ").parameters.NUM_IMAGE_1, 2048);
  EXPECT_EQ(parse("NUM_IMAGE_1,=,2048").parameters.NUM_IMAGE_1, 2048);
  // A decimal comma, a name with a blank, a second word: reported, nothing stored.
  for (const auto& [line, rest] :
       {std::pair<std::string, std::string>{"IMAGE_PIXEL_SIZE_1 = 8,5", "5"},
        {"OUTPUT_FILE = my volume.raw", "volume.raw"},
        {"FILE_POSTFIX = .zlf,extra", "extra"}}) {
    SCOPED_TRACE(line);
    const Parsed r = parse(line);
    EXPECT_EQ(r.retstat, 1);
    EXPECT_EQ(r.parameters.IMAGE_PIXEL_SIZE_1, -1.0F);
    EXPECT_EQ(r.parameters.OUTPUT_FILE, "");
    EXPECT_EQ(r.parameters.FILE_POSTFIX, "");
    EXPECT_EQ(r.output.substr(0, r.output.find('\n')),
              "ERROR: Unexpected text after the value of keyword " +
                  line.substr(0, line.find(' ')) + ": " + rest);
  }
}

TEST(ParameterLines, LinesThatSetNothing) {
  const ParameterSet defaults;
  const std::string no_equals =
      "WARNING: Line ignored, \" = \" (with blanks around it) does not follow its first word:\n";
  for (const auto& [line, output] : std::vector<std::pair<std::string, std::string>>{
           {"FILE_PREFIX=proj_", no_equals + "         FILE_PREFIX=proj_\n"},
           {"FILE_PREFIX =proj_", no_equals + "         FILE_PREFIX =proj_\n"},
           {"FILE_PREFIX : proj_", no_equals + "         FILE_PREFIX : proj_\n"},
           {"FILE_PREFIX", no_equals + "         FILE_PREFIX\n"},
           {"file_prefix = proj_",
            "WARNING: Unknown keyword file_prefix: line ignored (keywords are upper case: "
            "FILE_PREFIX)\n"},
           {"UNKNOWN_KEYWORD = 3", "WARNING: Unknown keyword UNKNOWN_KEYWORD: line ignored\n"},
           {"FILE_PREFIX =", "WARNING: No value for keyword FILE_PREFIX: line ignored\n"},
           {"OUTPUT_FILE = N.A.", ""},  // "not applicable"
           {"OUTPUT_FILE = n.a.", ""},
           {"NUM_IMAGE_1 = N.a. ! not needed", ""},
       }) {
    SCOPED_TRACE(line);
    const Parsed r = parse(line);
    EXPECT_EQ(r.parameters.FILE_PREFIX, defaults.FILE_PREFIX);
    EXPECT_EQ(r.parameters.OUTPUT_FILE, defaults.OUTPUT_FILE);
    EXPECT_EQ(r.parameters.NUM_IMAGE_1, defaults.NUM_IMAGE_1);
    EXPECT_EQ(r.retstat, 0);
    EXPECT_EQ(r.status, ST_OK);
    EXPECT_EQ(r.output, output);
  }
  // "N.A." keeps a value set earlier, not just the default.
  ParameterSet set;
  set.OUTPUT_FILE = "slices.raw";
  EXPECT_EQ(parse("OUTPUT_FILE = N.A.", set).parameters.OUTPUT_FILE, "slices.raw");
}

TEST(ParameterLines, BadNumbersAreReportedAndKeepTheField) {
  const Parsed r = parse("NUM_IMAGE_1 = 12.5");
  EXPECT_EQ(r.retstat, 1);
  EXPECT_EQ(r.status, ST_OK);
  EXPECT_EQ(r.parameters.NUM_IMAGE_1, -1000000);
  EXPECT_EQ(r.output,
            "ERROR: Problem interpreting value associated keyword: NUM_IMAGE_1\n"
            "       Value = 12.5\n");

  const Parsed angle = parse("ANGLE_OFFSET = ten");
  EXPECT_EQ(angle.retstat, 1);
  EXPECT_EQ(angle.parameters.ANGLE_OFFSET, 0.0F);
  EXPECT_EQ(angle.output,
            "ERROR: Problem interpreting value associated keyword: ANGLE_OFFSET\n"
            "       Value = ten\n");

  // Only the first 70 characters of the value are shown.
  const std::string long_value(100, 'x');
  const Parsed shown = parse("CACHE_KILOBYTES = " + long_value);
  EXPECT_EQ(shown.output,
            "ERROR: Problem interpreting value associated keyword: CACHE_KILOBYTES\n"
            "       Value = " + std::string(70, 'x') + "\n");

  // An integer beyond 32 bits does not convert.
  EXPECT_EQ(parse("SINOGRAM_MEGABYTES = 4294967296").retstat, 1);
}

TEST(ParameterLines, RetstatIsNeverReset) {
  ParameterSet p;
  std::int32_t retstat = 1;
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  RAV_PARSE_LINE("NUM_IMAGE_1 = 64", retstat, p, status);
  EXPECT_EQ(retstat, 1);
  EXPECT_EQ(p.NUM_IMAGE_1, 64);
}

TEST(ParameterLines, BadStatusOnEntryDoesNothing) {
  ParameterSet p;
  std::int32_t retstat = 0;
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  status = 11010;
  RAV_PARSE_LINE("NUM_IMAGE_1 = 64", retstat, p, status);
  EXPECT_EQ(p.NUM_IMAGE_1, -1000000);
  EXPECT_EQ(status, 11010);
  EXPECT_EQ(SLEN(st_position()), SLEN("Subroutine RAV_PARSE_LINE V0.11"));
  EXPECT_EQ(st_position().substr(0, 31), "Subroutine RAV_PARSE_LINE V0.11");
  ST_DEF_SYSTEM(status);
}

}  // namespace
