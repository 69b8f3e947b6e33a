// The image writer and its header builder: the exact bytes of the files it writes.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/files.h"
#include "dax.h"
#include "ut.h"

namespace fs = std::filesystem;

namespace {

class Writer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::test_directory("dax_writer");
    ST_DEF_SYSTEM(status_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The header the writer must produce for a WIDTH x HEIGHT region of type TYPE.
  static std::string expected_header(int width, int height, const std::string& type) {
    std::string header = "{\nHeaderID = KV:000001:000000:000000;\nImage = 1;\n";
    header += std::string("ByteOrder = ") +
              (std::endian::native == std::endian::big ? "HighByteFirst" : "LowByteFirst") + ";\n";
    header += "DataType = " + type + ";\nDim_1 = " + std::to_string(width) +
              ";\nDim_2 = " + std::to_string(height) + ";\n";
    header.resize(1022, ' ');
    return header + "}\n";
  }
  fs::path dir_;
  std::int32_t status_ = ST_OK;
};

TEST_F(Writer, RegionOfAnArrayAsFloatImage) {
  // A 512 x 400 region taken from inside a larger array.
  const int xmaxdat = 520, ymaxdat = 410;
  std::vector<float> data(static_cast<std::size_t>(xmaxdat) * ymaxdat);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<float>(i) * 0.25f - 7.0f;
  std::int32_t retstat = -1;
  DAX_OUT_ZELFA(path("image.zlf"), xmaxdat, ymaxdat, 3, 5, 514, 404, data, retstat, status_);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(retstat, 0);

  const std::string file = contents(path("image.zlf"));
  ASSERT_EQ(file.size(), 1024u + 4u * 512u * 400u);
  EXPECT_EQ(file.substr(0, 1024), expected_header(512, 400, "FLOAT"));
  std::string pixels;
  for (int y = 5; y <= 404; ++y) {
    const float* row = data.data() + static_cast<std::size_t>(y - 1) * xmaxdat + 2;
    pixels.append(reinterpret_cast<const char*>(row), 512 * sizeof(float));
  }
  EXPECT_TRUE(file.substr(1024) == pixels);
}

TEST_F(Writer, SinglePixel) {
  const std::vector<float> data{42.5f};
  std::int32_t retstat = -1;
  DAX_OUT_ZELFA(path("one.zlf"), 1, 1, 1, 1, 1, 1, data, retstat, status_);
  EXPECT_EQ(retstat, 0);
  const std::string file = contents(path("one.zlf"));
  ASSERT_EQ(file.size(), 1028u);
  EXPECT_EQ(file.substr(0, 1024), expected_header(1, 1, "FLOAT"));
  float value = 0.0f;
  std::memcpy(&value, file.data() + 1024, 4);
  EXPECT_EQ(value, 42.5f);
}

TEST_F(Writer, UnsignedShortPixelsAreRoundedAndClipped) {
  const std::vector<float> data{-5.0f, 1.4f, 1.6f, 65535.0f, 70000.0f, std::nanf(""), 0.5f, 300.0f};
  std::int32_t retstat = -1;
  DAX_OUT_ZELFA_TYPED(path("u2.zlf"), DaxPixelType::UNSIGNED_SHORT, 4, 2, 1, 1, 4, 2, data,
                      retstat, status_);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(retstat, 0);
  const std::string file = contents(path("u2.zlf"));
  ASSERT_EQ(file.size(), 1024u + 2u * 8u);
  EXPECT_EQ(file.substr(0, 1024), expected_header(4, 2, "UnsignedShort"));
  std::vector<std::uint16_t> pixels(8);
  std::memcpy(pixels.data(), file.data() + 1024, 16);
  EXPECT_EQ(pixels, (std::vector<std::uint16_t>{0, 1, 2, 65535, 65535, 0, 1, 300}));
}

TEST_F(Writer, PixelsOfEveryTypeInEitherByteOrder) {
  // Two signed 2-byte pixels stored most significant byte first, whatever the machine's order.
  const std::int16_t values[2] = {-2, 0x0102};
  std::vector<std::uint8_t> pixels(4);
  std::memcpy(pixels.data(), values, 4);
  std::int32_t retstat = -1;
  DAX_OUT_ZELFA_PIXELS(path("i2.zlf"), DaxPixelType::SIGNED_SHORT, true, 2, 1, pixels, retstat,
                       status_);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(retstat, 0);
  std::string header = expected_header(2, 1, "SignedShort");
  const std::size_t order = header.find("ByteOrder = ") + 12;
  header.replace(order, header.find(';', order) - order, "HighByteFirst");
  header.resize(1022, ' ');
  const std::string file = contents(path("i2.zlf"));
  EXPECT_EQ(file.substr(0, 1022), header.substr(0, 1022));
  EXPECT_EQ(file.substr(1024), std::string("\xFF\xFE\x01\x02", 4));
  EXPECT_EQ(dax_pixel_bytes(DaxPixelType::UNSIGNED_INTEGER), 4);

  // Too few pixels for the size: refused before a file is made. The float writer stores only
  // FLOAT and UNSIGNED_SHORT.
  DAX_OUT_ZELFA_PIXELS(path("short.zlf"), DaxPixelType::SIGNED_INTEGER, false, 2, 1, pixels,
                       retstat, status_);
  EXPECT_EQ(status_, 180001);
  ST_DEF_SYSTEM(status_);
  const std::vector<float> data(2, 1.0f);
  DAX_OUT_ZELFA_TYPED(path("typed.zlf"), DaxPixelType::SIGNED_SHORT, 2, 1, 1, 1, 2, 1, data,
                      retstat, status_);
  EXPECT_EQ(status_, 180017);
  EXPECT_FALSE(fs::exists(path("short.zlf")) || fs::exists(path("typed.zlf")));
}

TEST_F(Writer, RefusedRegionsAndFailedOpens) {
  std::vector<float> data(16, 1.0f);
  std::int32_t retstat = -1;
  // A region that leaves DATA is refused before any file is made.
  DAX_OUT_ZELFA(path("x.zlf"), 4, 4, 2, 1, 5, 4, data, retstat, status_);
  EXPECT_EQ(status_, 180005);
  EXPECT_EQ(st_position().substr(0, 30), "Subroutine DAX_OUT_ZELFA V0.1 ");
  ST_DEF_SYSTEM(status_);
  DAX_OUT_ZELFA(path("x.zlf"), 4, 4, 1, 3, 4, 2, data, retstat, status_);
  EXPECT_EQ(status_, 180006);
  ST_DEF_SYSTEM(status_);
  DAX_OUT_ZELFA(path("x.zlf"), 4, 5, 1, 1, 4, 4, data, retstat, status_);  // DATA too small
  EXPECT_EQ(status_, 180001);
  ST_DEF_SYSTEM(status_);
  DAX_OUT_ZELFA(path("x.zlf"), 4, 0, 1, 1, 4, 4, data, retstat, status_);
  EXPECT_EQ(status_, 180002);
  ST_DEF_SYSTEM(status_);
  EXPECT_FALSE(fs::exists(path("x.zlf")));
  EXPECT_EQ(retstat, -1);

  DAX_OUT_ZELFA(path("no/such/dir.zlf"), 4, 4, 1, 1, 4, 4, data, retstat, status_);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(retstat, 1);
  retstat = -1;
  DAX_OUT_ZELFA("  ", 4, 4, 1, 1, 4, 4, data, retstat, status_);
  EXPECT_EQ(status_, 180033);
  EXPECT_EQ(retstat, 1);
  ST_DEF_SYSTEM(status_);

  // The output slot is free again after each of these.
  DAX_OUT_ZELFA(path("ok.zlf"), 4, 4, 1, 1, 4, 4, data, retstat, status_);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(dax_file_table.ut_file_out_open, 0);
}

TEST_F(Writer, LostPixelWritesAreNotSuccess) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  std::vector<float> data(64 * 64, 2.0f);
  std::int32_t retstat = -1;
  ::testing::internal::CaptureStdout();
  DAX_OUT_ZELFA("/dev/full", 64, 64, 1, 1, 64, 64, data, retstat, status_);
  const std::string printed = ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(retstat, 3);
  EXPECT_NE(printed.find("ERROR: dax_filewrealc: errno = 28\n"), std::string::npos);
  EXPECT_EQ(dax_file_table.ut_file_out_open, 0);
}

