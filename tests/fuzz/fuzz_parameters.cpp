// Fuzz target: the parameter file reader on arbitrary bytes. Whatever the file holds, the
// reader must end with a known result, a good status and text fields within their lengths.
#include <cstddef>
#include <cstdint>

#include "fuzz_files.h"
#include "rav.h"
#include "ut.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = rav_fuzz::write_scratch("input.par", data, size);
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  ParameterSet parameters;
  std::int32_t retstat = -1;
  RAV_READ_PARAMETERS(path, retstat, parameters, status);
  RAV_FUZZ_CHECK(status == ST_OK);
  RAV_FUZZ_CHECK(retstat == 0 || retstat == 1 || retstat == 2);
  for (const std::string* text : {&parameters.FILE_PREFIX, &parameters.BACKGROUND_FILE,
                                  &parameters.FLATFIELD_FILE, &parameters.FF_PREFIX,
                                  &parameters.OUTPUT_FILE}) {
    RAV_FUZZ_CHECK(text->size() <= RAV_LONG_TEXT);
  }
  RAV_FUZZ_CHECK(parameters.FILE_POSTFIX.size() <= RAV_SHORT_TEXT);
  RAV_FUZZ_CHECK(parameters.FF_POSTFIX.size() <= RAV_SHORT_TEXT);

  // The same bytes as one parameter line.
  std::string line(reinterpret_cast<const char*>(data), size);
  std::int32_t line_retstat = 0;
  ParameterSet from_line;
  RAV_PARSE_LINE(line, line_retstat, from_line, status);
  RAV_FUZZ_CHECK(status == ST_OK);
  RAV_FUZZ_CHECK(line_retstat == 0 || line_retstat == 1);
  return 0;
}
