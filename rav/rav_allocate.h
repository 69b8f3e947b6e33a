// Allocation of the drivers' and loops' work arrays. Running out of memory there is fatal: the
// array's own message, then the end of the process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string_view>
#include <vector>

#include "ut.h"

// Sizes VALUES elements (set to zero); on failure writes MESSAGE and ends the process with exit
// code 1. The message is written with a status of its own so that it appears even when the
// caller's status is already bad.
template <typename T>
void rav_allocate(std::vector<T>& values, std::int64_t count, std::string_view message) {
  try {
    if (count < 0) throw std::bad_alloc();
    values.assign(static_cast<std::size_t>(count), T{});
  } catch (const std::bad_alloc&) {
    std::int32_t status = ST_OK;
    UT_WRITE(message, status);
    std::fflush(stdout);
    std::exit(1);
  }
}
