// The TIFF and HDF5 image readers against RAV_IN_ZELFA's contract (the region, the outcomes,
// the warnings), the mean of a stack, and the TIFF, HDF5 and MetaImage volume writers.
#include <gtest/gtest.h>
#include <tiffio.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../support/capture.h"
#include "../support/files.h"
#include "rav_in_hdf5.h"
#include "rav_in_image.h"
#include "rav_in_tiff.h"
#include "rav_in_zelfa.h"
#include "rav_safe_output.h"
#include "rav_slice_file.h"
#include "ut.h"

namespace {

namespace fs = std::filesystem;

// One TIFF page: its size, sample layout, and strips of ROWS rows or square tiles of TILE.
struct TestPage {
  std::uint32_t width = 20, height = 11;
  std::uint16_t bits = 16, format = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE;
  std::uint32_t rows = 3, tile = 0;
  std::uint16_t samples = 1;
};

// The value of pixel (x, y) of page P (from 0) as a test file holds it.
double pixel_value(const TestPage& s, std::uint32_t x, std::uint32_t y, int p) {
  const double v = x + 23.0 * y + 7.0 * p;
  if (s.format == SAMPLEFORMAT_IEEEFP) return v + 0.25;
  return s.format == SAMPLEFORMAT_INT ? std::fmod(v, 100.0) - 50.0 : std::fmod(v, 250.0);
}

template <typename T>
std::vector<unsigned char> block_bytes(const TestPage& s, std::uint32_t left, std::uint32_t top,
                                       std::uint32_t w, std::uint32_t h, int page) {
  std::vector<unsigned char> bytes(std::size_t{w} * h * sizeof(T) * s.samples, 0);
  auto* values = reinterpret_cast<T*>(bytes.data());
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      if (left + x < s.width && top + y < s.height) {
        values[(std::size_t{y} * w + x) * s.samples] =
            static_cast<T>(pixel_value(s, left + x, top + y, page));
      }
    }
  }
  return bytes;
}

std::vector<unsigned char> block(const TestPage& s, std::uint32_t left, std::uint32_t top,
                                 std::uint32_t w, std::uint32_t h, int page) {
  const bool is_float = s.format == SAMPLEFORMAT_IEEEFP, is_signed = s.format == SAMPLEFORMAT_INT;
  switch (s.bits) {
    case 8:
      return is_signed ? block_bytes<std::int8_t>(s, left, top, w, h, page)
                       : block_bytes<std::uint8_t>(s, left, top, w, h, page);
    case 16:
      return is_signed ? block_bytes<std::int16_t>(s, left, top, w, h, page)
                       : block_bytes<std::uint16_t>(s, left, top, w, h, page);
    case 32:
      return is_float    ? block_bytes<float>(s, left, top, w, h, page)
             : is_signed ? block_bytes<std::int32_t>(s, left, top, w, h, page)
                         : block_bytes<std::uint32_t>(s, left, top, w, h, page);
    default:
      return block_bytes<double>(s, left, top, w, h, page);
  }
}

// MODE "wb" writes the most significant byte first.
void write_tiff(const std::string& path, const std::vector<TestPage>& pages,
                const char* mode = "w") {
  TIFF* tif = TIFFOpen(path.c_str(), mode);
  ASSERT_NE(tif, nullptr);
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const TestPage& s = pages[p];
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.samples);
    TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, s.format);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    const int page = static_cast<int>(p);
    if (s.tile > 0) {
      TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tile);
      TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tile);
      for (std::uint32_t y = 0; y < s.height; y += s.tile) {
        for (std::uint32_t x = 0; x < s.width; x += s.tile) {
          std::vector<unsigned char> bytes = block(s, x, y, s.tile, s.tile, page);
          ASSERT_GE(TIFFWriteEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, 0), bytes.data(),
                                         static_cast<tmsize_t>(bytes.size())), 0);
        }
      }
    } else {
      TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, s.rows);
      for (std::uint32_t y = 0; y < s.height; y += s.rows) {
        std::vector<unsigned char> bytes = block(s, 0, y, s.width, std::min(s.rows, s.height - y), page);
        ASSERT_GE(TIFFWriteEncodedStrip(tif, y / s.rows, bytes.data(),
                                        static_cast<tmsize_t>(bytes.size())), 0);
      }
    }
    TIFFWriteDirectory(tif);
  }
  TIFFClose(tif);
}

