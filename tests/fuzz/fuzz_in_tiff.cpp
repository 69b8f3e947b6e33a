// Fuzz target: the TIFF image reader on arbitrary files: the first page as a file's own image,
// the second page of a stack, and the mean of all pages, over a few fixed small regions. The
// reader must answer with a known result and a good status (the file exists and opens), store
// nothing outside the region it reports, and never print through libtiff.
#include <cstddef>
#include <cstdint>

#include "fuzz_files.h"
#include "fuzz_image_reads.h"
#include "rav_in_tiff.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = rav_fuzz::write_scratch("input.tif", data, size);
  for (std::int64_t page : {-1, 1}) {
    rav_fuzz::read_regions({RavImageFormat::TIFF, path, "", page, false});
  }
  rav_fuzz::read_regions({RavImageFormat::TIFF, path, "", -1, true});
  rav_close_image_files();
  rav_tiff_forget_pages();  // the next input comes under the same name
  return 0;
}
