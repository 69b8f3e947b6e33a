// reconstruct, backproject and filter_sinogram: stacks of sinograms through the core, a chunk
// of slices at a time on the threads, without the GIL. The caller's arrays are never written:
// the core filters sinograms in place for the linear and nearest methods, so those are copied
// (a chunk at a time) first. Values that are not finite are set to 0 in the copy, with a
// RuntimeWarning, as the program does with stored sinograms.
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "py_module.h"

namespace {

// Copies N values from IN to OUT with those that are not finite set to 0; returns how many.
std::int64_t copy_finite(const float* in, std::int64_t n, float* out) {
  std::int64_t zeroed = 0;
  for (std::int64_t k = 0; k < n; ++k) {
    const float value = in[k];
    const bool finite = std::isfinite(value);
    out[k] = finite ? value : 0.0f;
    zeroed += finite ? 0 : 1;
  }
  return zeroed;
}

bool all_finite(const float* values, std::int64_t n) {
  bool finite = true;
  for (std::int64_t k = 0; k < n; ++k) finite &= std::isfinite(values[k]);
  return finite;
}

// What one call computes: SLICES sinograms of INPUT into slices of OUTPUT (or, with no geometry,
// filtered sinograms).
struct StackJob {
  const float* input = nullptr;
  std::int64_t slices = 0;
  std::int64_t sinogram_values = 0;
  float* output = nullptr;
  int threads = 1;
};

// The sinograms of the chunk from FIRST: the caller's own where they can be used as they are,
// otherwise copies in SCRATCH (one per slot). Returns the values set to 0.
std::int64_t chunk_sinograms(const StackJob& job, std::int64_t first, std::int64_t count,
                             bool writable, std::vector<std::vector<float>>& scratch,
                             std::vector<float*>& sinograms) {
  sinograms.assign(static_cast<std::size_t>(count), nullptr);
  std::vector<std::int64_t> zeroed(static_cast<std::size_t>(count), 0);
  const std::int64_t n = job.sinogram_values;
  parallel_for(count, job.threads, [&](std::int64_t i) {
    const float* in = job.input + (first + i) * n;
    const auto slot = static_cast<std::size_t>(i);
    if (!writable && all_finite(in, n)) {
      sinograms[slot] = const_cast<float*>(in);  // read only by the core's routines
      return;
    }
    scratch[slot].resize(static_cast<std::size_t>(n));
    zeroed[slot] = copy_finite(in, n, scratch[slot].data());
    sinograms[slot] = scratch[slot].data();
  });
  std::int64_t total = 0;
  for (std::int64_t z : zeroed) total += z;
  return total;
}

// Reconstructs (or, unfiltered, back-projects) every sinogram of JOB into its slice.
std::int64_t reconstruct_stack(const StackJob& job, const RavGeometry& g, RavMethod method,
                               const FilterChoice& filter) {
  if (job.slices == 0) return 0;
  const std::int64_t pixels = g.pixels();
  // Two slices per thread where two fit into the cache, as the program decides with its default
  // CACHE_KILOBYTES, but never at the cost of a thread.
  const bool pairs = pixels * 8 <= static_cast<std::int64_t>(4096 * 1024 * 1.3f) &&
                     job.slices >= 2 * std::int64_t{job.threads};
  const std::int64_t chunk = std::int64_t{job.threads} * (pairs ? 2 : 1);
  const int threads = static_cast<int>(std::min<std::int64_t>(job.threads, job.slices));
  std::optional<RavReconstructor> reconstructor;
  if (filter.filtered) reconstructor.emplace(g, method, filter.options, pairs, threads);
  const bool writable = filter.filtered && method.kind != RavMethod::OVERSAMPLED;

  std::vector<std::vector<float>> scratch(static_cast<std::size_t>(chunk));
  std::vector<float*> sinograms, slices;
  std::int64_t zeroed = 0;
  for (std::int64_t first = 0; first < job.slices; first += chunk) {
    const std::int64_t count = std::min(chunk, job.slices - first);
    zeroed += chunk_sinograms(job, first, count, writable, scratch, sinograms);
    slices.clear();
    for (std::int64_t i = 0; i < count; ++i) slices.push_back(job.output + (first + i) * pixels);
    if (reconstructor) {
      reconstructor->reconstruct(sinograms, slices);
      continue;
    }
    parallel_for(count, threads, [&](std::int64_t i) {
      const auto slot = static_cast<std::size_t>(i);
      const float* sinogram = sinograms[slot];
      rav_backproject(g, method, {&sinogram, 1}, {&slices[slot], 1});
    });
  }
  return zeroed;
}

// Filters every projection of every sinogram of JOB into its output sinogram.
std::int64_t filter_stack(const StackJob& job, std::int32_t bins, std::int32_t projections,
                          const FilterChoice& filter) {
  std::int64_t zeroed = 0;
  const RavFilterPlan plan =
      filter.filtered ? RavFilterPlan(bins, filter.options) : RavFilterPlan();
  std::vector<std::int64_t> counts(static_cast<std::size_t>(job.slices), 0);
  const int threads = static_cast<int>(std::min<std::int64_t>(job.threads, job.slices));
  parallel_for(job.slices, threads, [&](std::int64_t s) {
    const std::int64_t n = job.sinogram_values;
    float* out = job.output + s * n;
    counts[static_cast<std::size_t>(s)] = copy_finite(job.input + s * n, n, out);
    if (!filter.filtered) return;
    std::vector<float> work(static_cast<std::size_t>(plan.work_values()));
    rav_filter_sinogram(plan, projections, {out, static_cast<std::size_t>(n)}, work);
  });
  for (std::int64_t z : counts) zeroed += z;
  return zeroed;
}

void warn_zeroed(std::int64_t zeroed) {
  if (zeroed == 0) return;
  const std::string text = std::to_string(zeroed) +
                           " sinogram values were not finite (infinite or NaN) and were set to 0";
  if (PyErr_WarnEx(PyExc_RuntimeWarning, text.c_str(), 1) != 0) throw py::error_already_set();
}

py::array_t<float> slice_array(const SinogramStack& stack, const RavBlock& block) {
  if (stack.single) return py::array_t<float>({py::ssize_t{block.NUM_Y}, py::ssize_t{block.NUM_X}});
  return py::array_t<float>({static_cast<py::ssize_t>(stack.slices), py::ssize_t{block.NUM_Y},
                             py::ssize_t{block.NUM_X}});
}

py::array_t<float> reconstruct(const py::object& sinograms, const py::object& angles, float axis,
                               const py::object& method, const py::object& oversampling,
                               const std::string& filter, const py::object& padding,
                               const py::object& region, int threads) {
  const SinogramStack stack = sinogram_stack(sinograms);
  const RavMethod m = method_argument(method, oversampling);
  const FilterChoice choice = filter_argument(filter, padding);
  RavAngles list = angles_argument(angles);
  const RavBlock block = region_argument(region, stack.bins);
  check_geometry(stack, axis, list, block);
  // The slices first: an absurd region fails here, before the geometry's arrays are filled.
  py::array_t<float> result = slice_array(stack, block);
  const RavGeometry g = rav_geometry(stack.bins, stack.projections, axis, std::move(list), block);
  const StackJob job{stack.data(), stack.slices, g.sinogram_values(), result.mutable_data(),
                     threads_argument(threads)};
  std::int64_t zeroed = 0;
  {
    py::gil_scoped_release release;
    zeroed = reconstruct_stack(job, g, m, choice);
  }
  warn_zeroed(zeroed);
  return result;
}

py::array_t<float> backproject(const py::object& sinograms, const py::object& angles, float axis,
                               const py::object& method, const py::object& oversampling,
                               const py::object& region, int threads) {
  return reconstruct(sinograms, angles, axis, method, oversampling, "none", py::none(), region,
                     threads);
}

py::array_t<float> filter_sinogram(const py::object& sinograms, const std::string& filter,
                                   const py::object& padding, int threads) {
  const SinogramStack stack = sinogram_stack(sinograms);
  const FilterChoice choice = filter_argument(filter, padding);
  py::array_t<float> result(stack.array.request().shape);
  const StackJob job{stack.data(), stack.slices,
                     std::int64_t{stack.projections} * stack.bins, result.mutable_data(),
                     threads_argument(threads)};
  std::int64_t zeroed = 0;
  {
    py::gil_scoped_release release;
    zeroed = filter_stack(job, stack.bins, stack.projections, choice);
  }
  warn_zeroed(zeroed);
  return result;
}

}  // namespace

