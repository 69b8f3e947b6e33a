// Which reader each image of a run goes through: the projections (or stored sinograms) of the
// series, and the background and flat fields.
#include <string>

#include "rav_input_output.h"
#include "ut.h"

namespace {

std::string trimmed(const std::string& text) {
  return text.substr(0, static_cast<std::size_t>(SLEN(text)));
}

}  // namespace

RavImageFormat rav_input_format(const ParameterSet& p, std::string_view name) {
  RavImageFormat format = RavImageFormat::KEYWORD_HEADER;
  if (!trimmed(p.INPUT_FORMAT).empty() && rav_image_format_named(p.INPUT_FORMAT, format)) {
    return format;
  }
  return rav_image_format_of(name);
}

RavImageSource rav_series_image(const ParameterSet& p, std::int32_t number, std::int32_t& status) {
  RavImageSource source;
  source.dataset = trimmed(p.HDF5_DATASET);
  const std::string stack = trimmed(p.STACK_FILE);
  if (!stack.empty()) {
    source.file = stack;
    source.index = number;
  } else {
    bool overflow = false;
    UT_FILENAME(p.FILE_PREFIX, number, !p.NUMBER_LENGTH_VARIES, p.LENGTH_OF_NUMERICAL_PART,
                p.FILE_POSTFIX, overflow, source.file, status);
    source.file = trimmed(source.file);
  }
  source.format = rav_input_format(p, source.file);
  return source;
}

RavImageSource rav_reference_image(const ParameterSet& p, const std::string& name, bool white) {
  RavImageSource source;
  source.file = trimmed(name);
  const std::string stack = trimmed(p.STACK_FILE);
  if (source.file.empty() && rav_input_format(p, stack) == RavImageFormat::HDF5) {
    source.file = stack;
  }
  source.format = rav_input_format(p, source.file);
  source.dataset = trimmed(white ? p.HDF5_WHITE_DATASET : p.HDF5_DARK_DATASET);
  source.average = source.format != RavImageFormat::KEYWORD_HEADER;
  return source;
}
