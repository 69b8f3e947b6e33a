#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dax.h"
#include "rav_drivers.h"
#include "rav_in_zelfa.h"
#include "rav_kernels.h"
#include "ut.h"
#include "vu.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_CREATE_SINOGRAMS V0.22";

// Corrected intensities not above this are raised to it before the logarithm: a dead pixel
// or an over-subtracted background would otherwise put an infinity or a NaN into the
// sinogram, and the filter spreads it over the whole slice.
constexpr float kLogFloor = 1.0e-6F;

// Flat-field values below this are raised to it, so that the division never divides by zero.
constexpr float kFlatFloor = 0.100000001F;

// The region of an image that belongs to the pass: whole rows FIRST_SLICE..LAST_SLICE with the
// rotation axis vertical, whole columns otherwise.
struct Region {
  std::int32_t x_start, y_start, x_end, y_end;
};

Region pass_region(const ParameterSet& p, const SinogramPass& pass) {
  if (p.ROTATION_VERTICAL) return {1, pass.FIRST_SLICE, p.NUM_IMAGE_1, pass.LAST_SLICE};
  return {pass.FIRST_SLICE, 1, pass.LAST_SLICE, p.NUM_IMAGE_2};
}

std::string numbered_name(std::string_view prefix, std::int32_t number, bool length_varies,
                          std::int32_t digits, std::string_view postfix,
                          std::int32_t& status) {
  bool overflow = false;
  std::string name;
  UT_FILENAME(prefix, number, !length_varies, digits, postfix, overflow, name, status);
  return name.substr(0, SLEN(name));
}

// Messages that must reach the user even after a failure has made the status bad.
void write_always(std::string_view text) {
  std::int32_t status = ST_OK;
  UT_WRITE(text, status);
}

[[noreturn]] void fatal(std::string_view message, std::string_view name) {
  write_always(message);
  write_always(name);
  std::fflush(stdout);
  std::exit(1);
}

// Reads the pass's region of a background or flat field; an image that cannot be read ends the
// run, since every projection would be corrected wrongly.
void read_reference(const ParameterSet& p, const SinogramPass& pass, const std::string& name,
                    std::string_view message, std::vector<float>& data, std::int32_t& status) {
  const Region r = pass_region(p, pass);
  std::int32_t retstat = 0, xnum = 0, ynum = 0;
  RAV_IN_ZELFA(pass.DATA_DIM_1, pass.DATA_DIM_2, r.x_start, r.y_start, r.x_end, r.y_end, name,
               retstat, xnum, ynum, data, status);
  if (retstat != 0 || status != ST_OK) fatal(message, name);
}

// A flat field ready for division: background subtracted, small values raised.
void read_flatfield(const ParameterSet& p, const SinogramPass& pass, const std::string& name,
                    const std::vector<float>& background, std::vector<float>& flat,
                    std::int32_t& status) {
  read_reference(p, pass, name, "ERROR: Problem inputting flat-field", flat, status);
  if (p.SUBTRACT_BACKGROUND) {
    for (std::size_t i = 0; i < flat.size(); ++i) flat[i] -= background[i];
  }
  for (float& value : flat) value = std::max(value, kFlatFloor);
}

std::string flatfield_name(const ParameterSet& p, std::int32_t number, std::int32_t& status) {
  return numbered_name(p.FF_PREFIX, number, p.FF_NUMBER_LENGTH_VARIES,
                       p.FF_LENGTH_OF_NUMERICAL_PART, p.FF_POSTFIX, status);
}

void add_times(float elapsed_before, float cpu_before, float& elapsed_sum, float& cpu_sum,
               std::int32_t& status) {
  float elapsed = 0.0F, cpu = 0.0F;
  UT_TIMES(elapsed, cpu, status);
  elapsed_sum += elapsed - elapsed_before;
  cpu_sum += cpu - cpu_before;
}

