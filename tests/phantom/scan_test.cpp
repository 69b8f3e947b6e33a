// The written scan: the parameter file as the program reads it, projections that the
// program's correction turns back into the analytic line integrals, the flat-field series
// schedule, noise, ground truth, and the command line.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "phantom.h"
#include "rav.h"
#include "rav_in_zelfa.h"
#include "rav_numerics.h"
#include "ut.h"

namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

class PhantomScanFiles : public testing::Test {
 protected:
  void SetUp() override {
    std::int32_t status = ST_OK;
    ST_DEF_SYSTEM(status);
    dir_ = fs::temp_directory_path() /
           ("rav_phantom_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  PhantomOptions options(std::vector<std::string> args) {
    args.push_back("--out");
    args.push_back(dir_.string());
    PhantomOptions parsed;
    std::string error;
    EXPECT_TRUE(phantom_parse_options(args, parsed, error)) << error;
    return parsed;
  }

  ParameterSet read_parameters() {
    ParameterSet parameters;
    std::int32_t status = ST_OK, retstat = -1;
    RAV_READ_PARAMETERS((dir_ / "phantom.par").string(), retstat, parameters, status);
    EXPECT_EQ(retstat, 0);
    EXPECT_EQ(status, ST_OK);
    return parameters;
  }

  fs::path dir_;
};

// A whole image through the program's reader.
std::vector<float> read_image(const std::string& name, int width, int height) {
  std::vector<float> data(static_cast<std::size_t>(width) * height, -1.0F);
  std::int32_t status = ST_OK, retstat = -1, xnum = 0, ynum = 0;
  RAV_IN_ZELFA(width, height, 1, 1, width, height, name, retstat, xnum, ynum, data, status);
  EXPECT_EQ(status, ST_OK) << name;
  EXPECT_EQ(retstat, 0) << name;
  EXPECT_EQ(xnum, width) << name;
  EXPECT_EQ(ynum, height) << name;
  return data;
}

std::string numbered(const std::string& prefix, int number, int digits,
                     const std::string& postfix) {
  std::int32_t status = ST_OK;
  bool overflow = false;
  std::string name;
  UT_FILENAME(prefix, number, true, digits, postfix, overflow, name, status);
  return name;
}

// The flat-field schedule of the sinogram assembly, step by step: which flat-field numbers
// are loaded and the weight of the later one, for every projection of a pass.
struct Loaded {
  int flat_1, flat_2;
  float f;
};
std::vector<Loaded> assembly_schedule(int first, int last, int interval, int projections) {
  std::vector<Loaded> schedule;
  int flat_1 = first, flat_2 = first + interval, next = first + interval, since = 0;
  for (int count = 0; count < projections; ++count) {
    if (since == interval) {
      flat_1 = flat_2;
      next = std::min(next + interval, last);
      flat_2 = next;
      since = 0;
    }
    schedule.push_back({flat_1, flat_2, static_cast<float>(since) / static_cast<float>(interval)});
    ++since;
  }
  return schedule;
}

// Every projection corrected as the sinogram assembly does it (background, flat field or
// series, minus the logarithm, all in single precision): SINOGRAMS[s - 1] holds slice s, bin
// fastest, one row per projection, without the scale factor.
std::vector<std::vector<float>> corrected_sinograms(const ParameterSet& par, int bins, int slices) {
  const int width = par.NUM_IMAGE_1, height = par.NUM_IMAGE_2;
  const bool vertical = par.ROTATION_VERTICAL;
  EXPECT_EQ(vertical ? width : height, bins);
  EXPECT_EQ(vertical ? height : width, slices);
  auto at = [&](const std::vector<float>& image, int k, int s) {
    return vertical ? image[(k - 1) + (s - 1) * width] : image[(s - 1) + (k - 1) * width];
  };
  auto less_background = [&](std::vector<float> flat, const std::vector<float>& dark) {
    for (std::size_t n = 0; n < flat.size(); ++n) flat[n] = std::max(flat[n] - dark[n], 0.100000001F);
    return flat;
  };
  const std::vector<float> dark = read_image(par.BACKGROUND_FILE, width, height);
  const int projections = par.NUM_LAST_IMAGE - par.NUM_FIRST_IMAGE + 1;
  std::vector<std::vector<float>> flats;
  std::vector<Loaded> schedule(static_cast<std::size_t>(projections), Loaded{0, 0, 0.0F});
  if (par.FLATFIELD_CHANGING) {
    schedule = assembly_schedule(par.FF_NUM_FIRST_IMAGE, par.FF_NUM_LAST_IMAGE,
                                 par.FF_FILE_INTERVAL, projections);
    for (int n = par.FF_NUM_FIRST_IMAGE; n <= par.FF_NUM_LAST_IMAGE; n += par.FF_FILE_INTERVAL) {
      flats.push_back(less_background(
          read_image(numbered(par.FF_PREFIX, n, par.FF_LENGTH_OF_NUMERICAL_PART, par.FF_POSTFIX),
                     width, height),
          dark));
    }
  } else {
    flats.push_back(less_background(read_image(par.FLATFIELD_FILE, width, height), dark));
  }

  std::vector<std::vector<float>> sinograms(
      static_cast<std::size_t>(slices), std::vector<float>(static_cast<std::size_t>(bins) * projections));
  for (int j = 1; j <= projections; ++j) {
    const std::vector<float> image = read_image(
        numbered(par.FILE_PREFIX, par.NUM_FIRST_IMAGE + j - 1, par.LENGTH_OF_NUMERICAL_PART,
                 par.FILE_POSTFIX),
        width, height);
    const Loaded& loaded = schedule[j - 1];
    const std::vector<float>& flat_1 = flats[loaded.flat_1 / std::max(1, par.FF_FILE_INTERVAL)];
    const std::vector<float>& flat_2 =
        par.FLATFIELD_CHANGING ? flats[loaded.flat_2 / par.FF_FILE_INTERVAL] : flat_1;
    for (int s = 1; s <= slices; ++s) {
      for (int k = 1; k <= bins; ++k) {
        const float f = loaded.f;
        const float open = par.FLATFIELD_CHANGING
                               ? (1.0F - f) * at(flat_1, k, s) + f * at(flat_2, k, s)
                               : at(flat_1, k, s);
        const float value = (at(image, k, s) - at(dark, k, s)) / open;
        sinograms[s - 1][(k - 1) + static_cast<std::size_t>(j - 1) * bins] = -std::log(value);
      }
    }
  }
  return sinograms;
}

// Checks the corrected projections against the analytic line integrals and returns the
// largest error. A 16-bit value is within half a count of the exact intensity.
double check_projections(const ParameterSet& par, const PhantomOptions& o) {
  const int bins = o.bins, slices = o.slices;
  const std::vector<std::vector<float>> sinograms = corrected_sinograms(par, bins, slices);
  const int projections = par.NUM_LAST_IMAGE - par.NUM_FIRST_IMAGE + 1;
  const std::vector<PhantomEllipsoid> head =
      phantom_place(phantom_head(), phantom_placement(bins, slices, par.ROTATION_AXIS_POSITION));
  const double pixel_cm =
      (par.ROTATION_VERTICAL ? par.IMAGE_PIXEL_SIZE_1 : par.IMAGE_PIXEL_SIZE_2) * 100.0;
  double worst = 0.0;
  std::vector<double> p(static_cast<std::size_t>(bins));
  for (int s = 1; s <= slices; ++s) {
    std::vector<std::vector<PhantomEllipse>> sections;
    for (double z : phantom_slice_planes(s, o.subsamples)) {
      sections.push_back(phantom_cross_section(head, z));
    }
    for (int j = 1; j <= projections; ++j) {
      const double theta = static_cast<double>(par.ANGLE_OFFSET) +
                           (j - 1) * static_cast<double>(par.ANGLE_BETWEEN_PROJECTIONS);
      phantom_projection_row(sections, theta, par.ROTATION_AXIS_POSITION, o.subsamples, pixel_cm, p);
      for (int k = 1; k <= bins; ++k) {
        const double read = sinograms[s - 1][(k - 1) + static_cast<std::size_t>(j - 1) * bins];
        const double allowed =
            o.as_float ? 2e-6 : 0.5 * std::exp(read) / (0.7 * kPhantomOpen) + 2e-6;
        const double error = std::fabs(read - p[k - 1]);
        worst = std::max(worst, error);
        if (!(error <= allowed)) {
          ADD_FAILURE() << "projection " << j << " slice " << s << " bin " << k << ": read "
                        << read << ", analytic " << p[k - 1];
          return worst;
        }
      }
    }
  }
  return worst;
}

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

}  // namespace

