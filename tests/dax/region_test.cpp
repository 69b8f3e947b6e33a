// The region readers called directly on raw pixel files.
#include <gtest/gtest.h>

#include <algorithm>
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

constexpr int kDim1 = 5;
constexpr int kDim2 = 4;
constexpr std::int64_t kDataStart = 8;  // seven bytes precede the pixels

class Regions : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::test_directory("dax_region");
    ST_DEF_SYSTEM(status_);
  }
  void TearDown() override {
    std::int32_t retstat = 0;
    if (dax_file_table.ut_file_in_open) DAX_FILECLOSEC(dax_file_table.ut_file_in_id, retstat);
    fs::remove_all(dir_);
  }
  // Writes 7 junk bytes and the pixels (optionally only the first KEEP bytes of them) and
  // opens the file for reading.
  template <typename T>
  void open_pixels(const std::vector<T>& pixels, bool swap_bytes = false,
                   std::size_t keep = SIZE_MAX) {
    std::string bytes(7, 'j');
    for (T pixel : pixels) {
      char raw[sizeof(T)];
      std::memcpy(raw, &pixel, sizeof(T));
      if (swap_bytes) std::reverse(raw, raw + sizeof(T));
      bytes.append(raw, sizeof(T));
    }
    if (keep < bytes.size() - 7) bytes.resize(7 + keep);
    const std::string path = (dir_ / "pixels").string();
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::int32_t retstat = -1;
    DAX_FILEOPENC(path.c_str(), DAX_MODE_READ, retstat, id_);
    ASSERT_EQ(retstat, 0);
  }
  // Pixel (x, y) of the test image, 1-based.
  static float value(int x, int y) { return static_cast<float>(100 * y + x); }
  static std::vector<std::int16_t> image_i2() {
    std::vector<std::int16_t> pixels;
    for (int y = 1; y <= kDim2; ++y)
      for (int x = 1; x <= kDim1; ++x) pixels.push_back(static_cast<std::int16_t>(value(x, y)));
    return pixels;
  }
  fs::path dir_;
  std::int32_t id_ = 0;
  std::int32_t status_ = ST_OK;
};

