// The corpus and regression inputs of the fuzz target fuzz_in_zelfa, replayed.
#define LLVMFuzzerTestOneInput rav_fuzz_in_zelfa_one_input
#include "../fuzz/fuzz_in_zelfa.cpp"
#undef LLVMFuzzerTestOneInput

#include "replay.h"

TEST(FuzzReplay, ImageReader) { rav_replay::replay("in_zelfa", rav_fuzz_in_zelfa_one_input); }