// Corrects N values of one image row: background, flat field, minus the logarithm (or not),
// scale. Returns how many values had to be raised to the logarithm's floor; NOT_FINITE counts
// the results that are still no finite number (an infinite or NaN pixel): they are set to 0,
// since one of them would spread over the whole slice through the filter. The plain loops, kept
// as the reference for correct_values below.
std::int64_t correct_row(const ParameterSet& p, std::int64_t offset, std::int32_t n,
                         float flat_weight, float SINOGRAM_SCALE, ImageBuffers& images,
                         std::int64_t& not_finite) {
  float* image = images.IMAGE_DATA.data() + offset;
  if (p.SUBTRACT_BACKGROUND) {
    const float* background = images.BACKGROUND_DATA.data() + offset;
    for (std::int32_t i = 0; i < n; ++i) image[i] -= background[i];
  }
  if (p.CORRECT_FLATFIELD) {
    const float* flat = images.FLATFIELD_DATA.data() + offset;
    if (p.FLATFIELD_CHANGING) {
      const float* flat2 = images.FLATFIELD2_DATA.data() + offset;
      const float f = flat_weight;
      for (std::int32_t i = 0; i < n; ++i) {
        image[i] = image[i] / ((1.0F - f) * flat[i] + f * flat2[i]);
      }
    } else {
      for (std::int32_t i = 0; i < n; ++i) image[i] = image[i] / flat[i];
    }
  }
  std::int64_t raised = 0;
  if (p.TAKE_LOGARITHM) {
    for (std::int32_t i = 0; i < n; ++i) {
      if (!(image[i] > kLogFloor)) {
        image[i] = kLogFloor;
        ++raised;
      }
      image[i] = -std::log(image[i]) * SINOGRAM_SCALE;
    }
  } else {
    for (std::int32_t i = 0; i < n; ++i) image[i] = image[i] * SINOGRAM_SCALE;
  }
  for (std::int32_t i = 0; i < n; ++i) {
    if (!std::isfinite(image[i])) {
      image[i] = 0.0F;
      ++not_finite;
    }
  }
  return raised;
}

// The same correction of the N values at IMAGE into OUT (IMAGE itself, or the sinogram row they
// belong to), in loops the compiler turns into vector code for the processor at hand: the same
// operations per element as correct_row, so the same values. BACKGROUND, FLAT and FLAT2 are null
// when not used. Returns the values raised to the floor; adds the values set to 0 to NOT_FINITE.
__attribute__((target_clones("avx512f", "avx2", "default"))) std::int64_t correct_values(
    const float* image, const float* background, const float* flat, const float* flat2,
    float flat_weight, bool take_logarithm, float SINOGRAM_SCALE, std::int32_t n, float* out,
    std::int64_t& not_finite) {
  if (background != nullptr) {
    for (std::int32_t i = 0; i < n; ++i) out[i] = image[i] - background[i];
  } else if (out != image) {
    for (std::int32_t i = 0; i < n; ++i) out[i] = image[i];
  }
  if (flat2 != nullptr) {
    const float f = flat_weight;
    for (std::int32_t i = 0; i < n; ++i) out[i] = out[i] / ((1.0F - f) * flat[i] + f * flat2[i]);
  } else if (flat != nullptr) {
    for (std::int32_t i = 0; i < n; ++i) out[i] = out[i] / flat[i];
  }
  std::int64_t raised = 0;
  if (take_logarithm) {
    for (std::int32_t i = 0; i < n; ++i) {
      const bool low = !(out[i] > kLogFloor);
      raised += low ? 1 : 0;
      out[i] = low ? kLogFloor : out[i];
    }
    for (std::int32_t i = 0; i < n; ++i) out[i] = -std::log(out[i]) * SINOGRAM_SCALE;
  } else {
    for (std::int32_t i = 0; i < n; ++i) out[i] = out[i] * SINOGRAM_SCALE;
  }
  std::int64_t zeroed = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    const bool bad = !std::isfinite(out[i]);
    zeroed += bad ? 1 : 0;
    out[i] = bad ? 0.0F : out[i];
  }
  not_finite += zeroed;
  return raised;
}

