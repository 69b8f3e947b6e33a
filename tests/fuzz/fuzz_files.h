// Scratch files for the fuzz targets: each process writes its inputs into a private directory
// (in memory under /dev/shm when there is one) that is removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace rav_fuzz {

inline const std::filesystem::path& scratch_dir() {
  static const std::filesystem::path dir = [] {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path base = fs::exists("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    std::string pattern = (base / "rav_fuzz_XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    static const std::string made = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(made, ignored);
    });
    return fs::path(made);
  }();
  return dir;
}

// Writes SIZE bytes of DATA as the file NAME of the scratch directory; returns its path.
inline std::string write_scratch(const std::string& name, const std::uint8_t* data,
                                 std::size_t size) {
  const std::string path = (scratch_dir() / name).string();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  if (std::fclose(file) != 0) std::abort();
  return path;
}

// A broken promise of the code under test: stop so that the fuzzer keeps the input.
#define RAV_FUZZ_CHECK(condition)                                                     \
  do {                                                                                \
    if (!(condition)) {                                                               \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (false)

}  // namespace rav_fuzz
