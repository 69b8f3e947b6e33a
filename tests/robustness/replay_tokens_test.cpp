// The corpus and regression inputs of the fuzz target fuzz_tokens, replayed.
#define LLVMFuzzerTestOneInput rav_fuzz_tokens_one_input
#include "../fuzz/fuzz_tokens.cpp"
#undef LLVMFuzzerTestOneInput

#include "replay.h"

TEST(FuzzReplay, TokenConversions) { rav_replay::replay("tokens", rav_fuzz_tokens_one_input); }