// Corrects the XNUM x YNUM region of projection J held in IMAGE_DATA and stores it into every
// sinogram of the pass. Returns how many values had to be raised to the logarithm's floor and
// adds the values that were set to 0 as not finite to NOT_FINITE.
std::int64_t store_projection(const ParameterSet& p, const SinogramPass& pass,
                              std::int32_t xnum, std::int32_t ynum, std::int32_t j,
                              float flat_weight, float SINOGRAM_SCALE, ImageBuffers& images,
                              std::span<float> SINOGRAMS, std::int64_t& not_finite) {
  std::int64_t raised = 0;
  const std::int32_t num_slices = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  const std::int64_t sinogram_size = std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS;
  const auto sinogram_row = [&](std::int32_t k) {
    return SINOGRAMS.data() + k * sinogram_size + std::int64_t{j - 1} * pass.NUM_BINS;
  };
  if (rav_kernel_target() != RavKernelTarget::REFERENCE) {
    // Row y of the region, corrected straight into its sinogram (axis vertical) or in place to
    // be spread over the sinograms below (axis horizontal).
    const auto row_of = [](std::vector<float>& data, std::int64_t offset) {
      return data.empty() ? nullptr : data.data() + offset;
    };
    for (std::int32_t y = 0; y < ynum; ++y) {
      const std::int64_t offset = std::int64_t{y} * pass.DATA_DIM_1;
      float* image = images.IMAGE_DATA.data() + offset;
      float* out = p.ROTATION_VERTICAL && y < num_slices ? sinogram_row(y) : image;
      raised += correct_values(
          image, p.SUBTRACT_BACKGROUND ? row_of(images.BACKGROUND_DATA, offset) : nullptr,
          p.CORRECT_FLATFIELD ? row_of(images.FLATFIELD_DATA, offset) : nullptr,
          p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING ? row_of(images.FLATFIELD2_DATA, offset)
                                                      : nullptr,
          flat_weight, p.TAKE_LOGARITHM, SINOGRAM_SCALE, xnum, out, not_finite);
    }
    if (p.ROTATION_VERTICAL) return raised;
  } else {
    for (std::int32_t y = 0; y < ynum; ++y) {
      raised += correct_row(p, std::int64_t{y} * pass.DATA_DIM_1, xnum, flat_weight,
                            SINOGRAM_SCALE, images, not_finite);
    }
  }
  const float* image = images.IMAGE_DATA.data();

  // Sinogram k takes row k of the region (axis vertical) or column k (axis horizontal).
  for (std::int32_t k = 0; k < num_slices; ++k) {
    float* row = sinogram_row(k);
    if (p.ROTATION_VERTICAL) {
      std::copy_n(image + std::int64_t{k} * pass.DATA_DIM_1, xnum, row);
    } else {
      for (std::int32_t bin = 0; bin < ynum; ++bin) {
        row[bin] = image[std::int64_t{bin} * pass.DATA_DIM_1 + k];
      }
    }
  }
  return raised;
}

void zero_projection(const SinogramPass& pass, std::int32_t j, std::span<float> SINOGRAMS) {
  const std::int32_t num_slices = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  const std::int64_t sinogram_size = std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS;
  for (std::int32_t k = 0; k < num_slices; ++k) {
    std::fill_n(SINOGRAMS.data() + k * sinogram_size + std::int64_t{j - 1} * pass.NUM_BINS,
                pass.NUM_BINS, 0.0F);
  }
}

