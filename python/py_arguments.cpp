// The arguments of the reconstruction functions: sinograms, angles, method, filter, region and
// threads, read into the core's types; what cannot be used raises TypeError or ValueError.
#include <omp.h>

#include <algorithm>
#include <cctype>
#include <limits>

#include "py_module.h"

namespace {

constexpr long long kInt32Max = std::numeric_limits<std::int32_t>::max();

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string text_of(py::handle object) { return py::repr(object).cast<std::string>(); }

// An array of real numbers (integers or floating point) made from OBJECT, or TypeError.
py::array real_array(py::handle object, const char* what) {
  py::array array = py::array::ensure(object);
  const char kind = array ? array.dtype().kind() : '?';
  if (kind != 'i' && kind != 'u' && kind != 'f') {
    throw py::type_error(std::string(what) + " must be an array of real numbers, not " +
                         (array ? "an array of " + py::str(array.dtype()).cast<std::string>()
                                : text_of(object)));
  }
  return array;
}

// A whole number (Python int or numpy integer, not bool) or TypeError.
long long whole_number(py::handle object, const char* what) {
  if (py::isinstance<py::bool_>(object) || !PyIndex_Check(object.ptr())) {
    throw py::type_error(std::string(what) + " must be a whole number, not " + text_of(object));
  }
  const auto value = py::reinterpret_steal<py::int_>(PyNumber_Index(object.ptr()));
  if (!value) throw py::error_already_set();
  long long result = 0;
  try {
    result = value.cast<long long>();
  } catch (const py::cast_error&) {
    throw py::value_error(std::string(what) + " is out of range: " + text_of(object));
  }
  return result;
}

// A real number (anything numeric but complex) or TypeError.
double real_number(py::handle object, const char* what) {
  if (!PyNumber_Check(object.ptr()) || PyComplex_Check(object.ptr())) {
    throw py::type_error(std::string(what) + " must be a real number, not " + text_of(object));
  }
  return py::float_(py::reinterpret_borrow<py::object>(object)).cast<double>();
}

}  // namespace

SinogramStack sinogram_stack(py::handle sinograms) {
  SinogramStack stack;
  stack.array = decltype(stack.array)::ensure(real_array(sinograms, "sinograms"));
  if (!stack.array) throw py::error_already_set();
  const py::ssize_t ndim = stack.array.ndim();
  if (ndim != 2 && ndim != 3) {
    throw py::value_error("sinograms must be one sinogram (angles x bins) or a stack of them "
                          "(slices x angles x bins), not an array of " +
                          std::to_string(ndim) + " dimensions");
  }
  const py::ssize_t projections = stack.array.shape(ndim - 2);
  const py::ssize_t bins = stack.array.shape(ndim - 1);
  if (projections > kInt32Max || bins > kInt32Max) {
    throw py::value_error("sinograms of " + std::to_string(projections) + " angles and " +
                          std::to_string(bins) + " bins are too large");
  }
  // The core's own words for sinograms it cannot use.
  if (bins < 1) throw py::value_error("the sinogram has no bins");
  if (projections < 1) throw py::value_error("the sinogram has no projections");
  stack.single = ndim == 2;
  stack.slices = ndim == 2 ? 1 : stack.array.shape(0);
  stack.projections = static_cast<std::int32_t>(projections);
  stack.bins = static_cast<std::int32_t>(bins);
  return stack;
}

RavAngles angles_argument(py::handle angles) {
  RavAngles result;
  if (py::isinstance<py::tuple>(angles)) {
    const auto pair = py::reinterpret_borrow<py::tuple>(angles);
    if (pair.size() != 2) {
      throw py::value_error("angles given as a tuple are (start, step) in radians, not " +
                            text_of(angles));
    }
    // Single precision, as the program keeps ANGLE_OFFSET and ANGLE_BETWEEN_PROJECTIONS.
    result.START_ANGLE = static_cast<float>(real_number(pair[0], "the start angle"));
    result.ANGLE_STEP = static_cast<float>(real_number(pair[1], "the angle step"));
    return result;
  }
  const auto list = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(
      real_array(angles, "angles"));
  if (!list) throw py::error_already_set();
  if (list.ndim() != 1) {
    throw py::value_error("angles must be one angle per projection (a 1-D array) or a tuple "
                          "(start, step), not an array of " +
                          std::to_string(list.ndim()) + " dimensions");
  }
  result.list.assign(list.data(), list.data() + list.size());
  return result;
}