TEST(PhantomScanGeometry, FlatSeriesFollowsTheAssemblySchedule) {
  for (auto [projections, series] : std::vector<std::pair<int, int>>{
           {180, 3}, {180, 2}, {7, 4}, {1, 2}, {2, 5}, {100, 100}, {10, 3}, {400, 7}}) {
    PhantomOptions o;
    o.out = "x";
    o.projections = projections;
    o.flat_series = series;
    const PhantomScan scan = phantom_scan(o);
    ASSERT_GE(scan.ff_interval, 1);
    EXPECT_EQ(scan.ff_last, (series - 1) * scan.ff_interval);
    const std::vector<Loaded> schedule =
        assembly_schedule(0, scan.ff_last, scan.ff_interval, projections);
    for (int j = 1; j <= projections; ++j) {
      const PhantomFlatWeights w = phantom_flat_weights(scan, j);
      const Loaded& loaded = schedule[j - 1];
      SCOPED_TRACE(testing::Message() << projections << " projections, " << series
                                      << " flat fields, projection " << j);
      EXPECT_EQ(w.flat_a * scan.ff_interval, loaded.flat_1);
      EXPECT_EQ(w.flat_b * scan.ff_interval, loaded.flat_2);
      EXPECT_LE(loaded.flat_2, scan.ff_last);  // every flat field read exists
      EXPECT_EQ(w.f, loaded.f);
    }
  }
}

