// Huge pages for large work arrays.
#include "rav_allocate.h"

#include <sys/mman.h>

#include <cstdint>

void rav_prefer_huge_pages(void* address, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
  const auto start = (reinterpret_cast<std::uintptr_t>(address) + kHuge - 1) & ~(kHuge - 1);
  const auto end = (reinterpret_cast<std::uintptr_t>(address) + bytes) & ~(kHuge - 1);
  // Advice only: where the system has no huge pages to give, the array gets ordinary ones.
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)address;
  (void)bytes;
#endif
}
