// Replays the fuzz corpus of a target, and every input a fuzzer once stopped on (kept as a
// regression file), through the target's entry point, without libFuzzer. Under the sanitizer
// build this finds the memory and undefined-behaviour faults again.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rav_replay {

using OneInput = int (*)(const std::uint8_t* data, std::size_t size);

// Files of tests/fuzz/TARGET/ and tests/fuzz/crashes/TARGET/, in name order.
inline std::vector<std::filesystem::path> inputs(const std::string& target) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const fs::path& dir : {fs::path(RAV_SOURCE_DIR) / "tests/fuzz" / target,
                             fs::path(RAV_SOURCE_DIR) / "tests/fuzz/crashes" / target}) {
    if (!fs::is_directory(dir)) continue;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(dir)) {
      if (entry.is_regular_file()) files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

inline void replay(const std::string& target, OneInput one_input) {
  const std::vector<std::filesystem::path> files = inputs(target);
  ASSERT_FALSE(files.empty()) << "no corpus in tests/fuzz/" << target;
  for (const std::filesystem::path& file : files) {
    SCOPED_TRACE(file.string());
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
    EXPECT_EQ(one_input(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
  }
}

}  // namespace rav_replay
