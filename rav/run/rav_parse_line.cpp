// One parameter line: "KEYWORD = VALUE" sets the field named by the keyword.
#include <algorithm>
#include <array>
#include <span>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "rav.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_PARSE_LINE V0.11";
constexpr std::size_t kMaxValue = 132;   // characters of a token, and so of any value
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
// ROTATION_AXIS_POSITION: a real, or AUTO to have the axis found.
struct AxisField {};
// AXIS_SWEEP: three reals on the line, FIRST LAST STEP.
struct SweepField {};
using Target = std::variant<std::int32_t ParameterSet::*, RealField, bool ParameterSet::*,
                            TextField, AxisField, SweepField>;

struct Keyword {
  std::string_view name;
  Target target;
};

using P = ParameterSet;
const std::array<Keyword, 49> kKeywords{{
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
    {"ROTATION_AXIS_POSITION", AxisField{}},
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
    // The rotation axis: swept, half acquisition (ROTATION_AXIS_POSITION also takes AUTO).
    {"AXIS_SWEEP", SweepField{}},
    {"HALF_ACQUISITION", &P::HALF_ACQUISITION},
}};

// How many value tokens follow "=" for a kind of value: one, unless a kind says otherwise by a
// specialisation (a kind made of several numbers written apart).
template <typename Kind>
constexpr std::size_t kValueTokens = 1;
template <>
constexpr std::size_t kValueTokens<SweepField> = 3;

std::size_t value_tokens(const Target& target) {
  return std::visit([](const auto& kind) { return kValueTokens<std::decay_t<decltype(kind)>>; },
                    target);
}

// The longest value of a kind: a token holds at most 132 characters, a text field no more than
// its declared length.
std::size_t value_limit(const Target& target) {
  const auto* text = std::get_if<TextField>(&target);
  return text != nullptr ? std::min(text->length, kMaxValue) : kMaxValue;
}

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

// A keyword that matches none: a warning, naming the keyword it would be in upper case.
void report_unknown(const std::string& keyword, std::int32_t& status) {
  const std::string upper = UT_UPPER(keyword);
  std::string known;
  for (const Keyword& k : kKeywords) {
    if (k.name == upper) known = upper;
  }
  std::string line = "WARNING: Unknown keyword " + keyword.substr(0, kShownValue) + ": line ignored";
  if (!known.empty()) line += " (keywords are upper case: " + known + ")";
  UT_WRITE(line, status);
}

// The tokens after the value: none, or a comment that starts with "!". Anything else (a second
// word of a name with blanks, the second half of a decimal comma) is reported; false then.
bool nothing_after_value(const std::string& keyword, std::span<const std::string_view> rest,
                         std::int32_t& status) {
  if (rest.empty() || rest.front().front() == '!') return true;
  UT_WRITE("ERROR: Unexpected text after the value of keyword " + keyword + ": " +
               std::string(rest.front().substr(0, kShownValue)),
           status);
  UT_WRITE("       A value cannot hold blanks, commas or tabs (write 8.5, not 8,5);", status);
  UT_WRITE("       a note after a value must start with \"!\"", status);
  return false;
}

// False (reported) when a value token is longer than the kind allows.
bool value_fits(const std::string& keyword, std::string_view value, std::size_t limit,
                std::int32_t& status) {
  if (value.size() <= limit) return true;
  UT_WRITE("ERROR: Value too long for keyword " + keyword + ": " +
               std::to_string(value.size()) + " characters, the limit is " +
               std::to_string(limit),
           status);
  UT_WRITE("       Value = " + std::string(value.substr(0, kShownValue)) + " ...", status);
  return false;
}

// The values of ROTATION_AXIS_POSITION (a real, or AUTO) and AXIS_SWEEP (three reals: the
// first and last trial axis and the step). The index of the value that cannot be read, or the
// number of values when all were stored.
std::size_t store_axis_value(const Target& target, std::span<const std::string_view> values,
                             ParameterSet& parameters, std::int32_t& status) {
  if (std::holds_alternative<AxisField>(target) && UT_UPPER(std::string(values.front())) == "AUTO") {
    parameters.ROTATION_AXIS_AUTO = true;
    return values.size();
  }
  float read[3] = {};
  for (std::size_t n = 0; n < values.size(); ++n) {
    bool ok = true;
    UT_TOKTR(std::string(values[n]), ok, read[n], status);
    if (!ok) return n;
  }
  if (std::holds_alternative<AxisField>(target)) {
    parameters.ROTATION_AXIS_POSITION = read[0];
    parameters.ROTATION_AXIS_AUTO = false;
  } else {
    parameters.AXIS_SWEEP = {true, read[0], read[1], read[2]};
  }
  return values.size();
}

