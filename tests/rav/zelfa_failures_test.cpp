// What the image reader reports for each way a read can fail; the file is closed every time
// (checked after each test).
#include "zelfa_files.h"

namespace {

using zelfa_test::Files;
using zelfa_test::header;
using zelfa_test::pixel_bytes;
using zelfa_test::read;

class ZelfaFailures : public Files {
 protected:
  // A good 16 x 16 float image whose header holds PAIRS before the usual keys.
  std::string image(const std::string& name, const std::string& pairs = "") {
    std::vector<float> pixels(256);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<float>(i);
    return write(name, header(pairs + "\nImage = 1; DataType = Float; Dim_1 = 16; Dim_2 = 16;") +
                           pixel_bytes(pixels, false));
  }
};

const std::string kRoutine = "Subroutine RAV_IN_ZELFA V0.4 ";

TEST_F(ZelfaFailures, BadArraysAndRegions) {
  const std::string file = image("good.zlf");
  struct Case {
    std::int32_t xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm;
    std::int32_t status;
    std::string printed;
  };
  const Case cases[] = {
      {0, 4, 1, 1, 1, 1, 180001, ""},
      {4, 0, 1, 1, 1, 1, 180002, ""},
      {4, 4, 0, 1, 3, 1, 180005, "xstrelm, xendelm, xmaxdat =      0     3     4\n"},
      {4, 4, 3, 1, 2, 1, 180005, "xstrelm, xendelm, xmaxdat =      3     2     4\n"},
      {4, 4, 1, 1, 5, 1, 180005, "xstrelm, xendelm, xmaxdat =      1     5     4\n"},
      {4, 4, 1, 2, 4, 6, 180006, "ystrelm, yendelm, ymaxdat =      2     6     4\n"},
      {4, 4, 1, -1234567, 4, 1, 180006, "ystrelm, yendelm, ymaxdat = ******     1     4\n"},
  };
  for (const Case& c : cases) {
    const auto result = read(file, c.xmaxdat, c.ymaxdat, c.xstrelm, c.ystrelm, c.xendelm, c.yendelm);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.printed, c.printed);
    EXPECT_EQ(result.retstat, 99);
    EXPECT_EQ(st_position().substr(0, kRoutine.size()), kRoutine);
  }
}

