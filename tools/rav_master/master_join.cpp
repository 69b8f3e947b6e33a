// rav_master --join FILE.par: the volume parts of a split run joined into the one volume and its
// info file, as one run of FILE.par writes them.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "master.h"
#include "rav_drivers.h"
#include "ut.h"

namespace fs = std::filesystem;

namespace {
bool fail(const std::string& line) {
  std::int32_t status = ST_OK;
  UT_WRITE("ERROR: " + line, status);
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

// Appends the bytes of NAME to OUT.
bool append(const std::string& name, std::FILE* out) {
  std::FILE* in = std::fopen(name.c_str(), "rb");
  if (in == nullptr) return fail("Cannot read " + name + ": " + std::strerror(errno));
  std::vector<char> buffer(1 << 20);
  bool ok = true;
  for (std::size_t n; ok && (n = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;) {
    ok = std::fwrite(buffer.data(), 1, n, out) == n;
  }
  ok = ok && std::ferror(in) == 0;
  std::fclose(in);
  return ok || fail("Cannot copy " + name + ": " + std::strerror(errno));
}

// Writes the parts into OUTPUT under a temporary name, with its info file, then renames both.
bool write_volume(const std::vector<Part>& parts, const std::string& output, std::int32_t NUM_Z) {
  const std::string temporary = output + ".tmp-" + std::to_string(::getpid());
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) return fail("Cannot create " + temporary + ": " + std::strerror(errno));
  bool ok = true;
  for (const Part& part : parts) ok = ok && append(part.volume, out);
  ok = ok && std::fflush(out) == 0 && ::fsync(::fileno(out)) == 0;
  ok = std::fclose(out) == 0 && ok;
  std::int32_t status = ST_OK;
  ok = ok && rav_write_info(temporary + ".info", parts[0].NUM_X, parts[0].NUM_Y, NUM_Z, status);
  ok = ok && std::rename((temporary + ".info").c_str(), (output + ".info").c_str()) == 0 &&
       std::rename(temporary.c_str(), output.c_str()) == 0;
  if (ok) return true;
  std::remove(temporary.c_str());
  std::remove((temporary + ".info").c_str());
  return fail("Cannot write " + output + ": " + std::strerror(errno));
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
  if (!write_volume(parts, p.OUTPUT_FILE, NUM_Z)) return 1;
  UT_WRITE("INFO: " + std::to_string(parts.size()) + " parts joined into " + p.OUTPUT_FILE + " (" +
               std::to_string(NUM_Z) + " slices); the parts are kept",
           status);
  return 0;
}
