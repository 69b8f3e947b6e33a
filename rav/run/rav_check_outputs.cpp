// The files a run writes against the files it reads: an output that is one of the inputs would
// destroy it (the volume renamed over a projection, a sinogram file written over the flat field),
// so such a run is refused before anything is written. Files that exist are compared by device
// and inode (links and other names of the same file included), names of files that do not
// exist yet by their absolute, normalised path.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "rav_drivers.h"
#include "rav_safe_output.h"
#include "ut.h"

namespace {

constexpr std::int32_t kWriteRefused = 1010;  // "Write to output file failed"

std::string identity(const std::string& name) {
  struct stat info {};
  if (::stat(name.c_str(), &info) == 0) {
    return "file " + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
  }
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(name, error);
  return "path " + std::filesystem::weakly_canonical(absolute, error).lexically_normal().string();
}

// An output file: what it is, and what to change so that it is another file.
struct Output {
  std::string what;
  std::string remedy;
};

class FileCheck {
 public:
  explicit FileCheck(std::int32_t& status) : status_(status) {}

  // Adds an output; false (reported) when it is an output added before.
  bool output(const std::string& name, const std::string& what, const std::string& remedy) {
    if (name.empty()) return true;
    const auto [at, added] = outputs_.try_emplace(identity(name), Output{what + " " + name, remedy});
    if (added) return true;
    return refuse(at->second, what + " " + name);
  }
  // False (reported) when the input NAME is one of the outputs.
  bool input(const std::string& name, const std::string& what) {
    if (name.empty() || outputs_.empty()) return true;
    const auto at = outputs_.find(identity(name));
    return at == outputs_.end() || refuse(at->second, what + " " + name);
  }

 private:
  bool refuse(const Output& output, const std::string& other) {
    std::string what = output.what;
    what[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(what[0])));
    UT_WRITE("ERROR: " + what + " is the same file as " + other, status_);
    UT_WRITE("       Nothing has been written: " + output.remedy, status_);
    status_ = kWriteRefused;
    return false;
  }

  std::int32_t& status_;
  std::map<std::string, Output> outputs_;
};

std::string trimmed(const std::string& text) {
  return text.substr(0, static_cast<std::size_t>(SLEN(text)));
}

std::string numbered(const std::string& prefix, std::int32_t number, bool length_varies,
                     std::int32_t digits, const std::string& postfix) {
  std::int32_t status = ST_OK;
  bool overflow = false;
  std::string name;
  UT_FILENAME(prefix, number, !length_varies, digits, postfix, overflow, name, status);
  return overflow || status != ST_OK ? std::string() : trimmed(name);
}

// The sinogram files of the slices FIRST to LAST: sino_NNNN.zlf in the working directory.
bool sinogram_outputs(FileCheck& check, std::int32_t first, std::int32_t last) {
  for (std::int64_t slice = first; slice <= last; ++slice) {
    std::string number = ut_fmt_int(slice, 4);
    if (number[0] != '*') std::replace(number.begin(), number.end(), ' ', '0');
    if (!check.output("sino_" + number + ".zlf", "the sinogram file",
                      "the sinograms are written as sino_NNNN.zlf into the working folder; "
                      "run from another folder, or set OUTPUT_SINOGRAMS = NO")) {
      return false;
    }
  }
  return true;
}

// The flat fields a run reads: the first two of the series, then one more at every change,
// held at the last number.
bool flatfield_inputs(FileCheck& check, const ParameterSet& p, std::int64_t projections) {
  const auto name = [&](std::int32_t number) {
    return numbered(p.FF_PREFIX, number, p.FF_NUMBER_LENGTH_VARIES,
                    p.FF_LENGTH_OF_NUMERICAL_PART, p.FF_POSTFIX);
  };
  if (!p.FLATFIELD_CHANGING) return check.input(trimmed(p.FLATFIELD_FILE), "the flat field");
  std::int32_t next = p.FF_NUM_FIRST_IMAGE + p.FF_FILE_INTERVAL;
  if (!check.input(name(p.FF_NUM_FIRST_IMAGE), "the flat field")) return false;
  if (!check.input(name(next), "the flat field")) return false;
  for (std::int64_t changes = (projections - 1) / p.FF_FILE_INTERVAL; changes > 0; --changes) {
    const std::int32_t previous = next;
    next = std::min(next + p.FF_FILE_INTERVAL, p.FF_NUM_LAST_IMAGE);
    if (next == previous) break;
    if (!check.input(name(next), "the flat field")) return false;
  }
  return true;
}

bool outputs_of(FileCheck& check, const ParameterSet& p, bool from_sinograms) {
  if (from_sinograms || p.OUTPUT_RECONSTRUCTION) {
    const std::string name = trimmed(p.OUTPUT_FILE);
    const std::string remedy = "choose another OUTPUT_FILE";
    if (!check.output(name, "the output file", remedy) ||
        !check.output(name + ".info", "the volume info file", remedy) ||
        !check.output(SafeOutput::lock_name(name), "the lock file", remedy)) {
      return false;
    }
  }
  if (from_sinograms || !p.OUTPUT_SINOGRAMS) return true;
  return p.ROTATION_VERTICAL ? sinogram_outputs(check, p.START_VOXEL_3, p.END_VOXEL_3)
                             : sinogram_outputs(check, p.START_VOXEL_1, p.END_VOXEL_1);
}

}  // namespace

bool rav_check_outputs(const ParameterSet& p, bool from_sinograms, std::int32_t& status) {
  if (status != ST_OK) return false;
  FileCheck check(status);
  if (!outputs_of(check, p, from_sinograms)) return false;
  if (!check.input(p.PARAMETER_FILE, "the parameter file")) return false;
  // The series as the drivers read it (the checks have made sure that it holds a file).
  const std::int64_t span = std::int64_t{p.NUM_LAST_IMAGE} - p.NUM_FIRST_IMAGE;
  const std::int64_t count = from_sinograms ? (span + p.FILE_INTERVAL) / p.FILE_INTERVAL
                                            : (span + 1) / std::abs(p.FILE_INTERVAL);
  const std::string what = from_sinograms ? "the stored sinogram" : "the projection";
  for (std::int64_t n = 0; n < count; ++n) {
    const auto number = static_cast<std::int32_t>(p.NUM_FIRST_IMAGE + n * p.FILE_INTERVAL);
    const std::string name = numbered(p.FILE_PREFIX, number, p.NUMBER_LENGTH_VARIES,
                                      p.LENGTH_OF_NUMERICAL_PART, p.FILE_POSTFIX);
    if (!check.input(name, what)) return false;
  }
  if (from_sinograms) return true;
  if (p.SUBTRACT_BACKGROUND && !check.input(trimmed(p.BACKGROUND_FILE), "the background")) {
    return false;
  }
  return !p.CORRECT_FLATFIELD || flatfield_inputs(check, p, count);
}
