// Running rav_vuzav and rav_phantom as processes for the survey of bad inputs: standard output
// and standard error collected, the exit code (128 + signal when a signal ended it), and the
// limits a case needs (another user, a smaller address space).
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rav_run {

namespace fs = std::filesystem;

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

struct Options {
  fs::path dir;                       // working directory of the program
  bool unprivileged = false;          // run as "nobody" when the test runs as root, so that
                                      // file permissions apply
  std::uint64_t address_space = 0;    // RLIMIT_AS in bytes (0: unlimited)
  fs::path small_fs;                  // mount a tmpfs of SMALL_FS_BYTES here, seen only by the
  std::uint64_t small_fs_bytes = 0;   // program (a mount namespace of its own)
};

// Exit code of the child when the small file system could not be set up (no privilege).
constexpr int kNoSmallFs = 125;

struct Result {
  std::string out;
  std::string err;
  int exit_code = -1;
};

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs PROGRAM with ARGS. A program still running after ten minutes is ended by SIGALRM, so
// that a hang shows as a failure instead of stopping the suite.
inline Result run(const std::string& program, const std::vector<std::string>& args,
                  const Options& options) {
  const fs::path out_path = fs::temp_directory_path() /
                            ("rav_run_" + std::to_string(::getpid()) + ".out");
  const fs::path err_path = fs::temp_directory_path() /
                            ("rav_run_" + std::to_string(::getpid()) + ".err");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out_fd < 0 || err_fd < 0) ::_exit(126);
    ::dup2(out_fd, STDOUT_FILENO);
    ::dup2(err_fd, STDERR_FILENO);
    if (!options.small_fs.empty()) {
      const std::string size = "size=" + std::to_string(options.small_fs_bytes);
      if (::unshare(CLONE_NEWNS) != 0 ||
          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          ::mount("tmpfs", options.small_fs.c_str(), "tmpfs", 0, size.c_str()) != 0) {
        ::_exit(kNoSmallFs);
      }
    }
    if (!options.dir.empty() && ::chdir(options.dir.c_str()) != 0) ::_exit(126);
    if (options.address_space > 0) {
      const rlimit limit{options.address_space, options.address_space};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(126);
    }
    if (options.unprivileged && ::geteuid() == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(126);
    }
    ::alarm(600);
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  Result result;
  int wait_status = 0;
  ::waitpid(pid, &wait_status, 0);
  result.exit_code =
      WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  std::error_code ignored;
  fs::remove(out_path, ignored);
  fs::remove(err_path, ignored);
  return result;
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

}  // namespace rav_run
