// Helpers of the tests of rav_master: synthetic scans, the programs run on them, the accuracy of
// a volume, and a pseudo-terminal to answer its questions.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "../e2e/e2e_support.h"
#include "dax.h"
#include "rav_in_zelfa.h"
#include "ut.h"

namespace master_test {

namespace fs = std::filesystem;
using test_support::RunResult;

inline const std::string kMaster = RAV_BINARY_DIR "/rav_master";
inline const std::string kCompare = RAV_BINARY_DIR "/rav_compare";

inline RunResult master(const std::vector<std::string>& args, const fs::path& dir = {}) {
  return test_support::run(kMaster, args, {.dir = dir});
}

// Writes a synthetic scan into DIR (absolute file names in its phantom.par).
inline void phantom(const fs::path& dir, std::vector<std::string> options) {
  options.insert(options.end(), {"--out", dir.string()});
  const RunResult r = test_support::run(test_support::kPhantom, options);
  ASSERT_EQ(r.exit_code, 0) << r.out;
}

// A scratch directory for each test.
class ScratchTest : public testing::Test {
 protected:
  void SetUp() override { root_ = test_support::test_directory("rav_master"); }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

// The RMS difference of VOLUME against the scan's truth.raw, in 1/cm (-1 when not compared).
inline double rms_error(const fs::path& volume, const fs::path& truth) {
  const RunResult r = test_support::run(kCompare, {volume.string(), truth.string()});
  const std::size_t at = r.out.find("voxels: ");
  return r.exit_code == 0 && at != std::string::npos ? std::stod(r.out.substr(at + 8)) : -1.0;
}

// The image NAME (W x H pixels) as floats.
inline std::vector<float> read_image(const fs::path& name, int w, int h) {
  std::vector<float> data(static_cast<std::size_t>(w) * h);
  std::int32_t retstat = 0, nx = 0, ny = 0, status = ST_OK;
  RAV_IN_ZELFA(w, h, 1, 1, w, h, name.string(), retstat, nx, ny, data, status);
  EXPECT_EQ(status, ST_OK);
  return data;
}

// Projections 1 .. COUNT (W x H) of the scan in DIR replaced by float images of their corrected
// intensity, (image - background) / (flat - background), so that they need no correction; the
// background and flat-field images are removed.
inline void correct_projections(const fs::path& dir, int count, int w, int h) {
  const std::vector<float> dark = read_image(dir / "background.zlf", w, h);
  const std::vector<float> flat = read_image(dir / "flat.zlf", w, h);
  for (int n = 1; n <= count; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "proj_%04d.zlf", n);
    std::vector<float> image = read_image(dir / name, w, h);
    for (std::size_t i = 0; i < image.size(); ++i) {
      image[i] = (image[i] - dark[i]) / (flat[i] - dark[i]);
    }
    std::int32_t retstat = 0, status = ST_OK;
    DAX_OUT_ZELFA((dir / name).string(), w, h, 1, 1, w, h, image, retstat, status);
    ASSERT_EQ(status, ST_OK);
  }
  fs::remove(dir / "background.zlf");
  fs::remove(dir / "flat.zlf");
}

// rav_master run on a pseudo-terminal: what it prints is read as it comes, answers are typed.
class Terminal {
 public:
  explicit Terminal(const std::vector<std::string>& args) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(master_);
    ::unlockpt(master_);
    const std::string slave = ::ptsname(master_);
    std::vector<std::string> strings = {kMaster};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv = test_support::detail::pointers(strings);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setsid();
      const int fd = ::open(slave.c_str(), O_RDWR);
      ::dup2(fd, 0);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      ::execv(kMaster.c_str(), argv.data());
      ::_exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0 && !waited_) ::kill(pid_, SIGKILL), wait();
    ::close(master_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Reads until one of TEXTS follows what was expected before; its index, or -1 after 60 s.
  int expect(const std::vector<std::string>& texts) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline) {
      for (std::size_t k = 0; k < texts.size(); ++k) {
        const std::size_t at = seen_.find(texts[k], consumed_);
        if (at == std::string::npos) continue;
        consumed_ = at + texts[k].size();
        return static_cast<int>(k);
      }
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) return -1;
      seen_.append(buffer, static_cast<std::size_t>(n));
    }
    return -1;
  }
  void type(const std::string& line) {
    const std::string text = line + "\n";
    ASSERT_EQ(::write(master_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
  }
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  const std::string& seen() const { return seen_; }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
  bool waited_ = false;
  std::string seen_;
  std::size_t consumed_ = 0;
};

}  // namespace master_test
