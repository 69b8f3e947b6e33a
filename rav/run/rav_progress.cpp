// The progress line on standard error.
#include "rav_progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <string_view>

#include "rav_mpi.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kRedraw = std::chrono::milliseconds(100);  // at most ten drawings a second
constexpr std::string_view kClear = "\r\033[K";           // to the line's start, erase it

struct ProgressState {
  bool allowed = false;  // standard error is a terminal and --quiet was not given
  bool running = false;  // a run is under way
  bool drawn = false;    // the line is on the screen
  std::int64_t total = 0, done = 0;
  std::int32_t pass = 0, passes = 0, projections = 0, read = 0;
  Clock::time_point start, last;
};
ProgressState progress;

// The buffer of standard output while it is held back.
char held_output[1 << 16];

std::string clock_text(double seconds) {
  const auto whole = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (whole >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  }
  return text;
}

std::string compose(Clock::time_point now) {
  const double elapsed = std::chrono::duration<double>(now - progress.start).count();
  std::string line = "pass " + std::to_string(progress.pass) + "/" +
                     std::to_string(progress.passes);
  if (progress.projections > 0) {
    line += " | projections " + std::to_string(progress.read) + "/" +
            std::to_string(progress.projections);
  }
  if (progress.total <= 0) return line + " | " + clock_text(elapsed) + " so far";  // no slices
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, " (%.0f%%)",
                100.0 * static_cast<double>(progress.done) / static_cast<double>(progress.total));
  line += " | slices " + std::to_string(progress.done) + "/" + std::to_string(progress.total) +
          numbers;
  if (progress.done > 0 && elapsed > 0.0) {
    const double rate = static_cast<double>(progress.done) / elapsed;
    std::snprintf(numbers, sizeof numbers, " | %.3g slices/s", rate);
    line += numbers;
    line += " | " + clock_text(static_cast<double>(progress.total - progress.done) / rate) + " left";
  } else {
    line += " | " + clock_text(elapsed) + " so far";
  }
  return line;
}

// The terminal's width, so that the line never wraps (a wrapped line cannot be redrawn).
std::size_t width() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1;
  return 79;
}

void erase() {
  if (progress.drawn) std::fputs(kClear.data(), stderr);
  progress.drawn = false;
}

// Draws the line when it is not on the screen, its last drawing is at least a tenth of a second
// old, or AT_ONCE (a new pass is always shown).
void draw(bool at_once = false) {
  if (!progress.allowed || !progress.running) return;
  const Clock::time_point now = Clock::now();
  if (progress.drawn && !at_once && now - progress.last < kRedraw) return;
  progress.last = now;
  std::string line = compose(now);
  if (line.size() > width()) line.resize(width());
  erase();
  std::fflush(stdout);  // the transcript's lines so far, where the line stood
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  progress.drawn = true;
}

}  // namespace

void rav_progress_setup(int argc, const char* const* argv) {
  bool quiet = false;
  for (int i = 2; i < argc; ++i) {
    if (argv[i] != nullptr && std::string_view(argv[i]) == "--quiet") quiet = true;
  }
  progress = ProgressState{};
  progress.allowed = !quiet && rav_mpi_is_root() && ::isatty(STDERR_FILENO) != 0;
  // Lines of the transcript written while the progress line stands on the same terminal would
  // end up inside it: they are held back and shown at each drawing.
  if (progress.allowed && ::isatty(STDOUT_FILENO) != 0) {
    std::setvbuf(stdout, held_output, _IOFBF, sizeof held_output);
  }
}

RavProgress::RavProgress(std::int64_t total_slices, std::int32_t passes) {
  progress.running = true;
  progress.drawn = false;
  progress.total = total_slices;
  progress.done = 0;
  progress.pass = 0;
  progress.passes = passes;
  progress.projections = progress.read = 0;
  progress.start = progress.last = Clock::now();
}

RavProgress::~RavProgress() {
  progress.running = false;
  if (!progress.allowed) return;
  erase();
  std::fflush(stderr);
  std::fflush(stdout);
}

void rav_progress_pass(std::int32_t pass, std::int32_t projections) {
  progress.pass = pass;
  progress.projections = projections;
  progress.read = 0;
  draw(true);
}

void rav_progress_projection(std::int32_t done) {
  progress.read = done;
  draw();
}

void rav_progress_slice() {
  ++progress.done;
  draw();
}
