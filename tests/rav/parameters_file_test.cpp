// Parameter files: header check, comments and blank lines, reporting of bad values, missing files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "../support/files.h"
#include "rav.h"
#include "ut.h"

namespace {

namespace fs = std::filesystem;

class ParameterFile : public testing::Test {
 protected:
  void SetUp() override { dir_ = test_support::test_directory("rav_parameters"); }
  void TearDown() override { fs::remove_all(dir_); }

  std::string write(const std::string& content, const std::string& name = "run.par") {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }

  // Reads FILE_NAME into parameters_ (defaults first) and keeps what was printed.
  void read(const std::string& file_name) {
    parameters_ = ParameterSet{};
    ST_DEF_SYSTEM(status_);
    retstat_ = -7;
    testing::internal::CaptureStdout();
    RAV_READ_PARAMETERS(file_name, retstat_, parameters_, status_);
    std::fflush(stdout);
    output_ = testing::internal::GetCapturedStdout();
  }

  fs::path dir_;
  ParameterSet parameters_;
  std::int32_t retstat_ = 0;
  std::int32_t status_ = ST_OK;
  std::string output_;
};

constexpr const char* kHeader = "! RAV_VUZAV PARAMETER FILE\n";

TEST_F(ParameterFile, HeaderOnlyGivesAllDefaults) {
  read(write(kHeader));
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(output_, "");
  const ParameterSet defaults;
  EXPECT_EQ(parameters_.NUM_IMAGE_1, defaults.NUM_IMAGE_1);
  EXPECT_EQ(parameters_.FF_NUM_LAST_IMAGE, 900);
  EXPECT_TRUE(parameters_.TAKE_LOGARITHM);
  EXPECT_EQ(parameters_.OUTPUT_FILE, "");
}

TEST_F(ParameterFile, HeaderWithTrailingBlanksOrWindowsLineEndsIsAccepted) {
  read(write("! RAV_VUZAV PARAMETER FILE     \nNUM_IMAGE_1 = 64\n"));
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(parameters_.NUM_IMAGE_1, 64);

  read(write("! RAV_VUZAV PARAMETER FILE\r\nNUM_IMAGE_1 = 65\r\nOUTPUT_FILE = out.raw\r\n"));
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(parameters_.NUM_IMAGE_1, 65);
  EXPECT_EQ(parameters_.OUTPUT_FILE, "out.raw");
}

TEST_F(ParameterFile, BadHeadersAreReported) {
  for (const char* content : {
           "  ! RAV_VUZAV PARAMETER FILE\nNUM_IMAGE_1 = 64\n",  // preceded by blanks
           "! rav_vuzav parameter file\nNUM_IMAGE_1 = 64\n",    // case matters
           "! RAV_VUZAV PARAMETER FILE V2\nNUM_IMAGE_1 = 64\n", // something after it
           "NUM_IMAGE_1 = 64\n",                                // no header
           "",                                                  // empty file
       }) {
    SCOPED_TRACE(content);
    const std::string name = write(content);
    read(name);
    EXPECT_EQ(retstat_, 2);
    EXPECT_EQ(status_, ST_OK);
    EXPECT_EQ(output_, "ERROR: " + name + " is not a parameter file: its first line must be\n"
                       "       \"! RAV_VUZAV PARAMETER FILE\", starting in column 1\n");
    EXPECT_EQ(parameters_.NUM_IMAGE_1, -1000000);
  }
}

TEST_F(ParameterFile, ByteOrderMarkBeforeTheHeaderIsSkipped) {
  read(write("\xEF\xBB\xBF! RAV_VUZAV PARAMETER FILE\r\nNUM_IMAGE_1 = 64\r\n"));
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(output_, "");
  EXPECT_EQ(parameters_.NUM_IMAGE_1, 64);
}

TEST_F(ParameterFile, MissingFileIsReported) {
  read((dir_ / "no_such.par").string());
  EXPECT_EQ(retstat_, 1);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(output_, "ERROR: Parameter file not found\n");
  // A folder is there: it is not "not found".
  read(dir_.string());
  EXPECT_EQ(retstat_, 1);
  EXPECT_EQ(output_, "ERROR: Parameter file cannot be read: Is a directory\n       " +
                         dir_.string() + "\n");
}

TEST_F(ParameterFile, CommentsBlankLinesAndLaterLinesWin) {
  read(write(std::string(kHeader) +
             "\n"
             "   \t  \n"
             "! NUM_IMAGE_1 = 1\n"
             "     ! NUM_IMAGE_2 = 1\n"
             "NUM_IMAGE_1 = 2048\n"
             "NUM_IMAGE_2 = 100\n"
             "NUM_IMAGE_2 = 200\n"
             "FILE_PREFIX = proj_\n"
             "SINOGRAM_PREFIX = sino_\n"
             "OUTPUT_FILE = first.raw\n"
             "OUTPUT_FILE = N.A.\n"
             "DISPLAY_GRAPHICS = no\n"
             "OUTPUT_SINOGRAMS = yes ! in any case\n"));
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(output_, "");
  EXPECT_TRUE(parameters_.OUTPUT_SINOGRAMS);
  EXPECT_EQ(parameters_.PARAMETER_FILE, (dir_ / "run.par").string());
  EXPECT_EQ(parameters_.NUM_IMAGE_1, 2048);
  EXPECT_EQ(parameters_.NUM_IMAGE_2, 200);
  EXPECT_EQ(parameters_.FILE_PREFIX, "sino_");
  EXPECT_EQ(parameters_.OUTPUT_FILE, "first.raw");
  EXPECT_FALSE(parameters_.DISPLAY_GRAPHICS);
  EXPECT_EQ(parameters_.FILE_POSTFIX, "");
}

TEST_F(ParameterFile, EveryBadValueIsReportedAndReadingGoesOn) {
  read(write(std::string(kHeader) +
             "NUM_IMAGE_1 = 12.5\n"
             "NUM_IMAGE_2 = 64\n"
             "ANGLE_BETWEEN_PROJECTIONS = 0.2deg\n"
             "OUTPUT_FILE = slices.raw\n"));
  EXPECT_EQ(retstat_, 1);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(output_,
            "ERROR: Problem interpreting value associated keyword: NUM_IMAGE_1\n"
            "       Value = 12.5\n"
            "ERROR: Problem interpreting value associated keyword: ANGLE_BETWEEN_PROJECTIONS\n"
            "       Value = 0.2deg\n");
  EXPECT_EQ(parameters_.NUM_IMAGE_1, -1000000);
  EXPECT_EQ(parameters_.NUM_IMAGE_2, 64);
  EXPECT_EQ(parameters_.OUTPUT_FILE, "slices.raw");
}

TEST_F(ParameterFile, LongLinesAreReadWhole) {
  // The value starts in column 295 and ends beyond column 300: it is not cut there.
  const std::string pad(280, ' ');
  read(write(std::string(kHeader) + pad + "OUTPUT_FILE = abcdefghij\n" +
             "NUM_IMAGE_1 = 7\n"));
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(parameters_.OUTPUT_FILE, "abcdefghij");
  EXPECT_EQ(parameters_.NUM_IMAGE_1, 7);
}

TEST_F(ParameterFile, LastLineWithoutLineEndIsRead) {
  read(write(std::string(kHeader) + "NUM_IMAGE_1 = 9"));
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(parameters_.NUM_IMAGE_1, 9);
}

TEST_F(ParameterFile, FileIsClosedSoItCanBeReadAgain) {
  const std::string name = write(std::string(kHeader) + "NUM_IMAGE_1 = 11\n");
  for (int i = 0; i < 3; ++i) {
    read(name);
    EXPECT_EQ(retstat_, 0);
    EXPECT_EQ(parameters_.NUM_IMAGE_1, 11);
  }
  read(write("wrong header\n", "other.par"));
  EXPECT_EQ(retstat_, 2);
  read(name);
  EXPECT_EQ(retstat_, 0);
}

TEST_F(ParameterFile, ExampleParameterFileIsComplete) {
  read(RAV_SOURCE_DIR "/examples/example.par");
  EXPECT_EQ(retstat_, 0);
  EXPECT_EQ(output_, "");
  EXPECT_EQ(parameters_.FILE_PREFIX, "proj_");
  EXPECT_EQ(parameters_.NUM_LAST_IMAGE, 179);
  EXPECT_EQ(parameters_.NUM_IMAGE_1, 128);
  EXPECT_EQ(parameters_.END_VOXEL_3, 24);
  EXPECT_EQ(parameters_.FF_NUM_LAST_IMAGE, 900);  // N.A. keeps the default
  EXPECT_EQ(parameters_.OUTPUT_FILE, "example_slices.raw");
}

}  // namespace
