// The scan as files: projections, background, flat fields, parameter file, ground truth.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>

#include "dax.h"
#include "phantom.h"
#include "ut.h"

namespace {

std::string format_g(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.9g", value);
  return buffer;
}

int digit_count(long long value) {
  int digits = 1;
  while (value >= 10) {
    value /= 10;
    ++digits;
  }
  return digits;
}

// Degrees as the parameter reader stores them: the text read as a single-precision real,
// multiplied by pi/180 in single precision.
float degrees_as_read(const std::string& text) {
  const float degrees = std::strtof(text.c_str(), nullptr);
  return degrees * 0.017453292F;
}

// The longest value the parameter file may hold: the reader's tokens are cut at 132
// characters, and blanks, commas and tabs would split a value.
bool usable_in_parameter_file(const std::string& directory) {
  constexpr std::size_t kToken = 132;
  constexpr std::size_t kLongestName = 15;  // "/background.zlf"
  return directory.size() + kLongestName <= kToken &&
         directory.find_first_of(" ,\t") == std::string::npos;
}

std::string numbered_name(const std::string& prefix, int number, int digits) {
  std::int32_t status = ST_OK;
  bool overflow = false;
  std::string name;
  UT_FILENAME(prefix, number, true, digits, ".zlf", overflow, name, status);
  return name;
}

// Writes WIDTH x HEIGHT values as one image; false after an "ERROR: " line.
bool write_image(const std::string& file_name, bool as_float, int width, int height,
                 const std::vector<float>& data) {
  std::int32_t status = ST_OK;
  std::int32_t retstat = 0;
  DAX_OUT_ZELFA_TYPED(file_name, as_float ? DaxPixelType::FLOAT : DaxPixelType::UNSIGNED_SHORT,
                      width, height, 1, 1, width, height, data, retstat, status);
  if (retstat != 0 || status != ST_OK) {
    std::int32_t write_status = ST_OK;
    UT_WRITE("ERROR: Problem writing image " + file_name, write_status);
    return false;
  }
  return true;
}

// The value a 16-bit image stores: the nearest count, within 0..65535.
float stored_value(double value, bool as_float) {
  if (as_float) return static_cast<float>(value);
  return static_cast<float>(std::clamp(std::nearbyint(value), 0.0, 65535.0));
}

// Image element of bin K and detector row S (1-based): row S of the image, or column S when
// the rotation axis is horizontal.
std::size_t image_index(const PhantomScan& scan, int k, int s) {
  const PhantomOptions& o = scan.options;
  return o.horizontal ? static_cast<std::size_t>(s - 1) + static_cast<std::size_t>(k - 1) * o.slices
                      : static_cast<std::size_t>(k - 1) + static_cast<std::size_t>(s - 1) * o.bins;
}

void info(const std::string& text) {
  std::int32_t status = ST_OK;
  UT_WRITE(text, status);
}

bool fail(const std::string& text) {
  info("ERROR: " + text);
  return false;
}

}  // namespace

PhantomScan phantom_scan(const PhantomOptions& options) {
  PhantomScan scan;
  scan.options = options;
  // ROTATION_AXIS_POSITION = IMAGE CENTRE - OFFSET.
  scan.axis = static_cast<float>(options.bins / 2.0 - options.axis_offset);
  scan.axis_text = format_g(scan.axis);
  scan.angle_offset_text = format_g(options.angle_offset);
  scan.angle_step_text =
      format_g(options.turn / (options.with_end ? options.projections - 1 : options.projections));
  scan.angle_offset = degrees_as_read(scan.angle_offset_text);
  scan.angle_step = degrees_as_read(scan.angle_step_text);
  scan.pixel_um_text = format_g(options.pixel_cm * 1.0e4);
  scan.number_digits = std::max(4, digit_count(options.projections));
  if (options.flat_series >= 2) {
    // Flat field m was taken before projection m x interval + 1, so the last one closes the
    // scan: (series - 1) x interval >= projections - 1.
    const int gaps = options.flat_series - 1;
    scan.ff_interval = std::max(1, (options.projections - 1 + gaps - 1) / gaps);
    scan.ff_last = gaps * scan.ff_interval;
    scan.ff_digits = std::max(4, digit_count(scan.ff_last));
  }
  if (!options.relative) {
    std::error_code ignored;
    std::string directory =
        std::filesystem::absolute(options.out, ignored).lexically_normal().string();
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    if (usable_in_parameter_file(directory)) scan.prefix = directory + "/";
  }
  return scan;
}

