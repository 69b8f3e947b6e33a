// rav_master on synthetic scans: the parameter file it writes reconstructs the phantom as the
// hand-written one does, its questions on a terminal, the check and its estimate, a run split
// into parts and joined, and bad scans refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>

#include "master_support.h"

namespace {

using namespace master_test;

using Master = ScratchTest;

// Renames the projections proj_NNNN.zlf of DIR to proj_ + the number in FORMAT.
void rename_projections(const fs::path& dir, int count, const char* format) {
  for (int n = 1; n <= count; ++n) {
    char old_name[32], new_name[32];
    std::snprintf(old_name, sizeof old_name, "proj_%04d.zlf", n);
    std::snprintf(new_name, sizeof new_name, format, n);
    fs::rename(dir / old_name, dir / new_name);
  }
}

// The images of DIR as TIFF files (the test client over tifffile), the hand-written file reading
// them in place of the keyword-header files, which are removed.
void tiff_scan(const fs::path& dir) {
  const RunResult made = test_support::run(
      "/usr/bin/python3", {RAV_SOURCE_DIR "/tests/e2e/formats_client.py", "tiff", dir.string()});
  ASSERT_EQ(made.exit_code, 0) << made.out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".zlf") fs::remove(entry.path());
  }
  std::string text = test_support::read_text(dir / "phantom.par");
  for (std::size_t at; (at = text.find(".zlf")) != std::string::npos;) text.replace(at, 4, ".tif");
  std::ofstream(dir / "phantom.par") << text;
}

struct AccuracyCase {
  const char* name;
  std::vector<std::string> phantom, master;
  // Changes the scan (and its hand-written phantom.par to match) after it is written.
  std::function<void(const fs::path&)> change;
};

TEST_F(Master, GeneratedFileReconstructsAsTheHandWrittenOne) {
  const std::vector<AccuracyCase> cases = {
      {"uint16_180", {"--projections", "180", "--slices", "8"}, {}, nullptr},
      {"float_360_flat_series_noise",
       {"--float", "--turn", "360", "--projections", "200", "--slices", "6", "--axis-offset",
        "3.5", "--flat-series", "3", "--noise", "20000"},
       {},
       nullptr},
      {"no_corrections_varying_length", {"--projections", "150", "--slices", "4", "--float"}, {},
       [](const fs::path& dir) {
         correct_projections(dir, 150, 128, 4);
         rename_projections(dir, 150, "proj_%d.zlf");
         e2e::set_parameter(dir / "phantom.par", "SUBTRACT_BACKGROUND", "NO");
         e2e::set_parameter(dir / "phantom.par", "CORRECT_FLATFIELD", "NO");
         e2e::set_parameter(dir / "phantom.par", "NUMBER_LENGTH_VARIES", "YES");
       }},
      {"tiff_16_bit", {"--projections", "120", "--slices", "4"}, {}, tiff_scan},
      {"six_digits_horizontal_with_end",
       {"--horizontal", "--with-end", "--projections", "181", "--slices", "5"},
       {"--horizontal"},
       [](const fs::path& dir) {
         rename_projections(dir, 181, "proj_%06d.zlf");
         e2e::set_parameter(dir / "phantom.par", "LENGTH_OF_NUMERICAL_PART", "6");
       }},
  };
  for (const AccuracyCase& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path dir = root_ / c.name;
    phantom(dir, c.phantom);
    if (c.change) c.change(dir);
    std::vector<std::string> args = {dir.string(), "--yes", "--pixel-size", "100"};
    args.insert(args.end(), c.master.begin(), c.master.end());
    const RunResult made = master(args);
    ASSERT_EQ(made.exit_code, 0) << made.out;
    std::istringstream written(test_support::read_text(dir / "scan.par"));
    for (std::string line; std::getline(written, line);) {  // a comment on every value
      EXPECT_TRUE(line.starts_with("!") || line.find(" ! ") != std::string::npos) << line;
    }
    const RunResult run = test_support::run(test_support::kVuzav, {(dir / "scan.par").string()});
    ASSERT_EQ(run.exit_code, 0) << run.out;
    EXPECT_EQ(run.out.find("WARNING"), std::string::npos) << run.out;
    ASSERT_EQ(test_support::run(test_support::kVuzav, {(dir / "phantom.par").string()}).exit_code,
              0);
    const double ours = rms_error(dir / "volume.raw", dir / "truth.raw");
    const double hand = rms_error(dir / "recon.raw", dir / "truth.raw");
    std::printf("%s: RMS %.5f 1/cm, hand-written %.5f 1/cm\n", c.name, ours, hand);
    ASSERT_GT(ours, 0.0);
    EXPECT_LE(ours, hand * 1.02 + 1e-4) << "hand-written " << hand;
  }
}

// The file's lines but the memory's, whose comment says how much is available at the time.
std::string without_memory_line(const std::string& text) {
  std::string result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("SINOGRAM_MEGABYTES", 0) != 0) result += line + "\n";
  }
  return result;
}

TEST_F(Master, AsksOnATerminalAndNothingWithoutOne) {
  const fs::path dir = root_ / "scan";
  phantom(dir, {"--projections", "90", "--slices", "4"});
  Terminal terminal({dir.string(), "--pixel-size", "100", "--par", (root_ / "asked.par").string()});
  const std::string first = "Angle the scan covers, in degrees (180 or 360) [180]: ";
  ASSERT_EQ(terminal.expect({first}), 0) << terminal.seen();
  terminal.type("?");
  ASSERT_EQ(terminal.expect({"half a turn (180) or a whole turn (360)"}), 0) << terminal.seen();
  ASSERT_EQ(terminal.expect({first}), 0) << terminal.seen();
  terminal.type("270");
  ASSERT_EQ(terminal.expect({"ERROR: not 180 or 360 (? for help)"}), 0) << terminal.seen();
  ASSERT_EQ(terminal.expect({first}), 0) << terminal.seen();
  terminal.type("");  // the default from here on
  int questions = 0;
  while (terminal.expect({"]: ", "INFO: Parameter file written"}) == 0) {
    terminal.type("");
    ++questions;
  }
  EXPECT_EQ(terminal.wait(), 0) << terminal.seen();
  EXPECT_EQ(questions, 8) << terminal.seen();  // step to output file

  // Without a terminal the same defaults are taken and nothing is asked.
  const RunResult quiet = test_support::run(
      "/bin/sh", {"-c", "exec " + kMaster + " " + dir.string() + " --pixel-size 100 --par " +
                            (root_ / "quiet.par").string() + " < /dev/null"});
  ASSERT_EQ(quiet.exit_code, 0) << quiet.out;
  EXPECT_EQ(quiet.out.find("]: "), std::string::npos) << quiet.out;
  EXPECT_EQ(without_memory_line(test_support::read_text(root_ / "asked.par")),
            without_memory_line(test_support::read_text(root_ / "quiet.par")));
}
}  // namespace
