// Safe runs: an earlier volume and its info file survive every run that fails, is refused or is
// stopped, bit for bit, and nothing of the failed run is left behind; a run that is stopped at a
// known point (a projection that is a FIFO, which blocks the reader until the test acts) shows
// what it printed before; a second run on the same output is refused while the first runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <chrono>
#include <fcntl.h>
#include <functional>
#include <string>
#include <vector>

#include "survey.h"

namespace {

namespace fs = std::filesystem;
using rav_survey::expect_clean_end;
using rav_survey::lines_starting;
using test_support::RunResult;
using test_support::Started;

class SafeRuns : public rav_survey::Survey {
 protected:
  // A complete volume from the scan, kept to compare with what is there after a failed run.
  void make_earlier_volume() {
    make_scan();
    const RunResult good = vuzav({"phantom.par"});
    ASSERT_EQ(good.exit_code, 0) << good.out;
    volume_ = read("recon.raw");
    info_ = read("recon.raw.info");
    ASSERT_FALSE(volume_.empty());
  }

  // The earlier volume and info file are there as they were, and the failed run left nothing
  // (no temporary file, no lock file) in FOLDER.
  void expect_earlier_volume(const std::string& folder = ".") const {
    EXPECT_TRUE(read("recon.raw") == volume_) << "the earlier volume changed";
    EXPECT_EQ(read("recon.raw.info"), info_);
    for (const auto& entry : fs::directory_iterator(path(folder))) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name << " left behind";
      EXPECT_EQ(name.find(".lock"), std::string::npos) << name << " left behind";
    }
  }

  // Turns projection NAME into a FIFO; its content is kept for feed().
  void make_fifo(const std::string& name) {
    fifo_content_ = read(name);
    fs::remove(path(name));
    ASSERT_EQ(::mkfifo(path(name).c_str(), 0666), 0);
    fifo_ = path(name);
  }

  // Waits until RUN has opened the FIFO to read it (it is then blocked there, its output file
  // created) and answers the writing end, or -1 when it never does.
  int wait_at_fifo(Started& run) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
      const int fd = ::open(fifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) {
        ::fcntl(fd, F_SETFL, 0);
        return fd;
      }
      if (errno != ENXIO) return -1;
      siginfo_t info{};
      if (::waitid(P_PID, static_cast<id_t>(run.pid()), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
          info.si_pid == run.pid()) {
        return -1;  // ended without reading it
      }
      ::poll(nullptr, 0, 10);
    }
    return -1;
  }

  // Writes the projection through the FIFO and closes it.
  void feed(int fd) const {
    const char* data = fifo_content_.data();
    std::size_t left = fifo_content_.size();
    while (left > 0) {
      const ssize_t n = ::write(fd, data, left);
      if (n <= 0) break;
      data += n;
      left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
  }

  Started start(const std::vector<std::string>& args) const {
    return Started(test_support::kVuzav, args, {.dir = dir_});
  }

  std::string volume_, info_;
  std::string fifo_content_;
  fs::path fifo_;
};

// Each family of failures, after a good run: exit code 1, the earlier volume untouched.
TEST_F(SafeRuns, FailedOrRefusedRunsKeepTheEarlierVolume) {
  struct Case {
    std::string what;
    std::function<void()> spoil;
    std::string error;  // a line of the transcript
  };
  const std::vector<Case> cases = {
      {"missing projection", [&] { fs::remove(path("proj_0004.zlf")); },
       "         No such file or directory"},
      {"missing flat field", [&] { fs::remove(path("flat.zlf")); },
       "ERROR: Problem inputting flat-field"},
      {"output naming an input", [&] { set_parameter("OUTPUT_FILE", "proj_0003.zlf"); },
       "ERROR: The output file proj_0003.zlf is the same file as the projection proj_0003.zlf"},
      {"output linked to the flat field",
       [&] {
         fs::create_hard_link(path("flat.zlf"), path("flat_link.raw"));
         set_parameter("OUTPUT_FILE", "flat_link.raw");
       },
       "ERROR: The output file flat_link.raw is the same file as the flat field flat.zlf"},
      {"output naming the parameter file", [&] { set_parameter("OUTPUT_FILE", "phantom.par"); },
       "ERROR: The output file phantom.par is the same file as the parameter file phantom.par"},
      {"every projection unusable",
       [&] {
         for (int n = 1; n <= 12; ++n) {
           set_header("proj_00" + std::string(n < 10 ? "0" : "") + std::to_string(n) + ".zlf",
                      "Compression", "JPEG");
         }
       },
       "ERROR: None of the 12 projections could be input for slices 1 to 4: no volume is "
       "written"},
      {"no pixel inside the reconstruction circle",
       [&] {
         set_parameter("END_VOXEL_1", "2");
         set_parameter("END_VOXEL_2", "2");
       },
       "ERROR: ROTATION_AXIS_POSITION = 8 leaves no voxel of the block inside the "
       "reconstruction circle\n       (START_VOXEL_1 = 1 to END_VOXEL_1 = 2, START_VOXEL_2 = 1 "
       "to END_VOXEL_2 = 2);"},
      {"flat field unusable", [&] { write("flat.zlf", read("background.zlf")); },
       "ERROR: The flat field cannot be used: 64 of 64 pixels of the flat field flat.zlf are "
       "not above 0.1 after the background is subtracted"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    make_earlier_volume();
    c.spoil();
    const RunResult r = vuzav({"phantom.par"});
    expect_clean_end(r);
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.out.find("\n" + c.error), std::string::npos) << r.out;
    expect_earlier_volume();
    if (HasFailure()) return;
  }
}

