// The program's own routines.
#pragma once

#include <cstdint>

// The whole run: banner, parameter file, reconstruction, status report. Returns the exit code.
int RAV_VUZAV(int argc, char** argv);
