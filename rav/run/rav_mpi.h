// Running one reconstruction as several processes (MPI ranks), each on its own slab of slices.
//
// Started by an MPI launcher (mpirun, srun), the program joins the job: rank r reconstructs the
// r-th of N contiguous, balanced slabs of the slices and writes its records at their own record
// numbers of the one output file. Rank 0 speaks for the run (banner, parameter messages, its
// pass messages, the timing report over all ranks, the volume info file); the other ranks show
// only their "ERROR: " and "WARNING: " lines and a status report, each line prefixed with
// "[rank r] ".
//
// The ranks meet only at votes: every rank casts one at the same fixed points of the run, and
// all of them learn whether every rank can go on, so no rank waits for one that has stopped.
// A rank that stops on a fatal error aborts the whole job.
//
// Built without MPI, or started without a launcher, the process is rank 0 of 1: every vote is
// the process's own answer, the slab is the whole volume and nothing is filtered.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct ParameterSet;

// Joins the MPI job when an MPI launcher started the process; sets up the console of the rank.
// Call first thing in main, before anything is printed.
void rav_mpi_start(int& argc, char**& argv);
// Leaves the job and flushes the console. Returns the exit code of the process: CODE, or 1 when
// a vote of the run failed.
int rav_mpi_finish(int code);

// Ends the whole job at once after a fatal error of this rank (its messages are shown first), so
// that no rank waits for this one at a vote. Does nothing in a process that runs alone.
void rav_mpi_abort_job();

// This process's rank and the number of ranks (0 and 1 without MPI).
int rav_mpi_rank();
int rav_mpi_size();
inline bool rav_mpi_is_root() { return rav_mpi_rank() == 0; }

// True when a vote of this run has failed on any rank.
bool rav_mpi_run_failed();

// A vote at a fixed point of the run, cast by every rank: true when every rank is OK and all
// give the same KEY. With one rank: OK. When the vote fails although this rank is OK, rank 0
// says which rank failed (once per run) and the run counts as failed.
bool rav_mpi_vote(bool ok, std::int64_t key = 0);
// Sums (maxima) of VALUES over the ranks, in place; every rank must call them together.
void rav_mpi_sum(std::span<double> values);
void rav_mpi_max(std::span<double> values);
// Rank 0's VALUES on every rank, in place; every rank must call it together.
void rav_mpi_broadcast(std::span<double> values);

// TEXT as rank 0 has it, on every rank; every rank must call it at the same point of the run.
void rav_mpi_share(std::string& text);

// A key of the parameter values: ranks that read different parameter files do not agree on it.
std::int64_t rav_mpi_parameter_key(const ParameterSet& parameters);

// The slab of one rank: slices FIRST (counted from 0 within the run's slices) to
// FIRST + COUNT - 1. The first TOTAL mod SIZE ranks take one slice more than the others; ranks
// beyond TOTAL take none.
struct RavSlab {
  std::int64_t first = 0;
  std::int64_t count = 0;
};
RavSlab rav_mpi_slab_of(std::int64_t total, int rank, int size);
inline RavSlab rav_mpi_slab(std::int64_t total) {
  return rav_mpi_slab_of(total, rav_mpi_rank(), rav_mpi_size());
}

// From here on every line this process prints is shown (prefixed on ranks other than 0): the
// status report. Call before ST_OUT.
void rav_mpi_show_report();

// The console filter of ranks other than 0, line by line (lines without their line end).
// "ERROR: " and "WARNING: " lines pass, and so does the rest of their message: after a warning
// its indented continuation lines, after an error every line up to an empty one or an "INFO: "
// line (an error names its file on the next line, unindented). MESSAGE carries the open message
// from line to line (0 at the start).
bool rav_mpi_line_passes(std::string_view line, int& message);
