// rav_master --join FILE.par: the volume parts of a split run joined into the one volume and its
// info file, as one run of FILE.par writes them.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "master.h"
#include "rav_drivers.h"
#include "rav_input_output.h"
#include "rav_safe_output.h"
#include "ut.h"

namespace fs = std::filesystem;

namespace {
bool fail(const std::string& line) {
  std::int32_t status = ST_OK;
  UT_WRITE("ERROR: " + line, status);
  return false;
}

// Prints FAILURE, the "ERROR: " line(s) of a routine of the run; false.
bool report(const std::string& failure) {
  std::int32_t status = ST_OK;
  UT_WRITE(failure, status);
  return false;
}

struct Part {
  std::string volume;
  std::int32_t NUM_X = 0, NUM_Y = 0, NUM_Z = 0;
};

// The volume of part K as its info file describes it; false after an "ERROR: " line when it is
// missing or incomplete.
bool read_part(const std::string& part_file, Part& part) {
  ParameterSet p;
  std::int32_t retstat = 0, status = ST_OK;
  RAV_READ_PARAMETERS(part_file, retstat, p, status);
  if (retstat != 0) return false;
  part.volume = p.OUTPUT_FILE;
  std::ifstream info(part.volume + ".info");
  std::string line;
  while (std::getline(info, line)) {
    const std::size_t equals = line.find(" = ");
    if (equals == std::string::npos) continue;
    const std::int32_t value = std::atoi(line.c_str() + equals + 3);
    if (line.rfind("NUM_X", 0) == 0) part.NUM_X = value;
    if (line.rfind("NUM_Y", 0) == 0) part.NUM_Y = value;
    if (line.rfind("NUM_Z", 0) == 0) part.NUM_Z = value;
  }
  std::error_code error;
  const auto size = fs::file_size(part.volume, error);
  const std::int64_t expected = std::int64_t{part.NUM_X} * part.NUM_Y * part.NUM_Z * 4;
  if (error || part.NUM_Z < 1 || static_cast<std::int64_t>(size) != expected) {
    return fail(part.volume + " (of " + part_file + ") is missing or incomplete: run that part "
                "first");
  }
  return true;
}

// Adds the slices of PART to OUT from record RECORD on.
bool add_part(const Part& part, SliceFile& out, std::int32_t& record) {
  std::FILE* in = std::fopen(part.volume.c_str(), "rb");
  if (in == nullptr) return fail("Cannot read " + part.volume + ": " + std::strerror(errno));
  std::vector<float> slice(static_cast<std::size_t>(part.NUM_X) * part.NUM_Y);
  std::string failure;
  for (std::int32_t z = 0; z < part.NUM_Z && failure.empty(); ++z) {
    if (std::fread(slice.data(), sizeof(float), slice.size(), in) != slice.size()) {
      failure = "ERROR: Cannot read " + part.volume + ": " +
                (std::ferror(in) != 0 ? std::strerror(errno) : "it is shorter than its slices");
    } else {
      failure = out.write(record++, slice);
    }
  }
  std::fclose(in);
  return failure.empty() || report(failure);
}

// Writes the parts as the volume of the run P (NUM_Z slices, in its OUTPUT_FORMAT) through the
// run's own output: under a temporary name, with its info file (and MetaImage header), renamed
// into place once whole. An earlier volume is left as it was when anything fails.
bool write_volume(const ParameterSet& p, const std::vector<Part>& parts, std::int32_t NUM_Z) {
  const std::int32_t NUM_X = parts[0].NUM_X, NUM_Y = parts[0].NUM_Y;
  const std::int32_t projections = (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE) /
                                       std::max(std::abs(p.FILE_INTERVAL), 1) + 1;
  SafeOutput out;
  const std::optional<RavVolumeGeometry> header = rav_choose_output_format(
      out.slices(), p,
      rav_volume_geometry(p, p.RECONSTRUCT_FROM_SINOGRAMS, NUM_X, NUM_Y, NUM_Z, projections));
  std::int32_t status = ST_OK;
  try {
    rav_create_output(out, p.OUTPUT_FILE, std::int64_t{NUM_X} * NUM_Y * 4, status);
    std::int32_t record = 1;
    for (const Part& part : parts) {
      if (!add_part(part, out.slices(), record)) return false;
    }
    rav_close_output(out);
    rav_complete_volume(out, p.OUTPUT_FILE, NUM_X, NUM_Y, NUM_Z, header, status);
  } catch (const RavFatalError& error) {
    return report(error.what());
  }
  return status == ST_OK;
}
}  // namespace

int master_join(const std::string& parameter_file) {
  ParameterSet p;
  std::int32_t retstat = 0, status = ST_OK;
  RAV_READ_PARAMETERS(parameter_file, retstat, p, status);
  if (retstat != 0) return 1;
  std::vector<Part> parts;
  std::int32_t NUM_Z = 0;
  std::error_code ignored;
  for (std::int32_t k = 1; fs::exists(master_part_file(parameter_file, k), ignored); ++k) {
    Part part;
    if (!read_part(master_part_file(parameter_file, k), part)) return 1;
    if (!parts.empty() && (part.NUM_X != parts[0].NUM_X || part.NUM_Y != parts[0].NUM_Y)) {
      fail(part.volume + " holds slices of another size than " + parts[0].volume);
      return 1;
    }
    NUM_Z += part.NUM_Z;
    parts.push_back(part);
  }
  const std::int32_t slices = p.ROTATION_VERTICAL ? p.END_VOXEL_3 - p.START_VOXEL_3 + 1
                                                  : p.END_VOXEL_1 - p.START_VOXEL_1 + 1;
  if (parts.empty()) {
    fail("No parts " + master_part_file(parameter_file, 1) + "...: split the run first");
    return 1;
  }
  if (NUM_Z != slices) {
    fail("The parts hold " + std::to_string(NUM_Z) + " slices, " + parameter_file + " " +
         std::to_string(slices));
    return 1;
  }
  if (!write_volume(p, parts, NUM_Z)) return 1;
  UT_WRITE("INFO: " + std::to_string(parts.size()) + " parts joined into " + p.OUTPUT_FILE + " (" +
               std::to_string(NUM_Z) + " slices); the parts are kept",
           status);
  return 0;
}
