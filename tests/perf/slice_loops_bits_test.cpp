// The slice loops with the fast kernels on several threads write the records of the reference
// loops on one thread, bit for bit: every method (linear, nearest, oversampled by 2 and 4), every
// grouping of slices, odd sizes, an off-centre axis, a block that starts inside the slice, one
// pass or several.
#include <gtest/gtest.h>
#include <omp.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "../support/files.h"
#include "perf_support.h"
#include "rav_kernels.h"
#include "rav_slice_loops.h"
#include "ut.h"

namespace {

namespace fs = std::filesystem;

struct Grouping {
  const char* name;
  bool two, multi, four;
};

struct Setting {
  RavKernelTarget target;
  int threads;
};

class LoopBits : public testing::Test {
 protected:
  void SetUp() override {
    ST_DEF_SYSTEM(status_);
    dir_ = test_support::test_directory("rav_loop_bits");
    sinograms_.resize(static_cast<std::size_t>(kSlices) * sinogram_size());
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-0.5f, 2.0f);
    for (float& v : sinograms_) v = value(rng);
  }
  void TearDown() override {
    omp_set_num_threads(omp_get_num_procs());
    fs::remove_all(dir_);
  }

  static constexpr std::int32_t kSlices = 7;

  SlicePass pass(std::int32_t method, const Grouping& g) const {
    SlicePass p;
    // A block inside the slice, odd sizes, the axis off the block's centre.
    p.geometry = rav_geometry(45, 53, 23.3f, {0.1f, std::numbers::pi_v<float> / 53, {}},
                              {5, 3, 37, 29});
    p.METHOD = method;
    p.TWO_SLICES = g.two;
    p.MULTI_PROCESSORS = g.multi;
    p.FOUR_SLICES = g.four;
    return p;
  }
  std::int64_t sinogram_size() const { return 45 * 53; }

  // The records of all slices, reconstructed in passes of PER_PASS slices.
  std::vector<float> records(const SlicePass& base, std::int32_t per_pass, const Setting& run,
                             const std::string& tag) {
    perf::TargetScope scope(run.target);
    omp_set_num_threads(run.threads);
    const fs::path file = dir_ / (tag + ".raw");
    SliceFile out;
    int error = 0;
    const std::int64_t pixels = base.geometry.pixels();
    EXPECT_TRUE(out.open(file.string(), pixels * 4, error));
    // The driver's storage: a multiple of four sinograms, refilled for every pass.
    const std::int32_t storage = 4 * ((per_pass + 3) / 4);
    std::vector<float> SINOGRAMS(static_cast<std::size_t>(storage * sinogram_size()), 0.25f);
    SliceBuffers slices;
    ReconTimes times;
    std::int32_t NEXT_RECORD = 1;
    for (std::int32_t first = 1; first <= kSlices; first += per_pass) {
      SlicePass p = base;
      p.FIRST_SLICE = first;
      p.LAST_SLICE = std::min(first + per_pass - 1, kSlices);
      const std::size_t from = static_cast<std::size_t>((first - 1) * sinogram_size());
      const std::size_t count =
          static_cast<std::size_t>((p.LAST_SLICE - first + 1) * sinogram_size());
      std::copy_n(sinograms_.begin() + static_cast<std::ptrdiff_t>(from), count,
                  SINOGRAMS.begin());
      if (p.METHOD >= 2) {
        RAV_RECON_OVERSLICES(p, SINOGRAMS, times, slices, out, NEXT_RECORD, status_);
      } else {
        RAV_RECON_SLICES(p, SINOGRAMS, times, slices, out, NEXT_RECORD, status_);
      }
    }
    EXPECT_EQ(out.close(), "");
    EXPECT_EQ(status_, ST_OK);
    EXPECT_EQ(NEXT_RECORD, kSlices + 1);
    std::vector<float> values(static_cast<std::size_t>(kSlices * pixels));
    std::ifstream in(file, std::ios::binary);
    in.read(reinterpret_cast<char*>(values.data()),
            static_cast<std::streamsize>(values.size() * 4));
    EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(values.size() * 4));
    return values;
  }

  void expect_same_records(std::int32_t method, const std::vector<Grouping>& groupings) {
    std::vector<Setting> runs{{RavKernelTarget::REFERENCE, 3}};
    for (RavKernelTarget t : perf::available_targets()) {
      if (t != RavKernelTarget::REFERENCE) runs.insert(runs.end(), {{t, 1}, {t, 2}, {t, 3}});
    }
    for (const Grouping& g : groupings) {
      const SlicePass p = pass(method, g);
      const std::vector<float> expected =
          records(p, kSlices, {RavKernelTarget::REFERENCE, 1}, "reference");
      for (const Setting& run : runs) {
        for (const std::int32_t per_pass : {kSlices, 4, 3}) {
          SCOPED_TRACE(std::string(g.name) + ", " + rav_kernel_target_name(run.target) + ", " +
                       std::to_string(run.threads) + " threads, passes of " +
                       std::to_string(per_pass));
          EXPECT_TRUE(perf::bits_equal(expected, records(p, per_pass, run, "fast")));
        }
      }
    }
  }

  std::int32_t status_ = ST_OK;
  fs::path dir_;
  std::vector<float> sinograms_;
};