void display_first_sinogram(const SinogramPass& pass, std::span<float> SINOGRAMS,
                            std::int32_t& status) {
  std::vector<float> bins_axis(static_cast<std::size_t>(pass.NUM_BINS));
  std::vector<float> projections_axis(static_cast<std::size_t>(pass.NUM_PROJECTIONS));
  for (std::size_t i = 0; i < bins_axis.size(); ++i) bins_axis[i] = static_cast<float>(i) + 0.5F;
  for (std::size_t j = 0; j < projections_axis.size(); ++j) {
    projections_axis[j] = static_cast<float>(j) + 0.5F;
  }
  UT_WRITE("INFO: Displaying 1st stored sinogram for pass", status);
  VU_PLOT(pass.NUM_BINS, pass.NUM_PROJECTIONS, SINOGRAMS.data(), bins_axis.data(),
          projections_axis.data(), 1, 1, pass.NUM_BINS, pass.NUM_PROJECTIONS,
          "First Sinogram of pass", "Bins", "Projections", "Absorption", status);
  VU_UPDATE(status);
}

void output_sinograms(const SinogramPass& pass, std::span<float> SINOGRAMS,
                      std::int32_t& status) {
  UT_WRITE("INFO: Outputting sinograms", status);
  if (status != ST_OK) return;
  std::printf("first_slice, last_slice = %s%s\n", ut_fmt_int(pass.FIRST_SLICE, 4).c_str(),
              ut_fmt_int(pass.LAST_SLICE, 4).c_str());
  const std::int32_t num_slices = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  const std::int64_t sinogram_size = std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS;
  for (std::int32_t k = 1; k <= num_slices && status == ST_OK; ++k) {
    std::printf("Slice = %s\n", ut_fmt_int(k, 4).c_str());
    std::string number = ut_fmt_int(pass.FIRST_SLICE + k - 1, 4);
    if (number[0] != '*') std::replace(number.begin(), number.end(), ' ', '0');
    const std::string name = "sino_" + number + ".zlf";
    UT_WRITE(name, status);
    std::printf("Before DAX_OUT_ZELFA\n");
    std::int32_t retstat = 0;
    DAX_OUT_ZELFA(name, pass.NUM_BINS, pass.NUM_PROJECTIONS, 1, 1, pass.NUM_BINS,
                  pass.NUM_PROJECTIONS,
                  SINOGRAMS.subspan(static_cast<std::size_t>((k - 1) * sinogram_size),
                                    static_cast<std::size_t>(sinogram_size)),
                  retstat, status);
    if (retstat != 0 && status == ST_OK) {
      // A sinogram file that was asked for and not written is lost data, not a detail.
      UT_WRITE("ERROR: Problem outputting sinogram file " + name, status);
      ST_SAVE(kRoutine);
      status = 1010;
    }
  }
}
}  // namespace

