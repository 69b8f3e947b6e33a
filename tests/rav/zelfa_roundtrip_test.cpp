// Images written by the image writer read back unchanged, whole and in parts; large files.
#include <cmath>
#include <limits>
#include <fstream>
#include <random>

#include "zelfa_files.h"

namespace {

using zelfa_test::Files;
using zelfa_test::header;
using zelfa_test::pixel_bytes;
using zelfa_test::read;

class ZelfaRoundTrip : public Files {};

std::vector<float> random_image(std::size_t n) {
  std::mt19937 engine(1234);
  std::uniform_real_distribution<float> value(-1.0e4f, 1.0e4f);
  std::vector<float> image(n);
  for (float& v : image) v = value(engine);
  image[0] = 0.0f;
  image[1] = -0.0f;
  image[2] = 1.0e-38f;
  image[3] = 3.0e38f;
  image[4] = std::numeric_limits<float>::infinity();
  return image;
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST_F(ZelfaRoundTrip, WholeImageAndRegions) {
  const int width = 512, height = 400;
  const std::vector<float> image = random_image(static_cast<std::size_t>(width) * height);
  std::int32_t retstat = -1, status = ST_OK;
  DAX_OUT_ZELFA(path("image.zlf"), width, height, 1, 1, width, height, image, retstat, status);
  ASSERT_EQ(retstat, 0);
  ASSERT_EQ(status, ST_OK);

  const auto whole = read(path("image.zlf"), width, height, 1, 1, width, height);
  EXPECT_EQ(whole.printed, "");
  EXPECT_EQ(whole.status, ST_OK);
  EXPECT_EQ(whole.retstat, 0);
  EXPECT_EQ(whole.xnumdat, width);
  EXPECT_EQ(whole.ynumdat, height);
  std::size_t differences = 0;
  for (std::size_t i = 0; i < image.size(); ++i) differences += !same_bits(whole.data[i], image[i]);
  EXPECT_EQ(differences, 0u);

  // Columns 100..355 of rows 200..399 into a larger array: the rest stays as it was.
  const auto part = read(path("image.zlf"), 300, 250, 100, 200, 355, 399);
  EXPECT_EQ(part.retstat, 0);
  EXPECT_EQ(part.xnumdat, 256);
  EXPECT_EQ(part.ynumdat, 200);
  differences = 0;
  for (int y = 1; y <= 250; ++y) {
    for (int x = 1; x <= 300; ++x) {
      const float got = part.data[static_cast<std::size_t>(y - 1) * 300 + (x - 1)];
      const bool inside = x <= 256 && y <= 200;
      const float want = inside ? image[static_cast<std::size_t>(y + 198) * width + (x + 98)] : -9.0f;
      differences += !same_bits(got, want);
    }
  }
  EXPECT_EQ(differences, 0u);

  // The last pixel alone.
  const auto last = read(path("image.zlf"), 1, 1, width, height, width, height);
  EXPECT_EQ(last.retstat, 0);
  EXPECT_TRUE(same_bits(last.data[0], image.back()));
}

TEST_F(ZelfaRoundTrip, SmallRegionOfSmallImage) {
  std::vector<float> image(16 * 16);
  for (int y = 1; y <= 16; ++y)
    for (int x = 1; x <= 16; ++x) image[(y - 1) * 16 + (x - 1)] = static_cast<float>(100 * y + x);
  std::int32_t retstat = -1, status = ST_OK;
  DAX_OUT_ZELFA(path("small.zlf"), 16, 16, 1, 1, 16, 16, image, retstat, status);
  const auto part = read(path("small.zlf"), 10, 4, 3, 5, 10, 6);
  EXPECT_EQ(part.retstat, 0);
  EXPECT_EQ(part.xnumdat, 8);
  EXPECT_EQ(part.ynumdat, 2);
  for (int x = 1; x <= 8; ++x) {
    EXPECT_EQ(part.data[x - 1], 500.0f + x + 2);
    EXPECT_EQ(part.data[10 + x - 1], 600.0f + x + 2);
  }
  EXPECT_EQ(part.data[8], -9.0f);
  EXPECT_EQ(part.data[20], -9.0f);

  // A 1 x 1 image.
  DAX_OUT_ZELFA(path("one.zlf"), 16, 16, 7, 9, 7, 9, image, retstat, status);
  const auto one = read(path("one.zlf"), 1, 1, 1, 1, 1, 1);
  EXPECT_EQ(one.retstat, 0);
  EXPECT_EQ(one.data[0], 907.0f);
}

TEST_F(ZelfaRoundTrip, UnsignedShortImages) {
  const std::vector<float> image{0.0f, 1.0f, 2.4f, 65535.0f, 70000.0f, -3.0f};
  std::int32_t retstat = -1, status = ST_OK;
  DAX_OUT_ZELFA_TYPED(path("u2.zlf"), DaxPixelType::UNSIGNED_SHORT, 3, 2, 1, 1, 3, 2, image,
                      retstat, status);
  ASSERT_EQ(retstat, 0);
  const auto back = read(path("u2.zlf"), 3, 2, 1, 1, 3, 2);
  EXPECT_EQ(back.retstat, 0);
  EXPECT_EQ(back.data, (std::vector<float>{0.0f, 1.0f, 2.0f, 65535.0f, 65535.0f, 0.0f}));
  EXPECT_EQ(rav_in_zelfa_state.pixel_type, ZelfaPixelType::INT2);
  EXPECT_FALSE(rav_in_zelfa_state.pixel_signed);
}

TEST_F(ZelfaRoundTrip, FilesBeyondTwoGibibytes) {
  // 1024 x 600000 floats: the last rows lie beyond 2^31 bytes. The file is sparse; only the
  // header and the last two rows are written.
  const std::int64_t width = 1024, height = 600000;
  const std::string file = path("large.zlf");
  {
    std::ofstream out(file, std::ios::binary);
    const std::string head = header("Image = 1; DataType = Float; Dim_1 = 1024; Dim_2 = 600000;");
    out.write(head.data(), static_cast<std::streamsize>(head.size()));
    std::vector<float> rows(2 * width);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<float>(i) + 0.5f;
    out.seekp(1024 + (height - 2) * width * 4);
    out.write(reinterpret_cast<const char*>(rows.data()), static_cast<std::streamsize>(rows.size() * 4));
    if (!out) GTEST_SKIP() << "no room for a sparse file";
  }
  ASSERT_GT(std::filesystem::file_size(file), std::uintmax_t{1} << 31);

  const auto end = read(file, 1024, 2, 1, 599999, 1024, 600000);
  EXPECT_EQ(end.printed, "");
  EXPECT_EQ(end.retstat, 0);
  EXPECT_EQ(end.data[0], 0.5f);
  EXPECT_EQ(end.data[2047], 2047.5f);
  const auto middle = read(file, 4, 1, 1021, 300000, 1024, 300000);
  EXPECT_EQ(middle.retstat, 0);
  EXPECT_EQ(middle.data, (std::vector<float>{0.0f, 0.0f, 0.0f, 0.0f}));
}

}  // namespace
