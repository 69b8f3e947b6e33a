// The image reader on files as other writers make them: pixel types, byte orders, header
// layouts, several images in one file, and the reader's memory of the previous header.
#include "zelfa_files.h"

namespace {

using zelfa_test::Files;
using zelfa_test::header;
using zelfa_test::pixel_bytes;
using zelfa_test::read;

class ZelfaReader : public Files {};

TEST_F(ZelfaReader, PixelTypesInBothByteOrders) {
  const std::vector<std::uint16_t> shorts{0, 1, 0x7FFF, 0x8000, 0xFFFF, 1234};
  const std::vector<std::uint32_t> words{0u, 1u, 0x80000000u, 0xFFFFFFFFu, 4000000000u, 123456789u};
  const std::vector<float> reals{1.5f, -2.25f, 1.0e-30f, 3.0e38f, -0.0f, 42.0f};
  struct Type {
    const char* name;
    std::string (*bytes)(bool, const std::vector<std::uint16_t>&, const std::vector<std::uint32_t>&,
                         const std::vector<float>&);
    std::vector<float> expected;
  };
  auto short_bytes = [](bool big, const std::vector<std::uint16_t>& s,
                        const std::vector<std::uint32_t>&, const std::vector<float>&) {
    return pixel_bytes(s, big);
  };
  auto word_bytes = [](bool big, const std::vector<std::uint16_t>&,
                       const std::vector<std::uint32_t>& w, const std::vector<float>&) {
    return pixel_bytes(w, big);
  };
  auto real_bytes = [](bool big, const std::vector<std::uint16_t>&,
                       const std::vector<std::uint32_t>&, const std::vector<float>& r) {
    return pixel_bytes(r, big);
  };
  const Type types[] = {
      {"UnsignedShort", short_bytes, {0, 1, 32767, 32768, 65535, 1234}},
      {"SignedShort", short_bytes, {0, 1, 32767, -32768, -1, 1234}},
      {"UnsignedInteger", word_bytes, {0, 1, 2147483648.0f, 4294967296.0f, 4.0e9f, 123456792.0f}},
      {"UnsignedLong", word_bytes, {0, 1, 2147483648.0f, 4294967296.0f, 4.0e9f, 123456792.0f}},
      {"SignedInteger", word_bytes, {0, 1, -2147483648.0f, -1, -294967296.0f, 123456792.0f}},
      {"Real", real_bytes, reals},
      {"FLOAT", real_bytes, reals},
      {"FloatValue", real_bytes, reals},
  };
  for (const Type& type : types) {
    for (bool big : {false, true}) {
      SCOPED_TRACE(std::string(type.name) + (big ? " HighByteFirst" : " LowByteFirst"));
      const std::string pairs = std::string("\nImage = 1;\nByteOrder = ") +
                                (big ? "HighByteFirst" : "LowByteFirst") +
                                ";\nDataType = " + type.name + ";\nDim_1 = 3;\nDim_2 = 2;\n";
      const std::string file =
          write("typed.zlf", header(pairs) + type.bytes(big, shorts, words, reals));
      const auto result = read(file, 3, 2, 1, 1, 3, 2);
      EXPECT_EQ(result.printed, "");
      EXPECT_EQ(result.retstat, 0);
      ASSERT_EQ(result.data.size(), 6u);
      for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(std::memcmp(&result.data[i], &type.expected[i], 4), 0)
            << i << ": " << result.data[i] << " instead of " << type.expected[i];
      }
    }
  }
}

