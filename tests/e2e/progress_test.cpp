// The progress line, seen through a pseudo-terminal: drawn on standard error at most ten times a
// second and cleared at the end, never mixed into the transcript, absent with --quiet and when
// standard error is not a terminal.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "e2e_support.h"

namespace {

using test_support::RunResult;

constexpr std::string_view kClear = "\r\033[K";

struct PtyRun {
  std::string terminal;  // what reached the terminal
  std::string out;       // standard output, when it is not the terminal
  int exit_code = -1;
  double seconds = 0.0;
};

// Runs the program on ARGS in DIR with standard error (and, with BOTH, standard output) on a
// pseudo-terminal.
PtyRun run_on_terminal(const std::vector<std::string>& args, const e2e::fs::path& dir, bool both) {
  PtyRun result;
  int master = -1, slave = -1;
  winsize size{};
  size.ws_col = 200;
  size.ws_row = 24;
  if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) return result;
  int out_pipe[2];
  if (::pipe(out_pipe) != 0) return result;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(master);
    ::close(out_pipe[0]);
    ::dup2(slave, STDERR_FILENO);
    ::dup2(both ? slave : out_pipe[1], STDOUT_FILENO);
    if (::chdir(dir.c_str()) != 0) ::_exit(126);
    std::vector<char*> argv = {const_cast<char*>(test_support::kVuzav.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(slave);
  ::close(out_pipe[1]);
  // Both are read as they come, until the program's ends of them are closed (reading the
  // terminal then fails with EIO).
  std::vector<pollfd> open = {{out_pipe[0], POLLIN, 0}, {master, POLLIN, 0}};
  std::string* texts[] = {&result.out, &result.terminal};
  char buffer[4096];
  while (open[0].fd >= 0 || open[1].fd >= 0) {
    if (::poll(open.data(), open.size(), 60000) <= 0) break;
    for (std::size_t k = 0; k < open.size(); ++k) {
      if (open[k].fd < 0 || open[k].revents == 0) continue;
      const ssize_t n = ::read(open[k].fd, buffer, sizeof buffer);
      if (n > 0) {
        texts[k]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        open[k].fd = -1;
      }
    }
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  ::close(out_pipe[0]);
  ::close(master);
  return result;
}

std::vector<std::string> split(const std::string& text, std::string_view separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string::npos;
       start = at + separator.size()) {
    parts.push_back(text.substr(start, at - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

std::string unix_lines(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

class Progress : public testing::Test {
 protected:
  void SetUp() override {
    root_ = test_support::test_directory("rav_progress");
    const RunResult written = test_support::run(
        test_support::kPhantom, {"--out", (root_ / "scan").string(), "--relative", "--bins",
                                 "128", "--projections", "180", "--slices", "24"});
    ASSERT_EQ(written.exit_code, 0) << written.out;
    // Two passes, so that the line has a pass to show besides the slices.
    e2e::set_parameter(root_ / "scan" / "phantom.par", "SINOGRAM_MEGABYTES", "1");
    piped_ = test_support::run(test_support::kVuzav, {"phantom.par"}, {.dir = root_ / "scan"});
    ASSERT_EQ(piped_.exit_code, 0) << piped_.out;
  }
  void TearDown() override { e2e::fs::remove_all(root_); }
  e2e::fs::path root_;
  RunResult piped_;
};

TEST_F(Progress, OneLineOnTheTerminalNothingInTheTranscript) {
  // Standard error not a terminal: nothing there.
  EXPECT_EQ(piped_.err, "");

  const PtyRun run = run_on_terminal({"phantom.par"}, root_ / "scan", false);
  ASSERT_EQ(run.exit_code, 0) << run.out;
  EXPECT_EQ(e2e::timing_masked(run.out), e2e::timing_masked(piped_.out));
  // Every drawing clears the line before it; the last clear ends the run.
  ASSERT_TRUE(run.terminal.starts_with("pass 1/2 | projections ")) << run.terminal;
  ASSERT_TRUE(run.terminal.ends_with(kClear)) << run.terminal;
  const std::vector<std::string> drawings = split(run.terminal, kClear);
  for (const std::string& line : drawings) {
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    EXPECT_LE(line.size(), 199u);
  }
  EXPECT_NE(run.terminal.find("pass 2/2 | projections "), std::string::npos) << run.terminal;
  EXPECT_NE(run.terminal.find("/24 ("), std::string::npos) << run.terminal;
  // At most ten drawings a second, besides the one at the start of each pass.
  EXPECT_LE(static_cast<double>(drawings.size() - 1), 10.0 * run.seconds + 2.0);

  const PtyRun quiet = run_on_terminal({"phantom.par", "--quiet"}, root_ / "scan", false);
  EXPECT_EQ(quiet.exit_code, 0);
  EXPECT_EQ(quiet.terminal, "");
  EXPECT_EQ(e2e::timing_masked(quiet.out), e2e::timing_masked(piped_.out));
}

TEST_F(Progress, TranscriptLinesOnTheSameTerminalStayWhole) {
  const PtyRun run = run_on_terminal({"phantom.par"}, root_ / "scan", true);
  ASSERT_EQ(run.exit_code, 0) << run.terminal;
  // After each clear come the transcript's lines held back since the last drawing, then the
  // progress line, which has no line end.
  std::string transcript;
  for (const std::string& part : split(unix_lines(run.terminal), kClear)) {
    transcript += part.substr(0, part.rfind('\n') + 1);
  }
  EXPECT_EQ(e2e::timing_masked(transcript), e2e::timing_masked(piped_.out));
}

}  // namespace
