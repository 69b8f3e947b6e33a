// The values a user chooses, one question each (or its option, or its default), into the lines
// of the parameter file.
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "master.h"
#include "rav_axis.h"
#include "ut.h"
#include "ut_prompt.h"

namespace {
void message(const std::string& line) {
  std::int32_t status = ST_OK;
  UT_WRITE(line, status);
}

bool read_real(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size() && std::isfinite(value);
}
bool read_integer(const std::string& text, std::int64_t low, std::int64_t high,
                  std::int64_t& value) {
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && end == text.c_str() + text.size() && value >= low && value <= high;
}

// The answer to one question: the option's value when given (refused with an "ERROR: " line
// when wrong), else asked on a terminal, else the default.
struct Asker {
  bool interactive = false;
  bool end_of_input = false;
  bool ok = true;
  std::string answer(const std::string& given, const std::string& option, const UtQuestion& q) {
    if (!given.empty()) {
      const std::string problem = q.problem ? q.problem(given) : std::string();
      if (problem.empty()) return given;
      message("ERROR: Option " + option + " " + given + ": " + problem);
      ok = false;
      return q.default_value;
    }
    if (!interactive || end_of_input) return q.default_value;
    return UT_ASK(q, stdin, stdout, end_of_input);
  }
};

std::string real_problem(const std::string& text, double low, double high, const char* what) {
  double value = 0.0;
  if (read_real(text, value) && value > low && value < high) return {};
  return "not " + std::string(what);
}

// A file name the worker reads as one value, in a folder that exists.
std::string file_problem(const std::string& text) {
  if (text.find_first_of(" ,\t!") != std::string::npos) {
    return "a file name must hold no blank, comma, tab or !";
  }
  if (text.size() > 132) return "a file name may hold at most 132 characters";
  const std::filesystem::path folder = std::filesystem::path(text).parent_path();
  std::error_code ignored;
  if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
    return "no folder " + folder.string();
  }
  if (::access(folder.empty() ? "." : folder.c_str(), W_OK) != 0) {
    return "the folder " + (folder.empty() ? std::string(".") : folder.string()) +
           " cannot be written";
  }
  return {};
}

// "FIRST-LAST" within 1 .. LIMIT.
bool slice_range(const std::string& text, std::int32_t limit, std::int64_t& first,
                 std::int64_t& last) {
  const std::size_t dash = text.find('-', 1);
  return dash != std::string::npos && read_integer(text.substr(0, dash), 1, limit, first) &&
         read_integer(text.substr(dash + 1), first, limit, last);
}

// OVERSAMPLING_FACTOR of a method's name or number; -1 when it is none.
std::int64_t method_factor(const std::string& text) {
  std::int64_t factor = -1;
  if (text == "linear") return 0;
  if (text == "nearest") return 1;
  if (text == "oversampled") return 4;
  if (text.rfind("oversampled:", 0) == 0 && read_integer(text.substr(12), 2, 64, factor)) {
    return factor;
  }
  return read_integer(text, 0, 64, factor) ? factor : -1;
}
}  // namespace

