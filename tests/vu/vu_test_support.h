// Shared helpers of the presentation library's tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "../support/files.h"
#include "dv.h"
#include "ut.h"
#include "vu.h"

namespace vu_test {

inline std::int32_t fresh_status() {
  std::int32_t status;
  ST_DEF_SYSTEM(status);
  return status;
}

// Makes ARGS the process's command line as the graphics options see it.
inline void set_command_line(const std::vector<std::string>& args) {
  static std::vector<std::string> storage;
  static std::vector<const char*> pointers;
  storage = args;
  storage.insert(storage.begin(), "test_vu");
  pointers.clear();
  for (const std::string& a : storage) pointers.push_back(a.c_str());
  ut_set_command_line(static_cast<int>(pointers.size()), pointers.data());
}

// Opens the graphics with the given options (in a page without a window when "+PNG" is one).
inline void open_graphics(const std::vector<std::string>& args, std::int32_t& status) {
  set_command_line(args);
  status = fresh_status();
  VU_OPEN_GRAPHICS(status);
}

inline void close_graphics() {
  std::int32_t status = fresh_status();
  VU_CLOSE_GRAPHICS(status);
  EXPECT_EQ(status, ST_OK);
  dv_x11_set_png_mode(false);
}

// The program's axis values: i - 0.5 for element i.
inline std::vector<float> centres(int n) {
  std::vector<float> axis(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) axis[static_cast<std::size_t>(i)] = static_cast<float>(i) + 0.5f;
  return axis;
}

// One page pixel as red, green, blue bytes.
struct Rgb8 {
  int r = -1, g = -1, b = -1;
};
inline Rgb8 page_pixel(int column, int row) {
  std::uint32_t rgb = 0;
  if (!dv_x11_page_pixel(column, row, rgb)) return {};
  return Rgb8{static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
              static_cast<int>(rgb & 0xFF)};
}

// Runs the test in a fresh working directory (picture files land there) and returns.
class InTempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::filesystem::current_path();
    dir_ = test_support::test_directory("vu_test");
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(saved_);
    std::filesystem::remove_all(dir_);
  }
  std::filesystem::path saved_, dir_;
};

}  // namespace vu_test

namespace vu_test {

// Also draws on a PostScript workstation (2) writing FILE_NAME on unit 17, so that the texts
// of a plot can be read back.
inline void open_postscript(const std::string& file_name, std::int32_t& status) {
  std::int32_t retstat = 0;
  UT_OPEN_ASCIIFILE(false, "WRITE", 17, file_name, retstat, status);
  ASSERT_EQ(retstat, 0);
  DV_OPEN_WK(2, 17, DV_TYPE_PS_PORTRAIT_COLOUR, status);
  DV_ACTIVATE_WK(2, status);
}

inline void close_postscript(std::int32_t& status) {
  DV_CLOSE_WK(2, status);
  UT_CLOSE_ASCIIFILE(17, status);
}

// The strings of the PostScript text operators in FILE_NAME, in drawing order.
inline std::vector<std::string> postscript_texts(const std::string& file_name) {
  std::vector<std::string> texts;
  std::FILE* file = std::fopen(file_name.c_str(), "r");
  if (file == nullptr) return texts;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
    const std::string line = buffer;
    if (line.empty() || line[0] != '(' || line.find(" tx") == std::string::npos) continue;
    std::string text;
    for (std::size_t i = 1; i < line.size() && line[i] != ')'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      text += line[i];
    }
    texts.push_back(text);
  }
  std::fclose(file);
  return texts;
}

}  // namespace vu_test
