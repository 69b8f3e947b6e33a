// A private X server for the window tests: Xvfb started on a free display number, which it
// reports through -displayfd, and stopped again by its process id. It does not reset when its
// last client leaves, so one test's closed window cannot make the next test's open fail.
// XvfbTest shares one server among the tests of a suite; ScopedEnv points DISPLAY at it (or
// nowhere) for a while.
#pragma once

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>

namespace test_support {

inline std::string find_xvfb() {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    const std::filesystem::path candidate = std::filesystem::path(dir) / "Xvfb";
    if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

class XvfbServer {
 public:
  ~XvfbServer() { stop(); }

  // False when there is no Xvfb or it did not come up within 20 seconds.
  bool start() {
    const std::string binary = find_xvfb();
    if (binary.empty()) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      close(fds[0]);
      const int null = open("/dev/null", O_WRONLY);
      dup2(null, 1);
      dup2(null, 2);
      const std::string fd = std::to_string(fds[1]);
      execl(binary.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
            "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the display number and a line end once it accepts connections.
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    while (poll(&wait, 1, 20000) > 0) {
      char ch;
      if (read(fds[0], &ch, 1) != 1 || ch == '\n') break;
      number += ch;
    }
    close(fds[0]);
    if (number.empty()) {
      stop();
      return false;
    }
    display_ = ":" + number;
    return true;
  }

  void stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

// Sets an environment variable for the life of the object (unsets it for an empty value).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value.empty()) {
      unsetenv(name);
    } else {
      setenv(name, value.c_str(), 1);
    }
  }
  ~ScopedEnv() {
    if (had_) {
      setenv(name_, old_.c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

// Fixture of tests on one Xvfb started for their suite: skipped when there is none, run with
// DISPLAY naming it. A derived SetUp calls this one first and returns when IsSkipped().
class XvfbTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = new XvfbServer;
    started_ = server_->start();
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }
  void SetUp() override {
    if (!started_) GTEST_SKIP() << "no Xvfb to run the window tests on";
    display_.emplace("DISPLAY", server_->display());
  }
  void TearDown() override { display_.reset(); }

 private:
  static inline XvfbServer* server_ = nullptr;
  static inline bool started_ = false;
  std::optional<ScopedEnv> display_;
};

}  // namespace test_support
