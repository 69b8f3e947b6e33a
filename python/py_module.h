// The Python module rav_vuzav: what its files share. Each file binds one group of functions
// (bind_...); the arguments of the reconstruction are read in py_arguments.cpp, the console of
// the program's routines is captured in py_console.cpp.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstdint>
#include <exception>
#include <mutex>
#include <string>

#include "rav_core.h"

namespace py = pybind11;

void bind_reconstruct(py::module_& m);
void bind_images(py::module_& m);
void bind_run(py::module_& m);
void bind_phantom(py::module_& m);

// Runs BODY(i) for i = 0 .. COUNT-1 on THREADS threads (OpenMP), never more threads than
// there is work for (idle team members would spin beside the busy ones); the first exception
// thrown is rethrown once all have finished, since none may leave the parallel region.
template <typename Body>
void parallel_for(std::int64_t count, int threads, Body body) {
  if (count <= 0) return;
  const int team = static_cast<int>(count < threads ? count : (threads > 1 ? threads : 1));
  std::exception_ptr failure;
#pragma omp parallel for schedule(static, 1) num_threads(team)
  for (std::int64_t i = 0; i < count; ++i) {
    try {
      body(i);
    } catch (...) {
#pragma omp critical(rav_python_failure)
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------------------------
// Arguments of the reconstruction functions.

// A C-contiguous float32 view of one sinogram (angles x bins) or a stack of them
// (slices x angles x bins): the caller's own array when it already is one, a converted copy
// otherwise. Never written to.
struct SinogramStack {
  py::array_t<float, py::array::c_style | py::array::forcecast> array;
  bool single = false;  // one sinogram (2-D)
  std::int64_t slices = 0;
  std::int32_t projections = 0, bins = 0;
  const float* data() const { return array.data(); }
};
SinogramStack sinogram_stack(py::handle sinograms);

// ANGLES: a tuple (start, step) in radians (projection j at start + j·step, formed as the
// program forms them), or one angle per projection (radians).
RavAngles angles_argument(py::handle angles);

// METHOD: "linear", "nearest" or "oversampled" (with OVERSAMPLING fine samples per bin, 4 when
// None), or the parameter file's OVERSAMPLING_FACTOR as an integer (0, 1, or 2 and more).
RavMethod method_argument(py::handle method, py::handle oversampling);

// What filter= and padding= ask for: no filter at all, or the filter of OPTIONS.
struct FilterChoice {
  bool filtered = true;
  RavFilterOptions options;
};
FilterChoice filter_argument(const std::string& filter, py::handle padding);

// REGION: None for the square of the detector's width, or (first column, last column,
// first row, last row), 1-based and inclusive like START_VOXEL_1, END_VOXEL_1, START_VOXEL_2,
// END_VOXEL_2.
RavBlock region_argument(py::handle region, std::int32_t bins);

// THREADS: 0 for the OpenMP runtime's count (as the program), otherwise that many.
int threads_argument(int threads);

// ValueError with the core's description of what is wrong with these arguments, if anything.
void check_geometry(const SinogramStack& stack, float axis, const RavAngles& angles,
                    const RavBlock& block);

// ---------------------------------------------------------------------------------------------
// The program's console and process-wide state.

// Held by every call that uses the program's process-wide state (the status system, the file
// slots, the image reader's state, standard output). Take it with the GIL released.
std::mutex& program_state_lock();

// Flushes Python's sys.stdout and sys.stderr (call with the GIL held), so that what Python has
// buffered is not taken into a transcript nor written after it.
void flush_python_output();

// Standard output, at the descriptor, into a temporary file from construction to finish() (or
// destruction), with stdio flushed at both ends: everything the program's routines print.
class StdoutCapture {
 public:
  StdoutCapture();
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;
  // Restores standard output and returns what was written to it.
  std::string finish();

 private:
  int saved_ = -1;
  int file_ = -1;
};

// The state a run of the program starts from in a process of its own: the image reader's byte
// order and pixel type as at start-up, no file left open. Call with program_state_lock() held.
void fresh_program_state();

// Raises the OSError (FileNotFoundError, PermissionError, IsADirectoryError, ...) that explains
// why FILE_NAME could not be opened for reading or writing, with WHAT in front.
[[noreturn]] void raise_os_error(const std::string& file_name, bool writing,
                                 const std::string& what);

// The "ERROR: " / "WARNING: " / "INFO: " lines of a transcript, joined, without its other lines.
std::string message_lines(const std::string& transcript);
