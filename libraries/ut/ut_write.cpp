// Whole lines and prompts to the console and to text files on units.
#include <cerrno>
#include <cstdio>

#include "ut.h"
#include "ut_units.h"

namespace {
constexpr std::int32_t kLogUnit = 40;

// Unchecked write of the significant part of TEXT, with or without a line end.
void put_text(std::FILE* stream, std::string_view text, bool line_end) {
  const int length = SLEN(text);
  if (length > 0) std::fwrite(text.data(), 1, static_cast<std::size_t>(length), stream);
  if (line_end) {
    if (length == 0) std::fputc(' ', stream);
    std::fputc('\n', stream);
  }
}

void copy_to_log(std::string_view text, bool line_end) {
  if (!ut_io_state().output_log) return;
  if (std::FILE* log = ut_unit_stream(kLogUnit)) put_text(log, text, line_end);
}
}  // namespace

void UT_WRITE(std::string_view text, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_WRITE V0.1 ")) return;
  put_text(stdout, text, true);
  copy_to_log(text, true);
}

void UT_WRITENA(std::string_view text, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_WRITENA V0.2 ")) return;
  if (SLEN(text) == 0) return;
  put_text(stdout, text, false);
  std::fflush(stdout);  // the answer is typed right after the prompt
  copy_to_log(text, false);
}

void UT_WRITE_FILE(std::int32_t unit, std::string_view text, std::int32_t& status) {
  constexpr std::string_view kRoutine = "Subroutine UT_WRITE_FILE V0.3 ";
  if (st_bad(status, kRoutine)) return;
  int error = 0;
  std::FILE* stream = ut_unit_stream(unit);
  if (stream == nullptr) {
    error = EBADF;
  } else {
    // Flushed line by line so that a full disc is noticed at the line that did not fit.
    std::clearerr(stream);
    errno = 0;
    put_text(stream, text, true);
    std::fflush(stream);
    if (std::ferror(stream)) error = errno != 0 ? errno : EIO;
  }
  if (error == 0) return;
  UT_WRITE("ERROR: Failed to output ASCII text to an output file. May be you do not", status);
  UT_WRITE("       have write permission, or the file system, or your quota, are full.", status);
  UT_WRITE(" ", status);
  UT_WRITE("       I/O status return value (IOSTAT) = " + ut_fmt_int(error, 8), status);
  UT_WRITE("       (This value is system dependent; see system documentation.)", status);
  UT_WRITE(" ", status);
  ST_SAVE(kRoutine);
  status = 11010;
}

void UT_WRITENA_FILE(std::int32_t unit, std::string_view text, std::int32_t& status) {
  if (st_bad(status, "Subroutine UT_WRITENA_FILE V0.1 ")) return;
  if (SLEN(text) == 0) return;
  if (std::FILE* stream = ut_unit_stream(unit)) put_text(stream, text, false);
}
