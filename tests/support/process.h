// Running the programs of the build (rav_vuzav, rav_phantom, mpirun around them) as processes:
// standard output and standard error collected, the exit code (128 + signal when a signal ended
// it), and what a case needs around the run: a working directory, variables of the
// environment, another user, a smaller address space, a small file system of its own, and a
// time limit after which a hung run is killed.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace test_support {

inline const std::string kVuzav = RAV_BINARY_DIR "/rav_vuzav";
inline const std::string kPhantom = RAV_BINARY_DIR "/rav_phantom";

// Sanitizer builds reserve terabytes of address space and cannot run under a small RLIMIT_AS.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

struct RunOptions {
  std::filesystem::path dir{};        // working directory of the program (empty: the test's)
  std::vector<std::pair<std::string, std::string>> env{};  // variables set for the program
  bool unprivileged = false;          // run as "nobody" when the test runs as root, so that
                                      // file permissions apply
  std::uint64_t address_space = 0;    // RLIMIT_AS in bytes (0: unlimited)
  std::filesystem::path small_fs{};   // mount a tmpfs of SMALL_FS_BYTES here, seen only by the
  std::uint64_t small_fs_bytes = 0;   // program (a mount namespace of its own)
  // A run still going after this long is taken for hung: the program and everything it
  // started (its process group) are killed, so that a hang fails the test instead of stopping
  // the suite.
  std::chrono::seconds time_limit{600};
  // Start the program with its descriptors 0, 1 and 2 closed (nothing is then collected).
  bool closed_standard_streams = false;
};

// Exit codes of the child when it could not be set up: the small file system (no privilege),
// anything else (directory, limit, user), the program not started.
constexpr int kNoSmallFs = 125;
constexpr int kNoSetUp = 126;
constexpr int kNoExec = 127;

struct RunResult {
  std::string out;
  std::string err;
  int exit_code = -1;
  bool hung = false;  // killed at the time limit
};

namespace detail {

// The environment of this process with the variables of SET replaced or added, as
// "NAME=VALUE" strings.
inline std::vector<std::string> environment_with(
    const std::vector<std::pair<std::string, std::string>>& set) {
  std::vector<std::string> entries;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const bool replaced = std::any_of(set.begin(), set.end(), [&](const auto& variable) {
      return entry.rfind(variable.first + "=", 0) == 0;
    });
    if (!replaced) entries.push_back(entry);
  }
  for (const auto& [name, value] : set) entries.push_back(name + "=" + value);
  return entries;
}

inline std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

// In the child: sets up what OPTIONS ask for and starts the program, or ends with one of the
// exit codes above. Only system calls here: everything was prepared before the fork.
[[noreturn]] inline void start_child(const char* program, char* const* argv, char* const* envp,
                                     const RunOptions& options, const char* small_fs_size,
                                     int out_fd, int err_fd) {
  ::setpgid(0, 0);  // the run and its children can be killed at once
  if (options.closed_standard_streams) {
    ::close(STDIN_FILENO);
    ::close(STDOUT_FILENO);
    ::close(STDERR_FILENO);
  } else if (::dup2(out_fd, STDOUT_FILENO) < 0 || ::dup2(err_fd, STDERR_FILENO) < 0) {
    ::_exit(kNoSetUp);
  }
  if (!options.small_fs.empty()) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", options.small_fs.c_str(), "tmpfs", 0, small_fs_size) != 0) {
      ::_exit(kNoSmallFs);
    }
  }
  if (!options.dir.empty() && ::chdir(options.dir.c_str()) != 0) ::_exit(kNoSetUp);
  if (options.address_space > 0) {
    const rlimit limit{options.address_space, options.address_space};
    if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(kNoSetUp);
  }
  if (options.unprivileged && ::geteuid() == 0) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(kNoSetUp);
  }
  ::execve(program, argv, envp);
  ::_exit(kNoExec);
}

}  // namespace detail

