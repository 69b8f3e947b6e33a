// Text files on numbered units: open, read a line, close.
#include <sys/stat.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ut.h"
#include "ut_units.h"

namespace {
std::array<std::FILE*, kUtLastUnit + 1> g_units{};  // index = unit number; 0 unused
int g_open_error = 0;  // errno of the last open that failed

bool valid_unit(std::int32_t unit) { return unit >= kUtFirstUnit && unit <= kUtLastUnit; }

void close_unit(std::int32_t unit) {
  std::FILE*& stream = g_units[static_cast<std::size_t>(unit)];
  if (stream != nullptr) std::fclose(stream);
  stream = nullptr;
}

// Opens PATH as a text stream; directories are refused (fopen accepts them for reading).
std::FILE* open_text(const std::string& path, const char* mode) {
  errno = 0;
  std::FILE* stream = std::fopen(path.c_str(), mode);
  if (stream == nullptr) {
    g_open_error = errno != 0 ? errno : EIO;
    return nullptr;
  }
  struct stat info {};
  if (fstat(fileno(stream), &info) != 0 || S_ISDIR(info.st_mode)) {
    std::fclose(stream);
    g_open_error = EISDIR;
    return nullptr;
  }
  g_open_error = 0;
  return stream;
}
}  // namespace

int ut_open_error() { return g_open_error; }

std::FILE* ut_unit_stream(std::int32_t unit) {
  return valid_unit(unit) ? g_units[static_cast<std::size_t>(unit)] : nullptr;
}

void UT_OPEN_ASCIIFILE(bool /*prompt*/, std::string_view mode, std::int32_t unit,
                       std::string_view file_name, std::int32_t& retstat, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_OPEN_ASCIIFILE V0.7 ";
  if (st_bad(status, kRoutine)) return;
  if (!valid_unit(unit)) {
    ST_SAVE(kRoutine);
    status = 10017;
    return;
  }
  // "READ" and "UPDATE" need an existing file; any other mode creates or replaces it.
  const std::string upper_mode = UT_UPPER(mode);
  const char* open_mode = "w";
  if (upper_mode == "READ") {
    open_mode = "r";
  } else if (upper_mode == "UPDATE") {
    open_mode = "r+";
  }

  std::int32_t translated = 0;
  std::string path;
  UT_TRANS_PATH(file_name, translated, path, status);
  if (st_bad(status, kRoutine)) return;
  if (translated != 0) {
    UT_WRITE("WARNING: Problem translating: ", status);
    UT_WRITE(file_name, status);
    retstat = 1;
    return;
  }

  close_unit(unit);  // a unit holds one file at a time
  if (path.empty()) g_open_error = ENOENT;
  std::FILE* stream = path.empty() ? nullptr : open_text(path, open_mode);
  g_units[static_cast<std::size_t>(unit)] = stream;
  retstat = stream != nullptr ? 0 : 1;
}

void UT_CLOSE_ASCIIFILE(std::int32_t unit, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_CLOSE_ASCIIFILE V0.1 ";
  if (st_bad(status, kRoutine)) return;
  if (!valid_unit(unit)) {
    ST_SAVE(kRoutine);
    status = 10017;
    return;
  }
  close_unit(unit);
}

void UT_READ_ASCIILINE(std::int32_t unit, std::string& line, std::int32_t& retstat,
                       std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_READ_ASCIILINE V0.1 ")) return;
  std::FILE* stream = ut_unit_stream(unit);
  if (stream == nullptr) {
    retstat = 2;
    return;
  }
  char* buffer = nullptr;
  std::size_t capacity = 0;
  const ssize_t length = getline(&buffer, &capacity, stream);
  if (length < 0) {
    retstat = std::ferror(stream) ? 2 : 1;
    std::free(buffer);
    return;
  }
  std::size_t end = static_cast<std::size_t>(length);
  if (end > 0 && buffer[end - 1] == '\n') --end;
  if (end > 0 && buffer[end - 1] == '\r') --end;
  line.assign(buffer, end);
  std::free(buffer);
  retstat = 0;
}
