// Fuzz target: the keyword-header image reader on arbitrary files, with a few fixed small
// regions. The reader must answer with a known result and a good status (the file exists and
// opens), store nothing outside the region it reports, and leave the input slot closed.
#include <cstddef>
#include <cstdint>

#include "dax.h"
#include "fuzz_files.h"
#include "fuzz_image_reads.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = rav_fuzz::write_scratch("input.zlf", data, size);
  // The reader's byte order and pixel type carry over from the previous header read; start
  // every input from the same state so that a finding can be replayed.
  rav_in_zelfa_state = RavInZelfaState{};
  rav_fuzz::read_regions({RavImageFormat::KEYWORD_HEADER, path, "", -1, false});
  RAV_FUZZ_CHECK(dax_file_table.ut_file_in_open == 0);
  return 0;
}