TEST_F(SafeRuns, RunStoppedBySignalWhileReading) {
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(signal_number));
    make_earlier_volume();
    make_fifo("proj_0005.zlf");
    Started run = start({"phantom.par"});
    const int fd = wait_at_fifo(run);
    ASSERT_GE(fd, 0) << run.wait().out;
    ::kill(run.pid(), signal_number);
    ::close(fd);
    const RunResult r = run.wait();
    EXPECT_EQ(r.exit_code, 128 + signal_number) << r.out;
    // Every line printed before the signal reached the pipe (line-buffered output).
    EXPECT_NE(r.out.find("INFO: Inputting from proj_0001.zlf (and onwards)\n"), std::string::npos)
        << r.out;
    expect_earlier_volume();
  }
}

TEST_F(SafeRuns, SecondRunOnTheSameOutputIsRefused) {
  make_earlier_volume();
  make_fifo("proj_0005.zlf");
  Started first = start({"phantom.par"});
  const int fd = wait_at_fifo(first);
  ASSERT_GE(fd, 0) << first.wait().out;
  const RunResult second = vuzav({"phantom.par"});
  EXPECT_EQ(second.exit_code, 1);
  EXPECT_EQ(lines_starting(second.out, "ERROR: "),
            std::vector<std::string>{"ERROR: Another run is writing the output file recon.raw "
                                     "(process " + std::to_string(first.pid()) + ")"})
      << second.out;
  // The first run goes on to its end and puts its volume in place (the projection that came
  // through the FIFO, where the reader cannot seek, is skipped with a warning).
  feed(fd);
  const RunResult r = first.wait();
  EXPECT_EQ(r.exit_code, 0) << r.out;
  expect_complete_volume();
}

