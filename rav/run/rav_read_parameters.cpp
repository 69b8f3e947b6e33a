// Reads a parameter file: checks the header line and hands every parameter line to
// RAV_PARSE_LINE.
#include <cerrno>
#include <cstring>
#include <string>

#include "rav.h"
#include "ut.h"

namespace {
constexpr std::string_view kRoutine = "Subroutine RAV_READ_PARAMETERS V0.10";
constexpr std::string_view kHeader = "! RAV_VUZAV PARAMETER FILE";
constexpr std::int32_t kUnit = 12;
constexpr std::size_t kLineLength = 300;  // of the header line; a parameter line is read whole
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The header must start in column 1; only blanks may follow it.
bool is_header(const std::string& line) {
  if (line.compare(0, kHeader.size(), kHeader) != 0) return false;
  for (std::size_t i = kHeader.size(); i < line.size(); ++i) {
    if (line[i] != ' ') return false;
  }
  return true;
}

// Closes the unit even when the status is already bad, so that no file is left open.
void close_quietly() {
  std::int32_t local = ST_OK;
  UT_CLOSE_ASCIIFILE(kUnit, local);
}
}  // namespace

void RAV_READ_PARAMETERS(std::string_view file_name, std::int32_t& retstat,
                         ParameterSet& parameters, std::int32_t& status) {
  if (st_bad(status, kRoutine)) return;
  retstat = 0;

  std::int32_t open_stat = 0;
  UT_OPEN_ASCIIFILE(false, "READ", kUnit, file_name, open_stat, status);
  if (st_bad(status, kRoutine)) return;
  if (open_stat != 0) {
    if (ut_open_error() == ENOENT) {
      UT_WRITE("ERROR: Parameter file not found", status);
    } else {
      // It is there, but cannot be read: say why, not "not found".
      UT_WRITE("ERROR: Parameter file cannot be read: " +
                   std::string(std::strerror(ut_open_error())),
               status);
      UT_WRITE("       " + std::string(file_name), status);
    }
    retstat = 1;
    return;
  }
  parameters.PARAMETER_FILE = std::string(file_name);

  std::string line;
  std::int32_t read_stat = 0;
  UT_READ_ASCIILINE(kUnit, line, read_stat, status);
  if (st_bad(status, kRoutine)) {
    close_quietly();
    return;
  }
  // A byte-order mark that some editors put at the start of a UTF-8 file is not part of it.
  if (read_stat == 0 && line.starts_with(kByteOrderMark)) line.erase(0, kByteOrderMark.size());
  if (read_stat != 0 || !is_header(line.substr(0, kLineLength))) {
    close_quietly();
    UT_WRITE("ERROR: " + std::string(file_name) + " is not a parameter file: its first line must be",
             status);
    UT_WRITE("       \"" + std::string(kHeader) + "\", starting in column 1", status);
    retstat = 2;
    return;
  }

  while (true) {
    UT_READ_ASCIILINE(kUnit, line, read_stat, status);
    if (st_bad(status, kRoutine)) {
      close_quietly();
      return;
    }
    if (read_stat == 1) break;  // end of file
    if (read_stat != 0) {
      // Going on would use a file read only in part as if it were complete.
      UT_WRITE("ERROR: Failed to read the parameter file", status);
      retstat = 1;
      break;
    }
    const int first = UT_START(line);
    if (SLEN(line) == 0 || first < 1) continue;                // blank line
    if (line[static_cast<std::size_t>(first - 1)] == '!') continue;  // comment
    RAV_PARSE_LINE(line, retstat, parameters, status);
    if (st_bad(status, kRoutine)) {
      close_quietly();
      return;
    }
  }

  UT_CLOSE_ASCIIFILE(kUnit, status);
  if (st_bad(status, kRoutine)) return;
}