TEST_F(LoopBits, LinearAndNearestOneAndTwoSlicesAtATime) {
  for (const std::int32_t method : {0, 1}) {
    SCOPED_TRACE("method " + std::to_string(method));
    expect_same_records(method, {{"one slice", false, true, false},
                                 {"two slices", true, true, true}});
  }
}

TEST_F(LoopBits, OversampledByTwoAndFourInEveryGrouping) {
  for (const std::int32_t method : {2, 4}) {
    SCOPED_TRACE("method " + std::to_string(method));
    expect_same_records(method, {{"one", false, false, false},
                                 {"two single", false, true, false},
                                 {"one pair", true, false, false},
                                 {"two pairs", true, true, true}});
  }
}

// A single slice (or pair) is shared by all threads: each filters some projections and adds all
// of them to its rows. More threads than blocks of rows leave some with nothing to do.
TEST(SharedSlice, EveryThreadCountGivesTheReferenceSlices) {
  const RavGeometry g = rav_geometry(150, 60, 74.6f, {0.2f, std::numbers::pi_v<float> / 60, {}},
                                     {3, 1, 145, 150});
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  std::vector<float> sinograms(2 * static_cast<std::size_t>(g.sinogram_values()));
  for (float& v : sinograms) v = value(rng);
  const auto slices_of = [&](RavMethod method, RavKernelTarget target, int threads, int count) {
    perf::TargetScope scope(target);
    std::vector<float> copy = sinograms, out(2 * static_cast<std::size_t>(g.pixels()), 9.0f);
    std::vector<float*> in{copy.data(), copy.data() + g.sinogram_values()};
    std::vector<float*> slices{out.data(), out.data() + g.pixels()};
    RavReconstructor(g, method, {}, true, threads)
        .reconstruct(std::span(in).first(count), std::span(slices).first(count));
    return out;
  };
  const RavKernelTarget best = perf::available_targets().back() == RavKernelTarget::REFERENCE
                                   ? RavKernelTarget::REFERENCE
                                   : perf::available_targets()[1];
  for (const RavMethod method : {RavMethod{RavMethod::LINEAR, 1}, RavMethod{RavMethod::NEAREST, 1},
                                 RavMethod{RavMethod::OVERSAMPLED, 3}}) {
    for (const int count : {1, 2}) {
      const std::vector<float> expected =
          slices_of(method, RavKernelTarget::REFERENCE, 1, count);
      for (const int threads : {2, 3, 7}) {
        SCOPED_TRACE(std::to_string(method.kind) + ", " + std::to_string(count) + " slices, " +
                     std::to_string(threads) + " threads");
        EXPECT_TRUE(perf::bits_equal(expected, slices_of(method, best, threads, count)));
      }
    }
  }
}

}  // namespace
