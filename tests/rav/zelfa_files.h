// Helpers of the image reader tests: keyword-header files built byte by byte in a temporary
// directory, and one reader call with its console output.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../support/files.h"
#include "dax.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace zelfa_test {

// "{", the pairs, blanks, "}" and a line feed: LENGTH bytes in all.
inline std::string header(const std::string& pairs, std::size_t length = 1024) {
  std::string text = "{" + pairs;
  EXPECT_LE(text.size(), length - 2);
  text.resize(length - 2, ' ');
  return text + "}\n";
}

// The raw bytes of PIXELS, most significant byte first when BIG_ENDIAN.
template <typename T>
std::string pixel_bytes(const std::vector<T>& pixels, bool big_endian) {
  std::string bytes;
  for (const T& pixel : pixels) {
    char raw[sizeof(T)];
    std::memcpy(raw, &pixel, sizeof(T));
    if (big_endian != (std::endian::native == std::endian::big)) std::reverse(raw, raw + sizeof(T));
    bytes.append(raw, sizeof(T));
  }
  return bytes;
}

// The outcome of one RAV_IN_ZELFA call.
struct Read {
  std::int32_t retstat = 99;  // a value the reader never gives
  std::int32_t xnumdat = -7;
  std::int32_t ynumdat = -7;
  std::int32_t status = ST_OK;
  std::vector<float> data;
  std::string printed;
};

inline Read read(const std::string& path, std::int32_t xmaxdat, std::int32_t ymaxdat,
                 std::int32_t xstrelm, std::int32_t ystrelm, std::int32_t xendelm,
                 std::int32_t yendelm, float fill = -9.0f) {
  Read result;
  ST_DEF_SYSTEM(result.status);
  result.data.assign(static_cast<std::size_t>(std::max(xmaxdat, 1)) * std::max(ymaxdat, 1), fill);
  ::testing::internal::CaptureStdout();
  RAV_IN_ZELFA(xmaxdat, ymaxdat, xstrelm, ystrelm, xendelm, yendelm, path, result.retstat,
               result.xnumdat, result.ynumdat, result.data, result.status);
  result.printed = ::testing::internal::GetCapturedStdout();
  return result;
}

// A temporary directory per test; the reader's state starts as at program start, and every
// test checks that the reader left no file open.
class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::test_directory("zelfa");
    rav_in_zelfa_state = RavInZelfaState{};
  }
  void TearDown() override {
    EXPECT_EQ(dax_file_table.ut_file_in_open, 0);
    std::filesystem::remove_all(dir_);
  }
  std::string write(const std::string& name, const std::string& contents) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return path;
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::filesystem::path dir_;
};

}  // namespace zelfa_test