PhantomFrame phantom_frame(const PhantomScan& scan) {
  const int bins = scan.options.bins;
  if (!scan.options.half_acquisition) return {bins, 0.0};
  // The mirrored half goes on the side of the axis away from the detector's own.
  return {2 * bins, 2.0 * scan.axis < bins ? static_cast<double>(bins) : 0.0};
}

std::vector<PhantomEllipsoid> phantom_scan_head(const PhantomScan& scan, bool slice_frame) {
  const PhantomFrame frame = phantom_frame(scan);
  PhantomPlacement placement =
      phantom_placement(frame.num, scan.options.slices, scan.axis + frame.shift);
  placement.axis = scan.axis + (slice_frame ? frame.shift : 0.0);
  placement.radius *= scan.options.fill / 0.7;
  return phantom_place(phantom_head(), placement);
}

double phantom_angle(const PhantomScan& scan, int j) {
  // The back-projection starts at the single-precision offset and adds the single-precision
  // step once per projection in double precision.
  return static_cast<double>(scan.angle_offset) +
         static_cast<double>(j - 1) * static_cast<double>(scan.angle_step);
}

PhantomFlatWeights phantom_flat_weights(const PhantomScan& scan, int j) {
  PhantomFlatWeights weights;
  if (scan.options.flat_series < 2) return weights;
  // The reconstruction changes to the next pair of flat fields every interval projections and
  // weighs the later one by (images since the change) / interval, in single precision.
  const int count = j - 1;
  const int block = count / scan.ff_interval;
  const int since = count % scan.ff_interval;
  weights.flat_a = std::min(block, scan.options.flat_series - 1);
  weights.flat_b = std::min(block + 1, scan.options.flat_series - 1);
  weights.f = static_cast<float>(since) / static_cast<float>(scan.ff_interval);
  return weights;
}

double phantom_background(int k, int s) {
  return kPhantomDark + 8.0 * std::sin(0.37 * k) + 4.0 * std::cos(0.81 * s);
}

double phantom_flat(int k, int s, int flat, const PhantomScan& scan) {
  // A beam brighter in the middle, slightly striped along the rows; along a series it fades
  // by 10 % and tilts by 4 %.
  const PhantomOptions& o = scan.options;
  const double half = 0.5 * o.bins;
  const double xn = (k - 0.5 - half) / half;
  const double t = o.flat_series >= 2 ? static_cast<double>(flat) / (o.flat_series - 1) : 0.0;
  const double gain = (1.0 - 0.12 * xn * xn + 0.02 * std::cos(0.9 * s)) * (1.0 - 0.10 * t) *
                      (1.0 + 0.04 * t * xn);
  return phantom_background(k, s) + kPhantomOpen * gain;
}

