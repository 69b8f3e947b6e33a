// The corpus and regression inputs of the fuzz target fuzz_in_tiff, replayed.
#define LLVMFuzzerTestOneInput rav_fuzz_in_tiff_one_input
#include "../fuzz/fuzz_in_tiff.cpp"
#undef LLVMFuzzerTestOneInput

#include "replay.h"

TEST(FuzzReplay, TiffImageReader) { rav_replay::replay("in_tiff", rav_fuzz_in_tiff_one_input); }
