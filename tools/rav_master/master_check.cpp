// rav_master --check FILE.par: every problem the worker would meet with the file (its own
// reading and checks, then every input image's header), and an estimate of the run.
#include <cstdlib>

#include "master.h"
#include "rav_drivers.h"
#include "ut.h"

namespace {
void message(const std::string& line) {
  std::int32_t status = ST_OK;
  UT_WRITE(line, status);
}

std::string numbered(const std::string& prefix, std::int32_t number, bool varies,
                     std::int32_t length, const std::string& postfix) {
  std::string name;
  bool overflow = false;
  std::int32_t status = ST_OK;
  UT_FILENAME(prefix, number, !varies, length, postfix, overflow, name, status);
  return name;
}

// The input images of P: the projections (or stored sinograms), the background, the flat fields.
std::vector<std::string> input_images(const ParameterSet& p) {
  std::vector<std::string> names;
  const std::int64_t step = p.FILE_INTERVAL;
  for (std::int64_t n = p.NUM_FIRST_IMAGE; step > 0 ? n <= p.NUM_LAST_IMAGE : n >= p.NUM_LAST_IMAGE;
       n += step) {
    names.push_back(numbered(p.FILE_PREFIX, static_cast<std::int32_t>(n), p.NUMBER_LENGTH_VARIES,
                             p.LENGTH_OF_NUMERICAL_PART, p.FILE_POSTFIX));
  }
  if (p.RECONSTRUCT_FROM_SINOGRAMS) return names;
  if (p.SUBTRACT_BACKGROUND) names.push_back(p.BACKGROUND_FILE);
  if (p.CORRECT_FLATFIELD && !p.FLATFIELD_CHANGING) names.push_back(p.FLATFIELD_FILE);
  if (p.CORRECT_FLATFIELD && p.FLATFIELD_CHANGING) {
    for (std::int64_t n = p.FF_NUM_FIRST_IMAGE; n <= p.FF_NUM_LAST_IMAGE; n += p.FF_FILE_INTERVAL) {
      names.push_back(numbered(p.FF_PREFIX, static_cast<std::int32_t>(n), p.FF_NUMBER_LENGTH_VARIES,
                               p.FF_LENGTH_OF_NUMERICAL_PART, p.FF_POSTFIX));
    }
  }
  return names;
}

// Every input image readable and of NUM_IMAGE_1 x NUM_IMAGE_2 pixels; the number of problems.
std::int64_t check_images(const ParameterSet& p) {
  constexpr std::int64_t kShown = 10;
  std::int64_t problems = 0;
  for (const std::string& name : input_images(p)) {
    MasterImageHeader h;
    std::string problem;
    if (master_read_header(name, h, problem)) {
      if (h.DIM_1 == p.NUM_IMAGE_1 && h.DIM_2 == p.NUM_IMAGE_2) continue;
      problem = name + " has " + std::to_string(h.DIM_1) + " x " + std::to_string(h.DIM_2) +
                " pixels, NUM_IMAGE_1 x NUM_IMAGE_2 = " + std::to_string(p.NUM_IMAGE_1) + " x " +
                std::to_string(p.NUM_IMAGE_2);
    }
    if (++problems <= kShown) message("ERROR: " + problem);
  }
  if (problems > kShown) {
    message("ERROR: ... and " + std::to_string(problems - kShown) + " more input images");
  }
  return problems;
}
}  // namespace

int master_check(const std::string& parameter_file) {
  ParameterSet p;
  std::int32_t retstat = 0, status = ST_OK;
  RAV_READ_PARAMETERS(parameter_file, retstat, p, status);
  if (retstat == 2 || (retstat == 1 && p.PARAMETER_FILE.empty())) return 1;
  std::int64_t problems = retstat != 0 ? 1 : 0;
  const bool sinograms = p.RECONSTRUCT_FROM_SINOGRAMS;
  status = ST_OK;
  const bool usable = RAV_CHECK_PARAMETERS(p, sinograms, status);
  problems += usable ? 0 : 1;
  status = ST_OK;
  problems += rav_check_outputs(p, sinograms, status) ? 0 : 1;
  if (usable) problems += check_images(p);
  if (problems > 0) {
    message("ERROR: " + parameter_file + ": " + std::to_string(problems) +
            (problems == 1 ? " problem" : " problems") + " that the worker would meet");
    return 1;
  }
  message("INFO: " + parameter_file + ": the worker accepts it and can read every input image");
  return master_estimate(p) ? 0 : 1;
}