std::vector<std::string> phantom_parameter_lines(const PhantomScan& scan) {
  const PhantomOptions& o = scan.options;
  const std::string& dir = scan.prefix;
  const bool series = o.flat_series >= 2;
  const std::string bins = std::to_string(o.bins);
  const std::string slices = std::to_string(o.slices);
  auto yes_no = [](bool value) { return std::string(value ? "YES" : "NO"); };
  auto line = [](const std::string& key, const std::string& value) { return key + " = " + value; };

  std::vector<std::string> lines = {
      "! RAV_VUZAV PARAMETER FILE",
      "! Synthetic scan written by rav_phantom: a Shepp-Logan-like head, attenuation in 1/cm.",
      "! " + bins + " bins, " + std::to_string(o.projections) + " projections over " +
          format_g(o.turn) + " degrees, " +
          slices + " slices, pixel size " + format_g(o.pixel_cm) + " cm.",
      "! Ground truth: truth.raw (see truth.raw.info), laid out like OUTPUT_FILE.",
      dir.empty() ? "! File names are relative to this directory: run rav_vuzav from it."
                  : "! File names are absolute.",
      "!",
      line("FILE_PREFIX", dir + "proj_"),
      line("NUM_FIRST_IMAGE", "1"),
      line("NUM_LAST_IMAGE", std::to_string(o.projections)),
      line("FILE_INTERVAL", "1"),
      line("NUMBER_LENGTH_VARIES", "NO"),
      line("LENGTH_OF_NUMERICAL_PART", std::to_string(scan.number_digits)),
      line("FILE_POSTFIX", ".zlf"),
      line("NUM_IMAGE_1", o.horizontal ? slices : bins),
      line("NUM_IMAGE_2", o.horizontal ? bins : slices),
      line("IMAGE_PIXEL_SIZE_1", scan.pixel_um_text),
      line("IMAGE_PIXEL_SIZE_2", scan.pixel_um_text),
      "!",
      line("SUBTRACT_BACKGROUND", "YES"),
      line("BACKGROUND_FILE", dir + "background.zlf"),
      line("CORRECT_FLATFIELD", "YES"),
      line("FLATFIELD_CHANGING", yes_no(series)),
      line("FLATFIELD_FILE", series ? "N.A." : dir + "flat.zlf"),
      line("FF_NUM_FIRST_IMAGE", series ? "0" : "N.A."),
      line("FF_NUM_LAST_IMAGE", series ? std::to_string(scan.ff_last) : "N.A."),
      line("FF_FILE_INTERVAL", series ? std::to_string(scan.ff_interval) : "N.A."),
      line("FF_PREFIX", series ? dir + "flat_" : "N.A."),
      line("FF_NUMBER_LENGTH_VARIES", series ? "NO" : "N.A."),
      line("FF_LENGTH_OF_NUMERICAL_PART", series ? std::to_string(scan.ff_digits) : "N.A."),
      line("FF_POSTFIX", series ? ".zlf" : "N.A."),
      "!",
      line("TAKE_LOGARITHM", "YES"),
      line("ANGLE_OFFSET", scan.angle_offset_text),
      line("ANGLE_BETWEEN_PROJECTIONS", scan.angle_step_text),
      line("ROTATION_VERTICAL", yes_no(!o.horizontal)),
      line("ROTATION_AXIS_POSITION", scan.axis_text),
      line("OVERSAMPLING_FACTOR", std::to_string(o.oversampling)),
      line("CACHE_KILOBYTES", "4096"),
      line("SINOGRAM_MEGABYTES", std::to_string(o.sinogram_mb)),
      line("RECONSTRUCT_FROM_SINOGRAMS", "NO"),
      "!",
      line("OUTPUT_SINOGRAMS", "NO"),
      line("OUTPUT_RECONSTRUCTION", "YES"),
      line("OUTPUT_FILE", dir + "recon.raw"),
      line("DISPLAY_GRAPHICS", "NO"),
  };
  // Volume axes 1 and 2 span a slice, axis 3 counts slices; with the rotation axis horizontal
  // the reconstruction exchanges axes 1 and 3, so they are written exchanged.
  const std::string num = std::to_string(phantom_frame(scan).num);
  const std::string along_1 = o.horizontal ? slices : num;
  const std::string along_3 = o.horizontal ? num : slices;
  for (const auto& [key, value] :
       {std::pair<std::string, std::string>{"START_VOXEL_1", "1"}, {"END_VOXEL_1", along_1},
        {"START_VOXEL_2", "1"}, {"END_VOXEL_2", num}, {"START_VOXEL_3", "1"},
        {"END_VOXEL_3", along_3}}) {
    lines.push_back(line(key, value));
  }
  if (o.half_acquisition) lines.push_back(line("HALF_ACQUISITION", "YES"));
  return lines;
}

