#include "rav_tiff_open.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr tmsize_t kMaxLibtiffAlloc = tmsize_t{512} << 20;

RavTiffFile& file_of(thandle_t handle) { return *static_cast<RavTiffFile*>(handle); }

// One pread or pwrite at the position (repeated only when interrupted or short). The bytes
// done, never -1: the end of the file and a failed call both end short, which libtiff takes for
// the failure it is (libtiff 4.5 steps one byte back when a read answers -1 and clears the byte
// before its buffer).
template <typename Transfer>
tmsize_t transfer(thandle_t handle, tmsize_t size, Transfer call) {
  RavTiffFile& file = file_of(handle);
  tmsize_t done = 0;
  while (done < size) {
    const ssize_t n = call(file.descriptor, done, static_cast<std::size_t>(size - done),
                           static_cast<off_t>(file.position));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
    file.position += static_cast<std::uint64_t>(n);
  }
  return done;
}

tmsize_t direct_read(thandle_t handle, void* buffer, tmsize_t size) {
  return transfer(handle, size, [buffer](int fd, tmsize_t done, std::size_t n, off_t at) {
    return ::pread(fd, static_cast<char*>(buffer) + done, n, at);
  });
}

// Reads below this size are served from a block of this size read ahead.
constexpr tmsize_t kAhead = 4096;

tmsize_t read_proc(thandle_t handle, void* buffer, tmsize_t size) {
  RavTiffFile& file = file_of(handle);
  if (size >= kAhead) return direct_read(handle, buffer, size);
  const auto inside = [&] {
    return file.position >= file.ahead_at &&
           file.position + static_cast<std::uint64_t>(size) <= file.ahead_at + file.ahead.size();
  };
  if (!inside()) {
    const std::uint64_t position = file.position;
    file.ahead.resize(static_cast<std::size_t>(kAhead));
    const tmsize_t got = direct_read(handle, file.ahead.data(), kAhead);
    file.ahead.resize(static_cast<std::size_t>(std::max<tmsize_t>(got, 0)));
    file.ahead_at = position;
    file.position = position;
  }
  const std::uint64_t start = file.position - file.ahead_at;
  const auto available = static_cast<tmsize_t>(file.ahead.size() - std::min<std::uint64_t>(start, file.ahead.size()));
  const tmsize_t n = std::min(size, available);
  if (n <= 0) return 0;  // the end of the file
  std::memcpy(buffer, file.ahead.data() + start, static_cast<std::size_t>(n));
  file.position += static_cast<std::uint64_t>(n);
  return n;
}

tmsize_t write_proc(thandle_t handle, void* buffer, tmsize_t size) {
  file_of(handle).ahead.clear();  // what was read ahead may be written over
  return transfer(handle, size, [buffer](int fd, tmsize_t done, std::size_t n, off_t at) {
    return ::pwrite(fd, static_cast<const char*>(buffer) + done, n, at);
  });
}

toff_t size_proc(thandle_t handle) {
  struct stat info {};
  return ::fstat(file_of(handle).descriptor, &info) == 0 ? static_cast<toff_t>(info.st_size) : 0;
}

toff_t seek_proc(thandle_t handle, toff_t offset, int whence) {
  RavTiffFile& file = file_of(handle);
  if (whence == SEEK_SET) {
    file.position = offset;
  } else if (whence == SEEK_CUR) {
    file.position += offset;
  } else {
    file.position = size_proc(handle) + offset;
  }
  return file.position;
}

int close_proc(thandle_t) { return 0; }  // the descriptor is the caller's
int map_proc(thandle_t, void**, toff_t*) { return 0; }  // never mapped
void unmap_proc(thandle_t, void*, toff_t) {}

int keep_error(TIFF*, void* user_data, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  auto* error = static_cast<std::string*>(user_data);
  *error = (module != nullptr && *module != '\0') ? std::string(module) + ": " + text : text;
  return 1;
}

int drop_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

TIFF* rav_tiff_open(RavTiffFile& file, const std::string& name, const char* mode) {
  file.position = 0;
  file.error.clear();
  file.ahead.clear();
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxLibtiffAlloc);
  TIFFOpenOptionsSetErrorHandlerExtR(options, keep_error, &file.error);
  TIFFOpenOptionsSetWarningHandlerExtR(options, drop_warning, nullptr);
  TIFF* tif = TIFFClientOpenExt(name.c_str(), mode, &file, read_proc, write_proc, seek_proc,
                                close_proc, size_proc, map_proc, unmap_proc, options);
  TIFFOpenOptionsFree(options);
  return tif;
}
