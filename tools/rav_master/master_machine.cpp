// The machine: memory available now and the processor's cache.
#include <unistd.h>

#include <fstream>
#include <string>

#include "master.h"

std::int64_t master_available_megabytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::int64_t kilobytes = 0;
  std::string unit;
  while (meminfo >> key >> kilobytes >> unit) {
    if (key == "MemAvailable:") return kilobytes / 1024;
  }
  const long pages = ::sysconf(_SC_AVPHYS_PAGES), page = ::sysconf(_SC_PAGESIZE);
  return pages > 0 && page > 0 ? std::int64_t{pages} * page / 1048576 : 0;
}

namespace {
// The size of cache LEVEL of processor 0 (data or unified), in kilobytes; 0 when not known.
std::int64_t sys_cache(int level) {
  for (int index = 0; index < 8; ++index) {
    const std::string dir = "/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(index);
    std::ifstream level_file(dir + "/level"), type_file(dir + "/type"), size_file(dir + "/size");
    int found = 0;
    std::string type, size;
    if (!(level_file >> found) || !(type_file >> type) || !(size_file >> size)) continue;
    if (found != level || type == "Instruction") continue;
    std::int64_t value = std::stoll(size);
    if (size.back() == 'M') value *= 1024;
    return value;
  }
  return 0;
}
}  // namespace

std::int64_t master_cache_kilobytes() {
  for (const int level : {2, 3}) {
    if (const std::int64_t kb = sys_cache(level); kb > 0) return kb;
  }
  const long bytes = ::sysconf(_SC_LEVEL2_CACHE_SIZE);
  return bytes > 0 ? bytes / 1024 : 0;
}