TEST_F(PhantomScanFiles, SixteenBitScanInvertsToTheLineIntegrals) {
  const PhantomOptions o = options({"--bins", "48", "--projections", "14", "--slices", "3",
                                    "--pixel-size", "0.05", "--axis-offset", "-2.3",
                                    "--angle-offset", "10.1", "--subsamples", "2"});
  ASSERT_TRUE(phantom_write_scan(o));
  const ParameterSet par = read_parameters();
  EXPECT_EQ(par.FILE_PREFIX, (fs::absolute(dir_) / "proj_").string());
  EXPECT_EQ(par.NUM_FIRST_IMAGE, 1);
  EXPECT_EQ(par.NUM_LAST_IMAGE, 14);
  EXPECT_EQ(par.FILE_INTERVAL, 1);
  EXPECT_EQ(par.NUM_IMAGE_1, 48);
  EXPECT_EQ(par.NUM_IMAGE_2, 3);
  EXPECT_FLOAT_EQ(par.IMAGE_PIXEL_SIZE_1, 5e-4F);
  EXPECT_FLOAT_EQ(par.IMAGE_PIXEL_SIZE_2, 5e-4F);
  EXPECT_TRUE(par.SUBTRACT_BACKGROUND);
  EXPECT_TRUE(par.CORRECT_FLATFIELD);
  EXPECT_FALSE(par.FLATFIELD_CHANGING);
  EXPECT_TRUE(par.TAKE_LOGARITHM);
  EXPECT_TRUE(par.ROTATION_VERTICAL);
  EXPECT_TRUE(par.OUTPUT_RECONSTRUCTION);
  EXPECT_FALSE(par.OUTPUT_SINOGRAMS);
  EXPECT_FALSE(par.DISPLAY_GRAPHICS);
  EXPECT_FALSE(par.RECONSTRUCT_FROM_SINOGRAMS);
  // The geometry the projections were made with is exactly what the reader stores.
  const PhantomScan scan = phantom_scan(o);
  EXPECT_EQ(par.ROTATION_AXIS_POSITION, scan.axis);
  EXPECT_NEAR(par.ROTATION_AXIS_POSITION, 26.3, 1e-6);  // IMAGE CENTRE - OFFSET = 24 - (-2.3)
  EXPECT_EQ(par.ANGLE_BETWEEN_PROJECTIONS, scan.angle_step);
  EXPECT_NEAR(par.ANGLE_BETWEEN_PROJECTIONS, kPi / 14.0, 1e-7);
  EXPECT_EQ(par.ANGLE_OFFSET, scan.angle_offset);
  EXPECT_NEAR(par.ANGLE_OFFSET, 10.1 * kPi / 180.0, 1e-7);
  EXPECT_EQ(par.OVERSAMPLING_FACTOR, 0);
  EXPECT_EQ(par.OUTPUT_FILE, (fs::absolute(dir_) / "recon.raw").string());
  EXPECT_EQ(par.START_VOXEL_1, 1);
  EXPECT_EQ(par.END_VOXEL_1, 48);
  EXPECT_EQ(par.START_VOXEL_2, 1);
  EXPECT_EQ(par.END_VOXEL_2, 48);
  EXPECT_EQ(par.START_VOXEL_3, 1);
  EXPECT_EQ(par.END_VOXEL_3, 3);
  EXPECT_EQ(file_bytes(dir_ / "proj_0001.zlf").substr(0, 120).find("DataType = UnsignedShort;") !=
                std::string::npos,
            true);
  EXPECT_GT(check_projections(par, o), 0.0);  // 16-bit rounding shows
}