namespace {
struct Context {
  const MasterOptions& o;
  const MasterScan& scan;
  MasterLines& lines;
  Asker asker;
  std::int32_t NUM_BINS = 0, SLICES = 0, PROJECTIONS = 0;
  std::string folder;
};

// The angles of an HDF5 file (its first angle and mean step, which the worker replaces by the
// file's own with ANGLES_FROM_FILE).
void file_angles(Context& c) {
  const std::vector<double>& theta = c.scan.theta;
  if (!c.o.turn.empty() || !c.o.angle_step.empty() || !c.o.angle_offset.empty()) {
    message("WARNING: The angles are those of /exchange/theta: --turn, --angle-step and "
            "--angle-offset are not used");
  }
  const auto text = [](double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.7g", value);
    return std::string(buffer);
  };
  const double step = (theta.back() - theta.front()) / static_cast<double>(theta.size() - 1);
  master_set(c.lines, "ANGLE_BETWEEN_PROJECTIONS", text(step),
             "degrees, from /exchange/theta (" + std::to_string(c.PROJECTIONS) +
                 " projections over " + text(step * static_cast<double>(theta.size())) + ")");
  master_set(c.lines, "ANGLE_OFFSET", text(theta.front()), "degrees, from /exchange/theta");
}

void choose_angles(Context& c) {
  if (!c.scan.theta.empty()) {
    file_angles(c);
    return;
  }
  std::string guess;
  if (c.o.turn.empty()) {
    master_set(c.lines, "ANGLE_BETWEEN_PROJECTIONS", master_step_text(180.0, c.PROJECTIONS));
    guess = master_guess_turn(master_parameters(c.lines));
    if (guess.empty() && (!c.asker.interactive || c.asker.end_of_input)) {
      message("WARNING: The projections do not tell whether the scan covers 180 or 360 degrees:"
              " 180 taken (--turn 360 says otherwise)");
    }
  }
  const std::string turn = c.asker.answer(
      c.o.turn, "--turn",
      {"Angle the scan covers, in degrees (180 or 360)", guess.empty() ? "180" : guess,
       "The projections are spread evenly over half a turn (180) or a whole turn (360)",
       [](const std::string& t) {
         return t == "180" || t == "360" ? std::string() : std::string("not 180 or 360");
       }});
  const std::string step = c.asker.answer(
      c.o.angle_step, "--angle-step",
      {"Angle between projections, in degrees", master_step_text(std::stod(turn), c.PROJECTIONS),
       "The angular step of the series (the turn divided by the number of projections, or by one"
       " less when the last projection ends the turn)",
       [](const std::string& t) { return real_problem(t, 0.0, 360.0, "an angle above 0"); }});
  master_set(c.lines, "ANGLE_BETWEEN_PROJECTIONS", step,
             "degrees (" + std::to_string(c.PROJECTIONS) + " projections over " + turn + ")");
  const std::string offset = c.asker.answer(
      c.o.angle_offset, "--angle-offset",
      {"Angle of the first projection, in degrees", "0",
       "The angle at which the first projection was taken; it turns the slices",
       [](const std::string& t) { return real_problem(t, -1.0e6, 1.0e6, "an angle"); }});
  master_set(c.lines, "ANGLE_OFFSET", offset, "degrees: angle of the first projection");
}

void choose_geometry(Context& c) {
  const std::string size = c.asker.answer(
      c.o.pixel_size, "--pixel-size",
      {"Pixel size of the detector, in micrometres", "10000",
       "Sets the unit of the slices: 1/cm with the true size; the default (1 cm) gives "
       "attenuation per pixel",
       [](const std::string& t) { return real_problem(t, 0.0, 1.0e9, "a size above 0"); }});
  if (c.o.pixel_size.empty() && size == "10000") {
    message("WARNING: The pixel size is not known: 10000 micrometres (1 cm) taken, so the slices"
            " are in attenuation per pixel (--pixel-size UM gives it)");
  }
  const std::string unit = c.o.pixel_size.empty() && size == "10000"
                               ? "micrometres (not known: slices in attenuation per pixel)"
                               : "micrometres";
  master_set(c.lines, "IMAGE_PIXEL_SIZE_1", size, unit);
  master_set(c.lines, "IMAGE_PIXEL_SIZE_2", size, unit);
  const std::int32_t limit = c.SLICES;
  const std::string range = c.asker.answer(
      c.o.slices, "--slices",
      {"Slices to reconstruct (FIRST-LAST)", "1-" + std::to_string(limit),
       std::string("Image ") + (c.o.horizontal ? "columns" : "rows") + " 1 to " +
           std::to_string(limit) + "; each is one slice of the volume",
       [limit](const std::string& t) {
         std::int64_t a = 0, b = 0;
         return slice_range(t, limit, a, b)
                    ? std::string()
                    : "not FIRST-LAST within 1-" + std::to_string(limit);
       }});
  std::int64_t first = 1, last = limit;
  slice_range(range, limit, first, last);
  const std::string along = c.o.horizontal ? "1" : "3", across = c.o.horizontal ? "3" : "1";
  const std::string bins = std::to_string(c.NUM_BINS);
  master_set(c.lines, "START_VOXEL_" + across, "1", "first column of a slice (the whole field)");
  master_set(c.lines, "END_VOXEL_" + across, bins, "last column of a slice");
  master_set(c.lines, "START_VOXEL_2", "1", "first row of a slice");
  master_set(c.lines, "END_VOXEL_2", bins, "last row of a slice");
  master_set(c.lines, "START_VOXEL_" + along, std::to_string(first), "first slice");
  master_set(c.lines, "END_VOXEL_" + along, std::to_string(last), "last slice");
  const std::string method = c.asker.answer(
      c.o.method, "--method",
      {"Back-projection (linear, nearest, oversampled or oversampled:N)", "linear",
       "linear: interpolated between bins; nearest: nearest bin; oversampled:N: projections "
       "resampled N times finer",
       [](const std::string& t) {
         return method_factor(t) >= 0 ? std::string() : std::string("not a method");
       }});
  master_set(c.lines, "OVERSAMPLING_FACTOR", std::to_string(method_factor(method)),
             "0 linear, 1 nearest bin, 2 or more oversampled");
}
}  // namespace

