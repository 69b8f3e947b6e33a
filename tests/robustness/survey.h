// The fixture of the survey of bad inputs: a scratch directory per test that the program (also
// when run as another user) can read and write, and a tiny synthetic scan on request.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "../support/files.h"
#include "../support/process.h"

namespace rav_survey {

namespace fs = std::filesystem;
using test_support::kPhantom;
using test_support::kVuzav;
using test_support::RunResult;

class Survey : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::test_directory("rav_survey");
    ::chmod(dir_.c_str(), 0777);
  }
  void TearDown() override {
    // Permissions taken away by a test would stop the removal.
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir_, ignored)) {
      ::chmod(entry.path().c_str(), 0777);
    }
    fs::remove_all(dir_, ignored);
  }

  fs::path path(const std::string& name) const { return dir_ / name; }

  void write(const std::string& name, const std::string& content) const {
    std::ofstream(dir_ / name, std::ios::binary) << content;
    ::chmod((dir_ / name).c_str(), 0666);
  }
  std::string read(const std::string& name) const { return test_support::read_text(dir_ / name); }

  RunResult vuzav(const std::vector<std::string>& args, bool unprivileged = false,
                  std::uint64_t address_space = 0) const {
    return test_support::run(
        kVuzav, args, {.dir = dir_, .unprivileged = unprivileged, .address_space = address_space});
  }
  // The program on parameter file PAR with a tmpfs of BYTES mounted on the (empty) directory
  // SUBDIR for it alone. The mount ends with the program, so what it left there is listed
  // after its output, one name a line after a line "LISTING".
  RunResult vuzav_small_fs(const std::string& par, const std::string& subdir,
                           std::uint64_t bytes) const {
    fs::create_directories(path(subdir));
    const std::string script =
        kVuzav + " " + par + "; code=$?; echo LISTING; ls " + subdir + "; exit $code";
    return test_support::run("/bin/sh", {"-c", script},
                             {.dir = dir_, .small_fs = path(subdir), .small_fs_bytes = bytes});
  }

  // A tiny scan written by rav_phantom into the scratch directory: 16 x 4 pixel projections
  // proj_0000.zlf ... (16-bit), background.zlf, flat.zlf and phantom.par (relative names) that
  // reconstructs 4 slices of 16 x 16 into recon.raw. EXTRA are further rav_phantom options.
  void make_scan(const std::vector<std::string>& extra = {}) const {
    // Anything an earlier case left (a directory in place of an image) goes first.
    for (const auto& entry : fs::directory_iterator(dir_)) {
      ::chmod(entry.path().c_str(), 0777);
      fs::remove_all(entry.path());
    }
    make_scan_in(dir_, extra);
  }

  // The same scan (or one changed by EXTRA options) written into DIR.
  void make_scan_in(const fs::path& dir, const std::vector<std::string>& extra) const {
    std::vector<std::string> args = {"--out", dir.string(), "--bins", "16", "--projections",
                                     "12", "--slices", "4", "--subsamples", "1", "--relative"};
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult made = test_support::run(kPhantom, args);
    ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
    for (const auto& entry : fs::directory_iterator(dir)) ::chmod(entry.path().c_str(), 0666);
  }

  // Sets KEYWORD to VALUE in the parameter file NAME (replacing its line, or adding one).
  void set_parameter(const std::string& keyword, const std::string& value,
                     const std::string& name = "phantom.par") const {
    const std::string text = read(name);
    std::string result;
    bool replaced = false;
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      if (line.rfind(keyword + " = ", 0) == 0) {
        result += keyword + " = " + value + "\n";
        replaced = true;
      } else {
        result += line + "\n";
      }
      start = end + 1;
    }
    if (!replaced) result += keyword + " = " + value + "\n";
    write(name, result);
  }

  // Sets KEY to VALUE in the 1024-byte header of the image NAME, keeping the header's length
  // (VALUE "-" removes the key).
  void set_header(const std::string& name, const std::string& key,
                  const std::string& value) const {
    std::string content = read(name);
    ASSERT_GE(content.size(), 1024u);
    std::string header = content.substr(0, 1022);
    header.erase(header.find_last_not_of(' ') + 1);
    const std::size_t at = header.find("\n" + key + " = ");
    if (at != std::string::npos) {
      header.erase(at + 1, header.find('\n', at + 1) - at);
    }
    if (value != "-") header += key + " = " + value + ";\n";
    ASSERT_LE(header.size(), 1022u);
    header.resize(1022, ' ');
    content.replace(0, 1022, header);
    write(name, content);
  }

  // The pixels of the image NAME after its 1024-byte header, taken as 4-byte floats.
  void set_float_pixel(const std::string& name, std::size_t index, float value) const {
    std::string content = read(name);
    ASSERT_LE(1024 + 4 * (index + 1), content.size());
    std::memcpy(content.data() + 1024 + 4 * index, &value, sizeof value);
    write(name, content);
  }

  std::vector<float> floats(const std::string& name) const {
    const std::string content = read(name);
    std::vector<float> values(content.size() / sizeof(float));
    std::memcpy(values.data(), content.data(), values.size() * sizeof(float));
    return values;
  }

  // The volume of the scan (BINS x BINS x 4, 16 by default) is complete: every record
  // written, every value finite, its info file beside it.
  void expect_complete_volume(int bins = 16) const {
    ASSERT_TRUE(fs::exists(path("recon.raw")));
    const std::vector<float> values = floats("recon.raw");
    EXPECT_EQ(values.size(), static_cast<std::size_t>(bins * bins * 4));
    for (const float v : values) ASSERT_TRUE(std::isfinite(v));
    const std::string size = ut_like_field(bins);
    EXPECT_EQ(read("recon.raw.info"), "! RAV_VUZAV VOLUME INFO FILE\nNUM_X = " + size +
                                           "\nNUM_Y = " + size + "\nNUM_Z =        4\n");
  }
  static std::string ut_like_field(int value) {
    std::string text = std::to_string(value);
    return std::string(8 - text.size(), ' ') + text;
  }

  // No volume that looks complete: no info file (the slice file may be there, cut short).
  void expect_no_complete_volume(const std::string& name = "recon.raw") const {
    EXPECT_FALSE(fs::exists(path(name + ".info")));
  }

  fs::path dir_;
};

// No sanitizer report and no crash: what every case asks besides its own expectations.
inline void expect_clean_end(const RunResult& r) {
  EXPECT_LT(r.exit_code, 128) << "ended by a signal\n" << r.out << r.err;
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
}

// Lines of TEXT that begin with PREFIX.
inline std::vector<std::string> lines_starting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> found;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    if (line.rfind(prefix, 0) == 0) found.push_back(line);
    start = end + 1;
  }
  return found;
}

}  // namespace rav_survey