TEST_F(Writer, HeaderBuilderRefusesWhatDoesNotFit) {
  std::int32_t retstat = -1, id = 0;
  DAX_FILEOPENC(path("h").c_str(), DAX_MODE_WRITE, retstat, id);
  ASSERT_EQ(retstat, 0);

  // A line that ends exactly at byte 1021 fits; nothing more does.
  const std::string key(10, 'K');
  const std::string value(1005, 'v');  // 10 + 3 + 1005 + 2 = 1020 bytes from byte 2
  DAX_OPEN_ZELFAHEADER(id, retstat);
  DAX_ADD_ZELFASTRINGC(id, 10, key, 1006, value + "w", retstat);
  EXPECT_EQ(retstat, 1);
  DAX_ADD_ZELFASTRINGC(id, 10, key, 1005, value, retstat);
  EXPECT_EQ(retstat, 0);
  DAX_ADD_ZELFASTRINGC(id, 1, "a", 0, "", retstat);
  EXPECT_EQ(retstat, 1);
  DAX_ADD_ZELFASTRINGC(id, 2, "a", 0, "", retstat);  // longer than the text given
  EXPECT_EQ(retstat, 1);
  DAX_CLOSE_ZELFAHEADER(id, retstat);
  EXPECT_EQ(retstat, 0);
  DAX_FILECLOSEC(id, retstat);
  const std::string file = contents(path("h"));
  EXPECT_EQ(file, "{\n" + key + " = " + value + ";\n}\n");

  // Through the status-checked routines: 132-character values, seven lines fit, the eighth
  // is refused with its own error.
  DAX_OPEN_ZELFAHEADER(id, retstat);
  const std::string long_value(140, 'x');
  for (int i = 0; i < 7; ++i) DAX_ADD_ZELFASTRING(id, "Key" + std::to_string(i), long_value, status_);
  EXPECT_EQ(status_, ST_OK);
  ::testing::internal::CaptureStdout();
  DAX_ADD_ZELFASTRING(id, "Key7", long_value, status_);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "ERROR: No room left in the image header for the key Key7\n");
  EXPECT_EQ(status_, 181015);
  EXPECT_EQ(st_position().substr(0, 36), "Subroutine DAX_ADD_ZELFASTRING V0.1 ");
  ST_DEF_SYSTEM(status_);
  ::testing::internal::CaptureStdout();
  DAX_ADD_ZELFAINTEGER(id, std::string(132, 'N'), 12345, status_);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(status_, 181015);
  EXPECT_EQ(st_position().substr(0, 37), "Subroutine DAX_ADD_ZELFAINTEGER V0.1 ");
  ST_DEF_SYSTEM(status_);
  DAX_ADD_ZELFASTRING(id, "   ", "value", status_);
  EXPECT_EQ(status_, 180033);
  ST_DEF_SYSTEM(status_);
  DAX_ADD_ZELFAINTEGER(id, "", 1, status_);
  EXPECT_EQ(status_, 180033);
  ST_DEF_SYSTEM(status_);

  // Keys and values are cut to their significant length and to 132 characters.
  DAX_FILEOPENC(path("h2").c_str(), DAX_MODE_WRITE, retstat, id);
  DAX_OPEN_ZELFAHEADER(id, retstat);
  DAX_ADD_ZELFASTRING(id, "Name   ", long_value + "  ", status_);
  DAX_ADD_ZELFAINTEGER(id, "Number", -12, status_);
  DAX_CLOSE_ZELFAHEADER(id, retstat);
  DAX_FILECLOSEC(id, retstat);
  std::string expected = "{\nName = " + std::string(132, 'x') + ";\nNumber = -12;\n";
  expected.resize(1022, ' ');
  EXPECT_EQ(contents(path("h2")), expected + "}\n");
}

TEST_F(Writer, RowWriterChecksItsRegion) {
  std::vector<float> data(12, 0.0f);
  std::int32_t retstat = -1;
  DAX_OUT_2DR4(2, 0, 3, 1, 1, 1, 1, data, retstat, status_);
  EXPECT_EQ(status_, 180001);
  ST_DEF_SYSTEM(status_);
  DAX_OUT_2DR4(2, 4, 0, 1, 1, 1, 1, data, retstat, status_);
  EXPECT_EQ(status_, 180002);
  ST_DEF_SYSTEM(status_);
  DAX_OUT_2DR4(2, 4, 3, 0, 1, 1, 1, data, retstat, status_);
  EXPECT_EQ(status_, 180005);
  EXPECT_EQ(st_position().substr(0, 29), "Subroutine DAX_OUT_2DR4 V0.1 ");
  ST_DEF_SYSTEM(status_);
  DAX_OUT_2DR4(2, 4, 3, 1, 1, 4, 4, data, retstat, status_);
  EXPECT_EQ(status_, 180006);
  ST_DEF_SYSTEM(status_);
}

}  // namespace
