// find_axis: the rotation axis of sinograms, by the finder the program uses for
// ROTATION_AXIS_POSITION = AUTO.
#include <cmath>
#include <string>

#include "py_module.h"
#include "rav_axis.h"

namespace {

const char* method_name(RavAxisMethod method) {
  switch (method) {
    case RavAxisMethod::MIRRORED_PAIRS:
      return "mirrored_pairs";
    case RavAxisMethod::CENTROIDS:
      return "centroids";
    case RavAxisMethod::NONE:
      break;
  }
  return "none";
}

py::object optional_number(double value) {
  return std::isnan(value) ? py::object(py::none()) : py::object(py::float_(value));
}

py::dict find_axis(const py::object& sinograms, const py::object& angles,
                   const py::object& min_axis, const py::object& max_axis) {
  const SinogramStack stack = sinogram_stack(sinograms);
  const RavAngles list = angles_argument(angles);
  RavAxisOptions options;
  if (!min_axis.is_none()) options.min_axis = min_axis.cast<double>();
  if (!max_axis.is_none()) options.max_axis = max_axis.cast<double>();
  if (!list.list.empty() && std::ssize(list.list) != stack.projections) {
    throw py::value_error("angles holds " + std::to_string(list.list.size()) +
                          " angles for sinograms of " + std::to_string(stack.projections) +
                          " projections");
  }
  RavAxisResult found;
  {
    py::gil_scoped_release release;
    found = rav_find_axis({stack.data(), static_cast<std::size_t>(stack.slices) *
                                             stack.projections * stack.bins},
                          static_cast<std::int32_t>(stack.slices), stack.bins, stack.projections,
                          list, options);
  }
  py::dict result;
  result["axis"] = found.decided ? py::object(py::float_(found.axis)) : py::object(py::none());
  result["method"] = method_name(found.decided ? found.method : RavAxisMethod::NONE);
  result["confidence"] = found.confidence;
  result["pairs"] = found.pairs;
  result["rows"] = found.rows;
  result["check"] = optional_number(found.check);
  result["reason"] = found.reason;
  return result;
}

}  // namespace

void bind_axis(py::module_& m) {
  m.def("find_axis", &find_axis, py::arg("sinograms"), py::arg("angles"),
        py::arg("min_axis") = py::none(), py::arg("max_axis") = py::none(),
        R"(The rotation axis of one sinogram (angles x bins) or a stack, as the program finds it
for ROTATION_AXIS_POSITION = AUTO: by the registration of projections 180 degrees apart with
their mirrored partners where the angles hold such pairs (checked by the centroids), else from
the centroids of the projections (the sample must stay inside the field of view).

angles: radians, as for reconstruct. min_axis, max_axis: the range searched, in detector
coordinates (default: where a projection and its mirrored partner overlap over a quarter of the
detector or more).

Returns a dict: "axis" (ROTATION_AXIS_POSITION, or None when the data do not decide it),
"method" ("mirrored_pairs", "centroids" or "none"), "confidence" (0 to 1), "pairs" and "rows"
used, "check" (the centroids' answer beside the pairs', or None) and "reason" (why it was not
decided; empty when it was).)");
}
