// Sinogram assembly of a pass: the pass's rows (or columns) of every projection, corrected for
// background and flat field, minus the logarithm, scaled, one row of each slice's sinogram.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "dax.h"
#include "rav_accuracy.h"
#include "rav_drivers.h"
#include "rav_input_output.h"
#include "rav_progress.h"
#include "rav_safe_output.h"
#include "ut.h"
#include "vu.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_CREATE_SINOGRAMS V0.22";

// Flat-field values (background subtracted) at or below a floor are raised to it, so that the
// division never divides by zero: 0.1 for integer pixels, where it means "not above 0", and a
// thousandth of the flat field's median for floating-point pixels, whose level can be anything
// (so that scaling every image by one factor gives the same volume).
constexpr float kFlatFloor = 0.100000001F;
constexpr float kRelativeFlatFloor = 0.001F;
// Positions of raised flat-field pixels shown in the warning.
constexpr std::size_t kShownPositions = 5;

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


// Reads the pass's region of a background or flat field; an image that cannot be read ends the
// run, since every projection would be corrected wrongly.
// WHITE: a flat field (an HDF5 file's white images), otherwise a background (its dark ones).
void read_reference(const ParameterSet& p, const SinogramPass& pass, const std::string& name,
                    bool white, std::vector<float>& data, std::int32_t& status) {
  const Region r = pass_region(p, pass);
  const std::string_view message = white ? "ERROR: Problem inputting flat-field"
                                         : "ERROR: Problem inputting background";
  const RavImageSource source = rav_reference_image(p, name, white);
  std::int32_t retstat = 0, xnum = 0, ynum = 0;
  RAV_IN_IMAGE(source, pass.DATA_DIM_1, pass.DATA_DIM_2, r.x_start, r.y_start, r.x_end, r.y_end,
               retstat, xnum, ynum, data, status);
  if (status != ST_OK) {
    throw RavFatalError(std::string(message) + "\n" + source.display() + "\n       " +
                        std::strerror(rav_image_open_error()));
  }
  if (retstat != 0) throw RavFatalError(std::string(message) + "\n" + source.display());
}