TEST_F(SafeRuns, OutputFolderReplacedDuringTheRun) {
  make_scan();
  fs::create_directory(path("out"));
  set_parameter("OUTPUT_FILE", "out/recon.raw");
  make_fifo("proj_0005.zlf");
  Started run = start({"phantom.par"});
  const int fd = wait_at_fifo(run);
  ASSERT_GE(fd, 0) << run.wait().out;
  fs::rename(path("out"), path("moved"));
  fs::create_directory(path("out"));
  feed(fd);
  const RunResult r = run.wait();
  EXPECT_EQ(r.exit_code, 1) << r.out;
  EXPECT_NE(r.out.find("ERROR: The folder of the output file was removed or replaced during the "
                       "run:\n       out\n"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(fs::is_empty(path("out")));
  EXPECT_TRUE(fs::is_empty(path("moved")));  // the temporary file went from where it was
}

TEST_F(SafeRuns, FullDeviceKeepsTheEarlierVolume) {
  // A tmpfs of 16 KiB holds the earlier 16 x 16 volume; the new one (64 x 64 slices of 16 KiB)
  // does not fit. Both runs see the same file system (one shell in a mount namespace).
  make_scan();
  set_parameter("OUTPUT_FILE", "small/recon.raw");
  write("large.par", read("phantom.par"));
  set_parameter("END_VOXEL_1", "64", "large.par");
  set_parameter("END_VOXEL_2", "64", "large.par");
  fs::create_directories(path("small"));
  const std::string v = test_support::kVuzav;
  const std::string script =
      v + " phantom.par > /dev/null || exit 90; cp small/recon.raw before.raw; "
          "cp small/recon.raw.info before.info; cp small/recon.raw.mhd before.mhd; " + v +
      " large.par; code=$?; echo LISTING; ls small; cmp small/recon.raw before.raw && "
      "cmp small/recon.raw.info before.info && cmp small/recon.raw.mhd before.mhd && echo SAME; "
      "exit $code";
  const RunResult r = test_support::run(
      "/bin/sh", {"-c", script}, {.dir = dir_, .small_fs = path("small"), .small_fs_bytes = 16384});
  if (r.exit_code == test_support::kNoSmallFs) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(r.exit_code, 1) << r.out;
  EXPECT_EQ(lines_starting(r.out, "ERROR: "),
            std::vector<std::string>{"ERROR: Problem writing record 1 of output file "
                                     "small/recon.raw: No space left on device"})
      << r.out;
  EXPECT_EQ(r.out.substr(r.out.find("LISTING\n")),
            "LISTING\nrecon.raw\nrecon.raw.info\nrecon.raw.mhd\nSAME\n");
}

TEST_F(SafeRuns, FailedSinogramOutputKeepsTheEarlierSinograms) {
  // Sinograms of 64 bins x 48 projections (12 KiB each) do not fit under a limit of 8 KiB on the
  // size of a file (the volume of 16 x 16 pixels does): the first one fails.
  make_scan({"--bins", "64", "--projections", "48"});
  set_parameter("END_VOXEL_1", "16");
  set_parameter("END_VOXEL_2", "16");
  set_parameter("OUTPUT_SINOGRAMS", "YES");
  write("sino_0001.zlf", "earlier sinogram 1");
  write("sino_0002.zlf", "earlier sinogram 2");
  const RunResult r = test_support::run(
      "/bin/sh", {"-c", "trap '' XFSZ; ulimit -f 16 && exec " + std::string(test_support::kVuzav) +
                            " phantom.par"},
      {.dir = dir_});
  EXPECT_EQ(r.exit_code, 1) << r.out;
  EXPECT_NE(r.out.find("ERROR: Problem outputting sinogram file sino_0001.zlf"),
            std::string::npos)
      << r.out;
  EXPECT_TRUE(read("sino_0001.zlf") == "earlier sinogram 1") << "sinogram 1 changed";
  EXPECT_TRUE(read("sino_0002.zlf") == "earlier sinogram 2") << "sinogram 2 changed";
  for (const auto& entry : fs::directory_iterator(dir_)) {
    EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos)
        << entry.path() << " left behind";
  }
}

TEST_F(SafeRuns, ClosedStandardDescriptorsDoNotReceiveTheVolume) {
  make_earlier_volume();
  fs::remove(path("recon.raw"));
  fs::remove(path("recon.raw.info"));
  const RunResult r = test_support::run(test_support::kVuzav, {"phantom.par"},
                                        {.dir = dir_, .closed_standard_streams = true});
  EXPECT_EQ(r.exit_code, 0);
  expect_earlier_volume();  // the same volume, no console line in it
}

// The floor of the flat field: a few dead pixels are counted and placed (the run goes on); for
// floating-point images the floor follows the flat field's level, so that a scan scaled by a
// power of two gives the same volume, bit for bit.
TEST_F(SafeRuns, FlatFieldFloor) {
  make_scan();
  // Flat field pixels (3, 1) and (5, 2) equal to the background: 0 after it is subtracted.
  std::string flat = read("flat.zlf");
  const std::string background = read("background.zlf");
  for (const std::size_t pixel : {std::size_t{2}, std::size_t{16 + 4}}) {
    flat.replace(1024 + 2 * pixel, 2, background.substr(1024 + 2 * pixel, 2));
  }
  write("flat.zlf", flat);
  const RunResult r = vuzav({"phantom.par"});
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("WARNING: 2 of 64 pixels of the flat field flat.zlf are not above 0.1 "
                       "after the background is subtracted; they are used as 0.1\n"
                       "         First at (column, row): (3, 1), (5, 2)\n"),
            std::string::npos)
      << r.out;

  make_scan({"--float"});
  ASSERT_EQ(vuzav({"phantom.par"}).exit_code, 0);
  const std::vector<float> unscaled = floats("recon.raw");
  for (const auto& entry : fs::directory_iterator(dir_)) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".zlf")) continue;
    std::string content = read(name);
    for (std::size_t at = 1024; at + 4 <= content.size(); at += 4) {
      float value;
      std::memcpy(&value, content.data() + at, 4);
      value = std::ldexp(value, -20);  // flat field minus background about 0.04
      std::memcpy(content.data() + at, &value, 4);
    }
    write(name, content);
  }
  const RunResult scaled = vuzav({"phantom.par"});
  EXPECT_EQ(scaled.exit_code, 0) << scaled.out;
  EXPECT_EQ(lines_starting(scaled.out, "WARNING: "), std::vector<std::string>{}) << scaled.out;
  EXPECT_TRUE(floats("recon.raw") == unscaled) << "the scaled scan gives another volume";
}

// A projection that is a device without end (a link to /dev/zero) is searched for a header only
// so far, then skipped; the run ends.
TEST_F(SafeRuns, EndlessProjectionIsSkipped) {
  make_scan();
  fs::remove(path("proj_0006.zlf"));
  fs::create_symlink("/dev/zero", path("proj_0006.zlf"));
  const RunResult r = vuzav({"phantom.par"});
  EXPECT_FALSE(r.hung);
  EXPECT_EQ(r.exit_code, 0) << r.out;
  EXPECT_NE(r.out.find("WARNING: No complete header found within 65536 bytes: image not input\n"
                       "WARNING: Problem inputting from\n         proj_0006.zlf\n"),
            std::string::npos)
      << r.out;
  expect_complete_volume();
}

}  // namespace