TEST_F(Regions, PiecesThatCrossRowsAndReversedAxes) {
  open_pixels(image_i2());
  std::array<std::int16_t, 3> buffer{};  // pieces of 3 pixels in rows of 5
  std::vector<float> data(12, -1.0f);
  std::int32_t xnumdat = 0, ynumdat = 0, retstat = -1;
  DAX_INP_2DI2(id_, false, true, false, false, false, kDim1, kDim2, 2, 2, 4, 3, 1, 1, kDataStart,
               buffer, 4, 3, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(xnumdat, 3);
  EXPECT_EQ(ynumdat, 2);
  EXPECT_EQ(data, (std::vector<float>{202, 203, 204, -1, 302, 303, 304, -1, -1, -1, -1, -1}));

  // Reversed axes read the mirrored columns and rows and store them backwards: the region is
  // taken from the mirrored image.
  std::fill(data.begin(), data.end(), -1.0f);
  DAX_INP_2DI2(id_, false, true, true, true, false, kDim1, kDim2, 1, 1, 2, 2, 1, 1, kDataStart,
               buffer, 2, 2, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(std::vector<float>(data.begin(), data.begin() + 4),
            (std::vector<float>{405, 404, 305, 304}));
}

TEST_F(Regions, StoresOnlyWhatFitsTheArray) {
  open_pixels(image_i2());
  std::array<std::int16_t, 512> buffer{};
  std::vector<float> data(6, -1.0f);  // exactly 3 x 2
  std::int32_t xnumdat = 0, ynumdat = 0, retstat = -1;
  DAX_INP_2DI2(id_, false, true, false, false, false, kDim1, kDim2, 1, 1, 5, 4, 1, 1, kDataStart,
               buffer, 3, 2, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(xnumdat, 3);
  EXPECT_EQ(ynumdat, 2);
  EXPECT_EQ(data, (std::vector<float>{101, 102, 103, 201, 202, 203}));
  DAX_INP_2DI2(id_, false, true, true, false, false, kDim1, kDim2, 1, 1, 5, 4, 1, 1, kDataStart,
               buffer, 3, 2, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(data, (std::vector<float>{105, 104, 103, 205, 204, 203}));
}

TEST_F(Regions, ConversionsAndSwaps) {
  // 4-byte words, written in the other byte order and swapped back on input.
  const std::vector<std::uint32_t> words{0u, 1u, 0x7FFFFFFFu, 0x80000000u, 4000000000u,
                                         0xFFFFFFFFu};
  open_pixels(words, true);
  std::array<std::int32_t, 4> buffer{};
  std::vector<float> data(6);
  std::int32_t xnumdat = 0, ynumdat = 0, retstat = -1;
  DAX_INP_2DI4(id_, true, false, false, false, false, 6, 1, 1, 1, 6, 1, 1, 1, kDataStart, buffer,
               6, 1, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(data, (std::vector<float>{0.0f, 1.0f, 2147483648.0f, 2147483648.0f, 4000000000.0f,
                                      4294967296.0f}));
  DAX_INP_2DI4(id_, true, true, false, false, false, 6, 1, 1, 1, 6, 1, 1, 1, kDataStart, buffer,
               6, 1, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(data, (std::vector<float>{0.0f, 1.0f, 2147483648.0f, -2147483648.0f, -294967296.0f,
                                      -1.0f}));
  DAX_FILECLOSEC(id_, retstat);

  const std::vector<float> reals{1.5f, -0.25f, 3.0e30f};
  open_pixels(reals, true);
  std::array<float, 2> real_buffer{};
  DAX_INP_2DR4(id_, true, false, false, false, 3, 1, 1, 1, 3, 1, 1, 1, kDataStart, real_buffer, 3,
               1, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(std::vector<float>(data.begin(), data.begin() + 3), reals);
  DAX_FILECLOSEC(id_, retstat);

  const std::vector<std::uint16_t> shorts{0, 1, 0x7FFF, 0x8000, 0xFFFF};
  open_pixels(shorts, true);
  std::array<std::int16_t, 512> short_buffer{};
  DAX_INP_2DI2(id_, true, false, false, false, false, 5, 1, 1, 1, 5, 1, 1, 1, kDataStart,
               short_buffer, 5, 1, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(std::vector<float>(data.begin(), data.begin() + 5),
            (std::vector<float>{0, 1, 32767, 32768, 65535}));
  DAX_INP_2DI2(id_, true, true, false, false, false, 5, 1, 1, 1, 5, 1, 1, 1, kDataStart,
               short_buffer, 5, 1, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(std::vector<float>(data.begin(), data.begin() + 5),
            (std::vector<float>{0, 1, 32767, -32768, -1}));
  EXPECT_EQ(status_, ST_OK);
}

TEST_F(Regions, TruncatedPixelsFail) {
  open_pixels(image_i2(), false, 2 * kDim1 * 3 - 4);  // the last rows are missing
  std::array<std::int16_t, 512> buffer{};
  std::vector<float> data(20, -1.0f);
  std::int32_t xnumdat = -3, ynumdat = -3, retstat = -1;
  ::testing::internal::CaptureStdout();
  DAX_INP_2DI2(id_, false, true, false, false, false, kDim1, kDim2, 1, 2, 5, 4, 1, 1, kDataStart,
               buffer, 5, 4, xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "WARNING: 16 bytes input instead of 30 requested\n");
  EXPECT_EQ(status_, ST_OK);
  EXPECT_EQ(retstat, 5);
  EXPECT_EQ(xnumdat, -3);
  EXPECT_EQ(ynumdat, -3);
}

TEST_F(Regions, ArgumentChecks) {
  open_pixels(image_i2());
  std::array<std::int16_t, 8> buffer{};
  std::vector<float> data(20);
  std::int32_t xnumdat = 0, ynumdat = 0, retstat = -1;
  struct Case {
    std::int32_t xmaxdat, ymaxdat, dim_1, dim_2, xstrelm, ystrelm, xendelm, yendelm, xbin, ybin;
    std::int64_t data_start;
    std::int32_t expected;
  };
  const Case cases[] = {
      {0, 4, 5, 4, 1, 1, 5, 4, 1, 1, 8, 180001}, {5, 0, 5, 4, 1, 1, 5, 4, 1, 1, 8, 180002},
      {5, 5, 5, 4, 1, 1, 5, 4, 1, 1, 8, 180001},  // DATA smaller than 5 x 5
      {5, 4, 0, 4, 1, 1, 5, 4, 1, 1, 8, 180017}, {5, 4, 5, 0, 1, 1, 5, 4, 1, 1, 8, 180018},
      {5, 4, 5, 4, 0, 1, 5, 4, 1, 1, 8, 180017}, {5, 4, 5, 4, 1, 0, 5, 4, 1, 1, 8, 180018},
      {5, 4, 5, 4, 1, 1, 6, 4, 1, 1, 8, 180005}, {5, 4, 5, 4, 1, 1, 5, 5, 1, 1, 8, 180006},
      {5, 4, 5, 4, 3, 1, 2, 4, 1, 1, 8, 180005}, {5, 4, 5, 4, 1, 3, 5, 2, 1, 1, 8, 180006},
      {5, 4, 5, 4, 1, 1, 5, 4, 0, 1, 8, 180017}, {5, 4, 5, 4, 1, 1, 5, 4, 1, 0, 8, 180018},
      {5, 4, 5, 4, 1, 1, 5, 4, 1, 1, 0, 180017},
  };
  for (const Case& c : cases) {
    ST_DEF_SYSTEM(status_);
    DAX_INP_2DI2(id_, false, true, false, false, false, c.dim_1, c.dim_2, c.xstrelm, c.ystrelm,
                 c.xendelm, c.yendelm, c.xbin, c.ybin, c.data_start, buffer, c.xmaxdat, c.ymaxdat,
                 xnumdat, ynumdat, data, retstat, status_);
    EXPECT_EQ(status_, c.expected);
    EXPECT_EQ(st_position().substr(0, 29), "Subroutine DAX_INP_2DI2 V0.5 ");
  }
  ST_DEF_SYSTEM(status_);
  std::span<std::int16_t> no_buffer;
  DAX_INP_2DI2(id_, false, true, false, false, false, 5, 4, 1, 1, 5, 4, 1, 1, 8, no_buffer, 5, 4,
               xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(status_, 180017);

  ST_DEF_SYSTEM(status_);
  std::array<float, 8> real_buffer{};
  ::testing::internal::CaptureStdout();
  DAX_INP_2DR4(id_, false, false, false, true, 5, 4, 1, 1, 5, 4, 1, 1, 8, real_buffer, 5, 4,
               xnumdat, ynumdat, data, retstat, status_);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "ERROR: Re-binning, transposing on input not yet implemented\n");
  EXPECT_EQ(status_, 9999);
  EXPECT_EQ(st_position().substr(0, 29), "Subroutine DAX_INP_2DR4 V0.4 ");
  ST_DEF_SYSTEM(status_);
  std::array<std::int32_t, 8> word_buffer{};
  ::testing::internal::CaptureStdout();
  DAX_INP_2DI4(id_, false, true, false, false, false, 5, 4, 1, 1, 5, 4, 2, 1, 8, word_buffer, 5, 4,
               xnumdat, ynumdat, data, retstat, status_);
  ::testing::internal::GetCapturedStdout();
  EXPECT_EQ(status_, 9999);
  EXPECT_EQ(st_position().substr(0, 29), "Subroutine DAX_INP_2DI4 V0.4 ");
  ST_DEF_SYSTEM(status_);
}

}  // namespace