namespace {
void choose_machine(Context& c) {
  const std::int64_t sinogram = std::int64_t{c.NUM_BINS} * c.PROJECTIONS * 4;
  const std::int64_t one = (sinogram + 1048575) / 1048576;
  const ParameterSet p = master_parameters(c.lines);
  const std::int64_t slices = p.ROTATION_VERTICAL ? p.END_VOXEL_3 - p.START_VOXEL_3 + 1
                                                  : p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  const std::int64_t all = (sinogram * slices + 1048575) / 1048576;
  const std::int64_t available = master_available_megabytes();
  // Half of what is free now: the images, slices and work arrays of the run, and the rest of
  // the machine, need their share.
  const std::int64_t budget = available > 0 ? available / 2 : 800;
  if (budget < one) {
    message("WARNING: " + std::to_string(available) + " MB of memory are available; one sinogram"
            " needs " + std::to_string(one) + " MB");
  }
  const std::int64_t chosen = std::clamp<std::int64_t>(std::min(all, budget), one, INT32_MAX);
  const std::string mb = c.asker.answer(
      c.o.sinogram_mb, "--sinogram-mb",
      {"Memory for the sinograms of one pass, in MB", std::to_string(chosen),
       "All slices' sinograms take " + std::to_string(all) + " MB, one " + std::to_string(one) +
           " MB; " + std::to_string(available) + " MB are available now",
       [one](const std::string& t) {
         std::int64_t v = 0;
         return read_integer(t, one, INT32_MAX, v)
                    ? std::string()
                    : "not a whole number of MB from " + std::to_string(one) +
                          " (one sinogram)";
       }});
  master_set(c.lines, "SINOGRAM_MEGABYTES", mb,
             "memory for the sinograms of one pass (" + std::to_string(available) +
                 " MB available)");
  const std::int64_t detected = master_cache_kilobytes();
  const std::string kb = c.asker.answer(
      c.o.cache_kb, "--cache-kb",
      {"Processor cache, in KB", std::to_string(detected > 0 ? detected : 4096),
       "Two slices are reconstructed together when they fit into 1.3 times this cache",
       [](const std::string& t) {
         std::int64_t v = 0;
         return read_integer(t, 0, INT32_MAX, v) ? std::string()
                                                 : std::string("not a whole number of KB");
       }});
  master_set(c.lines, "CACHE_KILOBYTES", kb,
             detected > 0 ? "the processor's level-2 cache" : "the processor's cache (not known)");
}

void choose_axis(Context& c) {
  std::string found;
  if (c.o.axis.empty()) {
    found = master_find_axis(master_parameters(c.lines));
    if (found.empty()) {
      found = rav_axis_number(0.5 * c.NUM_BINS, 2);
      message("WARNING: The rotation axis is taken at the image centre, " + found +
              ": check it with AXIS_SWEEP, or give it (--axis PIXELS)");
    }
  }
  const std::int32_t bins = c.NUM_BINS;
  const std::string axis = c.asker.answer(
      c.o.axis, "--axis",
      {"Rotation axis, in pixels from the edge of the first pixel (or AUTO)", found,
       "The image centre of " + std::to_string(bins) + " pixels is " +
           rav_axis_number(0.5 * bins, 1) + "; AUTO lets the worker find it when it runs",
       [bins](const std::string& t) {
         if (t == "AUTO") return std::string();
         double a = 0.0;
         return read_real(t, a) && std::min(a, bins - a) > 0.501
                    ? std::string()
                    : "not AUTO or a position that leaves a reconstruction circle";
       }});
  master_set(c.lines, "ROTATION_AXIS_POSITION", axis,
             axis == "AUTO" ? "found by the worker before it reconstructs"
             : axis == found ? "found from the projections (image centre " +
                                   rav_axis_number(0.5 * bins, 2) + ")"
                            : "pixels from the edge of the first pixel");
}

void choose_files(Context& c, std::string& parameter_file) {
  const std::string output = c.asker.answer(
      c.o.output, "--output",
      {"Output volume file", c.folder + "/volume.raw",
       "The slices, one record of 32-bit floats each, and its .info file beside it",
       file_problem});
  master_set(c.lines, "OUTPUT_FILE", output, "the volume; its description in OUTPUT_FILE.info");
  parameter_file = c.asker.answer(
      c.o.parameter_file, "--par",
      {"Parameter file to write", c.folder + "/scan.par",
       "The file to give rav_vuzav (an earlier one is kept with ~ after its name)",
       file_problem});
}
}  // namespace

bool master_choose(const MasterOptions& o, const MasterScan& scan, MasterLines& lines,
                   std::string& parameter_file) {
  Context c{o, scan, lines, {}, 0, 0, scan.projections.count(), {}};
  c.asker.interactive = !o.yes && ut_interactive();
  c.NUM_BINS = o.horizontal ? scan.header.DIM_2 : scan.header.DIM_1;
  c.SLICES = o.horizontal ? scan.header.DIM_1 : scan.header.DIM_2;
  c.folder = std::filesystem::path(scan.projections.prefix).parent_path().string();
  choose_angles(c);
  if (c.asker.ok) choose_geometry(c);
  if (c.asker.ok) choose_machine(c);
  if (c.asker.ok) choose_axis(c);
  if (c.asker.ok) choose_files(c, parameter_file);
  return c.asker.ok;
}