TEST_F(ZelfaReader, HeadersAsOtherWritersMakeThem) {
  // Lower-case keys and values, blanks, tabs and carriage returns around and inside them,
  // unknown keys, any order, text before "{".
  std::vector<std::uint16_t> row(2048 * 2, 7);
  row[2047] = 0xFFFF;
  row[2048 + 5] = 0xFFFF;
  const std::string pairs =
      "\r\n\tdim_1 = 2048 ;\r\n  instrument = ID19;\r\n datatype\t=\tunsignedshort;"
      "\r\n dim_2 = 2;\r\n Im age = 1;\r\n byteorder = lowbytefirst;\r\n compression = none;\r\n";
  const std::string file = write("lower.zlf", "preamble " + header(pairs, 700) + pixel_bytes(row, false));
  const auto result = read(file, 8, 2, 2041, 1, 2048, 2);
  EXPECT_EQ(result.printed, "");
  EXPECT_EQ(result.retstat, 0);
  EXPECT_EQ(result.data, (std::vector<float>{7, 7, 7, 7, 7, 7, 7, 65535, 7, 7, 7, 7, 7, 7, 7, 7}));
  const auto row2 = read(file, 8, 1, 1, 2, 8, 2);
  EXPECT_EQ(row2.data, (std::vector<float>{7, 7, 7, 7, 7, 65535, 7, 7}));

  // A 512-byte header with "FloatValue" and "NoSpecificValue".
  std::vector<float> pixels(16 * 8);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<float>(i);
  const std::string short_header = header(
      "DIM_2 = 8; Compression = NoSpecificValue; DataType = FloatValue; HeaderID = EH:1;"
      "DIM_1 = 16; Size = 512; IMAGE = 1;", 512);
  const auto small = read(write("h512.zlf", short_header + pixel_bytes(pixels, false)),
                          16, 8, 1, 1, 16, 8);
  EXPECT_EQ(small.retstat, 0);
  EXPECT_EQ(small.data, pixels);

  // A header longer than one 1024-byte block.
  std::string many;
  for (int i = 0; i < 60; ++i) many += "Comment_" + std::to_string(i) + " = none;\n";
  many += "Image = 1; Dim_1 = 16; Dim_2 = 8; DataType = Float;";
  std::string long_file = header(many, 1600) + pixel_bytes(pixels, false);
  ASSERT_GE(long_file.size(), 2048u);  // the reader takes the header in whole blocks
  const auto longer = read(write("long.zlf", long_file), 16, 8, 1, 1, 16, 8);
  EXPECT_EQ(longer.retstat, 0);
  EXPECT_EQ(longer.data, pixels);
}

