// The module rav_vuzav: its documentation, the translation of the program's fatal errors, and
// the functions of every group.
#include "py_module.h"

PYBIND11_MODULE(rav_vuzav, m) {
  m.doc() = R"(rav_vuzav on numpy arrays: filtered back-projection of parallel-beam sinograms
(reconstruct, filter_sinogram, backproject), the keyword-header image files (read_image,
write_image), whole runs of the program in this process (run, read_parameters), and the synthetic
head phantom (phantom, write_phantom).

Geometry, as the program's: detector bin k (from 1) covers [k-1, k]; slice pixel (i, r) has its
centre at (i - 0.5, r - 0.5); the rotation axis is the point (axis, axis); a pixel centre projects
at angle theta onto u = (i - 0.5 - axis) cos(theta) - (r - 0.5 - axis) sin(theta) + axis.
Sinograms are (angles x bins), slices (rows x columns), float32. The computing releases the GIL
and uses the OpenMP threads (OMP_NUM_THREADS), one slice per thread.)";

  // The program's fatal errors carry its "ERROR: " line; in the core they are all arrays that
  // could not be allocated.
  py::register_exception_translator([](std::exception_ptr pointer) {
    try {
      if (pointer) std::rethrow_exception(pointer);
    } catch (const RavFatalError& error) {
      const std::string text = error.what();
      const bool memory = text.find("allocat") != std::string::npos ||
                          text.find("memory") != std::string::npos;
      PyErr_SetString(memory ? PyExc_MemoryError : PyExc_RuntimeError, text.c_str());
    }
  });

  bind_reconstruct(m);
  bind_images(m);
  bind_run(m);
  bind_phantom(m);
}
