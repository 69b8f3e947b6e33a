// The corpus and regression inputs of the fuzz target fuzz_in_hdf5, replayed.
#define LLVMFuzzerTestOneInput rav_fuzz_in_hdf5_one_input
#include "../fuzz/fuzz_in_hdf5.cpp"
#undef LLVMFuzzerTestOneInput

#include "replay.h"

TEST(FuzzReplay, Hdf5ImageReader) { rav_replay::replay("in_hdf5", rav_fuzz_in_hdf5_one_input); }
