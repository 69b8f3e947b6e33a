// The progress line of a run: on a terminal, one line on standard error with the pass, the
// projections read, the slices done of the total, the rate and the time left, redrawn at most
// ten times a second and cleared at the end. Nothing is shown when standard error is not a
// terminal, after --quiet, or on any rank but rank 0. The transcript on standard output is not
// changed; only when standard output is the same terminal are its lines held back between two
// drawings of the progress line (and shown, above it, at each), so that the two never mix.
// Everything here runs on the calling thread only.
#pragma once

#include <cstdint>

// Decides once, before anything is printed, whether the progress line may be shown: not when
// ARGV holds "--quiet" after the parameter file name.
void rav_progress_setup(int argc, const char* const* argv);

// The progress of one run of TOTAL_SLICES slices in PASSES passes, from its construction to its
// destruction (which clears the line).
class RavProgress {
 public:
  RavProgress(std::int64_t total_slices, std::int32_t passes);
  ~RavProgress();
  RavProgress(const RavProgress&) = delete;
  RavProgress& operator=(const RavProgress&) = delete;
};

// Pass PASS begins; it reads PROJECTIONS projections (0: it reads none).
void rav_progress_pass(std::int32_t pass, std::int32_t projections);
// Projection DONE of the pass has been read.
void rav_progress_projection(std::int32_t done);
// One more slice has been written.
void rav_progress_slice();