void RAV_CREATE_SINOGRAMS(const ParameterSet& p, const SinogramPass& pass, ReconTimes& times,
                          ImageBuffers& images, std::span<float> SINOGRAMS,
                          std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  const double pixel_size = p.ROTATION_VERTICAL ? p.IMAGE_PIXEL_SIZE_1 : p.IMAGE_PIXEL_SIZE_2;
  const auto SINOGRAM_SCALE = static_cast<float>(
      (1.0L / pass.NUM_PROJECTIONS) * (0.01L / pixel_size) * 1.5707963L);

  UT_WRITE("INFO: Inputting data from file", status);
  if (p.SUBTRACT_BACKGROUND) {
    read_reference(p, pass, p.BACKGROUND_FILE.substr(0, SLEN(p.BACKGROUND_FILE)),
                   "ERROR: Problem inputting background", images.BACKGROUND_DATA, status);
  }
  if (p.CORRECT_FLATFIELD) {
    const std::string name = p.FLATFIELD_CHANGING
                                 ? flatfield_name(p, p.FF_NUM_FIRST_IMAGE, status)
                                 : p.FLATFIELD_FILE.substr(0, SLEN(p.FLATFIELD_FILE));
    read_flatfield(p, pass, name, images.BACKGROUND_DATA, images.FLATFIELD_DATA, status);
    if (p.FLATFIELD_CHANGING) {
      read_flatfield(p, pass, flatfield_name(p, p.FF_NUM_FIRST_IMAGE + p.FF_FILE_INTERVAL, status),
                     images.BACKGROUND_DATA, images.FLATFIELD2_DATA, status);
    }
  }

  std::int32_t IMAGES_SINCE_FLATFIELD = 0;
  std::int32_t NEXT_FLATFIELD = p.FF_NUM_FIRST_IMAGE + p.FF_FILE_INTERVAL;
  std::int64_t raised = 0;
  std::int64_t not_finite = 0;
  const Region region = pass_region(p, pass);
  // Exactly NUM_PROJECTIONS images: with an interval above 1 the series may name one more
  // image than the sinograms have rows for, and that one is not read.
  for (std::int32_t j = 1; j <= pass.NUM_PROJECTIONS; ++j) {
    const std::int32_t number = p.NUM_FIRST_IMAGE + (j - 1) * p.FILE_INTERVAL;
    const std::string name = numbered_name(p.FILE_PREFIX, number, p.NUMBER_LENGTH_VARIES,
                                           p.LENGTH_OF_NUMERICAL_PART, p.FILE_POSTFIX, status);
    if ((j - 1) % 100 == 0) UT_WRITE("INFO: Inputting from " + name + " (and onwards)", status);

    if (p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING &&
        IMAGES_SINCE_FLATFIELD == p.FF_FILE_INTERVAL) {
      images.FLATFIELD_DATA.swap(images.FLATFIELD2_DATA);
      NEXT_FLATFIELD = std::min(NEXT_FLATFIELD + p.FF_FILE_INTERVAL, p.FF_NUM_LAST_IMAGE);
      read_flatfield(p, pass, flatfield_name(p, NEXT_FLATFIELD, status), images.BACKGROUND_DATA,
                     images.FLATFIELD2_DATA, status);
      IMAGES_SINCE_FLATFIELD = 0;
    }

    float elapsed = 0.0F, cpu = 0.0F;
    UT_TIMES(elapsed, cpu, status);
    std::int32_t retstat = 0, xnum = 0, ynum = 0;
    RAV_IN_ZELFA(pass.DATA_DIM_1, pass.DATA_DIM_2, region.x_start, region.y_start, region.x_end,
                 region.y_end, name, retstat, xnum, ynum, images.IMAGE_DATA, status);
    add_times(elapsed, cpu, times.ELAPSE_INPUT, times.CPU_INPUT, status);

    if (retstat != 0 || status != ST_OK) {
      // A projection that cannot be read contributes nothing, never a neighbour's values.
      write_always("WARNING: Problem inputting from");
      write_always("         " + name);
      zero_projection(pass, j, SINOGRAMS);
    } else {
      UT_TIMES(elapsed, cpu, status);
      const float flat_weight = static_cast<float>(IMAGES_SINCE_FLATFIELD) /
                                static_cast<float>(p.FF_FILE_INTERVAL);
      raised += store_projection(p, pass, xnum, ynum, j, flat_weight, SINOGRAM_SCALE, images,
                                 SINOGRAMS, not_finite);
      add_times(elapsed, cpu, times.ELAPSE_SINOGRAMS, times.CPU_SINOGRAMS, status);
    }
    ++IMAGES_SINCE_FLATFIELD;
    if (status != ST_OK) {
      ST_SAVE(kRoutine);
      return;
    }
  }
  if (raised > 0) {
    char floor_text[32];
    std::snprintf(floor_text, sizeof floor_text, "%g", static_cast<double>(kLogFloor));
    UT_WRITE("WARNING: " + std::to_string(raised) +
                 " corrected values were not above " + floor_text +
                 " and were raised to it before the logarithm",
             status);
  }
  if (not_finite > 0) {
    UT_WRITE("WARNING: " + std::to_string(not_finite) +
                 " corrected values were not finite (infinite or NaN pixels) and were set to 0",
             status);
  }

  if (p.DISPLAY_GRAPHICS) display_first_sinogram(pass, SINOGRAMS, status);
  if (p.OUTPUT_SINOGRAMS) output_sinograms(pass, SINOGRAMS, status);
  if (status != ST_OK) ST_SAVE(kRoutine);
}
