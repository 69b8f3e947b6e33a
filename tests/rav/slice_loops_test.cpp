// The slice loops of a pass: grouping, progress lines, the order and count of the records
// written, NEXT_RECORD, and the output slice file's failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "rav_numerics.h"
#include "rav_slice_loops.h"
#include "ut.h"

namespace {

std::int32_t good_status() {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  return status;
}

// A small pass with odd sizes, a partial block and an off-centre axis.
SlicePass small_pass(std::int32_t first, std::int32_t last, std::int32_t method) {
  SlicePass pass;
  pass.geometry = rav_geometry(19, 11, 9.6f, {0.2f, 0.3f, {}}, {2, 3, 15, 13});
  pass.METHOD = method;
  pass.FIRST_SLICE = first;
  pass.LAST_SLICE = last;
  return pass;
}

std::int64_t sinogram_size(const SlicePass& pass) { return pass.geometry.sinogram_values(); }
std::int64_t slice_size(const SlicePass& pass) { return pass.geometry.pixels(); }

std::vector<float> random_sinograms(const SlicePass& pass, std::int64_t count, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  std::vector<float> values(static_cast<std::size_t>(count * sinogram_size(pass)));
  for (float& v : values) v = value(engine);
  return values;
}

std::string temp_path(const std::string& tag) {
  const auto* test = testing::UnitTest::GetInstance()->current_test_info();
  return testing::TempDir() + "slice_loops_" + test->test_suite_name() + "_" + test->name() +
         "_" + tag + ".raw";
}

std::vector<float> read_floats(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<float> values(bytes.size() / sizeof(float));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  EXPECT_EQ(bytes.size() % sizeof(float), 0u);
  return values;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string progress(std::int32_t s) {
  return "INFO: Reconstructing slice " + ut_fmt_int(s, 5) + " (and onwards)";
}

// What one call of a loop left behind.
struct LoopRun {
  std::vector<float> file;           // the whole output file
  std::vector<std::string> console;  // its console lines
  std::vector<float> sinograms;      // the storage afterwards
  std::int32_t next_record = 0;
  std::int32_t status = 0;
  ReconTimes times;
};

LoopRun run_loop(bool oversampled, const SlicePass& pass, std::vector<float> sinograms,
             const std::string& tag, std::int32_t first_record = 1) {
  LoopRun run;
  SliceFile out;
  int error = 0;
  const std::string path = temp_path(tag);
  EXPECT_TRUE(out.open(path, slice_size(pass) * 4, error));
  SliceBuffers slices;
  run.next_record = first_record;
  run.status = good_status();
  run.times.CPU_INPUT = 3.0f;
  testing::internal::CaptureStdout();
  if (oversampled) {
    RAV_RECON_OVERSLICES(pass, sinograms, run.times, slices, out, run.next_record, run.status);
  } else {
    RAV_RECON_SLICES(pass, sinograms, run.times, slices, out, run.next_record, run.status);
  }
  run.console = lines_of(testing::internal::GetCapturedStdout());
  EXPECT_EQ(out.close(), "");
  run.file = read_floats(path);
  run.sinograms = std::move(sinograms);
  std::filesystem::remove(path);
  return run;
}

// The slices the loops must produce, each reconstructed on its own.
std::vector<float> expected_slices(bool oversampled, const SlicePass& pass,
                                   std::vector<float> sinograms, std::int32_t count) {
  std::int32_t status = good_status();
  const RavGeometry& g = pass.geometry;
  const RavFilterPlan filter(g.NUM_BINS);
  std::vector<float> work(static_cast<std::size_t>(filter.NFFT()));
  std::vector<float> fine(static_cast<std::size_t>(std::max(pass.METHOD, 1) * g.NUM_BINS));
  const std::int64_t sino = sinogram_size(pass), pixels = slice_size(pass);
  std::vector<float> slices(static_cast<std::size_t>(count * pixels));
  for (std::int32_t k = 0; k < count; ++k) {
    const std::span<float> sinogram = std::span<float>(sinograms).subspan(k * sino, sino);
    const std::span<float> slice = std::span<float>(slices).subspan(k * pixels, pixels);
    if (oversampled) {
      RAV_RECON_1OVER(g, pass.METHOD, filter, sinogram, slice, fine, work, status);
    } else {
      RAV_RECON_1SLICE(g, pass.METHOD, filter, sinogram, slice, work, status);
    }
  }
  EXPECT_EQ(status, ST_OK);
  return slices;
}

bool bitwise_equal(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// ---------------------------------------------------------------------------------------------
// Without oversampling.

TEST(SliceLoops, TwentyFiveSlicesOneAtATime) {
  const SlicePass pass = small_pass(101, 125, 0);
  const std::vector<float> sinograms = random_sinograms(pass, 25, 1);
  const LoopRun run = run_loop(false, pass, sinograms, "one");
  EXPECT_EQ(run.status, ST_OK);
  EXPECT_EQ(run.next_record, 26);
  EXPECT_EQ(run.console,
            (std::vector<std::string>{"INFO: Fourier filter initialised", progress(101),
                                      progress(111), progress(121)}));
  EXPECT_TRUE(bitwise_equal(run.file, expected_slices(false, pass, sinograms, 25)));
  EXPECT_EQ(run.times.CPU_INPUT, 3.0f);
  EXPECT_GE(run.times.CPU_RECONSTRUCTION, 0.0f);
  EXPECT_GE(run.times.CPU_OUTPUT, 0.0f);
  EXPECT_NE(run.sinograms, sinograms) << "the storage holds the filtered sinograms";
}

TEST(SliceLoops, TwentyFiveSlicesTwoAtATimeWritesOnlySlice25Last) {
  for (std::int32_t method : {0, 1}) {
    SlicePass pass = small_pass(1, 25, method);
    const std::vector<float> sinograms = random_sinograms(pass, 26, 2);
    const LoopRun one = run_loop(false, pass, sinograms, "one");
    pass.TWO_SLICES = true;
    const LoopRun two = run_loop(false, pass, sinograms, "two");
    EXPECT_EQ(two.status, ST_OK);
    EXPECT_EQ(two.next_record, 26);
    EXPECT_EQ(two.console,
              (std::vector<std::string>{"INFO: Fourier filter initialised", progress(1),
                                        progress(11), progress(21)}));
    // 13 pairs, the last one writing only slice 25: exactly 25 records, as one at a time.
    EXPECT_EQ(two.file.size(), static_cast<std::size_t>(25 * slice_size(pass)));
    EXPECT_TRUE(bitwise_equal(two.file, one.file)) << "method " << method;

    // Storage holding only the 25 sinograms of the pass gives the same records.
    const LoopRun exact = run_loop(
        false, pass,
        std::vector<float>(sinograms.begin(), sinograms.begin() + 25 * sinogram_size(pass)),
        "exact");
    EXPECT_TRUE(bitwise_equal(exact.file, one.file));
  }
}

TEST(SliceLoops, OneSlicePassInTwoSliceModeWritesOneRecordAtNextRecord) {
  SlicePass pass = small_pass(7, 7, 1);
  pass.TWO_SLICES = true;
  const std::vector<float> sinograms = random_sinograms(pass, 4, 3);
  const LoopRun run = run_loop(false, pass, sinograms, "single", 4);
  EXPECT_EQ(run.next_record, 5);
  const std::int64_t pixels = slice_size(pass);
  ASSERT_EQ(run.file.size(), static_cast<std::size_t>(4 * pixels));
  EXPECT_EQ(std::vector<float>(run.file.begin(), run.file.begin() + 3 * pixels),
            std::vector<float>(3 * pixels, 0.0f));
  EXPECT_TRUE(bitwise_equal(std::vector<float>(run.file.begin() + 3 * pixels, run.file.end()),
                            expected_slices(false, pass, sinograms, 1)));
  EXPECT_EQ(run.console, (std::vector<std::string>{"INFO: Fourier filter initialised",
                                                   progress(7)}));
}

TEST(SliceLoops, BadStatusOnEntryDoesNothing) {
  for (bool oversampled : {false, true}) {
    SlicePass pass = small_pass(1, 3, oversampled ? 2 : 0);
    const std::vector<float> sinograms = random_sinograms(pass, 4, 4);
    SliceFile out;
    int error = 0;
    const std::string path = temp_path("bad");
    ASSERT_TRUE(out.open(path, slice_size(pass) * 4, error));
    SliceBuffers slices;
    ReconTimes times;
    std::int32_t next_record = 1;
    std::int32_t status = good_status();
    status = 777;
    std::vector<float> storage = sinograms;
    testing::internal::CaptureStdout();
    if (oversampled) {
      RAV_RECON_OVERSLICES(pass, storage, times, slices, out, next_record, status);
    } else {
      RAV_RECON_SLICES(pass, storage, times, slices, out, next_record, status);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(out.close(), "");
    EXPECT_EQ(status, 777);
    EXPECT_EQ(next_record, 1);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
    EXPECT_EQ(storage, sinograms);
    std::filesystem::remove(path);
  }
}

// ---------------------------------------------------------------------------------------------
// With oversampling: groups of one, two and four.

enum class Grouping { kOne, kTwo, kMulti, kFour };

SlicePass grouped(SlicePass pass, Grouping grouping) {
  pass.TWO_SLICES = grouping == Grouping::kTwo || grouping == Grouping::kFour;
  pass.MULTI_PROCESSORS = grouping == Grouping::kMulti || grouping == Grouping::kFour;
  pass.FOUR_SLICES = grouping == Grouping::kFour;
  return pass;
}

TEST(OverSlices, EveryGroupingGivesTheSameRecords) {
  const SlicePass pass = small_pass(201, 225, 4);
  const std::vector<float> sinograms = random_sinograms(pass, 28, 5);
  const std::vector<float> expected = expected_slices(true, pass, sinograms, 25);
  for (Grouping grouping : {Grouping::kOne, Grouping::kTwo, Grouping::kMulti, Grouping::kFour}) {
    const LoopRun run = run_loop(true, grouped(pass, grouping), sinograms, "group");
    const int g = static_cast<int>(grouping);
    EXPECT_EQ(run.status, ST_OK) << g;
    EXPECT_EQ(run.next_record, 26) << g;
    // Progress every 16 slices, whatever the group size.
    EXPECT_EQ(run.console,
              (std::vector<std::string>{"INFO: Fourier filter initialised", progress(201),
                                        progress(217)}))
        << g;
    EXPECT_TRUE(bitwise_equal(run.file, expected)) << g;
    EXPECT_EQ(run.sinograms, sinograms) << "the sinograms stay unfiltered";
  }
}

TEST(OverSlices, FiveAndSixSlicesInGroupsOfTwoAndFour) {
  for (std::int32_t n : {5, 6}) {
    for (Grouping grouping : {Grouping::kMulti, Grouping::kTwo, Grouping::kFour}) {
      const SlicePass pass = grouped(small_pass(10, 9 + n, 2), grouping);
      // The storage holds a multiple of four sinograms; the extra ones differ from the pass's.
      const std::vector<float> sinograms = random_sinograms(pass, 8, 6 + n);
      const LoopRun run = run_loop(true, pass, sinograms, "stored", 3);
      const std::int64_t pixels = slice_size(pass);
      EXPECT_EQ(run.next_record, 3 + n);
      ASSERT_EQ(run.file.size(), static_cast<std::size_t>((2 + n) * pixels));
      EXPECT_TRUE(bitwise_equal(std::vector<float>(run.file.begin() + 2 * pixels, run.file.end()),
                                expected_slices(true, pass, sinograms, n)))
          << n << " " << static_cast<int>(grouping);

      // Storage for exactly the slices of the pass: the same records.
      const LoopRun exact = run_loop(
          true, pass,
          std::vector<float>(sinograms.begin(), sinograms.begin() + n * sinogram_size(pass)),
          "exact", 3);
      EXPECT_TRUE(bitwise_equal(exact.file, run.file));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// The output slice file.

TEST(SliceFile, OpenTruncatesAndRecordsLandAtTheirPlace) {
  const std::string path = temp_path("file");
  {
    std::ofstream old(path, std::ios::binary);
    old << std::string(1000, 'x');
  }
  SliceFile out;
  int error = -1;
  ASSERT_TRUE(out.open(path, 8, error));
  EXPECT_EQ(error, 0);
  EXPECT_EQ(out.write(3, std::vector<float>{5.0f, 6.0f}), "");
  EXPECT_EQ(out.write(1, std::vector<float>{1.0f, 2.0f}), "");
  EXPECT_EQ(out.close(), "");
  EXPECT_FALSE(out.is_open());
  EXPECT_EQ(read_floats(path), (std::vector<float>{1, 2, 0, 0, 5, 6}));
  std::filesystem::remove(path);

  EXPECT_FALSE(out.open(testing::TempDir() + "no/such/dir/out.raw", 8, error));
  EXPECT_EQ(error, ENOENT);
  EXPECT_FALSE(out.is_open());
}

TEST(SliceFile, RecordOffsetsAreSixtyFourBit) {
  // Record 300000 of 8 kB lies beyond 2 GB; the file is sparse, so this costs no disk space.
  const std::string path = temp_path("big");
  {
    SliceFile out;
    int error = 0;
    ASSERT_TRUE(out.open(path, 8192, error));
    EXPECT_EQ(out.write(300000, std::vector<float>(2048, 1.5f)), "");
  }  // closed by its destructor
  EXPECT_EQ(std::filesystem::file_size(path), 300000ull * 8192ull);
  std::ifstream in(path, std::ios::binary);
  in.seekg(299999ll * 8192ll);
  float value = 0.0f;
  in.read(reinterpret_cast<char*>(&value), sizeof value);
  EXPECT_EQ(value, 1.5f);
  std::filesystem::remove(path);
}

// A full device, a record that does not fit and too few sinograms end the run with an
// "ERROR: " line (the loops throw it to the entry).
TEST(SliceFile, FailuresEndTheRunWithAnErrorLine) {
  SliceFile full;
  int error = 0;
  ASSERT_TRUE(full.open("/dev/full", 16, error));
  EXPECT_EQ(full.write(2, std::vector<float>(4, 1.0f)),
            "ERROR: Problem writing record 2 of output file /dev/full: No space left on device");
  EXPECT_EQ(full.write(1, std::vector<float>(3, 1.0f)),
            "ERROR: Record 1 of 12 bytes does not fit output file /dev/full (records of 16 "
            "bytes)");

  const auto fatal = [](const SlicePass& pass, std::int64_t stored, const std::string& path,
                        bool oversampled) -> std::string {
    std::vector<float> sinograms = random_sinograms(pass, stored, 9);
    SliceFile out;
    int error = 0;
    EXPECT_TRUE(out.open(path, slice_size(pass) * 4, error));
    SliceBuffers slices;
    ReconTimes times;
    std::int32_t next_record = 1, status = good_status();
    testing::internal::CaptureStdout();
    try {
      if (oversampled) {
        RAV_RECON_OVERSLICES(pass, sinograms, times, slices, out, next_record, status);
      } else {
        RAV_RECON_SLICES(pass, sinograms, times, slices, out, next_record, status);
      }
    } catch (const RavFatalError& failure) {
      testing::internal::GetCapturedStdout();
      return failure.what();
    }
    testing::internal::GetCapturedStdout();
    return "";
  };
  EXPECT_EQ(fatal(grouped(small_pass(1, 3, 2), Grouping::kFour), 4, "/dev/full", true)
                .substr(0, 56),
            "ERROR: Problem writing record 1 of output file /dev/full");
  const std::string path = temp_path("misfit");
  EXPECT_EQ(fatal(small_pass(1, 5, 0), 4, path, false),
            "ERROR: The sinogram storage holds 4 sinograms, fewer than the 5 slices of the pass");
  std::filesystem::remove(path);
}

}  // namespace
