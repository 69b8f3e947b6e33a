// One parameter line: "KEYWORD = VALUE" sets the field named by the keyword.
#include <array>
#include <string>
#include <variant>
#include <vector>

#include "rav.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_PARSE_LINE V0.11";
constexpr std::int32_t kMaxTokens = 10;
constexpr std::size_t kKeywordLength = 30;
constexpr std::size_t kShownValue = 70;  // characters of a bad value shown in the message

constexpr float kMicrometre = 1.0E-6F;
constexpr float kDegree = 0.017453292F;

// A real field and the factor that turns the file's unit into the stored one.
struct RealField {
  float ParameterSet::*field;
  float factor;
};
// A text field and its declared length.
struct TextField {
  std::string ParameterSet::*field;
  std::size_t length;
};
using Target = std::variant<std::int32_t ParameterSet::*, RealField, bool ParameterSet::*, TextField>;

struct Keyword {
  std::string_view name;
  Target target;
};

using P = ParameterSet;
const std::array kKeywords = std::to_array<Keyword>({
    {"FILE_PREFIX", TextField{&P::FILE_PREFIX, RAV_LONG_TEXT}},
    {"SINOGRAM_PREFIX", TextField{&P::FILE_PREFIX, RAV_LONG_TEXT}},
    {"NUM_FIRST_IMAGE", &P::NUM_FIRST_IMAGE},
    {"NUM_FIRST_SINOGRAM", &P::NUM_FIRST_IMAGE},
    {"NUM_LAST_IMAGE", &P::NUM_LAST_IMAGE},
    {"NUM_LAST_SINOGRAM", &P::NUM_LAST_IMAGE},
    {"FILE_INTERVAL", &P::FILE_INTERVAL},
    {"SINOGRAM_INTERVAL", &P::FILE_INTERVAL},
    {"NUMBER_LENGTH_VARIES", &P::NUMBER_LENGTH_VARIES},
    {"LENGTH_OF_NUMERICAL_PART", &P::LENGTH_OF_NUMERICAL_PART},
    {"FILE_POSTFIX", TextField{&P::FILE_POSTFIX, RAV_SHORT_TEXT}},
    {"SINOGRAM_POSTFIX", TextField{&P::FILE_POSTFIX, RAV_SHORT_TEXT}},
    {"NUM_IMAGE_1", &P::NUM_IMAGE_1},
    {"NUM_IMAGE_2", &P::NUM_IMAGE_2},
    {"IMAGE_PIXEL_SIZE_1", RealField{&P::IMAGE_PIXEL_SIZE_1, kMicrometre}},
    {"IMAGE_PIXEL_SIZE_2", RealField{&P::IMAGE_PIXEL_SIZE_2, kMicrometre}},
    {"SUBTRACT_BACKGROUND", &P::SUBTRACT_BACKGROUND},
    {"BACKGROUND_FILE", TextField{&P::BACKGROUND_FILE, RAV_LONG_TEXT}},
    {"CORRECT_FLATFIELD", &P::CORRECT_FLATFIELD},
    {"FLATFIELD_CHANGING", &P::FLATFIELD_CHANGING},
    {"FLATFIELD_FILE", TextField{&P::FLATFIELD_FILE, RAV_LONG_TEXT}},
    {"FF_NUM_FIRST_IMAGE", &P::FF_NUM_FIRST_IMAGE},
    {"FF_NUM_LAST_IMAGE", &P::FF_NUM_LAST_IMAGE},
    {"FF_FILE_INTERVAL", &P::FF_FILE_INTERVAL},
    {"FF_PREFIX", TextField{&P::FF_PREFIX, RAV_LONG_TEXT}},
    {"FF_NUMBER_LENGTH_VARIES", &P::FF_NUMBER_LENGTH_VARIES},
    {"FF_LENGTH_OF_NUMERICAL_PART", &P::FF_LENGTH_OF_NUMERICAL_PART},
    {"FF_POSTFIX", TextField{&P::FF_POSTFIX, RAV_SHORT_TEXT}},
    {"TAKE_LOGARITHM", &P::TAKE_LOGARITHM},
    {"ANGLE_OFFSET", RealField{&P::ANGLE_OFFSET, kDegree}},
    {"ANGLE_BETWEEN_PROJECTIONS", RealField{&P::ANGLE_BETWEEN_PROJECTIONS, kDegree}},
    {"ROTATION_VERTICAL", &P::ROTATION_VERTICAL},
    {"OUTPUT_SINOGRAMS", &P::OUTPUT_SINOGRAMS},
    {"OUTPUT_RECONSTRUCTION", &P::OUTPUT_RECONSTRUCTION},
    {"ROTATION_AXIS_POSITION", RealField{&P::ROTATION_AXIS_POSITION, 1.0F}},
    {"OVERSAMPLING_FACTOR", &P::OVERSAMPLING_FACTOR},
    {"CACHE_KILOBYTES", &P::CACHE_KILOBYTES},
    {"SINOGRAM_MEGABYTES", &P::SINOGRAM_MEGABYTES},
    {"OUTPUT_FILE", TextField{&P::OUTPUT_FILE, RAV_LONG_TEXT}},
    {"DISPLAY_GRAPHICS", &P::DISPLAY_GRAPHICS},
    {"START_VOXEL_1", &P::START_VOXEL_1},
    {"START_VOXEL_2", &P::START_VOXEL_2},
    {"START_VOXEL_3", &P::START_VOXEL_3},
    {"END_VOXEL_1", &P::END_VOXEL_1},
    {"END_VOXEL_2", &P::END_VOXEL_2},
    {"END_VOXEL_3", &P::END_VOXEL_3},
    {"RECONSTRUCT_FROM_SINOGRAMS", &P::RECONSTRUCT_FROM_SINOGRAMS},
    // Input and output formats.
    {"INPUT_FORMAT", TextField{&P::INPUT_FORMAT, RAV_SHORT_TEXT}},
    {"STACK_FILE", TextField{&P::STACK_FILE, RAV_LONG_TEXT}},
    {"HDF5_DATASET", TextField{&P::HDF5_DATASET, RAV_LONG_TEXT}},
    {"HDF5_WHITE_DATASET", TextField{&P::HDF5_WHITE_DATASET, RAV_LONG_TEXT}},
    {"HDF5_DARK_DATASET", TextField{&P::HDF5_DARK_DATASET, RAV_LONG_TEXT}},
    {"ANGLES_FROM_FILE", &P::ANGLES_FROM_FILE},
    {"OUTPUT_FORMAT", TextField{&P::OUTPUT_FORMAT, RAV_SHORT_TEXT}},
});

