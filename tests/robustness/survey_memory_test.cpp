// Survey of bad inputs, memory rows: every allocation failure of the drivers is reached by
// limiting the program's address space (RLIMIT_AS) and asking for arrays beyond it. Each ends
// the run with its own "ERROR: " line and exit code 1, at once (no status report, no
// "FINISHED"), with nothing on standard error and no volume described as complete.
//
// Sanitizer builds reserve terabytes of address space and report a failed allocation as a
// fault of their own, so these cases run against Release builds only.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "survey.h"

namespace {

using rav_survey::lines_starting;

constexpr std::uint64_t kMiB = 1024 * 1024;

class MemorySurvey : public rav_survey::Survey {
 protected:
  void SetUp() override {
    if (test_support::kSanitized) GTEST_SKIP() << "address-space limits need a Release build";
    Survey::SetUp();
    make_scan();
    // Plenty of sinogram memory and no background or flat field unless a case asks.
    set_parameter("SINOGRAM_MEGABYTES", "1000000");
    set_parameter("SUBTRACT_BACKGROUND", "NO");
    set_parameter("CORRECT_FLATFIELD", "NO");
  }

  // Sets the parameters, runs under LIMIT bytes of address space and expects MESSAGE.
  void expect_allocation_failure(const std::vector<std::pair<std::string, std::string>>& values,
                                 std::uint64_t limit, const std::string& message) {
    for (const auto& [keyword, value] : values) set_parameter(keyword, value);
    const test_support::RunResult r = vuzav({"phantom.par"}, false, limit);
    EXPECT_EQ(r.exit_code, 1) << r.out << r.err;
    EXPECT_EQ(lines_starting(r.out, "ERROR: "), std::vector<std::string>{message}) << r.out;
    EXPECT_EQ(r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1), message + "\n");
    EXPECT_EQ(r.err, "");
    expect_no_complete_volume();
  }
};

// A 16 x 16 block of slice about the rotation axis at CENTRE.
std::vector<std::pair<std::string, std::string>> block_about(int centre) {
  return {{"ROTATION_AXIS_POSITION", std::to_string(centre)},
          {"START_VOXEL_1", std::to_string(centre - 7)}, {"END_VOXEL_1", std::to_string(centre + 8)},
          {"START_VOXEL_2", std::to_string(centre - 7)}, {"END_VOXEL_2", std::to_string(centre + 8)}};
}

// Images of BINS x ROWS pixels whose rows are all slices of one pass (one projection).
std::vector<std::pair<std::string, std::string>> images(int bins, int rows) {
  std::vector<std::pair<std::string, std::string>> values = {
      {"NUM_IMAGE_1", std::to_string(bins)}, {"NUM_IMAGE_2", std::to_string(rows)},
      {"START_VOXEL_3", "1"}, {"END_VOXEL_3", std::to_string(rows)}, {"NUM_LAST_IMAGE", "1"}};
  const auto block = block_about(bins / 2);
  values.insert(values.end(), block.begin(), block.end());
  return values;
}

// Slices of SIDE x SIDE voxels.
std::vector<std::pair<std::string, std::string>> slices(int side) {
  return {{"END_VOXEL_1", std::to_string(side)}, {"END_VOXEL_2", std::to_string(side)}};
}

template <typename... Lists>
std::vector<std::pair<std::string, std::string>> join(Lists... lists) {
  std::vector<std::pair<std::string, std::string>> all;
  (all.insert(all.end(), lists.begin(), lists.end()), ...);
  return all;
}

TEST_F(MemorySurvey, ImageData) {
  // 100000 x 4096 pixels: 1.6 GB.
  expect_allocation_failure(images(100000, 4096), 512 * kMiB,
                            "ERROR: Failed to allocate memory for storing the image data");
}

TEST_F(MemorySurvey, BackgroundAndFlatField) {
  // Image arrays of 75000 x 1024 pixels (300 MB): the first fits, the second does not.
  expect_allocation_failure(join(images(75000, 1024),
                                 std::vector<std::pair<std::string, std::string>>{
                                     {"SUBTRACT_BACKGROUND", "YES"}}),
                            512 * kMiB,
                            "ERROR: Failed to allocate memory for storing the background data");
  expect_allocation_failure({{"SUBTRACT_BACKGROUND", "NO"}, {"CORRECT_FLATFIELD", "YES"}},
                            512 * kMiB,
                            "ERROR: Failed to allocate memory for storing the flat field data");
}

TEST_F(MemorySurvey, Sinograms) {
  // 10000 x 1024 pixels (40 MB) of image data, 16 projections: 640 MB of sinograms.
  expect_allocation_failure(join(images(10000, 1024),
                                 std::vector<std::pair<std::string, std::string>>{
                                     {"NUM_LAST_IMAGE", "16"}}),
                            512 * kMiB,
                            "ERROR: Failed to allocate memory for storing the sinograms");
}

TEST_F(MemorySurvey, OutputSlices) {
  // One slice of 20000 x 20000 voxels: 1.6 GB.
  expect_allocation_failure(slices(20000), 512 * kMiB,
                            "ERROR: Failed to allocate memory for output slice");
  // Slices of 8660 x 8660 voxels (300 MB): the second (slice 3 when two do not fit the cache,
  // slice 2 when they do) fails.
  expect_allocation_failure(slices(8660), 512 * kMiB,
                            "ERROR: Failed to allocate memory for output slice 3");
  expect_allocation_failure({{"CACHE_KILOBYTES", "2000000"}}, 512 * kMiB,
                            "ERROR: Failed to allocate memory for output slice 2");
  // Slices of 7072 x 7072 voxels (200 MB), four of them: the fourth fails.
  expect_allocation_failure(slices(7072), 700 * kMiB,
                            "ERROR: Failed to allocate memory for output slice 4");
}

TEST_F(MemorySurvey, StoredSinogram) {
  // Reconstruction from stored sinograms of 100000 x 10000 values: 4 GB.
  expect_allocation_failure(
      join(std::vector<std::pair<std::string, std::string>>{
               {"RECONSTRUCT_FROM_SINOGRAMS", "YES"}, {"NUM_IMAGE_1", "100000"},
               {"NUM_IMAGE_2", "10000"}},
           block_about(50000)),
      512 * kMiB, "ERROR: Failed to allocate memory for storing the sinogram");
}

TEST_F(MemorySurvey, OversampledProjection) {
  // OVERSAMPLING_FACTOR 2^31 - 1 on 16 bins: 128 GB for the oversampled projection, even
  // without a limit.
  set_parameter("OVERSAMPLING_FACTOR", "2147483647");
  const test_support::RunResult r = vuzav({"phantom.par"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(lines_starting(r.out, "ERROR: "),
            std::vector<std::string>{
                "ERROR: Failed to allocated arrays for work space for oversampled projection"})
      << r.out;
  EXPECT_EQ(r.err, "");
  expect_no_complete_volume();
}

}  // namespace
