#include <omp.h>

#include "rav_drivers.h"

// The threads the slice loops run on; the count also chooses the grouping of the slices.
void RAV_NUM_PROCESSORS(std::int32_t& count, std::int32_t& /*status*/) {
  count = omp_get_max_threads();
}
