#include <cmath>
#include <cstdio>
#include <string>

#include "rav_allocate.h"
#include "rav_drivers.h"
#include "rav_mpi.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_RECONSTRUCTION V0.20";

void write_line(const std::string& text, std::int32_t& status) { UT_WRITE(text, status); }

// The number of sinograms held at once and the number of passes over the slices.
struct PassPlan {
  std::int32_t SLICES_PER_PASS = 0;
  std::int32_t NUM_PASSES = 0;
};

// The memory plan: as many sinograms as the budget allows, in multiples of four, spread evenly
// over the fewest passes. The caller has made sure that one sinogram fits.
PassPlan plan_passes(std::int32_t SINOGRAM_MEGABYTES, std::int32_t NUM_BINS,
                     std::int32_t NUM_PROJECTIONS, std::int32_t NUM_Z, bool round_to_four) {
  const std::int64_t sinogram_bytes = std::int64_t{NUM_BINS} * NUM_PROJECTIONS * 4;
  const std::int64_t MAX_SINOGRAMS = std::int64_t{SINOGRAM_MEGABYTES} * 1048576 / sinogram_bytes;
  const std::int64_t S = 4 * ((MAX_SINOGRAMS + 3) / 4);
  PassPlan plan;
  plan.NUM_PASSES = 1;
  for (std::int64_t left = NUM_Z; left > S; left -= S) ++plan.NUM_PASSES;
  plan.SLICES_PER_PASS = static_cast<std::int32_t>(
      static_cast<float>(NUM_Z) / static_cast<float>(plan.NUM_PASSES) + 0.99989998F);
  if (round_to_four) plan.SLICES_PER_PASS = 4 * ((plan.SLICES_PER_PASS + 3) / 4);
  return plan;
}

void print_minutes(const char* label, double seconds, int width) {
  std::printf("%s%s minutes\n", label,
              ut_fmt_real(static_cast<float>(seconds) * 0.016666668F, width, 2).c_str());
}
}  // namespace

