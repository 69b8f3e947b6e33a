// Reading ahead of the next pass: posix_fadvise(POSIX_FADV_WILLNEED) starts the system's reading
// of a range of a file and returns; the program's own reading later finds the range in memory.
#include "rav_read_ahead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "rav_drivers.h"
#include "rav_input_output.h"
#include "ut.h"

namespace {

// The memory the system can give without swapping (MemAvailable), in bytes; 0 when unknown.
std::int64_t available_memory() {
  std::FILE* meminfo = std::fopen("/proc/meminfo", "r");
  if (meminfo == nullptr) return 0;
  char line[256];
  std::int64_t kilobytes = 0;
  while (std::fgets(line, sizeof line, meminfo) != nullptr) {
    if (std::sscanf(line, "MemAvailable: %ld kB", &kilobytes) == 1) break;
  }
  std::fclose(meminfo);
  return kilobytes * 1024;
}

void ask_for(const std::vector<std::string>& files, double first, double last) {
  // The header and whatever a reader takes beyond the exact rows.
  constexpr std::int64_t kMargin = 64 * 1024;
  std::int64_t budget = available_memory() / 2;
  for (const std::string& name : files) {
    const int descriptor = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) continue;  // the pass reports the files it cannot read
    struct stat info {};
    if (::fstat(descriptor, &info) == 0) {
      const auto size = static_cast<std::int64_t>(info.st_size);
      const auto from = std::max<std::int64_t>(0, static_cast<std::int64_t>(first * size) - kMargin);
      const auto to = std::min<std::int64_t>(size, static_cast<std::int64_t>(last * size) + kMargin);
      budget -= std::min(from, kMargin) + (to - from);
      if (budget < 0) {
        ::close(descriptor);
        return;
      }
      ::posix_fadvise(descriptor, 0, std::min(from, kMargin), POSIX_FADV_WILLNEED);
      ::posix_fadvise(descriptor, from, to - from, POSIX_FADV_WILLNEED);
    }
    ::close(descriptor);
  }
}

}  // namespace

void RavReadAhead::start(const ParameterSet& p, std::int32_t FIRST_SLICE,
                         std::int32_t LAST_SLICE, std::int32_t& status) {
  finish();
  if (status != ST_OK) return;
  if (files_.empty()) {
    // The names have their own status: reading ahead only helps, and a name that cannot be
    // formed is the pass's to report. The images of a stack lie one after another in one file,
    // not a part of each file per pass: nothing to ask for.
    std::int32_t names = ST_OK;
    bool stack = false;
    const std::int32_t count =
        (p.NUM_LAST_IMAGE - p.NUM_FIRST_IMAGE + 1) / std::abs(p.FILE_INTERVAL);
    for (std::int32_t j = 1; j <= count && names == ST_OK && !stack; ++j) {
      const RavImageSource source =
          rav_series_image(p, p.NUM_FIRST_IMAGE + (j - 1) * p.FILE_INTERVAL, names);
      stack = source.index >= 0;
      files_.push_back(source.file);
    }
    if (names != ST_OK || stack) files_.clear();
  }
  double first = 0.0, last = 1.0;
  if (p.ROTATION_VERTICAL && p.NUM_IMAGE_2 > 0) {
    first = static_cast<double>(FIRST_SLICE - 1) / p.NUM_IMAGE_2;
    last = static_cast<double>(LAST_SLICE) / p.NUM_IMAGE_2;
  }
  thread_ = std::thread([this, first, last] { ask_for(files_, first, last); });
}

void RavReadAhead::finish() {
  if (thread_.joinable()) thread_.join();
}