const Keyword* find_keyword(std::string_view name) {
  for (const Keyword& keyword : kKeywords) {
    if (keyword.name == name) return &keyword;
  }
  return nullptr;
}

void report_bad_value(const std::string& keyword, const std::string& value,
                      std::int32_t& status) {
  UT_WRITE("ERROR: Problem interpreting value associated keyword: " +
               keyword.substr(0, static_cast<std::size_t>(SLEN(keyword))),
           status);
  UT_WRITE("       Value = " + value.substr(0, kShownValue), status);
}
}  // namespace

void RAV_PARSE_LINE(std::string_view line, std::int32_t& retstat, ParameterSet& parameters,
                    std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;

  bool all_stored = true;
  std::int32_t num_tokens = 0;
  std::vector<std::string> tokens;
  UT_TOKENS(line, kMaxTokens, all_stored, num_tokens, tokens, status);
  if (st_bad(status, kRoutine)) return;

  // A keyword and "=" without a value sets nothing.
  if (num_tokens < 3 || tokens[1] != "=") return;
  const std::string keyword = tokens[0].substr(0, kKeywordLength);
  const std::string& value = tokens[2];

  const Keyword* match = find_keyword(keyword);
  if (match == nullptr) return;
  if (UT_UPPER(value) == "N.A.") return;

  bool ok = true;
  if (const auto* integer = std::get_if<std::int32_t ParameterSet::*>(&match->target)) {
    std::int32_t converted = 0;
    UT_TOKTI(value, ok, converted, status);
    if (st_bad(status, kRoutine)) return;
    if (ok) parameters.*(*integer) = converted;
  } else if (const auto* real = std::get_if<RealField>(&match->target)) {
    float converted = 0.0F;
    UT_TOKTR(value, ok, converted, status);
    if (st_bad(status, kRoutine)) return;
    if (ok) parameters.*(real->field) = real->factor == 1.0F ? converted : converted * real->factor;
  } else if (const auto* logical = std::get_if<bool ParameterSet::*>(&match->target)) {
    parameters.*(*logical) = value == "YES";
  } else {
    const TextField& text = std::get<TextField>(match->target);
    parameters.*(text.field) = value.substr(0, text.length);
  }

  if (!ok) {
    report_bad_value(keyword, value, status);
    retstat = 1;
  }
}