TEST_F(PhantomScanFiles, FloatHorizontalSeriesInvertsExactly) {
  const PhantomOptions o =
      options({"--bins", "40", "--projections", "9", "--slices", "2", "--horizontal", "--float",
               "--flat-series", "3", "--axis-offset", "1.25", "--subsamples", "3"});
  ASSERT_TRUE(phantom_write_scan(o));
  const ParameterSet par = read_parameters();
  EXPECT_FALSE(par.ROTATION_VERTICAL);
  EXPECT_EQ(par.NUM_IMAGE_1, 2);
  EXPECT_EQ(par.NUM_IMAGE_2, 40);
  EXPECT_TRUE(par.FLATFIELD_CHANGING);
  EXPECT_EQ(par.FF_NUM_FIRST_IMAGE, 0);
  EXPECT_EQ(par.FF_FILE_INTERVAL, 4);
  EXPECT_EQ(par.FF_NUM_LAST_IMAGE, 8);
  EXPECT_FALSE(par.FF_NUMBER_LENGTH_VARIES);
  EXPECT_EQ(par.FF_LENGTH_OF_NUMERICAL_PART, 4);
  EXPECT_TRUE(fs::exists(dir_ / "flat_0008.zlf"));
  EXPECT_FALSE(fs::exists(dir_ / "flat.zlf"));
  // Voxel axes 1 and 3 are written exchanged: the reconstruction swaps them back.
  EXPECT_EQ(par.END_VOXEL_1, 2);
  EXPECT_EQ(par.END_VOXEL_2, 40);
  EXPECT_EQ(par.END_VOXEL_3, 40);
  EXPECT_EQ(par.ROTATION_AXIS_POSITION, 18.75F);  // 20 - 1.25
  EXPECT_LT(check_projections(par, o), 2e-6);
}

// The ramp filter 2|f| (f in cycles per pixel, the program's scaling) as the band-limited
// spatial kernel: h(0) = 1/2, h(n) = -2 / (pi n)^2 for odd n, 0 for even n.
std::vector<float> spatial_ramp(const std::vector<float>& sinogram, int bins, int projections) {
  std::vector<float> filtered(sinogram.size());
  for (int j = 0; j < projections; ++j) {
    for (int k = 0; k < bins; ++k) {
      double sum = 0.0;
      for (int m = 0; m < bins; ++m) {
        const int n = k - m;
        const double h = n == 0 ? 0.5 : n % 2 != 0 ? -2.0 / (kPi * kPi * n * n) : 0.0;
        sum += h * sinogram[m + static_cast<std::size_t>(j) * bins];
      }
      filtered[k + static_cast<std::size_t>(j) * bins] = static_cast<float>(sum);
    }
  }
  return filtered;
}

