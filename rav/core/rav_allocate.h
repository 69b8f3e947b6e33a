// Allocation of the work arrays of the reconstruction. Running out of memory there ends the run
// with the array's own message, which travels up as a RavFatalError to the program's entry.
#pragma once

#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "rav_core.h"

// Asks the system to back the whole 2 MB pages inside BYTES bytes at ADDRESS with huge pages:
// a large array is then set up with a few hundred page faults instead of hundreds of thousands.
void rav_prefer_huge_pages(void* address, std::size_t bytes);

// Sizes VALUES to COUNT elements, all zero; throws RavFatalError(MESSAGE) when that cannot be done.
template <typename T>
void rav_allocate(std::vector<T>& values, std::int64_t count, std::string_view message) {
  try {
    if (count < 0) throw std::bad_alloc();
    if (static_cast<std::size_t>(count) > values.capacity()) {
      values = std::vector<T>();
      values.reserve(static_cast<std::size_t>(count));
      rav_prefer_huge_pages(values.data(), values.capacity() * sizeof(T));
    }
    values.assign(static_cast<std::size_t>(count), T{});
  } catch (const std::bad_alloc&) {
    values = std::vector<T>();
    throw RavFatalError(std::string(message));
  }
}
