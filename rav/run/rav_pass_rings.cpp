// Ring removal of the sinograms of a pass (or of one stored sinogram) on the threads.
#include <string>

#include "rav_accuracy.h"
#include "ut.h"

std::int64_t rav_remove_rings_of(const RavRingOptions& rings, const RavGeometry& geometry,
                                 std::span<float* const> sinograms, int threads) {
  if (rings.method == RavRingOptions::NONE) return 0;
  const auto size = static_cast<std::size_t>(geometry.sinogram_values());
  const auto count = static_cast<std::int64_t>(sinograms.size());
  std::int64_t columns = 0;
#pragma omp parallel for schedule(static, 1) num_threads(threads) reduction(+ : columns)
  for (std::int64_t n = 0; n < count; ++n) {
    columns += rav_remove_rings(rings, geometry.NUM_BINS, geometry.NUM_PROJECTIONS,
                                std::span<float>(sinograms[static_cast<std::size_t>(n)], size));
  }
  return columns;
}

void rav_report_rings(std::int64_t columns, std::int64_t sinograms, std::int32_t& status) {
  UT_WRITE("INFO: Ring removal corrected " + std::to_string(columns) + " stripe columns in " +
               std::to_string(sinograms) + " sinograms",
           status);
}
