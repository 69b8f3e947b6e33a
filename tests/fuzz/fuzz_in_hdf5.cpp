// Fuzz target: the HDF5 image reader on arbitrary files: images 0 and 1 of /exchange/data, the
// mean of /exchange/data_white, and the list of /exchange/theta, over a few fixed small regions.
// The reader must answer with a known result and a good status (the file exists and opens) and
// store nothing outside the region it reports.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_files.h"
#include "fuzz_image_reads.h"
#include "rav_in_hdf5.h"

// The HDF5 library (1.10) leaks a few small blocks when it gives up opening a dataset whose
// layout message is damaged (H5Dopen2 -> H5D__layout_oh_read); that is the library's, and is
// left out of the leak check here.
extern "C" const char* __lsan_default_suppressions() { return "leak:libhdf5"; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = rav_fuzz::write_scratch("input.h5", data, size);
  for (std::int64_t image : {0, 1}) {
    rav_fuzz::read_regions({RavImageFormat::HDF5, path, "/exchange/data", image, false});
  }
  rav_fuzz::read_regions({RavImageFormat::HDF5, path, "/exchange/data_white", -1, true});
  std::vector<double> theta;
  std::string problem;
  const bool found = rav_hdf5_values(path, "/exchange/theta", theta, problem);
  RAV_FUZZ_CHECK(found ? problem.empty() : theta.empty());
  rav_close_image_files();
  return 0;
}
