// Whole runs with DISPLAY_GRAPHICS: the first sinogram of the pass and the slices are shown in
// the window under a private X server, or written as PNG pages with "+PNG" and no display.
#include <gtest/gtest.h>

#include "../support/xvfb_server.h"
#include "e2e_support.h"

namespace {

using e2e::fs::path;
using test_support::RunResult;
using test_support::ScopedEnv;

class Graphics : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = test_support::test_directory("rav_e2e");
    const RunResult written = test_support::run(
        test_support::kPhantom,
        {"--bins", "64", "--projections", "96", "--slices", "3", "--out", dir_.string(),
         "--relative"},
        {.dir = dir_});
    ASSERT_EQ(written.exit_code, 0) << written.out;
    e2e::set_parameter(dir_ / "phantom.par", "DISPLAY_GRAPHICS", "YES");
  }
  void TearDown() override { e2e::fs::remove_all(dir_); }

  path dir_;
};

TEST_F(Graphics, PngPagesWithoutADisplay) {
  ScopedEnv no_display("DISPLAY", "");
  const RunResult run =
      test_support::run(test_support::kVuzav, {"phantom.par", "+png"}, {.dir = dir_});
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_NE(run.out.find("INFO: Graphics pages are written as PNG files"), std::string::npos);
  EXPECT_NE(run.out.find("INFO: Displaying 1st stored sinogram for pass"), std::string::npos);
  EXPECT_EQ(run.out.find("WARNING"), std::string::npos) << run.out;
  // The first sinogram, then slice 1 (the only slice of a multiple of twenty plus one).
  for (const char* page : {"rav_plot_0001.png", "rav_plot_0002.png"}) {
    const std::string bytes = e2e::read_text(dir_ / page);
    ASSERT_GT(bytes.size(), 8u) << page;
    EXPECT_EQ(bytes.substr(1, 3), "PNG") << page;
  }
  EXPECT_FALSE(e2e::fs::exists(dir_ / "rav_plot_0003.png"));
}

TEST_F(Graphics, WithoutADisplayTheRunStopsAndSaysWhy) {
  ScopedEnv no_display("DISPLAY", "");
  const RunResult run = test_support::run(test_support::kVuzav, {"phantom.par"}, {.dir = dir_});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("WARNING: Cannot open the X display: DISPLAY is not set\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("ERROR: The graphics window could not be opened: nothing is "
                         "reconstructed\n       Without a display, give +PNG"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.err, "");  // every message on standard output
  EXPECT_FALSE(e2e::fs::exists(dir_ / "recon.raw"));
}

TEST_F(Graphics, WindowUnderAPrivateXServer) {
  test_support::XvfbServer server;
  if (!server.start()) GTEST_SKIP() << "no Xvfb";
  ScopedEnv display("DISPLAY", server.display());
  const RunResult run = test_support::run(test_support::kVuzav, {"phantom.par"}, {.dir = dir_});
  server.stop();
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_EQ(run.out.find("WARNING"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("INFO: RAV_VUZAV V1.7  FINISHED"), std::string::npos);
  EXPECT_FALSE(e2e::fs::exists(dir_ / "rav_plot_0001.png"));
}

}  // namespace
