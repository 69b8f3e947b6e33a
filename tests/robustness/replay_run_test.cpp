// The corpus and regression inputs of the fuzz target fuzz_run (whole runs with mutated
// projection headers), replayed.
#define LLVMFuzzerTestOneInput rav_fuzz_run_one_input
#include "../fuzz/fuzz_run.cpp"
#undef LLVMFuzzerTestOneInput

#include "replay.h"

TEST(FuzzReplay, WholeRun) { rav_replay::replay("run", rav_fuzz_run_one_input); }
