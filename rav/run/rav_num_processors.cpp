#include "rav_drivers.h"

// The slice loops group their slices as for two processors; the count only chooses the
// grouping, it starts nothing.
void RAV_NUM_PROCESSORS(std::int32_t& count, std::int32_t& /*status*/) { count = 2; }
