// phantom and write_phantom: the synthetic scan of rav_phantom as arrays, or written as files.
// Keyword arguments are rav_phantom's options (bins=256 is --bins 256, float=True is --float),
// checked by its own option reader.
#include <vector>

#include "phantom.h"
#include "py_module.h"
#include "ut.h"

namespace {

// rav_phantom's command-line words for KWARGS; ALLOWED (when not empty) lists the options that
// may be given.
std::vector<std::string> option_words(const py::kwargs& kwargs,
                                      const std::vector<std::string>& allowed,
                                      const std::string& function) {
  std::vector<std::string> words;
  for (const auto& [key, value] : kwargs) {
    std::string name = py::str(key).cast<std::string>();
    if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), name) == allowed.end()) {
      throw py::type_error(function + "() has no option " + name);
    }
    for (char& c : name) c = c == '_' ? '-' : c;
    if (py::isinstance<py::bool_>(value)) {
      if (value.cast<bool>()) words.push_back("--" + name);
    } else {
      words.push_back("--" + name + "=" + py::str(value).cast<std::string>());
    }
  }
  return words;
}

PhantomOptions parsed_options(const std::vector<std::string>& words) {
  PhantomOptions options;
  std::string error;
  if (!phantom_parse_options(words, options, error)) throw py::value_error(error);
  return options;
}

// The program's scale of corrected projections, (pi/2) / NUM_PROJECTIONS x (1 cm / pixel size),
// from the parameter file's pixel size as the program reads it.
float sinogram_scale(const PhantomScan& scan) {
  std::int32_t status = ST_OK;
  bool ok = false;
  float micrometres = 0.0f;
  UT_TOKTR(scan.pixel_um_text, ok, micrometres, status);
  const float metres = micrometres * 1.0E-6F;
  return static_cast<float>((1.0L / scan.options.projections) * (0.01L / metres) * 1.5707963L);
}

// Fills SINOGRAMS (slices x projections x bins) and TRUTH (slices x bins x bins) on the threads.
void compute_phantom(const PhantomScan& scan, float scale, float* sinograms, float* truth) {
  const PhantomOptions& o = scan.options;
  const std::vector<PhantomEllipsoid> placed =
      phantom_place(phantom_head(), phantom_placement(o.bins, o.slices, scan.axis));
  std::vector<std::vector<std::vector<PhantomEllipse>>> sections(
      static_cast<std::size_t>(o.slices));
  for (int s = 1; s <= o.slices; ++s) {
    for (double z : phantom_slice_planes(s, o.subsamples)) {
      sections[static_cast<std::size_t>(s - 1)].push_back(phantom_cross_section(placed, z));
    }
  }
  const int threads = threads_argument(0);
  const std::int64_t rows = std::int64_t{o.slices} * o.projections;
  parallel_for(rows, threads, [&](std::int64_t n) {
    const auto s = static_cast<std::size_t>(n / o.projections);
    const int j = static_cast<int>(n % o.projections) + 1;
    std::vector<double> row(static_cast<std::size_t>(o.bins));
    phantom_projection_row(sections[s], phantom_angle(scan, j), scan.axis, o.subsamples,
                           o.pixel_cm, row);
    float* out = sinograms + n * o.bins;
    for (std::size_t k = 0; k < row.size(); ++k) out[k] = static_cast<float>(row[k]) * scale;
  });
  const std::int64_t pixels = std::int64_t{o.bins} * o.bins;
  parallel_for(o.slices, threads, [&](std::int64_t s) {
    phantom_truth_slice(placed, static_cast<int>(s) + 1, o.bins, o.subsamples,
                        {truth + s * pixels, static_cast<std::size_t>(pixels)});
  });
}

py::dict phantom(const py::kwargs& kwargs) {
  // Nothing is written: the directory the options need is a stand-in.
  std::vector<std::string> words{"--out=.", "--relative"};
  const std::vector<std::string> more = option_words(
      kwargs,
      {"bins", "projections", "slices", "pixel_size", "axis_offset", "angle_offset", "subsamples"},
      "phantom");
  words.insert(words.end(), more.begin(), more.end());
  const PhantomOptions options = parsed_options(words);
  const PhantomScan scan = phantom_scan(options);
  const auto S = static_cast<py::ssize_t>(options.slices);
  const auto P = static_cast<py::ssize_t>(options.projections);
  const auto B = static_cast<py::ssize_t>(options.bins);
  py::array_t<float> sinograms({S, P, B});
  py::array_t<float> truth({S, B, B});
  const float scale = sinogram_scale(scan);
  {
    py::gil_scoped_release release;
    compute_phantom(scan, scale, sinograms.mutable_data(), truth.mutable_data());
  }
  py::dict result;
  result["sinograms"] = sinograms;
  result["truth"] = truth;
  result["angles"] = py::make_tuple(scan.angle_offset, scan.angle_step);
  result["axis"] = scan.axis;
  result["scale"] = scale;
  return result;
}

std::string write_phantom(const std::string& out, const py::kwargs& kwargs) {
  std::vector<std::string> words{"--out", out};
  const std::vector<std::string> more = option_words(kwargs, {}, "write_phantom");
  words.insert(words.end(), more.begin(), more.end());
  const PhantomOptions options = parsed_options(words);
  flush_python_output();
  bool written = false;
  std::string transcript;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(program_state_lock());
    fresh_program_state();
    std::int32_t status;
    ST_DEF_SYSTEM(status);
    StdoutCapture capture;
    written = phantom_write_scan(options);
    transcript = capture.finish();
  }
  if (!written) throw std::runtime_error(message_lines(transcript));
  return options.out + "/phantom.par";
}

}  // namespace

void bind_phantom(py::module_& m) {
  m.def("phantom", &phantom,
        R"(The synthetic scan of rav_phantom as arrays: a Shepp-Logan-like head, attenuation in
1/cm. Keyword arguments are rav_phantom's options: bins (128), projections (180, over a half
turn), slices (8), pixel_size (cm, 0.01), axis_offset (pixels, 0), angle_offset (degrees, 0),
subsamples (4). Returns a dict:
  "sinograms": float32 (slices x projections x bins), the line integrals times "scale", as the
      program's corrected sinograms of a noiseless scan (up to rounding);
  "truth": float32 (slices x bins x bins), the attenuation averaged over each voxel;
  "angles": (start, step) in radians and "axis" (ROTATION_AXIS_POSITION) as the program reads
      them from the scan's parameter file;
  "scale": (pi/2) / projections x (1 cm / pixel size).
reconstruct(d["sinograms"], d["angles"], d["axis"]) then approximates d["truth"].)");
  m.def("write_phantom", &write_phantom, py::arg("out"),
        R"(Writes the scan as rav_phantom --out OUT [options] does (projections, background, flat
fields, phantom.par, truth.raw) and returns the parameter file's name. Keyword arguments are
rav_phantom's options: bins=256 for --bins 256, pixel_size=0.02 for --pixel-size 0.02,
float=True for --float. RuntimeError with its message when the scan cannot be written.)");
}
