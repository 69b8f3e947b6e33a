// The output slice file: fixed-length records written at their place with positioned writes.
//
// The stream is used only to hold the descriptor: every record goes out with pwrite at a 64-bit
// offset, so there is no stdio buffer that could hide a failed write until the close, and a
// record lands at its place whatever order the records are written in.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "rav_slice_loops.h"
#include "ut.h"

namespace {

// A fatal fault of the output file: one "ERROR: " line and the end of the process. The message
// is written whatever the status of the run, since the process ends here.
[[noreturn]] void slice_file_fatal(const std::string& text) {
  std::int32_t status = ST_OK;
  UT_WRITE(text, status);
  std::fflush(stdout);
  std::exit(1);
}

}  // namespace

bool slice_file_open(SliceFile& out, const std::string& name, std::int64_t record_bytes,
                     int& error_number, bool keep) {
  error_number = 0;
  out.file = nullptr;
  out.name = name;
  out.record_bytes = record_bytes;
  // Truncated at the open, so the file ends with the records of this run, unless other
  // processes of the run write their records into the same file.
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (keep ? 0 : O_TRUNC);
  const int descriptor = ::open(name.c_str(), flags, 0666);
  std::FILE* file = descriptor < 0 ? nullptr : ::fdopen(descriptor, "w");
  if (file == nullptr) {
    error_number = errno != 0 ? errno : EIO;
    if (descriptor >= 0) ::close(descriptor);
    return false;
  }
  out.file = file;
  return true;
}

void slice_file_write(SliceFile& out, std::int32_t record, std::span<const float> slice) {
  const std::int64_t bytes = static_cast<std::int64_t>(slice.size_bytes());
  if (out.file == nullptr) {
    slice_file_fatal("ERROR: Output file " + out.name + " is not open for record " +
                     std::to_string(record));
  }
  if (record < 1 || bytes != out.record_bytes) {
    slice_file_fatal("ERROR: Record " + std::to_string(record) + " of " + std::to_string(bytes) +
                     " bytes does not fit output file " + out.name + " (records of " +
                     std::to_string(out.record_bytes) + " bytes)");
  }
  const int descriptor = fileno(out.file);
  const char* data = reinterpret_cast<const char*>(slice.data());
  off_t offset = static_cast<off_t>(static_cast<std::int64_t>(record - 1) * out.record_bytes);
  std::int64_t left = bytes;
  while (left > 0) {
    const ssize_t written = pwrite(descriptor, data, static_cast<std::size_t>(left), offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      const int error = written < 0 ? errno : ENOSPC;  // no progress at all: the device is full
      slice_file_fatal("ERROR: Problem writing record " + std::to_string(record) +
                       " of output file " + out.name + ": " + std::strerror(error));
    }
    data += written;
    offset += written;
    left -= written;
  }
}

void slice_file_close(SliceFile& out) {
  if (out.file == nullptr) return;
  std::FILE* file = out.file;
  out.file = nullptr;
  if (std::fclose(file) != 0) {
    slice_file_fatal("ERROR: Problem closing output file " + out.name + ": " +
                     std::strerror(errno));
  }
}
