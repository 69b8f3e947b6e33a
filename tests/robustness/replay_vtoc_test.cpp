// The corpus and regression inputs of the fuzz target fuzz_vtoc, replayed.
#define LLVMFuzzerTestOneInput rav_fuzz_vtoc_one_input
#include "../fuzz/fuzz_vtoc.cpp"
#undef LLVMFuzzerTestOneInput

#include "replay.h"

TEST(FuzzReplay, RealToText) { rav_replay::replay("vtoc", rav_fuzz_vtoc_one_input); }
