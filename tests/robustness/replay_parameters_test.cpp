// The corpus and regression inputs of the fuzz target fuzz_parameters, replayed.
#define LLVMFuzzerTestOneInput rav_fuzz_parameters_one_input
#include "../fuzz/fuzz_parameters.cpp"
#undef LLVMFuzzerTestOneInput

#include "replay.h"

TEST(FuzzReplay, ParameterFile) { rav_replay::replay("parameters", rav_fuzz_parameters_one_input); }