TEST_F(ZelfaReader, FurtherImagesAreFoundBySearching) {
  // Image 2 with a Size comes first; image 1 follows its pixels. The second header names no
  // type: the first one's holds.
  const std::vector<std::int16_t> image_2(8, 5);
  const std::vector<std::int16_t> image_1{1, 2, 3, 4, 5, 6, 7, 8};
  std::string contents =
      "{\nImage = 2;\nSize = 16;\nDataType = SignedShort;\nDim_1 = 4;\nDim_2 = 2;\n}\n" +
      pixel_bytes(image_2, false) + "{\nImage = 1;\nSize = 16;\n}\n" + pixel_bytes(image_1, false);
  contents.resize(1024, '\0');
  const auto result = read(write("two.zlf", contents), 4, 2, 1, 1, 4, 2);
  EXPECT_EQ(result.printed,
            "INFO: \"Image\" number        2 has been found, continuing search ...\n");
  EXPECT_EQ(result.retstat, 0);
  EXPECT_EQ(result.data, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));

  // A header without Image is never the wanted one; with a Size the search goes on.
  contents = "{\nSize = 16;\nDataType = SignedShort;\nDim_1 = 4;\nDim_2 = 2;\n}\n" +
             pixel_bytes(image_2, false) + "{\nImage = 1;\n}\n" + pixel_bytes(image_1, false);
  contents.resize(1024, '\0');
  const auto unnamed = read(write("unnamed.zlf", contents), 4, 2, 1, 1, 4, 2);
  EXPECT_EQ(unnamed.printed,
            "INFO: \"Image\" number       -1 has been found, continuing search ...\n");
  EXPECT_EQ(unnamed.data, (std::vector<float>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(ZelfaReader, MissingImageNumberEndsTheSearch) {
  const std::string expected_tail =
      "ERROR: The required \"Image\" number has not been found and I think that\n"
      "       there are no more \"Image\" sections, since the \"Size\" keyword\n"
      "       has not been found either\n"
      " \n";
  const std::vector<float> pixels(16, 3.0f);
  const auto no_image = read(write("none.zlf", header("Dim_1 = 4; Dim_2 = 4; DataType = Float;") +
                                                   pixel_bytes(pixels, false)),
                             4, 4, 1, 1, 4, 4);
  EXPECT_EQ(no_image.printed,
            expected_tail + "        \"Image\" number       -1was the last found\n");
  EXPECT_EQ(no_image.status, ST_OK);
  EXPECT_EQ(no_image.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(no_image.data, std::vector<float>(16, -9.0f));
  EXPECT_EQ(no_image.xnumdat, -7);

  const auto image_2 = read(write("two.zlf", header("Image = 2; Dim_1 = 4; Dim_2 = 4;") +
                                                 pixel_bytes(pixels, false)),
                            4, 4, 1, 1, 4, 4);
  EXPECT_EQ(image_2.printed, expected_tail + "        \"Image\" number        2was the last found\n");
  EXPECT_EQ(image_2.retstat, RAV_IN_ZELFA_UNUSABLE);
}

TEST_F(ZelfaReader, ByteOrderAndTypeCarryOverBetweenFiles) {
  const std::vector<std::int16_t> pixels{-2, 300, 7, -32768};
  const auto first = read(write("first.zlf", header("Image = 1; ByteOrder = HighByteFirst;"
                                                    "DataType = SignedShort; Dim_1 = 2; Dim_2 = 2;") +
                                                 pixel_bytes(pixels, true)),
                          2, 2, 1, 1, 2, 2);
  EXPECT_EQ(first.data, (std::vector<float>{-2, 300, 7, -32768}));
  EXPECT_TRUE(rav_in_zelfa_state.big_endian_file);

  // Neither key here: the previous header's order and type hold.
  const auto second = read(write("second.zlf", header("Image = 1; Dim_1 = 2; Dim_2 = 2;") +
                                                   pixel_bytes(pixels, true)),
                           2, 2, 1, 1, 2, 2);
  EXPECT_EQ(second.retstat, 0);
  EXPECT_EQ(second.data, (std::vector<float>{-2, 300, 7, -32768}));

  // Nothing known at the start of the run: nothing is read.
  rav_in_zelfa_state = RavInZelfaState{};
  const auto unknown = read(path("second.zlf"), 2, 2, 1, 1, 2, 2);
  EXPECT_EQ(unknown.printed,
            "WARNING: No data type is known for this image. It cannot be input.\n");
  EXPECT_EQ(unknown.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(unknown.data, std::vector<float>(4, -9.0f));
}

TEST_F(ZelfaReader, SizeOfImage1) {
  // The size as the header of image 1 gives it, found past another image's header.
  const std::vector<std::int16_t> pixels(6, 1);
  std::string contents =
      "{ Image = 2; Size = 12; DataType = SignedShort; Dim_1 = 3; Dim_2 = 2; }\n" +
      pixel_bytes(pixels, false) + header("Image = 1; Dim_1 = 5;");
  contents.resize(2048, ' ');  // whole blocks up to the end of the second header
  std::int32_t status = ST_OK, retstat = -1, dim_1 = 0, dim_2 = 0;
  ::testing::internal::CaptureStdout();
  rav_in_zelfa_size(write("size.zlf", contents), retstat, dim_1, dim_2, status);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "INFO: \"Image\" number        2 has been found, continuing search ...\n");
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(retstat, 0);
  EXPECT_EQ(dim_1, 5);
  EXPECT_EQ(dim_2, 2);  // the last value seen, as the reader keeps it

  rav_in_zelfa_size(path("missing.zlf"), retstat, dim_1, dim_2, status);
  EXPECT_EQ(status, 1000);
  EXPECT_NE(retstat, 0);
}

}  // namespace