// A program started and not yet waited for: its process id, and the ends of its pipes.
class Started {
 public:
  Started(const std::string& program, const std::vector<std::string>& args,
          const RunOptions& options)
      : deadline_(std::chrono::steady_clock::now() + options.time_limit) {
    std::vector<std::string> arg_strings = {program};
    arg_strings.insert(arg_strings.end(), args.begin(), args.end());
    std::vector<std::string> env_strings = detail::environment_with(options.env);
    const std::vector<char*> argv = detail::pointers(arg_strings);
    const std::vector<char*> envp = detail::pointers(env_strings);
    const std::string small_fs_size = "size=" + std::to_string(options.small_fs_bytes);
    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) return;
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
      ::close(out_pipe[0]);
      ::close(out_pipe[1]);
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      detail::start_child(program.c_str(), argv.data(), envp.data(), options,
                          small_fs_size.c_str(), out_pipe[1], err_pipe[1]);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (pid_ < 0) {
      ::close(out_pipe[0]);
      ::close(err_pipe[0]);
      return;
    }
    ::setpgid(pid_, pid_);  // also here, so that a kill cannot come before the child's own call
    open_ = {{out_pipe[0], &result_.out}, {err_pipe[0], &result_.err}};
  }
  Started(const Started&) = delete;
  Started& operator=(const Started&) = delete;
  // A program not waited for (a test that stopped early) is killed, not left running.
  ~Started() {
    if (pid_ <= 0 || waited_) return;
    ::kill(-pid_, SIGKILL);
    wait();
  }

  pid_t pid() const { return pid_; }
  // The output collected so far (complete after wait()).
  const std::string& out() const { return result_.out; }

  // Collects output until TEXT has appeared on standard output or the program has closed it;
  // true when TEXT appeared.
  bool wait_for_output(const std::string& text) {
    while (result_.out.find(text) == std::string::npos) {
      if (!read_some()) return result_.out.find(text) != std::string::npos;
    }
    return true;
  }

  // Reads both streams (a full pipe would stop the program) until both are closed and the
  // program has ended, or the time limit is reached.
  RunResult wait() {
    if (pid_ < 0 || waited_) return result_;
    while (read_some()) {
    }
    int wait_status = 0;
    bool ended = false;
    while (!ended && !result_.hung) {
      if (::waitpid(pid_, &wait_status, WNOHANG) == pid_) {
        ended = true;
      } else if (left() <= 0) {
        kill_hung();
      } else {
        ::poll(nullptr, 0, static_cast<int>(std::min<std::int64_t>(left(), 10)));
      }
    }
    for (const Stream& s : open_) ::close(s.fd);
    open_.clear();
    if (!ended) ::waitpid(pid_, &wait_status, 0);
    waited_ = true;
    result_.exit_code =
        WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
    return result_;
  }

 private:
  struct Stream {
    int fd;
    std::string* text;
  };

  std::int64_t left() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ -
                                                                 std::chrono::steady_clock::now())
        .count();
  }
  void kill_hung() {
    result_.hung = true;
    ::kill(-pid_, SIGKILL);
  }

  // Waits for output and takes what came; false when both streams are closed or the time
  // limit is reached.
  bool read_some() {
    if (open_.empty() || result_.hung) return false;
    if (left() <= 0) {
      kill_hung();
      return false;
    }
    std::vector<pollfd> polled;
    for (const Stream& s : open_) polled.push_back({s.fd, POLLIN, 0});
    if (::poll(polled.data(), polled.size(), static_cast<int>(left())) <= 0) return true;
    for (std::size_t k = polled.size(); k-- > 0;) {
      if (polled[k].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(polled[k].fd, buffer, sizeof buffer);
      if (n > 0) {
        open_[k].text->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(open_[k].fd);
        open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(k));
      }
    }
    return true;
  }

  std::chrono::steady_clock::time_point deadline_;
  pid_t pid_ = -1;
  bool waited_ = false;
  std::vector<Stream> open_;
  RunResult result_;
};

// Runs PROGRAM (a path) with ARGS as OPTIONS say and waits for it.
inline RunResult run(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {}) {
  Started started(program, args, options);
  return started.wait();
}

}  // namespace test_support