// The median of the finite values of the pass's region of DATA (0 when there is none).
float region_median(const Region& r, std::int32_t DATA_DIM_1, const std::vector<float>& data) {
  std::vector<float> values;
  for (std::int32_t y = 0; y <= r.y_end - r.y_start; ++y) {
    const float* row = data.data() + std::int64_t{y} * DATA_DIM_1;
    for (std::int32_t x = 0; x <= r.x_end - r.x_start; ++x) {
      if (std::isfinite(row[x])) values.push_back(row[x]);
    }
  }
  if (values.empty()) return 0.0F;
  const auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

std::string floor_text(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
  return text;
}

// Raises the flat-field values of the pass's region that are not above the floor to it; says
// how many there were and where the first are, and ends the run when they are half the region
// or more: such a flat field would correct nothing.
void floor_flatfield(const ParameterSet& p, const SinogramPass& pass, const std::string& name,
                     bool real, std::vector<float>& flat, std::int32_t& status) {
  const Region r = pass_region(p, pass);
  const float median = real ? region_median(r, pass.DATA_DIM_1, flat) : 0.0F;
  const float floor = real && median > 0.0F ? kRelativeFlatFloor * median : kFlatFloor;
  std::int64_t raised = 0;
  std::string positions;
  for (std::int32_t y = 0; y <= r.y_end - r.y_start; ++y) {
    float* row = flat.data() + std::int64_t{y} * pass.DATA_DIM_1;
    for (std::int32_t x = 0; x <= r.x_end - r.x_start; ++x) {
      if (!(row[x] <= floor)) continue;
      row[x] = floor;
      if (raised++ < static_cast<std::int64_t>(kShownPositions)) {
        positions += (positions.empty() ? "" : ", ") + std::string("(") +
                     std::to_string(r.x_start + x) + ", " + std::to_string(r.y_start + y) + ")";
      }
    }
  }
  if (raised == 0) return;
  const std::int64_t pixels = std::int64_t{r.x_end - r.x_start + 1} * (r.y_end - r.y_start + 1);
  const std::string what = std::to_string(raised) + " of " + std::to_string(pixels) +
                           " pixels of the flat field " + name + " are not above " +
                           floor_text(floor) +
                           (p.SUBTRACT_BACKGROUND ? " after the background is subtracted" : "");
  if (2 * raised >= pixels) {
    throw RavFatalError("ERROR: The flat field cannot be used: " + what +
                        "\n       Check the flat-field and background files of the parameter file");
  }
  UT_WRITE("WARNING: " + what + "; they are used as " + floor_text(floor), status);
  UT_WRITE("         First at (column, row): " + positions, status);
}

// A flat field ready for division: background subtracted, small values raised.
void read_flatfield(const ParameterSet& p, const SinogramPass& pass, const std::string& name,
                    const std::vector<float>& background, std::vector<float>& flat,
                    std::int32_t& status) {
  read_reference(p, pass, name, true, flat, status);
  const bool real = rav_image_real();
  if (p.SUBTRACT_BACKGROUND) {
    for (std::size_t i = 0; i < flat.size(); ++i) flat[i] -= background[i];
  }
  floor_flatfield(p, pass, rav_reference_image(p, name, true).display(), real, flat, status);
}

std::string flatfield_name(const ParameterSet& p, std::int32_t number, std::int32_t& status) {
  return numbered_name(p.FF_PREFIX, number, p.FF_NUMBER_LENGTH_VARIES,
                       p.FF_LENGTH_OF_NUMERICAL_PART, p.FF_POSTFIX, status);
}

// Corrects the XNUM x YNUM region of projection J held in IMAGE_DATA and stores it into every
// sinogram of the pass. Returns how many values had to be raised to the logarithm's floor and
// adds the values that were set to 0 as not finite to NOT_FINITE.
std::int64_t store_projection(const ParameterSet& p, const SinogramPass& pass,
                              std::int32_t xnum, std::int32_t ynum, std::int32_t j,
                              float flat_weight, float SINOGRAM_SCALE, ImageBuffers& images,
                              std::span<float> SINOGRAMS, std::int64_t& not_finite) {
  const std::int32_t num_slices = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  const std::int64_t sinogram_size = std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS;
  const auto sinogram_row = [&](std::int32_t k) {
    return SINOGRAMS.data() + k * sinogram_size + std::int64_t{j - 1} * pass.NUM_BINS;
  };
  const auto row_of = [](std::vector<float>& data, std::int64_t offset) {
    return data.empty() ? nullptr : data.data() + offset;
  };
  // Row y of the region, corrected straight into its sinogram (axis vertical) or in place, to
  // be spread over the sinograms below (axis horizontal).
  std::int64_t raised = 0;
  for (std::int32_t y = 0; y < ynum; ++y) {
    const std::int64_t offset = std::int64_t{y} * pass.DATA_DIM_1;
    RavCorrection correction;
    correction.background = p.SUBTRACT_BACKGROUND ? row_of(images.BACKGROUND_DATA, offset) : nullptr;
    correction.flat = p.CORRECT_FLATFIELD ? row_of(images.FLATFIELD_DATA, offset) : nullptr;
    correction.flat2 = p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING
                           ? row_of(images.FLATFIELD2_DATA, offset)
                           : nullptr;
    correction.flat_weight = flat_weight;
    correction.take_logarithm = p.TAKE_LOGARITHM;
    correction.scale = SINOGRAM_SCALE;
    float* image = images.IMAGE_DATA.data() + offset;
    float* out = p.ROTATION_VERTICAL && y < num_slices ? sinogram_row(y) : image;
    raised += rav_correct_row(image, correction, xnum, out, not_finite);
  }
  if (p.ROTATION_VERTICAL) return raised;
  // Sinogram k takes column k of the region.
  const float* image = images.IMAGE_DATA.data();
  for (std::int32_t k = 0; k < num_slices; ++k) {
    float* row = sinogram_row(k);
    for (std::int32_t bin = 0; bin < ynum; ++bin) {
      row[bin] = image[std::int64_t{bin} * pass.DATA_DIM_1 + k];
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

// Writes SINOGRAM as the file NAME: under a temporary name beside it (beside the file a link
// points to), renamed into place once it is whole, so that a write that fails leaves an earlier
// file of that name as it was. False when it failed (the temporary file is then gone).
bool write_sinogram(const std::string& name, const SinogramPass& pass, std::span<float> sinogram,
                    std::int32_t& status) {
  const std::string target = rav_followed_link(name);
  const std::string temporary = rav_temporary_name(target);
  std::int32_t retstat = 0;
  DAX_OUT_ZELFA(temporary, pass.NUM_BINS, pass.NUM_PROJECTIONS, 1, 1, pass.NUM_BINS,
                pass.NUM_PROJECTIONS, sinogram, retstat, status);
  if (retstat == 0 && status == ST_OK && std::rename(temporary.c_str(), target.c_str()) == 0) {
    return true;
  }
  std::remove(temporary.c_str());
  return false;
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
    const bool written =
        write_sinogram(name, pass,
                       SINOGRAMS.subspan(static_cast<std::size_t>((k - 1) * sinogram_size),
                                         static_cast<std::size_t>(sinogram_size)),
                       status);
    if (!written && status == ST_OK) {
      // A sinogram file that was asked for and not written is lost data, not a detail.
      UT_WRITE("ERROR: Problem outputting sinogram file " + name, status);
      ST_SAVE(kRoutine);
      status = 1010;
    }
  }
}
// The pass's background and first flat fields.
void read_references(const ParameterSet& p, const SinogramPass& pass, ImageBuffers& images,
                     std::int32_t& status) {
  if (p.SUBTRACT_BACKGROUND) {
    read_reference(p, pass, p.BACKGROUND_FILE.substr(0, SLEN(p.BACKGROUND_FILE)), false,
                   images.BACKGROUND_DATA, status);
  }
  if (!p.CORRECT_FLATFIELD) return;
  const std::string name = p.FLATFIELD_CHANGING
                               ? flatfield_name(p, p.FF_NUM_FIRST_IMAGE, status)
                               : p.FLATFIELD_FILE.substr(0, SLEN(p.FLATFIELD_FILE));
  read_flatfield(p, pass, name, images.BACKGROUND_DATA, images.FLATFIELD_DATA, status);
  if (p.FLATFIELD_CHANGING) {
    read_flatfield(p, pass, flatfield_name(p, p.FF_NUM_FIRST_IMAGE + p.FF_FILE_INTERVAL, status),
                   images.BACKGROUND_DATA, images.FLATFIELD2_DATA, status);
  }
}

// What the image loop of a pass carries from one projection to the next.
struct PassState {
  float SINOGRAM_SCALE = 0.0F;
  std::int32_t IMAGES_SINCE_FLATFIELD = 0;
  std::int32_t NEXT_FLATFIELD = 0;
  std::int64_t raised = 0;      // corrected values raised to the logarithm's floor
  std::int64_t not_finite = 0;  // corrected values set to 0
  std::int32_t usable = 0;      // projections read and stored
  // With CORRECT_DEAD_PIXELS: the pass's bad pixels, replaced in every image before correction.
  RavPassRows rows;
  RavDeadPixels dead;
};

// The rows of the image arrays that hold the pass's slices.
RavPassRows pass_rows(const ParameterSet& p, const SinogramPass& pass) {
  RavPassRows rows;
  rows.NUM_SLICES = pass.LAST_SLICE - pass.FIRST_SLICE + 1;
  rows.NUM_BINS = pass.NUM_BINS;
  rows.SLICE_STEP = p.ROTATION_VERTICAL ? pass.DATA_DIM_1 : 1;
  rows.BIN_STEP = p.ROTATION_VERTICAL ? 1 : pass.DATA_DIM_1;
  return rows;
}

// Finds the bad pixels in the pass's flat field, reports them and replaces them in the
// background and flat fields already read.
void find_dead_pixels(const ParameterSet& p, const SinogramPass& pass, PassState& state,
                      ImageBuffers& images, std::int32_t& status) {
  state.rows = pass_rows(p, pass);
  state.dead = rav_find_dead_pixels(state.rows, images.FLATFIELD_DATA, kFlatFloor);
  rav_report_dead_pixels(state.dead, p.ROTATION_VERTICAL, pass.FIRST_SLICE, status);
  for (std::vector<float>* data :
       {&images.BACKGROUND_DATA, &images.FLATFIELD_DATA, &images.FLATFIELD2_DATA}) {
    rav_fill_dead_pixels(state.dead, state.rows, *data);
  }
}

// Projection J (from 1) of the pass: the flat-field change it may call for, its image read and
// its rows corrected into the sinograms (zero rows when it cannot be read).
void input_projection(const ParameterSet& p, const SinogramPass& pass, std::int32_t j,
                      PassState& state, ReconTimes& times, ImageBuffers& images,
                      std::span<float> SINOGRAMS, std::int32_t& status) {
  const std::int32_t number = p.NUM_FIRST_IMAGE + (j - 1) * p.FILE_INTERVAL;
  const RavImageSource source = rav_series_image(p, number, status);
  const std::string name = source.display();
  if ((j - 1) % 100 == 0) UT_WRITE("INFO: Inputting from " + name + " (and onwards)", status);
  if (p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING &&
      state.IMAGES_SINCE_FLATFIELD == p.FF_FILE_INTERVAL) {
    images.FLATFIELD_DATA.swap(images.FLATFIELD2_DATA);
    state.NEXT_FLATFIELD = std::min(state.NEXT_FLATFIELD + p.FF_FILE_INTERVAL, p.FF_NUM_LAST_IMAGE);
    read_flatfield(p, pass, flatfield_name(p, state.NEXT_FLATFIELD, status),
                   images.BACKGROUND_DATA, images.FLATFIELD2_DATA, status);
    rav_fill_dead_pixels(state.dead, state.rows, images.FLATFIELD2_DATA);
    state.IMAGES_SINCE_FLATFIELD = 0;
  }

  const Region region = pass_region(p, pass);
  const RunClock before_input = RunClock::now(status);
  std::int32_t retstat = 0, xnum = 0, ynum = 0;
  RAV_IN_IMAGE(source, pass.DATA_DIM_1, pass.DATA_DIM_2, region.x_start, region.y_start,
               region.x_end, region.y_end, retstat, xnum, ynum, images.IMAGE_DATA, status);
  before_input.add_since(times.ELAPSE_INPUT, times.CPU_INPUT, status);
  rav_progress_projection(j);
  if (retstat != 0 || status != ST_OK) {
    // A projection that cannot be read contributes nothing, never a neighbour's values.
    rav_input_warning(name, status == ST_OK);
    zero_projection(pass, j, SINOGRAMS);
  } else {
    ++state.usable;
    const RunClock before_correction = RunClock::now(status);
    rav_fill_dead_pixels(state.dead, state.rows, images.IMAGE_DATA);
    const float flat_weight = static_cast<float>(state.IMAGES_SINCE_FLATFIELD) /
                              static_cast<float>(p.FF_FILE_INTERVAL);
    const float scale = pass.PROJECTION_WEIGHTS.empty()
                            ? state.SINOGRAM_SCALE
                            : state.SINOGRAM_SCALE * pass.PROJECTION_WEIGHTS[j - 1];
    state.raised += store_projection(p, pass, xnum, ynum, j, flat_weight, scale, images,
                                     SINOGRAMS, state.not_finite);
    before_correction.add_since(times.ELAPSE_SINOGRAMS, times.CPU_SINOGRAMS, status);
  }
  ++state.IMAGES_SINCE_FLATFIELD;
}

// One warning for the values raised to the logarithm's floor, one for those set to 0.
void report_corrections(const PassState& state, std::int32_t& status) {
  if (state.raised > 0) {
    char floor_text[32];
    std::snprintf(floor_text, sizeof floor_text, "%g", static_cast<double>(RAV_LOG_FLOOR));
    UT_WRITE("WARNING: " + std::to_string(state.raised) + " corrected values were not above " +
                 floor_text + " and were raised to it before the logarithm",
             status);
  }
  if (state.not_finite > 0) {
    UT_WRITE("WARNING: " + std::to_string(state.not_finite) +
                 " corrected values were not finite (infinite or NaN pixels) and were set to 0",
             status);
  }
}

}  // namespace

void rav_input_warning(const std::string& name, bool opened) {
  // Shown even after a failure has made the status bad.
  std::int32_t status = ST_OK;
  UT_WRITE("WARNING: Problem inputting from", status);
  UT_WRITE("         " + name, status);
  if (!opened) UT_WRITE("         " + std::string(std::strerror(rav_image_open_error())), status);
}

void RAV_CREATE_SINOGRAMS(const ParameterSet& p, const SinogramPass& pass, ReconTimes& times,
                          ImageBuffers& images, std::span<float> SINOGRAMS,
                          std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  const double pixel_size = p.ROTATION_VERTICAL ? p.IMAGE_PIXEL_SIZE_1 : p.IMAGE_PIXEL_SIZE_2;
  PassState state;
  state.SINOGRAM_SCALE = static_cast<float>((1.0L / pass.NUM_PROJECTIONS) *
                                            (0.01L / pixel_size) * 1.5707963L);
  state.NEXT_FLATFIELD = p.FF_NUM_FIRST_IMAGE + p.FF_FILE_INTERVAL;

  UT_WRITE("INFO: Inputting data from file", status);
  // The TIFF and HDF5 files the readers keep open are closed at the end of the pass.
  const struct CloseImageFiles {
    ~CloseImageFiles() { rav_close_image_files(); }
  } close_image_files;
  read_references(p, pass, images, status);
  if (p.CORRECT_DEAD_PIXELS && p.CORRECT_FLATFIELD) {
    find_dead_pixels(p, pass, state, images, status);
  }
  // Exactly NUM_PROJECTIONS images: with an interval above 1 the series may name one more
  // image than the sinograms have rows for, and that one is not read.
  for (std::int32_t j = 1; j <= pass.NUM_PROJECTIONS; ++j) {
    input_projection(p, pass, j, state, times, images, SINOGRAMS, status);
    if (status != ST_OK) {
      ST_SAVE(kRoutine);
      return;
    }
  }
  if (state.usable == 0) {
    // Every slice of the pass would be zero, and look like a volume.
    throw RavFatalError("ERROR: None of the " + std::to_string(pass.NUM_PROJECTIONS) +
                        " projections could be input for slices " +
                        std::to_string(pass.FIRST_SLICE) + " to " +
                        std::to_string(pass.LAST_SLICE) + ": no volume is written");
  }
  report_corrections(state, status);
  if (p.DISPLAY_GRAPHICS) display_first_sinogram(pass, SINOGRAMS, status);
  if (p.OUTPUT_SINOGRAMS) output_sinograms(pass, SINOGRAMS, status);
  if (status != ST_OK) ST_SAVE(kRoutine);
}