bool phantom_write_scan(const PhantomOptions& options) {
  const PhantomScan scan = phantom_scan(options);
  const PhantomOptions& o = scan.options;
  namespace fs = std::filesystem;

  std::error_code error;
  fs::create_directories(o.out, error);
  if (!fs::is_directory(o.out, error)) return fail("Cannot create the directory " + o.out);
  const std::string dir = (fs::path(o.out) / "").string();
  if (!o.relative && scan.prefix.empty()) {
    info("WARNING: The directory's full name is too long for the parameter file (or holds");
    info("         blanks or commas): names are written relative to it; run rav_vuzav there.");
  }

  const int bins = o.bins, slices = o.slices;
  const std::size_t pixels = static_cast<std::size_t>(bins) * slices;
  const int width = o.horizontal ? slices : bins;
  const int height = o.horizontal ? bins : slices;
  const int flats = o.flat_series >= 2 ? o.flat_series : 1;

  // Refuse a scan that cannot fit on the disk before writing any of it.
  const double image_bytes = 1024.0 + static_cast<double>(pixels) * (o.as_float ? 4.0 : 2.0);
  const int num = phantom_frame(scan).num;  // slices are NUM x NUM pixels
  const double needed = (o.projections + 1.0 + flats) * image_bytes +
                        4.0 * static_cast<double>(num) * num * slices;
  const fs::space_info space = fs::space(o.out, error);
  if (!error && needed > static_cast<double>(space.available)) {
    char text[160];
    std::snprintf(text, sizeof text, "The scan needs %.0f MB but only %.0f MB are free in ",
                  needed / 1048576.0, static_cast<double>(space.available) / 1048576.0);
    return fail(text + o.out);
  }

  // Background and flat fields as stored: the projections are made from the stored values so
  // that the correction recovers the line integrals up to the rounding of the projection.
  std::vector<float> background(pixels);
  for (int s = 1; s <= slices; ++s) {
    for (int k = 1; k <= bins; ++k) {
      background[image_index(scan, k, s)] = stored_value(phantom_background(k, s), o.as_float);
    }
  }
  if (!write_image(dir + "background.zlf", o.as_float, width, height, background)) return false;
  auto flat_image = [&](int m) {
    std::vector<float> flat(pixels);
    for (int s = 1; s <= slices; ++s) {
      for (int k = 1; k <= bins; ++k) {
        flat[image_index(scan, k, s)] = stored_value(phantom_flat(k, s, m, scan), o.as_float);
      }
    }
    return flat;
  };
  for (int m = 0; m < flats; ++m) {
    const std::string name =
        flats > 1 ? numbered_name(dir + "flat_", m * scan.ff_interval, scan.ff_digits)
                  : dir + "flat.zlf";
    if (!write_image(name, o.as_float, width, height, flat_image(m))) return false;
  }

  // Cross-sections of the placed head at the z sub-samples of every slice.
  const std::vector<PhantomEllipsoid> placed = phantom_scan_head(scan, false);
  std::vector<std::vector<std::vector<PhantomEllipse>>> sections(static_cast<std::size_t>(slices));
  for (int s = 1; s <= slices; ++s) {
    for (double z : phantom_slice_planes(s, o.subsamples)) {
      sections[s - 1].push_back(phantom_cross_section(placed, z));
    }
  }

  std::mt19937_64 random(o.seed);
  std::vector<double> row(static_cast<std::size_t>(bins));
  std::vector<float> image(pixels);
  std::int64_t absorbed = 0;
  // The two flat fields between which the current projection lies.
  int loaded_a = -1, loaded_b = -1;
  std::vector<float> flat_a, flat_b;
  for (int j = 1; j <= o.projections; ++j) {
    const double theta = phantom_angle(scan, j);
    const PhantomFlatWeights w = phantom_flat_weights(scan, j);
    if (w.flat_a != loaded_a) flat_a = w.flat_a == loaded_b ? flat_b : flat_image(w.flat_a);
    if (w.flat_b != loaded_b) flat_b = w.flat_b == w.flat_a ? flat_a : flat_image(w.flat_b);
    loaded_a = w.flat_a;
    loaded_b = w.flat_b;
    for (int s = 1; s <= slices; ++s) {
      phantom_projection_row(sections[s - 1], theta, scan.axis, o.subsamples, o.pixel_cm, row);
      for (int k = 1; k <= bins; ++k) {
        const std::size_t index = image_index(scan, k, s);
        const double dark = background[index];
        const double open = (1.0 - w.f) * (flat_a[index] - dark) + w.f * (flat_b[index] - dark);
        double signal = open * std::exp(-row[k - 1]);
        if (o.noise > 0.0) {
          // Photon counting: the open beam kPhantomOpen stands for o.noise photons.
          const double photons = o.noise * signal / kPhantomOpen;
          double counted = 0.0;
          if (photons > 0.0) {
            counted = static_cast<double>(std::poisson_distribution<std::int64_t>(photons)(random));
          }
          signal = counted * kPhantomOpen / o.noise;
        }
        image[index] = stored_value(dark + signal, o.as_float);
        if (!(image[index] > background[index])) ++absorbed;
      }
    }
    if (!write_image(numbered_name(dir + "proj_", j, scan.number_digits), o.as_float, width,
                     height, image)) {
      return false;
    }
  }
  if (absorbed > 0) {
    info("WARNING: " + std::to_string(absorbed) +
         " projection values are at or below the background (no light left):");
    info("         their logarithm is not finite; use a smaller --pixel-size, --float or more photons.");
  }

  // Ground truth, one record per slice, little-endian floats.
  const std::string truth_name = dir + "truth.raw";
  std::FILE* truth_file = std::fopen(truth_name.c_str(), "wb");
  if (truth_file == nullptr) return fail("Cannot create " + truth_name);
  std::vector<float> truth(static_cast<std::size_t>(num) * num);
  const std::vector<PhantomEllipsoid> truth_head = phantom_scan_head(scan, true);
  bool written = true;
  for (int s = 1; s <= slices && written; ++s) {
    phantom_truth_slice(truth_head, s, num, o.subsamples, truth);
    if constexpr (std::endian::native == std::endian::big) {
      for (float& value : truth) {
        value = std::bit_cast<float>(__builtin_bswap32(std::bit_cast<std::uint32_t>(value)));
      }
    }
    written = std::fwrite(truth.data(), sizeof(float), truth.size(), truth_file) == truth.size();
  }
  if (std::fclose(truth_file) != 0 || !written) return fail("Problem writing " + truth_name);

  std::vector<std::string> info_lines = {"! RAV_VUZAV VOLUME INFO FILE",
                                         "NUM_X = " + ut_fmt_int(num, 8),
                                         "NUM_Y = " + ut_fmt_int(num, 8),
                                         "NUM_Z = " + ut_fmt_int(slices, 8)};
  const std::string info_name = truth_name + ".info";
  const std::string par_name = dir + "phantom.par";
  for (const auto& [name, lines] : {std::pair{info_name, info_lines},
                                    std::pair{par_name, phantom_parameter_lines(scan)}}) {
    std::FILE* file = std::fopen(name.c_str(), "w");
    if (file == nullptr) return fail("Cannot create " + name);
    bool ok = true;
    for (const std::string& text : lines) ok = ok && std::fprintf(file, "%s\n", text.c_str()) > 0;
    if (std::fclose(file) != 0 || !ok) return fail("Problem writing " + name);
  }

  info("INFO: Wrote " + std::to_string(o.projections) + " projections of " +
       std::to_string(width) + " x " + std::to_string(height) + " pixels (" +
       (o.as_float ? "32-bit float" : "16-bit unsigned") + ") into " + o.out);
  info("INFO: Ground truth " + truth_name + ": " + std::to_string(num) + " x " +
       std::to_string(num) + " x " + std::to_string(slices) + " floats, attenuation in 1/cm");
  info("INFO: Reconstruct with: rav_vuzav " + (scan.prefix.empty() ? std::string("phantom.par (in ") + o.out + ")"
                                                                    : par_name));
  return true;
}