TEST_F(PhantomScanFiles, ReconstructionMatchesTheTruth) {
  // The corrected sinograms, scaled as the sinogram assembly scales them, filtered and
  // back-projected with the program's geometry, give the ground truth in 1/cm: not mirrored,
  // turned or shifted, with an off-centre axis and a first angle that is not 0.
  const int bins = 128, projections = 200;
  const PhantomOptions o = options({"--bins", "128", "--projections", "200", "--slices", "4",
                                    "--axis-offset", "3.5", "--angle-offset", "25",
                                    "--pixel-size", "0.02"});
  ASSERT_TRUE(phantom_write_scan(o));
  const ParameterSet par = read_parameters();
  std::vector<std::vector<float>> sinograms = corrected_sinograms(par, bins, 4);
  const float scale = static_cast<float>(1.0L / projections * (0.01L / par.IMAGE_PIXEL_SIZE_1) *
                                         1.5707963L);

  std::int32_t status = ST_OK;
  const RavFilterPlan filter(bins);
  const RavGeometry geometry =
      rav_geometry(bins, projections, par.ROTATION_AXIS_POSITION,
                   {par.ANGLE_OFFSET, par.ANGLE_BETWEEN_PROJECTIONS, {}}, {1, 1, bins, bins});

  const std::vector<PhantomEllipsoid> head =
      phantom_place(phantom_head(), phantom_placement(bins, 4, par.ROTATION_AXIS_POSITION));
  std::vector<float> slice(bins * bins), truth(bins * bins), work(filter.NFFT());
  for (int s : {2, 3}) {
    for (float& value : sinograms[s - 1]) value *= scale;
    phantom_truth_slice(head, s, bins, o.subsamples, truth);
    for (bool program_filter : {false, true}) {
      std::vector<float> sinogram = sinograms[s - 1];
      if (program_filter) {
        RAV_RECON_1SLICE(geometry, 0, filter, sinogram, slice, work, status);
      } else {
        RAV_BACKPROJECT_1LINEAR(geometry, spatial_ramp(sinogram, bins, projections), slice, status);
      }
      ASSERT_EQ(status, ST_OK);

      // Compare where the truth is flat over the pixel's neighbours (edges blur), per tissue:
      // brain, ventricles (which differ in size left and right) and the lesion (above the
      // centre only), so that a mirrored or turned slice fails.
      const float tissues[] = {0.2F, 0.15F, 0.23F};
      double difference[3] = {}, error[3] = {};
      int count[3] = {};
      std::vector<std::pair<float, float>> flat;  // (truth, reconstruction)
      for (int r = 2; r <= bins - 1; ++r) {
        for (int i = 2; i <= bins - 1; ++i) {
          const float centre = truth[(i - 1) + (r - 1) * bins];
          bool same = true;
          for (int dr = -1; dr <= 1; ++dr) {
            for (int di = -1; di <= 1; ++di) {
              same = same && truth[(i - 1 + di) + (r - 1 + dr) * bins] == centre;
            }
          }
          for (int t = 0; t < 3; ++t) {
            if (same && std::fabs(centre - tissues[t]) < 1e-6F) {
              difference[t] += slice[(i - 1) + (r - 1) * bins] - centre;
              flat.push_back({centre, slice[(i - 1) + (r - 1) * bins]});
              ++count[t];
            }
          }
        }
      }
      // The program's ramp, sampled in the frequency domain with its DC weight 0, lacks the
      // kernel's tail beyond the transform length: its slices come out lower by an offset
      // (about 4 % of the brain here), which is taken out before comparing tissues.
      const double offset = program_filter ? difference[0] / count[0] : 0.0;
      for (const auto& [expected, value] : flat) {
        for (int t = 0; t < 3; ++t) {
          if (expected == tissues[t]) error[t] += std::fabs(value - offset - expected);
        }
      }
      SCOPED_TRACE(testing::Message() << "slice " << s << (program_filter ? ", program's filter" : ", spatial ramp"));
      EXPECT_LT(std::fabs(offset), 0.08 * 0.2);
      for (int t = 0; t < 3; ++t) {
        ASSERT_GT(count[t], 15) << tissues[t];
        EXPECT_LT(error[t] / count[t], 0.001) << tissues[t];
      }
    }
  }
}

