// Ranks of a run: joining the MPI job, votes and totals, the slabs, and the console of the ranks
// other than 0.
#include "rav_mpi.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "rav.h"
#include "ut.h"

#ifdef RAV_HAVE_MPI
#include <mpi.h>

#include <thread>
#endif

namespace {

struct RunRanks {
  int rank = 0;
  int size = 1;
  bool joined = false;           // MPI initialised by this process and not yet finalised
  bool failed = false;           // a vote of the run failed
  bool failure_reported = false; // rank 0 has named the failed rank
};
RunRanks g_ranks;

bool starts_with(std::string_view text, std::string_view start) {
  return text.substr(0, start.size()) == start;
}

#ifdef RAV_HAVE_MPI

// The line that switches the console filter to showing every line (the status report).
constexpr char kShowAll[] = "\x01";

void write_message(const std::string& text) {
  std::int32_t status = ST_OK;  // shown whatever the status of the run
  UT_WRITE(text, status);
}

// A launcher that starts MPI processes leaves these in their environment; a process started on
// its own never joins MPI, so that it runs exactly as the single-process program.
bool started_by_launcher() {
  for (const char* name : {"OMPI_COMM_WORLD_SIZE", "PMIX_RANK", "PMI_RANK", "PMI_SIZE"}) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

// The console of a rank other than 0: standard output goes into a pipe, and a thread passes
// the lines that concern the user on to the real standard output with the rank in front.
struct ConsoleFilter {
  bool running = false;
  int real_out = -1;
  int pipe_in = -1;
  std::thread thread;
};
ConsoleFilter g_console;

void write_all(int fd, const std::string& text) {
  const char* data = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nowhere left to show it
    data += n;
    left -= static_cast<std::size_t>(n);
  }
}

void filter_lines(int in, int out, int rank) {
  const std::string prefix = "[rank " + std::to_string(rank) + "] ";
  bool show_all = false;
  int message = 0;
  auto take = [&](std::string_view line) {
    if (line == kShowAll) {
      show_all = true;
    } else if (show_all || rav_mpi_line_passes(line, message)) {
      write_all(out, prefix + std::string(line) + "\n");
    }
  };
  std::string pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1) {
      take(std::string_view(pending).substr(start, end - start));
    }
    pending.erase(0, start);
  }
  if (!pending.empty()) take(pending);
}

void console_start(int rank) {
  int fds[2];
  if (::pipe(fds) != 0) return;  // then the rank's console stays unfiltered
  std::fflush(stdout);
  g_console.real_out = ::dup(STDOUT_FILENO);
  if (g_console.real_out < 0 || ::dup2(fds[1], STDOUT_FILENO) < 0) {
    ::close(fds[0]);
    ::close(fds[1]);
    return;
  }
  ::close(fds[1]);
  g_console.pipe_in = fds[0];
  g_console.thread = std::thread(filter_lines, fds[0], g_console.real_out, rank);
  g_console.running = true;
}

// Hands every line written so far to the filter and waits until it has passed them on; then
// standard output is the real one again.
void console_drain() {
  if (!g_console.running) return;
  g_console.running = false;
  std::fflush(stdout);
  ::dup2(g_console.real_out, STDOUT_FILENO);  // closes the pipe's only writing end
  g_console.thread.join();
  ::close(g_console.pipe_in);
  ::close(g_console.real_out);
}

// A process that leaves the job without finalising it (after a fatal error, or an exit nothing
// expected): its messages are shown, then the whole job is aborted, so that no rank waits for
// this one at a vote.
void leave_on_exit() {
  console_drain();
  if (!g_ranks.joined) return;
  int finalized = 0;
  MPI_Finalized(&finalized);
  if (finalized == 0) MPI_Abort(MPI_COMM_WORLD, 1);
}

#endif  // RAV_HAVE_MPI

// Mixes BYTES into the 64-bit FNV-1a hash H.
void mix(std::uint64_t& h, const void* bytes, std::size_t count) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (std::size_t i = 0; i < count; ++i) {
    h ^= p[i];
    h *= 1099511628211ULL;
  }
}
template <typename T>
void mix_value(std::uint64_t& h, const T& value) {
  mix(h, &value, sizeof value);
}
void mix_text(std::uint64_t& h, const std::string& text) {
  mix_value(h, text.size());
  mix(h, text.data(), text.size());
}

}  // namespace