// Stores VALUES into the field of TARGET. The index of the value that cannot be interpreted, or
// the number of values when all were stored.
std::size_t store_value(const Target& target, std::span<const std::string_view> values,
                        ParameterSet& parameters, std::int32_t& status) {
  const std::string value(values.front());
  bool ok = true;
  if (std::holds_alternative<AxisField>(target) || std::holds_alternative<SweepField>(target)) {
    return store_axis_value(target, values, parameters, status);
  }
  if (const auto* integer = std::get_if<std::int32_t ParameterSet::*>(&target)) {
    std::int32_t converted = 0;
    UT_TOKTI(value, ok, converted, status);
    if (ok) parameters.*(*integer) = converted;
  } else if (const auto* real = std::get_if<RealField>(&target)) {
    float converted = 0.0F;
    UT_TOKTR(value, ok, converted, status);
    if (ok) parameters.*(real->field) = real->factor == 1.0F ? converted : converted * real->factor;
  } else if (const auto* logical = std::get_if<bool ParameterSet::*>(&target)) {
    // YES or NO, in any case; anything else is not taken for either.
    const std::string word = UT_UPPER(value);
    ok = word == "YES" || word == "NO";
    if (ok) parameters.*(*logical) = word == "YES";
  } else {
    const TextField& text = std::get<TextField>(target);
    parameters.*(text.field) = value.substr(0, text.length);
  }
  return ok ? values.size() : 0;
}
}  // namespace

void RAV_PARSE_LINE(std::string_view line, std::int32_t& retstat, ParameterSet& parameters,
                    std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;

  // The tokens whole: a value cut to the tokenizer's length would be stored silently cut.
  const std::vector<std::string_view> tokens = ut_split_tokens(line);
  if (tokens.empty()) return;
  if (tokens.size() < 2 || tokens[1] != "=") {
    UT_WRITE("WARNING: Line ignored, \" = \" (with blanks around it) does not follow its "
             "first word:",
             status);
    UT_WRITE("         " + std::string(line.substr(0, static_cast<std::size_t>(SLEN(line))))
                               .substr(0, kShownValue),
             status);
    return;
  }
  const std::string keyword(tokens[0]);
  const Keyword* match = find_keyword(keyword);
  if (match == nullptr) {
    report_unknown(keyword, status);
    return;
  }
  const std::size_t count = value_tokens(match->target);
  if (tokens.size() == 2) {
    // A keyword and "=" without its value sets nothing.
    UT_WRITE("WARNING: No value for keyword " + keyword + ": line ignored", status);
    return;
  }
  if (tokens.size() < 2 + count) {
    if (UT_UPPER(std::string(tokens[2])) == "N.A.") return;
    UT_WRITE("ERROR: " + keyword + " needs three values: the first and last trial axis and the step",
             status);
    UT_WRITE("       e.g. " + keyword + " = 500.0 524.0 0.5", status);
    retstat = 1;
    return;
  }
  const std::span<const std::string_view> values(tokens.data() + 2, count);
  const std::string value(values.front());
  bool ok = nothing_after_value(keyword, std::span(tokens).subspan(2 + count), status);
  for (std::size_t i = 0; ok && i < count; ++i) {
    ok = value_fits(keyword, values[i], value_limit(match->target), status);
  }
  if (!ok) {
    retstat = 1;
    return;
  }
  if (UT_UPPER(value) == "N.A.") return;

  const std::size_t bad = store_value(match->target, values, parameters, status);
  if (st_bad(status, kRoutine)) return;
  if (bad < count) {
    report_bad_value(keyword, std::string(values[bad]), status);
    if (std::holds_alternative<bool ParameterSet::*>(match->target)) {
      UT_WRITE("       The value must be YES or NO", status);
    }
    retstat = 1;
  }
}
