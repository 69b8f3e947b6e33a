// A few projections of a scan read and corrected as a pass of the worker reads them.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "master.h"
#include "rav_allocate.h"
#include "rav_axis_run.h"
#include "rav_drivers.h"
#include "ut.h"

namespace {
// The worker's progress lines while a sample is read are not news to the user: standard output
// is set aside for as long as the object lives.
class QuietOutput {
 public:
  QuietOutput() {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      ::close(null);
    }
  }
  ~QuietOutput() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      ::dup2(saved_, STDOUT_FILENO);
      ::close(saved_);
    }
  }
  QuietOutput(const QuietOutput&) = delete;
  QuietOutput& operator=(const QuietOutput&) = delete;

 private:
  int saved_ = -1;
};
}  // namespace

std::vector<float> master_read_sample(const ParameterSet& p, std::int32_t first, std::int32_t step,
                                      std::int32_t count, std::int32_t FIRST_SLICE,
                                      std::int32_t LAST_SLICE) {
  ParameterSet some = p;
  some.OUTPUT_SINOGRAMS = false;
  some.DISPLAY_GRAPHICS = false;
  some.NUM_FIRST_IMAGE = p.NUM_FIRST_IMAGE + first * p.FILE_INTERVAL;
  some.FILE_INTERVAL = step * p.FILE_INTERVAL;
  some.NUM_LAST_IMAGE = some.NUM_FIRST_IMAGE + (count - 1) * some.FILE_INTERVAL;
  if (p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING) {
    // A sample of the scan does not follow the changes: its first flat field stands for all.
    bool overflow = false;
    std::int32_t status = ST_OK;
    UT_FILENAME(p.FF_PREFIX, p.FF_NUM_FIRST_IMAGE, !p.FF_NUMBER_LENGTH_VARIES,
                p.FF_LENGTH_OF_NUMERICAL_PART, p.FF_POSTFIX, overflow, some.FLATFIELD_FILE,
                status);
    some.FLATFIELD_CHANGING = false;
  }
  SinogramPass pass;
  pass.FIRST_SLICE = FIRST_SLICE;
  pass.LAST_SLICE = LAST_SLICE;
  pass.NUM_BINS = p.ROTATION_VERTICAL ? p.NUM_IMAGE_1 : p.NUM_IMAGE_2;
  pass.NUM_PROJECTIONS = count;
  pass.SLICES_PER_PASS = LAST_SLICE - FIRST_SLICE + 1;
  pass.DATA_DIM_1 = p.ROTATION_VERTICAL ? pass.NUM_BINS : pass.SLICES_PER_PASS;
  pass.DATA_DIM_2 = p.ROTATION_VERTICAL ? pass.SLICES_PER_PASS : pass.NUM_BINS;
  std::vector<float> sinograms;
  try {
    const QuietOutput quiet;
    ImageBuffers images;
    rav_allocate_images(some, std::int64_t{pass.DATA_DIM_1} * pass.DATA_DIM_2, images);
    rav_allocate(sinograms,
                 std::int64_t{pass.NUM_BINS} * pass.NUM_PROJECTIONS * pass.SLICES_PER_PASS,
                 "ERROR: Failed to allocate memory for storing the sinograms");
    ReconTimes times;
    std::int32_t status = ST_OK;
    RAV_CREATE_SINOGRAMS(some, pass, times, images, sinograms, status);
    if (status != ST_OK) sinograms.clear();
  } catch (const RavFatalError& e) {
    std::int32_t status = ST_OK;
    UT_WRITE(e.what(), status);
    sinograms.clear();
  }
  return sinograms;
}
