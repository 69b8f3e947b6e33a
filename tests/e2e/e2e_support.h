// Helpers of the end-to-end tests, which run the programs (../support/process.h) in a scratch
// directory (../support/files.h): editing parameter files, reading volumes, and transcripts with
// their timing masked.
#pragma once

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../support/files.h"
#include "../support/process.h"

namespace e2e {

namespace fs = std::filesystem;

using test_support::read_text;

inline void write_text(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// Sets KEYWORD to VALUE in the parameter file FILE (appending the line when it is missing).
inline void set_parameter(const fs::path& file, const std::string& keyword,
                          const std::string& value) {
  std::istringstream in(read_text(file));
  std::string line, result;
  bool found = false;
  while (std::getline(in, line)) {
    if (line.rfind(keyword + " ", 0) == 0) {
      line = keyword + " = " + value;
      found = true;
    }
    result += line + "\n";
  }
  if (!found) result += keyword + " = " + value + "\n";
  write_text(file, result);
}

inline std::vector<float> read_floats(const fs::path& file) {
  const std::string bytes = read_text(file);
  std::vector<float> values(bytes.size() / sizeof(float));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  return values;
}

// TEXT with the number field of every timing line (a line ending " minutes" or "%", the field
// after " = ") masked whole, each of its characters made '#': the numbers depend on the machine
// and on where the run falls on the clock (a run that crosses a second shows 100.00% instead
// of 0.00%), the labels and the field widths do not.
inline std::string timing_masked(const std::string& text) {
  std::istringstream in(text);
  std::string line, result;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find(" = ");
    const std::size_t unit = line.ends_with(" minutes") ? line.size() - 8
                             : line.ends_with("%")      ? line.size() - 1
                                                        : std::string::npos;
    if (equals != std::string::npos && unit != std::string::npos && unit >= equals + 3) {
      std::fill(line.begin() + static_cast<std::ptrdiff_t>(equals + 3),
                line.begin() + static_cast<std::ptrdiff_t>(unit), '#');
    }
    result += line + "\n";
  }
  return result;
}

}  // namespace e2e