TEST_F(PhantomScanFiles, TruthVolumeAndInfoFile) {
  const PhantomOptions o = options({"--bins", "32", "--projections", "2", "--slices", "3",
                                    "--subsamples", "2", "--axis-offset", "3"});
  ASSERT_TRUE(phantom_write_scan(o));
  const std::string raw = file_bytes(dir_ / "truth.raw");
  ASSERT_EQ(raw.size(), 32U * 32U * 3U * 4U);
  const std::vector<PhantomEllipsoid> head =
      phantom_place(phantom_head(), phantom_placement(32, 3, 13.0));  // 16 - 3
  std::vector<float> slice(32 * 32);
  phantom_truth_slice(head, 3, 32, 2, slice);
  const unsigned char* record = reinterpret_cast<const unsigned char*>(raw.data()) + 2 * 32 * 32 * 4;
  for (std::size_t n = 0; n < slice.size(); ++n) {
    const std::uint32_t bits = record[4 * n] | record[4 * n + 1] << 8 | record[4 * n + 2] << 16 |
                               static_cast<std::uint32_t>(record[4 * n + 3]) << 24;
    ASSERT_EQ(std::bit_cast<float>(bits), slice[n]) << n;  // little-endian floats
  }
  EXPECT_EQ(file_bytes(dir_ / "truth.raw.info"),
            "! RAV_VUZAV VOLUME INFO FILE\nNUM_X =       32\nNUM_Y =       32\nNUM_Z =        3\n");
}

TEST_F(PhantomScanFiles, NoiseIsPoissonAndRepeatable) {
  const std::vector<std::string> args = {"--bins", "64", "--projections", "4", "--slices", "2",
                                         "--noise", "1e4", "--float"};
  ASSERT_TRUE(phantom_write_scan(options(args)));
  const std::string first = file_bytes(dir_ / "proj_0003.zlf");
  ASSERT_TRUE(phantom_write_scan(options(args)));
  EXPECT_EQ(file_bytes(dir_ / "proj_0003.zlf"), first);
  std::vector<std::string> seeded = args;
  seeded.insert(seeded.end(), {"--seed", "7"});
  ASSERT_TRUE(phantom_write_scan(options(seeded)));
  EXPECT_NE(file_bytes(dir_ / "proj_0003.zlf"), first);

  // Counts: (value - background) x 1e4 / 50000 are whole photon numbers, whose spread about
  // the noiseless mean matches Poisson statistics.
  const ParameterSet par = read_parameters();
  const std::vector<float> dark = read_image(par.BACKGROUND_FILE, 64, 2);
  const std::vector<float> flat = read_image(par.FLATFIELD_FILE, 64, 2);
  const PhantomScan scan = phantom_scan(options(seeded));
  const std::vector<PhantomEllipsoid> head =
      phantom_place(phantom_head(), phantom_placement(64, 2, scan.axis));
  double chi2 = 0.0;
  int n = 0;
  for (int j = 1; j <= 4; ++j) {
    const std::vector<float> image = read_image(numbered(par.FILE_PREFIX, j, 4, ".zlf"), 64, 2);
    for (int s = 1; s <= 2; ++s) {
      std::vector<std::vector<PhantomEllipse>> sections;
      for (double z : phantom_slice_planes(s, 4)) sections.push_back(phantom_cross_section(head, z));
      std::vector<double> p(64);
      phantom_projection_row(sections, phantom_angle(scan, j), scan.axis, 4, 0.01, p);
      for (int k = 1; k <= 64; ++k) {
        const std::size_t index = (k - 1) + (s - 1) * 64;
        const double counts = (image[index] - dark[index]) * 1e4 / kPhantomOpen;
        EXPECT_NEAR(counts, std::round(counts), 5e-3);
        const double mean = (flat[index] - dark[index]) * 1e4 / kPhantomOpen * std::exp(-p[k - 1]);
        chi2 += (counts - mean) * (counts - mean) / mean;
        ++n;
      }
    }
  }
  EXPECT_NEAR(chi2 / n, 1.0, 0.2);
}