void rav_mpi_start(int& argc, char**& argv) {
#ifdef RAV_HAVE_MPI
  if (!started_by_launcher()) return;
  int provided = 0;
  // Only the main thread calls MPI; the slice loops' threads never do.
  if (MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided) != MPI_SUCCESS) return;
  g_ranks.joined = true;
  MPI_Comm_rank(MPI_COMM_WORLD, &g_ranks.rank);
  MPI_Comm_size(MPI_COMM_WORLD, &g_ranks.size);
  std::atexit(leave_on_exit);
  // Whole lines at once: what a rank has said is not lost in a buffer when the job is aborted.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  if (g_ranks.size > 1 && g_ranks.rank != 0) console_start(g_ranks.rank);
#else
  (void)argc;
  (void)argv;
#endif
}

int rav_mpi_finish(int code) {
#ifdef RAV_HAVE_MPI
  if (g_ranks.joined) {
    std::fflush(stdout);
    MPI_Finalize();
    g_ranks.joined = false;
  }
  console_drain();
#endif
  return g_ranks.failed && code == 0 ? 1 : code;
}

void rav_mpi_abort_job() {
#ifdef RAV_HAVE_MPI
  if (!g_ranks.joined || g_ranks.size == 1) return;
  leave_on_exit();
#endif
}

int rav_mpi_rank() { return g_ranks.rank; }
int rav_mpi_size() { return g_ranks.size; }
bool rav_mpi_run_failed() { return g_ranks.failed; }

bool rav_mpi_vote(bool ok, std::int64_t key) {
#ifdef RAV_HAVE_MPI
  if (!g_ranks.joined || g_ranks.size == 1) return ok;
  // One reduction by minimum: the lowest failed rank (the rank count when none failed), the
  // lowest key and minus the highest key.
  key &= (std::int64_t{1} << 62) - 1;
  long long votes[3] = {ok ? g_ranks.size : g_ranks.rank, key, -key};
  MPI_Allreduce(MPI_IN_PLACE, votes, 3, MPI_LONG_LONG, MPI_MIN, MPI_COMM_WORLD);
  const bool all_ok = votes[0] == g_ranks.size;
  const bool agreed = votes[1] == -votes[2];
  if (all_ok && agreed) return true;
  g_ranks.failed = true;
  if (ok && g_ranks.rank == 0 && !g_ranks.failure_reported) {
    g_ranks.failure_reported = true;
    if (!all_ok) {
      const std::string failed = std::to_string(votes[0]);
      write_message("ERROR: The run failed on rank " + failed +
                    "; its messages are marked \"[rank " + failed + "]\"");
    } else {
      write_message("ERROR: The ranks of the run did not read the same parameters");
    }
  }
  return false;
#else
  (void)key;
  return ok;
#endif
}

void rav_mpi_sum(std::span<double> values) {
#ifdef RAV_HAVE_MPI
  if (!g_ranks.joined || g_ranks.size == 1 || values.empty()) return;
  MPI_Allreduce(MPI_IN_PLACE, values.data(), static_cast<int>(values.size()), MPI_DOUBLE,
                MPI_SUM, MPI_COMM_WORLD);
#else
  (void)values;
#endif
}

void rav_mpi_max(std::span<double> values) {
#ifdef RAV_HAVE_MPI
  if (!g_ranks.joined || g_ranks.size == 1 || values.empty()) return;
  MPI_Allreduce(MPI_IN_PLACE, values.data(), static_cast<int>(values.size()), MPI_DOUBLE,
                MPI_MAX, MPI_COMM_WORLD);
#else
  (void)values;
#endif
}

void rav_mpi_share(std::string& text) {
#ifdef RAV_HAVE_MPI
  if (!g_ranks.joined || g_ranks.size == 1) return;
  long long length = static_cast<long long>(text.size());
  MPI_Bcast(&length, 1, MPI_LONG_LONG, 0, MPI_COMM_WORLD);
  text.resize(static_cast<std::size_t>(length));
  if (length > 0) {
    MPI_Bcast(text.data(), static_cast<int>(length), MPI_CHAR, 0, MPI_COMM_WORLD);
  }
#else
  (void)text;
#endif
}

