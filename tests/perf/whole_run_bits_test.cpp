// Whole reconstructions of synthetic scans with the fast kernels and correction loops, on one
// and on several threads, give the volume of the reference loops on one thread, bit for bit:
// every method, one and two slices at a time, a block and a slice range that start above 1, an
// off-centre axis, flat-field series, one pass or several, rotation axis vertical or horizontal.
#include <gtest/gtest.h>
#include <omp.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/files.h"
#include "perf_support.h"
#include "rav.h"
#include "rav_kernels.h"
#include "ut.h"

namespace {

namespace fs = std::filesystem;

std::vector<float> read_floats(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<float> values(static_cast<std::size_t>(fs::file_size(file) / 4));
  in.read(reinterpret_cast<char*>(values.data()),
          static_cast<std::streamsize>(values.size() * 4));
  return values;
}

class WholeRunBits : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::test_directory("rav_run_bits");
  }
  void TearDown() override {
    omp_set_num_threads(omp_get_num_procs());
    fs::remove_all(dir_);
  }

  // Writes a scan with rav_phantom and returns its parameters.
  ParameterSet scan(const std::string& options) {
    const fs::path out = dir_ / "scan";
    const std::string command = std::string(RAV_BINARY_DIR) + "/rav_phantom --out " +
                                out.string() + " " + options + " > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    ParameterSet p;
    std::int32_t retstat = 0, status = ST_OK;
    ST_DEF_SYSTEM(status);
    RAV_READ_PARAMETERS((out / "phantom.par").string(), retstat, p, status);
    EXPECT_EQ(retstat, 0);
    return p;
  }

  // The volume of P with TARGET on THREADS threads.
  std::vector<float> volume(ParameterSet p, RavKernelTarget target, int threads) {
    perf::TargetScope scope(target);
    omp_set_num_threads(threads);
    p.OUTPUT_FILE = (dir_ / "volume.raw").string();
    std::int32_t status = ST_OK;
    ST_DEF_SYSTEM(status);
    testing::internal::CaptureStdout();
    RAV_RECONSTRUCTION(p, status);
    transcript_ = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, ST_OK) << transcript_;
    return read_floats(p.OUTPUT_FILE);
  }

  // Every fast target on one and two threads against the reference on one thread.
  void expect_reference_volume(const ParameterSet& p, const std::string& what) {
    const std::vector<float> expected = volume(p, RavKernelTarget::REFERENCE, 1);
    ASSERT_FALSE(expected.empty());
    for (RavKernelTarget target : perf::available_targets()) {
      for (const int threads : {1, 2}) {
        if (target == RavKernelTarget::REFERENCE && threads == 1) continue;
        SCOPED_TRACE(what + ", " + rav_kernel_target_name(target) + ", " +
                     std::to_string(threads) + " threads");
        EXPECT_TRUE(perf::bits_equal(expected, volume(p, target, threads)));
      }
    }
  }

  fs::path dir_;
  std::string transcript_;  // of the last run
};

TEST_F(WholeRunBits, EveryMethodAndGroupingOnAPartialBlockWithAnOffCentreAxis) {
  ParameterSet p = scan(
      "--bins 48 --projections 60 --slices 7 --axis-offset 1.3 --angle-offset 7 "
      "--flat-series 3 --noise 20000");
  p.START_VOXEL_1 = 4;
  p.END_VOXEL_1 = 40;  // 37 columns
  p.START_VOXEL_2 = 2;
  p.END_VOXEL_2 = 44;  // 43 rows
  p.START_VOXEL_3 = 2;
  p.END_VOXEL_3 = 7;  // 6 slices
  for (const std::int32_t method : {0, 1, 2, 4}) {
    for (const std::int32_t cache : {1, 4096}) {  // one slice at a time, or two
      p.OVERSAMPLING_FACTOR = method;
      p.CACHE_KILOBYTES = cache;
      expect_reference_volume(p, "method " + std::to_string(method) + ", cache " +
                                     std::to_string(cache) + " KB");
    }
  }
}

TEST_F(WholeRunBits, SeveralPassesWithTheAxisHorizontal) {
  // Sinograms of 128 x 720 floats: one megabyte holds two, so nine slices take three passes.
  ParameterSet p =
      scan("--bins 128 --projections 720 --slices 9 --horizontal --axis-offset -2.6 --noise 5000");
  p.SINOGRAM_MEGABYTES = 1;
  for (const std::int32_t method : {0, 4}) {
    p.OVERSAMPLING_FACTOR = method;
    expect_reference_volume(p, "method " + std::to_string(method));
    EXPECT_NE(transcript_.find("INFO: Pass  3  of  3  passes"), std::string::npos) << transcript_;
  }
}

}  // namespace
