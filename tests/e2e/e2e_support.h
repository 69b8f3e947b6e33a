// Whole runs of the programs for the end-to-end tests: running a program in a directory,
// writing synthetic scans, editing parameter files and reading volumes.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

struct RunResult {
  std::string out;
  int exit_code = -1;
};

// Runs PROGRAM (a file of the build directory) with ARGS in directory DIR and collects its
// standard output; standard error goes to /dev/null.
inline RunResult run(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& dir) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], STDOUT_FILENO);
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    std::string path = std::string(RAV_BINARY_DIR) + "/" + program;
    std::vector<std::string> copies = args;
    std::vector<char*> argv{path.data()};
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  RunResult result;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0) result.out.append(buffer, n);
  ::close(pipe_fds[0]);
  int wait_status = 0;
  ::waitpid(pid, &wait_status, 0);
  result.exit_code =
      WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  return result;
}

// A fresh directory under the temporary directory, named after the running test.
inline fs::path test_directory(const std::string& name) {
  fs::path dir = fs::temp_directory_path() / ("rav_e2e_" + std::to_string(::getpid()) + "_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

inline std::string read_text(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void write_text(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

// Sets KEYWORD to VALUE in the parameter file FILE (appending the line when it is missing).
inline void set_parameter(const fs::path& file, const std::string& keyword,
                          const std::string& value) {
  std::istringstream in(read_text(file));
  std::string line, result;
  bool found = false;
  while (std::getline(in, line)) {
    if (line.rfind(keyword + " ", 0) == 0) {
      line = keyword + " = " + value;
      found = true;
    }
    result += line + "\n";
  }
  if (!found) result += keyword + " = " + value + "\n";
  write_text(file, result);
}

inline std::vector<float> read_floats(const fs::path& file) {
  const std::string bytes = read_text(file);
  std::vector<float> values(bytes.size() / sizeof(float));
  std::memcpy(values.data(), bytes.data(), values.size() * sizeof(float));
  return values;
}

// TEXT with the number field of every timing line (a line ending " minutes" or "%", the field
// after " = ") masked whole, each of its characters made '#': the numbers depend on the machine
// and on where the run falls on the clock (a run that crosses a second shows 100.00% instead
// of 0.00%), the labels and the field widths do not.
inline std::string timing_masked(const std::string& text) {
  std::istringstream in(text);
  std::string line, result;
  while (std::getline(in, line)) {
    const std::size_t equals = line.find(" = ");
    const std::size_t unit = line.ends_with(" minutes") ? line.size() - 8
                             : line.ends_with("%")      ? line.size() - 1
                                                        : std::string::npos;
    if (equals != std::string::npos && unit != std::string::npos && unit >= equals + 3) {
      std::fill(line.begin() + static_cast<std::ptrdiff_t>(equals + 3),
                line.begin() + static_cast<std::ptrdiff_t>(unit), '#');
    }
    result += line + "\n";
  }
  return result;
}

}  // namespace e2e