TEST_F(ZelfaFailures, FilesThatCannotBeOpened) {
  const auto missing = read(path("missing.zlf"), 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(missing.status, 1000);
  EXPECT_EQ(missing.retstat, 3);
  EXPECT_EQ(missing.printed, "");
  EXPECT_EQ(st_position().substr(0, kRoutine.size()), kRoutine);

  const auto blank = read("   ", 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(blank.status, 180033);
}

TEST_F(ZelfaFailures, UnreadableHeaders) {
  // No "{" at all, and a file shorter than one block.
  const auto no_start = read(write("nostart.zlf", std::string(2000, 'x')), 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(no_start.printed,
            "WARNING: 976 bytes input instead of 1024 requested\n"
            "WARNING: Error in reading start of header: image not input\n");
  EXPECT_EQ(no_start.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(no_start.status, ST_OK);

  const auto tiny = read(write("tiny.zlf", "{Image = 1; Dim_1 = 1; Dim_2 = 1; DataType = Float;}\nabcd"),
                         1, 1, 1, 1, 1, 1);
  EXPECT_EQ(tiny.printed,
            "WARNING: 57 bytes input instead of 1024 requested\n"
            "WARNING: Error in reading start of header: image not input\n");
  EXPECT_EQ(tiny.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(tiny.data, std::vector<float>{-9.0f});

  // The file ends inside a key, then inside a value.
  std::string in_key = "{Image = 1; Dim_1";
  in_key.resize(1024, ' ');
  const auto key = read(write("key.zlf", in_key), 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(key.printed,
            "WARNING: 0 bytes input instead of 1024 requested\n"
            "WARNING: Error in reading keyword\n");
  EXPECT_EQ(key.retstat, RAV_IN_ZELFA_UNUSABLE);

  std::string in_value = "{Image = 1; Dim_1 = 16 }";  // "}" inside a value is part of it
  in_value.resize(1030, ' ');
  const auto value = read(write("value.zlf", in_value), 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(value.printed,
            "WARNING: 6 bytes input instead of 1024 requested\n"
            "WARNING: Error in reading key value\n");
  EXPECT_EQ(value.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(value.data, std::vector<float>(16, -9.0f));
}

TEST_F(ZelfaFailures, CompressionAndPixelTypesThatCannotBeInput) {
  const auto compressed = read(image("packed.zlf", "Compression = Packed;"), 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(compressed.printed,
            "WARNING: The image data in this file has been written using a compression\n"
            "         algorithm. It cannot be input.\n");
  EXPECT_EQ(compressed.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(compressed.status, ST_OK);
  EXPECT_EQ(compressed.data, std::vector<float>(16, -9.0f));

  rav_in_zelfa_state = RavInZelfaState{};
  const auto complex = read(image("complex.zlf", "DataType = Complex;"), 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(complex.printed,
            "WARNING: The image data in this file has been written using an unsupported\n"
            "         data type. It cannot be input.\n");
  EXPECT_EQ(complex.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(complex.data, std::vector<float>(16, -9.0f));
  EXPECT_EQ(rav_in_zelfa_state.pixel_type, ZelfaPixelType::NONE);
}

TEST_F(ZelfaFailures, ValuesThatDoNotConvert) {
  // A bad byte order is only a warning: the read goes on with the order known before.
  const auto order = read(image("order.zlf", "ByteOrder = MiddleByteFirst;"), 2, 1, 1, 2, 2, 2);
  EXPECT_EQ(order.printed,
            "WARNING: Problem of converting key value\n"
            "         Keyword = BYTEORDER\n"
            "         Value   = MIDDLEBYTEFIRST\n");
  EXPECT_EQ(order.retstat, 0);
  EXPECT_EQ(order.data, (std::vector<float>{16, 17}));

  // A bad size keeps the size known before: here none, so the region lies beyond the image.
  std::vector<float> pixels(256, 1.0f);
  const std::string bad_dim = header("Image = 1; DataType = Float; Dim_1 = 1.6e1; Dim_2 = 16;") +
                              pixel_bytes(pixels, false);
  const auto dim = read(write("dim.zlf", bad_dim), 4, 4, 1, 1, 4, 4);
  EXPECT_EQ(dim.printed,
            "WARNING: Problem of converting key value\n"
            "         Keyword = DIM_1\n"
            "         Value   = 1.6e1\n");
  EXPECT_EQ(dim.retstat, RAV_IN_ZELFA_BEYOND_IMAGE);
  EXPECT_EQ(dim.status, ST_OK);
  EXPECT_EQ(dim.data, std::vector<float>(16, -9.0f));
}

TEST_F(ZelfaFailures, RegionsBeyondTheImageAndShortPixelData) {
  const std::string file = image("good.zlf");
  const auto beyond_x = read(file, 17, 1, 1, 1, 17, 1);
  EXPECT_EQ(beyond_x.retstat, RAV_IN_ZELFA_BEYOND_IMAGE);
  EXPECT_EQ(beyond_x.status, ST_OK);
  EXPECT_EQ(beyond_x.printed, "");
  EXPECT_EQ(beyond_x.data, std::vector<float>(17, -9.0f));
  EXPECT_EQ(beyond_x.xnumdat, -7);
  const auto beyond_y = read(file, 1, 2, 1, 16, 1, 17);
  EXPECT_EQ(beyond_y.retstat, RAV_IN_ZELFA_BEYOND_IMAGE);

  // Only 10 of the 16 rows are in the file: rows up to 10 read, the whole image does not.
  std::vector<float> pixels(160);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<float>(i);
  const std::string cut = write(
      "cut.zlf", header("Image = 1; DataType = Float; Dim_1 = 16; Dim_2 = 16;") +
                     pixel_bytes(pixels, false));
  const auto first_rows = read(cut, 16, 5, 1, 6, 16, 10);
  EXPECT_EQ(first_rows.retstat, 0);
  EXPECT_EQ(first_rows.data[0], 80.0f);
  EXPECT_EQ(first_rows.data[79], 159.0f);
  const auto whole = read(cut, 16, 16, 1, 1, 16, 16);
  EXPECT_EQ(whole.printed, "WARNING: 640 bytes input instead of 1024 requested\n");
  EXPECT_EQ(whole.retstat, RAV_IN_ZELFA_SHORT_DATA);
  EXPECT_EQ(whole.status, ST_OK);
  EXPECT_EQ(whole.xnumdat, -7);
}

}  // namespace
