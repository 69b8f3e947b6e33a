// A private X server for the window tests: Xvfb started on a free display number, which it
// reports through -displayfd, and stopped again by its process id. It does not reset when its
// last client leaves, so one test's closed window cannot make the next test's open fail.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace vu_test {

inline std::string find_xvfb() {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  dirs += ":/usr/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos
                                                                        : end - start);
    const std::filesystem::path candidate = std::filesystem::path(dir) / "Xvfb";
    if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate.string();
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

class XvfbServer {
 public:
  // False when there is no Xvfb or it did not come up.
  bool start() {
    const std::string binary = find_xvfb();
    if (binary.empty()) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execl(binary.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
            "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char ch = 0;
    // Xvfb writes the display number and a line end once it accepts connections.
    while (read(fds[0], &ch, 1) == 1 && ch != '\n') number += ch;
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
      int wstatus = 0;
      waitpid(pid_, &wstatus, 0);
      pid_ = -1;
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

}  // namespace vu_test
