// The fixture of the survey of bad inputs: a scratch directory per test that the program (also
// when run as another user) can read and write, and a tiny synthetic scan on request.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "run.h"

namespace rav_survey {

namespace fs = std::filesystem;

class Survey : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("rav_survey_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
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
  std::string read(const std::string& name) const { return rav_run::read_file(dir_ / name); }

  rav_run::Result vuzav(const std::vector<std::string>& args, bool unprivileged = false,
                        std::uint64_t address_space = 0) const {
    return rav_run::run(rav_run::kVuzav, args, {dir_, unprivileged, address_space});
  }

  // A tiny scan written by rav_phantom into the scratch directory: 16 x 4 pixel projections
  // proj_0000.zlf ... (16-bit), background.zlf, flat.zlf and phantom.par (relative names) that
  // reconstructs 4 slices of 16 x 16 into recon.raw. EXTRA are further rav_phantom options.
  void make_scan(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> args = {"--out", dir_.string(), "--bins", "16", "--projections",
                                     "12", "--slices", "4", "--subsamples", "1", "--relative"};
    args.insert(args.end(), extra.begin(), extra.end());
    const rav_run::Result made = rav_run::run(rav_run::kPhantom, args, {});
    ASSERT_EQ(made.exit_code, 0) << made.out << made.err;
    for (const auto& entry : fs::directory_iterator(dir_)) ::chmod(entry.path().c_str(), 0666);
  }

  // Sets KEYWORD to VALUE in the parameter file NAME (replacing its line, or adding one).
  void set_parameter(const std::string& keyword, const std::string& value,
                     const std::string& name = "phantom.par") const {
    std::string text = read(name);
    const std::regex line("(^|\n)" + keyword + " = [^\n]*");
    const std::string replacement = "$1" + keyword + " = " + value;
    if (std::regex_search(text, line)) {
      text = std::regex_replace(text, line, replacement);
    } else {
      text += keyword + " = " + value + "\n";
    }
    write(name, text);
  }

  fs::path dir_;
};

// No sanitizer report and no crash: what every case asks besides its own expectations.
inline void expect_clean_end(const rav_run::Result& r) {
  EXPECT_LT(r.exit_code, 128) << "ended by a signal\n" << r.out << r.err;
  EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
}

}  // namespace rav_survey