constexpr float kUntouched = -9.0f;

// One read through RAV_IN_IMAGE with what it printed.
struct Read {
  std::int32_t retstat = 99, xnum = -7, ynum = -7, status = 0;
  std::vector<float> data;
  std::string printed;
};

Read read(const RavImageSource& source, std::int32_t xmax, std::int32_t ymax, std::int32_t x0,
          std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  Read r;
  ST_DEF_SYSTEM(r.status);
  r.data.assign(static_cast<std::size_t>(xmax) * ymax, kUntouched);
  r.printed = test_support::captured_stdout([&] {
    RAV_IN_IMAGE(source, xmax, ymax, x0, y0, x1, y1, r.retstat, r.xnum, r.ynum, r.data, r.status);
  });
  return r;
}

// The region (X0, Y0)-(X1, Y1) (1-based) of page P at the start of the XMAX-wide array, the rest
// untouched.
void expect_region(const Read& r, const TestPage& s, int page, std::int32_t xmax,
                   std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
  ASSERT_EQ(r.retstat, 0) << r.printed;
  EXPECT_EQ(r.xnum, x1 - x0 + 1);
  EXPECT_EQ(r.ynum, y1 - y0 + 1);
  for (std::size_t k = 0; k < r.data.size(); ++k) {
    const auto x = static_cast<std::int32_t>(k % static_cast<std::size_t>(xmax));
    const auto y = static_cast<std::int32_t>(k / static_cast<std::size_t>(xmax));
    const bool inside = x < r.xnum && y < r.ynum;
    const float expected =
        inside ? static_cast<float>(pixel_value(s, static_cast<std::uint32_t>(x + x0 - 1),
                                                static_cast<std::uint32_t>(y + y0 - 1), page))
               : kUntouched;
    ASSERT_EQ(r.data[k], expected) << "element " << k;
  }
}