void RAV_RECONSTRUCTION(const ParameterSet& parameters, std::int32_t& status) {
  std::printf("Entered RAV_RECONSTRUCTION\n");
  if (st_bad(status, kRoutine)) return;
  // Every rank checks the same parameters; the vote makes all of them stop together.
  const bool usable = RAV_CHECK_PARAMETERS(parameters, false, status);
  if (!usable) ST_SAVE(kRoutine);
  if (!rav_mpi_vote(usable)) return;

  // With the rotation axis horizontal, slices run along the first image axis: volume axes 1
  // and 3 change places.
  ParameterSet p = parameters;
  std::int32_t NUM_BINS = p.NUM_IMAGE_1;
  if (!p.ROTATION_VERTICAL) {
    NUM_BINS = p.NUM_IMAGE_2;
    UT_ISWAP(p.START_VOXEL_1, p.START_VOXEL_3, status);
    UT_ISWAP(p.END_VOXEL_1, p.END_VOXEL_3, status);
  }
  const std::int32_t NUM_X = p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  const std::int32_t NUM_Y = p.END_VOXEL_2 - p.START_VOXEL_2 + 1;
  const std::int32_t NUM_Z = p.END_VOXEL_3 - p.START_VOXEL_3 + 1;
  // With several ranks this process reconstructs its own slab of the slices (all of them when
  // it runs alone) and plans its passes and memory for that slab only.
  const RavSlab slab = rav_mpi_slab(NUM_Z);
  const bool has_slices = slab.count > 0;
  p.START_VOXEL_3 += static_cast<std::int32_t>(slab.first);
  p.END_VOXEL_3 = p.START_VOXEL_3 + static_cast<std::int32_t>(slab.count) - 1;
  const std::int32_t NUM_PROJECTIONS =
      (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + 1) / std::abs(p.FILE_INTERVAL);

  // Two slices are reconstructed together when both fit into the (enlarged) cache.
  const auto cache_limit = static_cast<std::int64_t>(
      static_cast<float>(std::int64_t{p.CACHE_KILOBYTES} * 1024) * 1.29999995F);
  const bool TWO_SLICES = std::int64_t{NUM_X} * NUM_Y * 8 <= cache_limit;
  if (TWO_SLICES) {
    write_line(" ", status);
    write_line("INFO: Two slices will be reconstructed together", status);
  }
  std::int32_t NUM_PROCESSORS = 1;
  RAV_NUM_PROCESSORS(NUM_PROCESSORS, status);
  const bool MULTI_PROCESSORS = NUM_PROCESSORS > 1;
  const bool FOUR_SLICES = MULTI_PROCESSORS && TWO_SLICES;
  if (MULTI_PROCESSORS) {
    write_line(" ", status);
    write_line("INFO: Running in parallel on " + ut_fmt_int(NUM_PROCESSORS, 3) + " processors",
               status);
    write_line(FOUR_SLICES ? "INFO: Reconstructing 4 slices simultaneously"
                           : "INFO: Reconstructing 2 slices simultaneously",
               status);
  }

  PassPlan plan;  // no passes on a rank without slices
  if (has_slices) {
    plan = plan_passes(p.SINOGRAM_MEGABYTES, NUM_BINS, NUM_PROJECTIONS,
                       static_cast<std::int32_t>(slab.count), TWO_SLICES || MULTI_PROCESSORS);
  }
  SinogramPass pass;
  pass.NUM_BINS = NUM_BINS;
  pass.NUM_PROJECTIONS = NUM_PROJECTIONS;
  pass.SLICES_PER_PASS = plan.SLICES_PER_PASS;
  pass.DATA_DIM_1 = p.ROTATION_VERTICAL ? NUM_BINS : plan.SLICES_PER_PASS;
  pass.DATA_DIM_2 = p.ROTATION_VERTICAL ? plan.SLICES_PER_PASS : NUM_BINS;

  const std::int64_t image_size = std::int64_t{pass.DATA_DIM_1} * pass.DATA_DIM_2;
  const std::int64_t slice_size = std::int64_t{NUM_X} * NUM_Y;
  ImageBuffers images;
  std::vector<float> SINOGRAMS;
  SliceBuffers slices;
  if (has_slices) {
    rav_allocate(images.IMAGE_DATA, image_size,
                 "ERROR: Failed to allocate memory for storing the image data");
    if (p.SUBTRACT_BACKGROUND) {
      rav_allocate(images.BACKGROUND_DATA, image_size,
                   "ERROR: Failed to allocate memory for storing the background data");
    }
    if (p.CORRECT_FLATFIELD) {
      rav_allocate(images.FLATFIELD_DATA, image_size,
                   "ERROR: Failed to allocate memory for storing the flat field data");
      if (p.FLATFIELD_CHANGING) {
        rav_allocate(images.FLATFIELD2_DATA, image_size,
                     "ERROR: Failed to allocate memory for storing the flat field data");
      }
    }
    rav_allocate(SINOGRAMS, std::int64_t{NUM_BINS} * NUM_PROJECTIONS * plan.SLICES_PER_PASS,
                 "ERROR: Failed to allocate memory for storing the sinograms");
    rav_allocate(slices.SLICE_1, slice_size, "ERROR: Failed to allocate memory for output slice");
    if (TWO_SLICES) {
      rav_allocate(slices.SLICE_2, slice_size,
                   "ERROR: Failed to allocate memory for output slice 2");
    }
    if (MULTI_PROCESSORS) {
      rav_allocate(slices.SLICE_3, slice_size,
                   "ERROR: Failed to allocate memory for output slice 3");
    }
    if (FOUR_SLICES) {
      rav_allocate(slices.SLICE_4, slice_size,
                   "ERROR: Failed to allocate memory for output slice 4");
    }
  }

  // Records are numbered over the whole volume: the slab's first slice goes to its own record.
  SliceFile out;
  std::int32_t NEXT_RECORD = 1 + static_cast<std::int32_t>(slab.first);
  bool others_failed = false;  // another rank cannot go on: this one stops too
  if (p.OUTPUT_RECONSTRUCTION) {
    const bool go = rav_open_slab_output(out, p.OUTPUT_FILE, NUM_X, NUM_Y, has_slices, status);
    others_failed = !go && status == ST_OK;
  }

  SlicePass slice_pass;
  slice_pass.DISPLAY_GRAPHICS = p.DISPLAY_GRAPHICS;
  slice_pass.METHOD = p.OVERSAMPLING_FACTOR;
  slice_pass.X_START = p.START_VOXEL_1;
  slice_pass.Y_START = p.START_VOXEL_2;
  slice_pass.NUM_X = NUM_X;
  slice_pass.NUM_Y = NUM_Y;
  slice_pass.TWO_SLICES = TWO_SLICES;
  slice_pass.MULTI_PROCESSORS = MULTI_PROCESSORS;
  slice_pass.FOUR_SLICES = FOUR_SLICES;
  slice_pass.AXIS_POSITION = p.ROTATION_AXIS_POSITION;
  slice_pass.START_ANGLE = p.ANGLE_OFFSET;
  slice_pass.ANGLE_STEP = p.ANGLE_BETWEEN_PROJECTIONS;
  slice_pass.NUM_BINS = NUM_BINS;
  slice_pass.NUM_PROJECTIONS = NUM_PROJECTIONS;

  ReconTimes times;
  float elapsed_start = 0.0F, cpu_start = 0.0F;
  UT_TIMES(elapsed_start, cpu_start, status);

  const std::int32_t passes = others_failed ? 0 : plan.NUM_PASSES;
  for (std::int32_t pass_number = 1; pass_number <= passes; ++pass_number) {
    pass.FIRST_SLICE = p.START_VOXEL_3 + (pass_number - 1) * plan.SLICES_PER_PASS;
    pass.LAST_SLICE = std::min(pass.FIRST_SLICE + plan.SLICES_PER_PASS - 1, p.END_VOXEL_3);
    write_line(" ", status);
    write_line("INFO: Pass " + ut_fmt_int(pass_number, 2) + "  of " +
                   ut_fmt_int(plan.NUM_PASSES, 2) + "  passes",
               status);
    write_line("      Inputting data and creating sinograms", status);
    RAV_CREATE_SINOGRAMS(p, pass, times, images, SINOGRAMS, status);
    if (p.OUTPUT_RECONSTRUCTION) {
      write_line("INFO: Filtering projections and backprojecting", status);
      write_line("      to reconstruct slices", status);
      slice_pass.FIRST_SLICE = pass.FIRST_SLICE;
      slice_pass.LAST_SLICE = pass.LAST_SLICE;
      if (p.OVERSAMPLING_FACTOR >= 2) {
        RAV_RECON_OVERSLICES(slice_pass, SINOGRAMS, times, slices, out, NEXT_RECORD, status);
      } else {
        RAV_RECON_SLICES(slice_pass, SINOGRAMS, times, slices, out, NEXT_RECORD, status);
      }
    }
  }
  if (p.OUTPUT_RECONSTRUCTION) slice_file_close(out);

  float elapsed_end = 0.0F, cpu_end = 0.0F;
  UT_TIMES(elapsed_end, cpu_end, status);

  // Every rank has finished its slab. The report covers them all: processor times are summed,
  // elapsed times are those of the slowest rank.
  const bool all_done = rav_mpi_vote(status == ST_OK);
  double cpu[] = {cpu_end - cpu_start, times.CPU_INPUT, times.CPU_SINOGRAMS,
                  times.CPU_RECONSTRUCTION, times.CPU_OUTPUT};
  double elapse[] = {elapsed_end - elapsed_start, times.ELAPSE_INPUT, times.ELAPSE_SINOGRAMS,
                     times.ELAPSE_RECONSTRUCTION, times.ELAPSE_OUTPUT};
  rav_mpi_sum(cpu);
  rav_mpi_max(elapse);
  // A failure on another rank leaves this one's status good, but the volume incomplete.
  const bool failed_elsewhere = !all_done && status == ST_OK;
  if (status == ST_OK && !failed_elsewhere && rav_mpi_is_root()) {
    const float total_elapsed = static_cast<float>(elapse[0]);
    std::printf(" \nTiming Information\n");
    print_minutes("Total CPU time = ", cpu[0], 10);
    print_minutes("Total elapse time = ", elapse[0], 10);
    print_minutes("CPU time for input = ", cpu[1], 8);
    print_minutes("Elapse time for input = ", elapse[1], 8);
    print_minutes("CPU time for creating sinograms = ", cpu[2], 8);
    print_minutes("Elapse time for creating sinograms = ", elapse[2], 8);
    print_minutes("CPU time for sinogram reconstruction = ", cpu[3], 10);
    print_minutes("Elapse time for sinogram reconstruction = ", elapse[3], 10);
    print_minutes("CPU time for output = ", cpu[4], 8);
    print_minutes("Elapse time for output = ", elapse[4], 8);
    // The elapsed clock counts whole seconds: a run shorter than one has no elapsed time.
    const float ELAPSE_RECONSTRUCTION = static_cast<float>(elapse[3]);
    const float percentage =
        total_elapsed > 0.0F ? 100.0F * ELAPSE_RECONSTRUCTION / total_elapsed : 0.0F;
    std::printf(" \nPercentage of elapse time for reconstructing sinograms = %s%%\n",
                ut_fmt_real(percentage, 6, 2).c_str());
  }
  // Rank 0 describes the whole volume.
  if (p.OUTPUT_RECONSTRUCTION && !failed_elsewhere && rav_mpi_is_root()) {
    RAV_OUTPUT_INFO(p.OUTPUT_FILE, NUM_X, NUM_Y, NUM_Z, status);
  }
}