TEST_F(PhantomScanFiles, RelativeNamesAndOverlongDirectories) {
  ASSERT_TRUE(phantom_write_scan(options({"--bins", "16", "--projections", "1", "--slices", "1",
                                          "--relative", "--flat-series", "2"})));
  ParameterSet par = read_parameters();
  EXPECT_EQ(par.FILE_PREFIX, "proj_");
  EXPECT_EQ(par.BACKGROUND_FILE, "background.zlf");
  EXPECT_EQ(par.FF_PREFIX, "flat_");
  EXPECT_EQ(par.OUTPUT_FILE, "recon.raw");

  // A directory name that would not survive the parameter reader's 132-character tokens.
  dir_ /= std::string(130, 'd');
  ASSERT_TRUE(phantom_write_scan(options({"--bins", "16", "--projections", "1", "--slices", "1"})));
  par = read_parameters();
  EXPECT_EQ(par.FILE_PREFIX, "proj_");
  EXPECT_TRUE(fs::exists(dir_ / "proj_0001.zlf"));
  dir_ = dir_.parent_path();
}

TEST(PhantomOptionsTest, AcceptedForms) {
  PhantomOptions o;
  std::string error;
  ASSERT_TRUE(phantom_parse_options({"--bins", "256", "--projections=400", "--slices", "16",
                                     "--pixel-size", "0.002", "--axis-offset", "-3.5",
                                     "--horizontal", "--float", "--noise", "1e5",
                                     "--flat-series", "3", "--out", "d"},
                                    o, error))
      << error;
  EXPECT_EQ(o.bins, 256);
  EXPECT_EQ(o.projections, 400);
  EXPECT_EQ(o.slices, 16);
  EXPECT_DOUBLE_EQ(o.pixel_cm, 0.002);
  EXPECT_DOUBLE_EQ(o.axis_offset, -3.5);
  EXPECT_TRUE(o.horizontal);
  EXPECT_TRUE(o.as_float);
  EXPECT_DOUBLE_EQ(o.noise, 1e5);
  EXPECT_EQ(o.flat_series, 3);
  EXPECT_EQ(o.out, "d");
  PhantomOptions help;
  EXPECT_TRUE(phantom_parse_options({"--help"}, help, error));
  EXPECT_TRUE(help.help);
}

TEST(PhantomOptionsTest, BadOptionsAreRefused) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--bins", "128"}, "Missing --out DIR (the directory to write the scan into)"},
      {{"--out", "d", "--colour"}, "Unknown option: --colour"},
      {{"--out", "d", "--bins"}, "Option --bins needs a value"},
      {{"--out", "d", "--bins", "12"}, "Option --bins needs a whole number from 16 to 8192, not: 12"},
      {{"--out", "d", "--pixel-size", "0"}, "Option --pixel-size needs a size above 0 cm, not: 0"},
      {{"--out", "d", "--pixel-size", "nan"},
       "Option --pixel-size needs a number from 0 to 10, not: nan"},
      {{"--out", "d", "--flat-series", "1"},
       "Option --flat-series needs a whole number from 2 to 1000, not: 1"},
      {{"--out", "d", "--bins", "64", "--axis-offset", "16.5"},
       "Option --axis-offset must lie within bins/4 = 16 pixels of the centre"},
      {{"--out", "d", "--float=yes"}, "Option --float takes no value"},
      {{"--out="}, "Option --out needs a directory name"},
  };
  for (const auto& [args, message] : cases) {
    PhantomOptions o;
    std::string error;
    EXPECT_FALSE(phantom_parse_options(args, o, error)) << message;
    EXPECT_EQ(error, message);
  }
}

TEST(PhantomProgram, ExitCodesAndMessages) {
  const std::string program = std::string(RAV_BINARY_DIR) + "/rav_phantom";
  auto run = [&](const std::string& arguments, std::string& output) {
    FILE* pipe = ::popen((program + " " + arguments + " 2>&1").c_str(), "r");
    output.clear();
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  std::string output;
  EXPECT_EQ(run("--bins 8 --out /tmp/never", output), 1);
  EXPECT_EQ(output,
            "ERROR: Option --bins needs a whole number from 16 to 8192, not: 8\n"
            "       (rav_phantom --help lists the options)\n");
  EXPECT_EQ(run("--help", output), 0);
  EXPECT_EQ(output.rfind("Usage: rav_phantom --out DIR [options]\n", 0), 0U);
  EXPECT_EQ(run("--out /proc/no_such_place/scan", output), 1);
  EXPECT_EQ(output.rfind("ERROR: Cannot create the directory /proc/no_such_place/scan", 0), 0U)
      << output;
}