class ImageFormats : public testing::Test {
 protected:
  void SetUp() override { dir_ = test_support::test_directory("image_formats"); }
  void TearDown() override {
    rav_close_image_files();
    fs::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  static RavImageSource tiff(const std::string& file, std::int64_t page = -1) {
    return {RavImageFormat::TIFF, file, "", page, false};
  }
  static RavImageSource hdf5(const std::string& file, std::int64_t image, std::string dataset) {
    return {RavImageFormat::HDF5, file, std::move(dataset), image, false};
  }
  fs::path dir_;
};

TEST_F(ImageFormats, TiffSampleTypesLayoutsAndCompressions) {
  const TestPage types[] = {{.bits = 8},
                            {.bits = 8, .format = SAMPLEFORMAT_INT},
                            {.bits = 16},
                            {.bits = 16, .format = SAMPLEFORMAT_INT},
                            {.bits = 32},
                            {.bits = 32, .format = SAMPLEFORMAT_INT},
                            {.bits = 32, .format = SAMPLEFORMAT_IEEEFP},
                            {.bits = 64, .format = SAMPLEFORMAT_IEEEFP}};
  int n = 0;
  for (TestPage s : types) {
    for (std::uint16_t compression : {COMPRESSION_NONE, COMPRESSION_ADOBE_DEFLATE, COMPRESSION_LZW}) {
      for (std::uint32_t tile : {0u, 16u}) {
        for (const char* mode : {"w", "wb"}) {
          s.compression = compression;
          s.tile = tile;
          SCOPED_TRACE(testing::Message() << s.bits << " bits, format " << s.format
                                          << ", compression " << compression << ", tile " << tile
                                          << ", mode " << mode);
          std::string name = std::to_string(n++);
          name += ".tif";
          const std::string file = path(name);
          write_tiff(file, {s}, mode);
          // Columns 3..13 of rows 5..9 (1-based), across strip and tile borders; then again,
          // from the layout remembered for uncompressed strips.
          for (int again = 0; again < 2; ++again) {
            expect_region(read(tiff(file), 12, 6, 3, 5, 13, 9), s, 0, 12, 3, 5, 13, 9);
            expect_region(read(tiff(file), 20, 11, 1, 1, 20, 11), s, 0, 20, 1, 1, 20, 11);
            // Floating-point pixels choose the flat field's floor.
            EXPECT_EQ(rav_image_real(), s.format == SAMPLEFORMAT_IEEEFP);
            rav_close_image_files();
          }
        }
      }
    }
  }
}

TEST_F(ImageFormats, TiffStackPagesAndTheirSizes) {
  const TestPage s;
  TestPage small = s;
  small.height = 10;
  const std::string file = path("stack.tif");
  write_tiff(file, {s, s, small, s});
  expect_region(read(tiff(file, 3), 20, 2, 1, 4, 20, 5), s, 3, 20, 1, 4, 20, 5);
  expect_region(read(tiff(file, 1), 20, 2, 1, 4, 20, 5), s, 1, 20, 1, 4, 20, 5);

  // A page of another size than page 0 does not belong to the stack.
  Read other = read(tiff(file, 2), 20, 2, 1, 4, 20, 5);
  EXPECT_EQ(other.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(other.printed, "WARNING: This TIFF image cannot be input:\n"
                           "         page 2 is 20 x 10 pixels, page 0 is 20 x 11\n");
  EXPECT_EQ(other.data, std::vector<float>(40, kUntouched));
  Read missing = read(tiff(file, 4), 20, 2, 1, 4, 20, 5);
  EXPECT_EQ(missing.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_NE(missing.printed.find("page 4 is not in the file"), std::string::npos);
  // Read as a file's own image, the first page is the image.
  expect_region(read(tiff(file), 20, 11, 1, 1, 20, 11), s, 0, 20, 1, 1, 20, 11);

  // The mean of three pages whose values grow by 7 from page to page is the middle one's.
  write_tiff(file, {s, s, s});
  RavImageSource mean = tiff(file);
  mean.average = true;
  const Read averaged = read(mean, 20, 11, 1, 1, 20, 11);
  ASSERT_EQ(averaged.retstat, 0);
  EXPECT_EQ(averaged.data[0], static_cast<float>(pixel_value(s, 0, 0, 1)));
  EXPECT_EQ(averaged.data[43], static_cast<float>(pixel_value(s, 3, 2, 1)));
}

TEST_F(ImageFormats, TiffFailuresFollowTheReadersContract) {
  const TestPage s;
  const std::string file = path("image.tif");
  write_tiff(file, {s});

  Read missing = read(tiff(path("none.tif")), 20, 11, 1, 1, 20, 11);
  EXPECT_EQ(missing.status, 1000);
  EXPECT_EQ(missing.retstat, 3);
  EXPECT_EQ(missing.printed, "");

  Read beyond = read(tiff(file), 20, 12, 1, 1, 20, 12);
  EXPECT_EQ(beyond.status, ST_OK);
  EXPECT_EQ(beyond.retstat, RAV_IN_ZELFA_BEYOND_IMAGE);
  EXPECT_EQ(beyond.printed, "");
  EXPECT_EQ(beyond.data, std::vector<float>(240, kUntouched));

  Read bad_region = read(tiff(file), 5, 11, 1, 1, 20, 11);
  EXPECT_EQ(bad_region.status, 180005);
  EXPECT_EQ(bad_region.printed, "xstrelm, xendelm, xmaxdat =      1    20     5\n");

  std::ofstream(path("text.tif")) << "not a TIFF file at all";
  Read text = read(tiff(path("text.tif")), 20, 11, 1, 1, 20, 11);
  EXPECT_EQ(text.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(text.printed.rfind("WARNING: This TIFF image cannot be input:\n         not a TIFF file", 0), 0u)
      << text.printed;

  TestPage rgb = s;
  rgb.samples = 3;
  write_tiff(path("rgb.tif"), {rgb});
  Read colour = read(tiff(path("rgb.tif")), 20, 11, 1, 1, 20, 11);
  EXPECT_EQ(colour.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_NE(colour.printed.find("3 samples per pixel"), std::string::npos);

  // Cut within the pixel data of a compressed image: the data that remain cannot be decoded.
  TestPage packed = s;
  packed.compression = COMPRESSION_ADOBE_DEFLATE;
  packed.rows = 11;
  write_tiff(path("cut.tif"), {packed});
  const std::string whole = test_support::read_text(path("cut.tif"));
  for (std::size_t length : {std::size_t{40}, whole.size() / 2, std::size_t{8}}) {
    SCOPED_TRACE(length);
    std::ofstream(path("cut.tif"), std::ios::binary) << whole.substr(0, length);
    Read cut = read(tiff(path("cut.tif")), 20, 11, 1, 1, 20, 11);
    EXPECT_EQ(cut.status, ST_OK);
    EXPECT_TRUE(cut.retstat == RAV_IN_ZELFA_SHORT_DATA || cut.retstat == RAV_IN_ZELFA_UNUSABLE)
        << cut.retstat;
    EXPECT_EQ(cut.printed.rfind("WARNING: This TIFF image cannot be input:\n", 0), 0u)
        << cut.printed;
  }
}

TEST_F(ImageFormats, AFileReplacedBetweenReadsIsReadAgain) {
  const TestPage s;
  const std::string file = path("replaced.tif");
  write_tiff(file, {s});
  ASSERT_EQ(read(tiff(file), 20, 11, 1, 1, 20, 11).retstat, 0);
  TestPage other = s;
  other.format = SAMPLEFORMAT_IEEEFP;
  other.bits = 32;
  fs::remove(file);
  write_tiff(file, {other});
  expect_region(read(tiff(file), 20, 11, 1, 1, 20, 11), other, 0, 20, 1, 1, 20, 11);
}

// A volume of NUM_Z slices of 7 x 5 values written by the HDF5 volume writer.
std::vector<float> write_hdf5_volume(const std::string& file, std::int32_t NUM_Z) {
  RavVolumeGeometry g;
  g.NUM_X = 7;
  g.NUM_Y = 5;
  g.NUM_Z = NUM_Z;
  std::vector<float> volume(static_cast<std::size_t>(7 * 5 * NUM_Z));
  for (std::size_t k = 0; k < volume.size(); ++k) volume[k] = 0.5f * static_cast<float>(k);
  const std::unique_ptr<RavVolumeWriter> writer = rav_hdf5_volume_writer();
  EXPECT_EQ(writer->create(file, g), 0);
  for (std::int32_t z = NUM_Z; z >= 1; --z) {  // in any order
    EXPECT_EQ(writer->write(z, std::span<const float>(volume).subspan(
                                   static_cast<std::size_t>((z - 1) * 35), 35)),
              "");
  }
  EXPECT_EQ(writer->finish(), "");
  return volume;
}

TEST_F(ImageFormats, Hdf5ImagesRegionsAndFailures) {
  const std::string file = path("volume.h5");
  const std::vector<float> volume = write_hdf5_volume(file, 3);
  // Columns 2..6 of rows 3..4 of image 2 (from 0) into a 6 x 3 array.
  Read r = read(hdf5(file, 2, "/volume"), 6, 3, 2, 3, 6, 4);
  ASSERT_EQ(r.retstat, 0) << r.printed;
  EXPECT_EQ(r.xnum, 5);
  EXPECT_EQ(r.ynum, 2);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) {
      const float expected = x < 5 && y < 2 ? volume[70 + (y + 2) * 7 + (x + 1)] : kUntouched;
      EXPECT_EQ(r.data[y * 6 + x], expected) << x << "," << y;
    }
  }
  RavImageSource mean = hdf5(file, -1, "/volume");
  mean.average = true;
  const Read averaged = read(mean, 7, 5, 1, 1, 7, 5);
  ASSERT_EQ(averaged.retstat, 0);
  EXPECT_EQ(averaged.data[4], volume[35 + 4]);

  const Read beyond = read(hdf5(file, 0, "/volume"), 7, 6, 1, 1, 7, 6);
  EXPECT_EQ(beyond.retstat, RAV_IN_ZELFA_BEYOND_IMAGE);
  EXPECT_EQ(beyond.printed, "");
  const Read no_image = read(hdf5(file, 3, "/volume"), 7, 5, 1, 1, 7, 5);
  EXPECT_EQ(no_image.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_NE(no_image.printed.find("image 3 is not in dataset /volume (3 images)"),
            std::string::npos);
  const Read no_dataset = read(hdf5(file, 0, "/exchange/data"), 7, 5, 1, 1, 7, 5);
  EXPECT_EQ(no_dataset.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_EQ(no_dataset.printed, "WARNING: This HDF5 image cannot be input:\n"
                                "         the file has no dataset /exchange/data\n");
  EXPECT_EQ(no_dataset.data, std::vector<float>(35, kUntouched));
  const Read missing = read(hdf5(path("none.h5"), 0, "/volume"), 7, 5, 1, 1, 7, 5);
  EXPECT_EQ(missing.status, 1000);

  std::ofstream(path("text.h5")) << "not an HDF5 file";
  const Read text = read(hdf5(path("text.h5"), 0, "/volume"), 7, 5, 1, 1, 7, 5);
  EXPECT_EQ(text.retstat, RAV_IN_ZELFA_UNUSABLE);
  EXPECT_NE(text.printed.find("not an HDF5 file"), std::string::npos);
  // Cut in the middle of the pixel data.
  rav_close_image_files();
  const std::string whole = test_support::read_text(file);
  std::ofstream(path("cut.h5"), std::ios::binary) << whole.substr(0, whole.size() - 100);
  const Read cut = read(hdf5(path("cut.h5"), 2, "/volume"), 7, 5, 1, 1, 7, 5);
  EXPECT_EQ(cut.status, ST_OK);
  EXPECT_NE(cut.retstat, 0);
  EXPECT_EQ(cut.printed.rfind("WARNING: This HDF5 image cannot be input:\n", 0), 0u);
}

TEST_F(ImageFormats, FormatsByExtension) {
  EXPECT_EQ(rav_image_format_of("a/b.TIF"), RavImageFormat::TIFF);
  EXPECT_EQ(rav_image_format_of("proj_0001.tiff"), RavImageFormat::TIFF);
  for (const char* name : {"scan.h5", "scan.hdf5", "scan.HDF", "scan.nxs"}) {
    EXPECT_EQ(rav_image_format_of(name), RavImageFormat::HDF5) << name;
  }
  for (const char* name : {"proj_0001.zlf", "scan", "dir.tif/proj", "scan.h5x"}) {
    EXPECT_EQ(rav_image_format_of(name), RavImageFormat::KEYWORD_HEADER) << name;
  }
}

TEST_F(ImageFormats, TiffVolumeIsABigTiffStackThatReadsBack) {
  RavVolumeGeometry g;
  g.NUM_X = 6;
  g.NUM_Y = 4;
  g.NUM_Z = 3;
  std::vector<float> volume(72);
  for (std::size_t k = 0; k < volume.size(); ++k) volume[k] = std::sin(static_cast<float>(k));
  const std::string file = path("volume.tif");
  SliceFile out;
  out.use_format(RavVolumeFormat::TIFF, g);
  int error = 0;
  ASSERT_TRUE(out.open(file, 96, error));
  for (std::int32_t z = 1; z <= 3; ++z) {
    EXPECT_EQ(out.write(z, std::span<const float>(volume).subspan((z - 1) * 24, 24)), "");
  }
  EXPECT_NE(out.write(2, std::span<const float>(volume).first(24)).find("in order"),
            std::string::npos);
  EXPECT_EQ(out.close(), "");
  EXPECT_EQ(test_support::read_text(file).substr(0, 4), std::string("II\x2B\0", 4));  // BigTIFF
  for (int z = 0; z < 3; ++z) {
    const Read page = read(tiff(file, z), 6, 4, 1, 1, 6, 4);
    ASSERT_EQ(page.retstat, 0);
    EXPECT_EQ(page.data, std::vector<float>(volume.begin() + z * 24, volume.begin() + z * 24 + 24));
  }
  // A run's TIFF volume goes through the safe output: given up, it leaves the earlier volume
  // as it was and nothing beside it; complete, it takes the earlier one's place.
  rav_close_image_files();
  const std::string earlier = test_support::read_text(file);
  for (const bool complete : {false, true}) {
    SafeOutput safe;
    safe.slices().use_format(RavVolumeFormat::TIFF, g);
    long holder = 0;
    ASSERT_EQ(safe.create(file, 96, error, holder), SafeOutput::Opened::YES);
    EXPECT_FALSE(fs::exists(file + ".mhd"));
    for (std::int32_t z = 1; z <= (complete ? 3 : 1); ++z) {
      EXPECT_EQ(safe.slices().write(z, std::span<const float>(volume).subspan((z - 1) * 24, 24)),
                "");
    }
    if (!complete) continue;
    EXPECT_EQ(safe.close(), "");
    EXPECT_EQ(safe.commit(), "");
  }
  EXPECT_EQ(test_support::read_text(file), earlier);
  EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(file).parent_path()),
                          fs::directory_iterator{}),
            1);
}

// A folder of slices given up goes with everything in it; it never takes the place of a file or
// of a folder that holds anything.
TEST_F(ImageFormats, FolderOfTiffSlicesGoesThroughTheSafeOutput) {
  RavVolumeGeometry g;
  g.NUM_X = 3;
  g.NUM_Y = 2;
  g.NUM_Z = 4;
  const std::vector<float> slice = {1, 2, 3, 4, 5, 6};
  const std::string folder = path("slices");
  int error = 0;
  long holder = 0;
  {
    SafeOutput safe;
    safe.slices().use_format(RavVolumeFormat::TIFF_SLICES, g);
    ASSERT_EQ(safe.create(folder, 24, error, holder), SafeOutput::Opened::YES);
    for (std::int32_t z = 1; z <= 2; ++z) EXPECT_EQ(safe.slices().write(z, slice), "");
    EXPECT_TRUE(fs::exists(safe.temporary() + "/slice_0002.tif"));
  }
  EXPECT_TRUE(fs::is_empty(dir_));
  std::ofstream(folder) << "an earlier file";
  SafeOutput refused;
  refused.slices().use_format(RavVolumeFormat::TIFF_SLICES, g);
  EXPECT_EQ(refused.create(folder, 24, error, holder), SafeOutput::Opened::NO);
  EXPECT_EQ(error, ENOTDIR);
  EXPECT_EQ(rav_slice_file_name(12345), "slice_12345.tif");
}

TEST_F(ImageFormats, Hdf5VolumeGivenUpLeavesNothing) {
  const std::string file = path("volume.h5");
  write_hdf5_volume(file, 2);
  const std::unique_ptr<RavVolumeWriter> writer = rav_hdf5_volume_writer();
  RavVolumeGeometry g;
  g.NUM_X = g.NUM_Y = g.NUM_Z = 2;
  ASSERT_EQ(writer->create(file, g), 0);
  const std::vector<float> slice(4, 1.0f);
  EXPECT_NE(writer->write(3, slice), "");  // beyond the volume
  writer->abandon();
  EXPECT_FALSE(fs::exists(file));
}

TEST_F(ImageFormats, MetaImageHeaderNamesTheRawFileBesideIt) {
  RavVolumeGeometry g;
  g.NUM_X = 512;
  g.NUM_Y = 400;
  g.NUM_Z = 100;
  g.spacing = {0.0065, 0.0065, 0.013};
  g.origin = {0.00325, 6.5, 0.0065};
  EXPECT_EQ(rav_write_mhd(path("volume.raw.mhd"), path("volume.raw"), g), "");
  EXPECT_EQ(test_support::read_text(path("volume.raw.mhd")),
            "ObjectType = Image\nNDims = 3\nBinaryData = True\nBinaryDataByteOrderMSB = False\n"
            "ElementByteOrderMSB = False\nCompressedData = False\n"
            "TransformMatrix = 1 0 0 0 1 0 0 0 1\nDimSize = 512 400 100\n"
            "ElementSpacing = 0.0065 0.0065 0.013\nOffset = 0.00325 6.5 0.0065\n"
            "ElementType = MET_FLOAT\nElementDataFile = volume.raw\n");
  EXPECT_EQ(rav_write_mhd(path("no/such/dir/volume.raw.mhd"), path("volume.raw"), g)
                .rfind("WARNING: ", 0),
            0u);
}

}  // namespace