void rav_mpi_broadcast(std::span<double> values) {
#ifdef RAV_HAVE_MPI
  if (!g_ranks.joined || g_ranks.size == 1 || values.empty()) return;
  MPI_Bcast(values.data(), static_cast<int>(values.size()), MPI_DOUBLE, 0, MPI_COMM_WORLD);
#else
  (void)values;
#endif
}

std::int64_t rav_mpi_parameter_key(const ParameterSet& p) {
  std::uint64_t h = 14695981039346656037ULL;
  for (const std::string* text : {&p.FILE_PREFIX, &p.FILE_POSTFIX, &p.BACKGROUND_FILE,
                                  &p.FLATFIELD_FILE, &p.FF_PREFIX, &p.FF_POSTFIX,
                                  &p.OUTPUT_FILE}) {
    mix_text(h, *text);
  }
  for (std::int32_t value :
       {p.NUM_FIRST_IMAGE, p.NUM_LAST_IMAGE, p.FILE_INTERVAL, p.LENGTH_OF_NUMERICAL_PART,
        p.NUM_IMAGE_1, p.NUM_IMAGE_2, p.FF_NUM_FIRST_IMAGE, p.FF_NUM_LAST_IMAGE,
        p.FF_FILE_INTERVAL, p.FF_LENGTH_OF_NUMERICAL_PART, p.OVERSAMPLING_FACTOR,
        p.CACHE_KILOBYTES, p.SINOGRAM_MEGABYTES, p.START_VOXEL_1, p.START_VOXEL_2,
        p.START_VOXEL_3, p.END_VOXEL_1, p.END_VOXEL_2, p.END_VOXEL_3}) {
    mix_value(h, value);
  }
  for (float value : {p.IMAGE_PIXEL_SIZE_1, p.IMAGE_PIXEL_SIZE_2, p.ANGLE_OFFSET,
                      p.ANGLE_BETWEEN_PROJECTIONS, p.ROTATION_AXIS_POSITION}) {
    mix_value(h, value);
  }
  // The rotation axis: found, swept, half acquisition.
  for (float value : {p.AXIS_SWEEP.FIRST, p.AXIS_SWEEP.LAST, p.AXIS_SWEEP.STEP}) {
    mix_value(h, value);
  }
  for (bool value : {p.ROTATION_AXIS_AUTO, p.AXIS_SWEEP.given, p.HALF_ACQUISITION}) {
    mix_value(h, value);
  }
  // DISPLAY_GRAPHICS is left out: only rank 0 opens a window.
  for (bool value : {p.NUMBER_LENGTH_VARIES, p.SUBTRACT_BACKGROUND, p.CORRECT_FLATFIELD,
                     p.FLATFIELD_CHANGING, p.FF_NUMBER_LENGTH_VARIES, p.TAKE_LOGARITHM,
                     p.ROTATION_VERTICAL, p.OUTPUT_SINOGRAMS, p.OUTPUT_RECONSTRUCTION,
                     p.RECONSTRUCT_FROM_SINOGRAMS}) {
    mix_value(h, value);
  }
  return static_cast<std::int64_t>(h >> 2);
}

RavSlab rav_mpi_slab_of(std::int64_t total, int rank, int size) {
  RavSlab slab;
  if (total <= 0 || size < 1 || rank < 0 || rank >= size) return slab;
  const std::int64_t base = total / size;
  const std::int64_t extra = total % size;  // ranks below this take one slice more
  slab.count = base + (rank < extra ? 1 : 0);
  slab.first = std::int64_t{rank} * base + std::min<std::int64_t>(rank, extra);
  return slab;
}

void rav_mpi_show_report() {
#ifdef RAV_HAVE_MPI
  if (!g_console.running) return;
  std::fflush(stdout);
  write_all(STDOUT_FILENO, std::string(kShowAll) + "\n");
#endif
}

bool rav_mpi_line_passes(std::string_view line, int& message) {
  constexpr int kNone = 0, kWarning = 1, kError = 2;
  if (starts_with(line, "ERROR: ")) {
    message = kError;
    return true;
  }
  if (starts_with(line, "WARNING: ")) {
    message = kWarning;
    return true;
  }
  const bool blank = line.find_first_not_of(' ') == std::string_view::npos;
  const bool continues = !blank && ((message == kWarning && line.front() == ' ') ||
                                    (message == kError && !starts_with(line, "INFO: ")));
  if (!continues) message = kNone;
  return continues;
}
