#include <cmath>
#include <cstdio>
#include <string>

#include "rav_allocate.h"
#include "rav_drivers.h"
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

void print_minutes(const char* label, float seconds, int width) {
  std::printf("%s%s minutes\n", label, ut_fmt_real(seconds * 0.016666668F, width, 2).c_str());
}
}  // namespace

void RAV_RECONSTRUCTION(const ParameterSet& parameters, std::int32_t& status) {
  std::printf("Entered RAV_RECONSTRUCTION\n");
  if (st_bad(status, kRoutine)) return;
  if (!RAV_CHECK_PARAMETERS(parameters, false, status)) {
    ST_SAVE(kRoutine);
    return;
  }

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

  const PassPlan plan = plan_passes(p.SINOGRAM_MEGABYTES, NUM_BINS, NUM_PROJECTIONS, NUM_Z,
                                    TWO_SLICES || MULTI_PROCESSORS);
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

  SliceFile out;
  std::int32_t NEXT_RECORD = 1;
  if (p.OUTPUT_RECONSTRUCTION) rav_open_output(out, p.OUTPUT_FILE, NUM_X, NUM_Y, status);

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

  for (std::int32_t pass_number = 1; pass_number <= plan.NUM_PASSES; ++pass_number) {
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
  if (status == ST_OK) {
    const float total_elapsed = elapsed_end - elapsed_start;
    std::printf(" \nTiming Information\n");
    print_minutes("Total CPU time = ", cpu_end - cpu_start, 10);
    print_minutes("Total elapse time = ", total_elapsed, 10);
    print_minutes("CPU time for input = ", times.CPU_INPUT, 8);
    print_minutes("Elapse time for input = ", times.ELAPSE_INPUT, 8);
    print_minutes("CPU time for creating sinograms = ", times.CPU_SINOGRAMS, 8);
    print_minutes("Elapse time for creating sinograms = ", times.ELAPSE_SINOGRAMS, 8);
    print_minutes("CPU time for sinogram reconstruction = ", times.CPU_RECONSTRUCTION, 10);
    print_minutes("Elapse time for sinogram reconstruction = ", times.ELAPSE_RECONSTRUCTION, 10);
    print_minutes("CPU time for output = ", times.CPU_OUTPUT, 8);
    print_minutes("Elapse time for output = ", times.ELAPSE_OUTPUT, 8);
    // The elapsed clock counts whole seconds: a run shorter than one has no elapsed time.
    const float percentage =
        total_elapsed > 0.0F ? 100.0F * times.ELAPSE_RECONSTRUCTION / total_elapsed : 0.0F;
    std::printf(" \nPercentage of elapse time for reconstructing sinograms = %s%%\n",
                ut_fmt_real(percentage, 6, 2).c_str());
  }
  if (p.OUTPUT_RECONSTRUCTION) RAV_OUTPUT_INFO(p.OUTPUT_FILE, NUM_X, NUM_Y, NUM_Z, status);
}
