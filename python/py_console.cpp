// The console of the program's routines inside the Python process: standard output captured at
// the descriptor (the routines print through stdio), and the lock of the process-wide state.
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <stdexcept>

#include "dax.h"
#include "py_module.h"
#include "rav_in_zelfa.h"

std::mutex& program_state_lock() {
  static std::mutex lock;
  return lock;
}

void flush_python_output() {
  const py::module_ sys = py::module_::import("sys");
  for (const char* name : {"stdout", "stderr"}) {
    const py::object stream = sys.attr(name);
    if (!stream.is_none() && py::hasattr(stream, "flush")) stream.attr("flush")();
  }
}

StdoutCapture::StdoutCapture() {
  std::fflush(stdout);
  file_ = memfd_create("rav_vuzav_transcript", MFD_CLOEXEC);
  saved_ = file_ >= 0 ? dup(STDOUT_FILENO) : -1;
  if (saved_ < 0 || dup2(file_, STDOUT_FILENO) < 0) {
    const int error = errno;
    if (saved_ >= 0) close(saved_);
    if (file_ >= 0) close(file_);
    saved_ = file_ = -1;
    throw std::runtime_error(std::string("cannot capture standard output: ") +
                             std::strerror(error));
  }
}

StdoutCapture::~StdoutCapture() {
  if (saved_ >= 0) finish();
}

std::string StdoutCapture::finish() {
  if (saved_ < 0) return {};
  std::fflush(stdout);
  dup2(saved_, STDOUT_FILENO);
  close(saved_);
  saved_ = -1;
  std::string text;
  char buffer[65536];
  for (off_t offset = 0;;) {
    const ssize_t n = pread(file_, buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    offset += n;
  }
  close(file_);
  file_ = -1;
  return text;
}

std::string message_lines(const std::string& transcript) {
  std::istringstream lines(transcript);
  std::string line, messages;
  bool in_message = false;
  while (std::getline(lines, line)) {
    const bool starts = line.rfind("ERROR: ", 0) == 0 || line.rfind("WARNING: ", 0) == 0 ||
                        line.rfind("INFO: ", 0) == 0;
    // A message goes on over its indented lines.
    in_message = starts || (in_message && !line.empty() && line[0] == ' ' &&
                            line.find_first_not_of(' ') != std::string::npos);
    if (!in_message) continue;
    if (!messages.empty()) messages += '\n';
    messages += line;
  }
  return messages;
}

void fresh_program_state() {
  rav_in_zelfa_state = RavInZelfaState{};
  // A slot left open would refuse the next file (every path closes its files; this is the net).
  DaxFileTable& files = dax_file_table;
  std::int32_t ignored = 0;
  if (files.ut_file_in_open != 0) DAX_FILECLOSEC(files.ut_file_in_id, ignored);
  if (files.ut_file_out_open != 0) DAX_FILECLOSEC(files.ut_file_out_id, ignored);
}

void raise_os_error(const std::string& file_name, bool writing, const std::string& what) {
  namespace fs = std::filesystem;
  std::error_code ignored;
  const fs::path path(file_name);
  int error = EIO;
  if (fs::is_directory(path, ignored)) {
    error = EISDIR;
  } else if (!writing || fs::exists(path, ignored)) {
    if (access(file_name.c_str(), writing ? W_OK : R_OK) != 0) error = errno;
  } else {
    const fs::path parent = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (access(parent.c_str(), W_OK | X_OK) != 0) error = errno;
  }
  // OSError with an errno becomes its subclass: FileNotFoundError, PermissionError, ...
  PyErr_SetObject(PyExc_OSError,
                  py::make_tuple(error, what + ": " + std::strerror(error), file_name).ptr());
  throw py::error_already_set();
}