RavMethod method_argument(py::handle method, py::handle oversampling) {
  if (py::isinstance<py::str>(method)) {
    const std::string name = lower(method.cast<std::string>());
    if (name == "oversampled") {
      const long long factor =
          oversampling.is_none() ? 4 : whole_number(oversampling, "oversampling");
      if (factor < 2 || factor > kInt32Max) {
        throw py::value_error("oversampling must be 2 or more fine samples per bin, not " +
                              std::to_string(factor));
      }
      return {RavMethod::OVERSAMPLED, static_cast<std::int32_t>(factor)};
    }
    if (name != "linear" && name != "nearest") {
      throw py::value_error("method must be \"linear\", \"nearest\" or \"oversampled\" (or "
                            "OVERSAMPLING_FACTOR 0, 1 or 2 and more), not " + text_of(method));
    }
    if (!oversampling.is_none()) {
      throw py::value_error("oversampling= goes with method=\"oversampled\" only");
    }
    return {name == "linear" ? RavMethod::LINEAR : RavMethod::NEAREST, 1};
  }
  const long long factor = whole_number(method, "method");
  if (!oversampling.is_none()) {
    throw py::value_error("oversampling= goes with method=\"oversampled\" only; an integer "
                          "method is the oversampling factor itself");
  }
  if (factor < 0 || factor > kInt32Max) {
    throw py::value_error("an OVERSAMPLING_FACTOR must be 0 (linear), 1 (nearest) or 2 and "
                          "more (oversampled), not " + std::to_string(factor));
  }
  return RavMethod::from_factor(static_cast<std::int32_t>(factor));
}

// The one place that maps filter= and padding= onto the core's filter options: windows and
// paddings that RavFilterOptions learns are added here.
FilterChoice filter_argument(const std::string& filter, py::handle padding) {
  FilterChoice choice;
  const std::string name = lower(filter);
  if (name == "none") {
    choice.filtered = false;
  } else if (name != "ramp") {
    throw py::value_error("filter must be \"ramp\" or \"none\" (no filtering), not \"" + filter +
                          "\"");
  }
  if (!padding.is_none()) {
    if (!py::isinstance<py::str>(padding) || lower(padding.cast<std::string>()) != "none") {
      throw py::value_error("padding must be None or \"none\" (zeros up to the transform "
                            "length only), not " + text_of(padding));
    }
  }
  return choice;
}

RavBlock region_argument(py::handle region, std::int32_t bins) {
  if (region.is_none()) return {1, 1, bins, bins};
  if (!py::isinstance<py::sequence>(region) || py::len(region) != 4) {
    throw py::type_error("region must be (first column, last column, first row, last row), "
                         "not " + text_of(region));
  }
  const auto corners = py::reinterpret_borrow<py::sequence>(region);
  long long value[4];
  for (std::size_t n = 0; n < 4; ++n) {
    value[n] = whole_number(corners[n], "a region corner");
    if (value[n] < -kInt32Max || value[n] > kInt32Max) {
      throw py::value_error("region corner out of range: " + std::to_string(value[n]));
    }
  }
  const long long NUM_X = value[1] - value[0] + 1;
  const long long NUM_Y = value[3] - value[2] + 1;
  if (NUM_X > kInt32Max || NUM_Y > kInt32Max) {
    throw py::value_error("region of " + std::to_string(NUM_X) + " x " + std::to_string(NUM_Y) +
                          " pixels is too large");
  }
  // An empty region is left to the geometry's check.
  return {static_cast<std::int32_t>(value[0]), static_cast<std::int32_t>(value[2]),
          static_cast<std::int32_t>(std::max(NUM_X, 0LL)),
          static_cast<std::int32_t>(std::max(NUM_Y, 0LL))};
}

int threads_argument(int threads) {
  if (threads < 0) {
    throw py::value_error("threads must be 0 (all) or more, not " + std::to_string(threads));
  }
  return threads == 0 ? omp_get_max_threads() : threads;
}

void check_geometry(const SinogramStack& stack, float axis, const RavAngles& angles,
                    const RavBlock& block) {
  const std::string problem =
      rav_geometry_problem(stack.bins, stack.projections, axis, angles, block);
  if (!problem.empty()) throw py::value_error(problem);
}
