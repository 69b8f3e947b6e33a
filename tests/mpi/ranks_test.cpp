// The pieces of a run on several ranks that need no MPI job: the slabs, the console filter of
// the ranks other than 0, the parameter key, and the single-process answers of votes and totals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rav.h"
#include "rav_mpi.h"

namespace {

TEST(Slabs, AreContiguousBalancedAndCoverEverySliceOnce) {
  for (std::int64_t total : {1, 2, 5, 7, 9, 64, 1001}) {
    for (int size : {1, 2, 3, 4, 8, 13}) {
      SCOPED_TRACE(std::to_string(total) + " slices on " + std::to_string(size) + " ranks");
      std::int64_t next = 0, smallest = total, largest = 0;
      for (int rank = 0; rank < size; ++rank) {
        const RavSlab slab = rav_mpi_slab_of(total, rank, size);
        ASSERT_GE(slab.count, 0);
        if (slab.count == 0) continue;
        EXPECT_EQ(slab.first, next) << "rank " << rank;
        next = slab.first + slab.count;
        smallest = std::min(smallest, slab.count);
        largest = std::max(largest, slab.count);
      }
      EXPECT_EQ(next, total);
      if (size <= total) {
        EXPECT_LE(largest - smallest, 1);
      }
    }
  }
  // The larger slabs come first, so rank 0 always has slices.
  EXPECT_EQ(rav_mpi_slab_of(7, 0, 3).count, 3);
  EXPECT_EQ(rav_mpi_slab_of(7, 1, 3).first, 3);
  EXPECT_EQ(rav_mpi_slab_of(7, 2, 3).first, 5);
  // More ranks than slices: the ranks beyond the slices get none.
  EXPECT_EQ(rav_mpi_slab_of(2, 1, 3).count, 1);
  EXPECT_EQ(rav_mpi_slab_of(2, 2, 3).count, 0);
  // Nothing to share, or no such rank.
  EXPECT_EQ(rav_mpi_slab_of(0, 0, 2).count, 0);
  EXPECT_EQ(rav_mpi_slab_of(5, 2, 2).count, 0);
  EXPECT_EQ(rav_mpi_slab_of(5, -1, 2).count, 0);
}

// The lines of TRANSCRIPT that the console filter passes.
std::vector<std::string> passed(const std::vector<std::string>& transcript) {
  std::vector<std::string> shown;
  int message = 0;
  for (const std::string& line : transcript) {
    if (rav_mpi_line_passes(line, message)) shown.push_back(line);
  }
  return shown;
}

TEST(ConsoleFilter, ShowsErrorsAndWarningsWithTheRestOfTheirMessage) {
  const std::vector<std::string> transcript = {
      " ",
      "INFO: Pass  1  of  1  passes",
      "      Inputting data and creating sinograms",  // continues an INFO line: hidden
      "WARNING: Problem inputting from",
      "         proj_0007.zlf",
      "first_slice, last_slice =    1   5",  // a warning continues only with indented lines
      "Slice =    1",
      "WARNING: 3 corrected values were not above 1e-06",
      " ",
      "         not a continuation after the empty line",
      "ERROR: Problem inputting flat-field",
      "flat.zlf",  // an error names its file unindented
      "retstat =      2",
      "INFO: Reconstructing slice     1 (and onwards)",
      "      to reconstruct slices",
      "ERROR: Problem openning output file",
      "       /no/such/dir/recon.raw",
      "",
      "retstat = not part of it any more",
  };
  const std::vector<std::string> expected = {
      "WARNING: Problem inputting from",
      "         proj_0007.zlf",
      "WARNING: 3 corrected values were not above 1e-06",
      "ERROR: Problem inputting flat-field",
      "flat.zlf",
      "retstat =      2",
      "ERROR: Problem openning output file",
      "       /no/such/dir/recon.raw",
  };
  EXPECT_EQ(passed(transcript), expected);
  // Only the exact starts count.
  EXPECT_TRUE(passed({"INFO: ERROR: inside", "ERROR:no blank", "WARNING:", " ERROR: indented"})
                  .empty());
}

TEST(ParameterKey, DiffersWithAnyValueButTheDisplay) {
  ParameterSet base;
  base.OUTPUT_FILE = "recon.raw";
  const std::int64_t key = rav_mpi_parameter_key(base);
  EXPECT_EQ(key, rav_mpi_parameter_key(base));
  EXPECT_GE(key, 0);  // room for the vote's negation

  std::vector<ParameterSet> changed(6, base);
  changed[0].OUTPUT_FILE = "recon2.raw";
  changed[1].END_VOXEL_3 = 9;
  changed[2].ROTATION_VERTICAL = false;
  changed[3].ROTATION_AXIS_POSITION = 32.5F;
  changed[4].RECONSTRUCT_FROM_SINOGRAMS = true;
  changed[5].SINOGRAM_MEGABYTES = 1;
  for (const ParameterSet& p : changed) EXPECT_NE(rav_mpi_parameter_key(p), key);

  ParameterSet display = base;
  display.DISPLAY_GRAPHICS = true;  // rank 0 alone shows graphics
  EXPECT_EQ(rav_mpi_parameter_key(display), key);
}

TEST(SingleProcess, IsRankZeroOfOneAndVotesItsOwnAnswer) {
  // The test program is not started by an MPI launcher, so it never joins a job.
  EXPECT_EQ(rav_mpi_rank(), 0);
  EXPECT_EQ(rav_mpi_size(), 1);
  EXPECT_TRUE(rav_mpi_is_root());
  EXPECT_TRUE(rav_mpi_vote(true, 7));
  EXPECT_FALSE(rav_mpi_vote(false));
  EXPECT_FALSE(rav_mpi_run_failed());  // its own failure is reported by its own status
  std::vector<double> values = {1.5, -2.0};
  rav_mpi_sum(values);
  rav_mpi_max(values);
  EXPECT_EQ(values, (std::vector<double>{1.5, -2.0}));
  const RavSlab slab = rav_mpi_slab(11);
  EXPECT_EQ(slab.first, 0);
  EXPECT_EQ(slab.count, 11);
}

}  // namespace
