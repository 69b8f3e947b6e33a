// run and read_parameters: the whole program, and its parameter reader, inside the Python
// process. What the program prints is captured and returned (run) or raised (read_parameters).
#include <pybind11/stl.h>

#include <vector>

#include "py_module.h"
#include "rav.h"
#include "ut.h"

namespace {

py::tuple run(const std::string& parameter_file, const std::vector<std::string>& args) {
  flush_python_output();
  int code = 1;
  std::string transcript;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(program_state_lock());
    fresh_program_state();
    std::vector<std::string> words{"rav_vuzav", parameter_file};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    StdoutCapture capture;
    // The entry sets up the status system afresh and catches the run's fatal errors itself
    // (their message ends the transcript, the code is 1): nothing of a run ends the process.
    code = RAV_VUZAV(static_cast<int>(words.size()), argv.data());
    transcript = capture.finish();
    ut_set_command_line(0, nullptr);
  }
  return py::make_tuple(code, transcript);
}

// Every field of the parameter set, by its keyword's name.
#define RAV_PARAMETER_FIELDS(X)                                                                  \
  X(FILE_PREFIX) X(NUM_FIRST_IMAGE) X(NUM_LAST_IMAGE) X(FILE_INTERVAL) X(NUMBER_LENGTH_VARIES)   \
  X(LENGTH_OF_NUMERICAL_PART) X(FILE_POSTFIX) X(NUM_IMAGE_1) X(NUM_IMAGE_2)                      \
  X(IMAGE_PIXEL_SIZE_1) X(IMAGE_PIXEL_SIZE_2) X(SUBTRACT_BACKGROUND) X(BACKGROUND_FILE)          \
  X(CORRECT_FLATFIELD) X(FLATFIELD_CHANGING) X(FLATFIELD_FILE) X(FF_NUM_FIRST_IMAGE)             \
  X(FF_NUM_LAST_IMAGE) X(FF_FILE_INTERVAL) X(FF_PREFIX) X(FF_NUMBER_LENGTH_VARIES)               \
  X(FF_LENGTH_OF_NUMERICAL_PART) X(FF_POSTFIX) X(TAKE_LOGARITHM) X(ANGLE_OFFSET)                 \
  X(ANGLE_BETWEEN_PROJECTIONS) X(ROTATION_VERTICAL) X(OUTPUT_SINOGRAMS)                          \
  X(OUTPUT_RECONSTRUCTION) X(ROTATION_AXIS_POSITION) X(OVERSAMPLING_FACTOR) X(CACHE_KILOBYTES)   \
  X(SINOGRAM_MEGABYTES) X(OUTPUT_FILE) X(DISPLAY_GRAPHICS) X(START_VOXEL_1) X(START_VOXEL_2)    \
  X(START_VOXEL_3) X(END_VOXEL_1) X(END_VOXEL_2) X(END_VOXEL_3) X(RECONSTRUCT_FROM_SINOGRAMS)

py::dict read_parameters(const std::string& parameter_file) {
  flush_python_output();
  ParameterSet p;
  std::int32_t retstat = 0;
  std::string transcript;
  {
    py::gil_scoped_release release;
    std::lock_guard<std::mutex> lock(program_state_lock());
    std::int32_t status;
    ST_DEF_SYSTEM(status);
    StdoutCapture capture;
    RAV_READ_PARAMETERS(parameter_file, retstat, p, status);
    transcript = capture.finish();
    ST_DEF_SYSTEM(status);
  }
  if (retstat == 2) {
    throw py::value_error(parameter_file + ": the first line is not \"! RAV_VUZAV PARAMETER "
                          "FILE\" (or the file is empty)");
  }
  if (retstat != 0) throw py::value_error(parameter_file + ":\n" + message_lines(transcript));
  py::dict fields;
#define RAV_PARAMETER_ENTRY(name) fields[#name] = p.name;
  RAV_PARAMETER_FIELDS(RAV_PARAMETER_ENTRY)
#undef RAV_PARAMETER_ENTRY
  return fields;
}

}  // namespace

void bind_run(py::module_& m) {
  m.def("run", &run, py::arg("parameter_file"), py::arg("args") = std::vector<std::string>(),
        R"(Runs the program on a parameter file inside this process, exactly as
"rav_vuzav PARAMETER_FILE ARGS..." would, and returns (exit code, transcript): the code the
program would exit with (0 done, 1 failed) and everything it wrote to standard output. A fatal
error of the run (memory, an output file that cannot be written...) ends the run, not the
process: its "ERROR: " line ends the transcript and the code is 1. ARGS are the program's further
command-line words, e.g. ["+PNG"] to write pictures instead of opening a window. Runs one at a
time; while one runs, anything else written to this process's standard output lands in its
transcript.)");
  m.def("read_parameters", &read_parameters, py::arg("parameter_file"),
        R"(The values of a parameter file as the program reads them, as a dict keyed by keyword:
angles in radians and pixel sizes in metres, every value as the program holds it (reals in
single precision), so that reconstruct(s, (p["ANGLE_OFFSET"], p["ANGLE_BETWEEN_PROJECTIONS"]),
p["ROTATION_AXIS_POSITION"], method=p["OVERSAMPLING_FACTOR"]) computes what the program
computes. ValueError, with the program's messages, for a file it would not run.)");
}