void bind_reconstruct(py::module_& m) {
  m.def("reconstruct", &reconstruct, py::arg("sinograms"), py::arg("angles"), py::arg("axis"),
        py::arg("method") = "linear", py::arg("oversampling") = py::none(),
        py::arg("filter") = "ramp", py::arg("padding") = py::none(),
        py::arg("region") = py::none(), py::arg("threads") = 0,
        R"(Filtered back-projection of one sinogram or a stack of them.

sinograms: one sinogram (angles x bins) or a stack (slices x angles x bins) of line
    integrals; float32 C-contiguous arrays are used without a copy, other real arrays are
    converted. Values that are not finite count as 0 (RuntimeWarning). Never modified.
angles: radians; one angle per projection (an array), or a tuple (start, step) for
    start + j*step, formed exactly as the program forms ANGLE_OFFSET + j*ANGLE_BETWEEN_PROJECTIONS
    (with read_parameters(), for results bitwise equal to the program's).
axis: the rotation axis as ROTATION_AXIS_POSITION: a detector coordinate in bins, bin k
    (from 1) covering [k-1, k]; the centre of an N-bin detector is N/2.
method: "linear" (default), "nearest", or "oversampled" with oversampling= fine samples per
    bin (default 4); or the parameter file's OVERSAMPLING_FACTOR as an integer (0, 1, >= 2).
filter: "ramp" (the program's ramp) or "none" (back-projection only).
padding: None or "none": zeros up to the transform length, as the program.
region: (first column, last column, first row, last row) of the slice, 1-based and
    inclusive like START_VOXEL_1, END_VOXEL_1, START_VOXEL_2, END_VOXEL_2; default the
    square of the detector's width. Pixels outside the reconstruction circle are 0.
threads: 0 (default) for the OpenMP count, as the program; slices are shared among them.

Returns float32 slices: (rows x columns) for one sinogram, (slices x rows x columns) for a
stack. The values are the program's: the plain sum over the projections of the filtered
projections, without a factor for the angular step (multiply the sinograms by
pi / (2 * number of angles) for attenuation per pixel).)");
  m.def("backproject", &backproject, py::arg("sinograms"), py::arg("angles"), py::arg("axis"),
        py::arg("method") = "linear", py::arg("oversampling") = py::none(),
        py::arg("region") = py::none(), py::arg("threads") = 0,
        "Back-projection of (already filtered) sinograms: reconstruct(..., filter=\"none\").");
  m.def("filter_sinogram", &filter_sinogram, py::arg("sinograms"), py::arg("filter") = "ramp",
        py::arg("padding") = py::none(), py::arg("threads") = 0,
        R"(Every projection of one sinogram (angles x bins) or a stack filtered as reconstruct
filters it; returns a new float32 array of the same shape (the input is not modified).
backproject(filter_sinogram(s), ...) equals reconstruct(s, ...) bit for bit, for every method.)");
}
