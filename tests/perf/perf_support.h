// What the bit-identity tests share: target selection for a scope and an exact comparison.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

#include "rav_kernels.h"

// Test parameters print as the target's name.
inline void PrintTo(RavKernelTarget target, std::ostream* out) {
  *out << rav_kernel_target_name(target);
}

namespace perf {

// Every kernel target this processor and build can run (the reference always).
inline std::vector<RavKernelTarget> available_targets() { return rav_kernel_targets(); }

// Uses TARGET until the end of the scope, then the target that was in use before.
class TargetScope {
 public:
  explicit TargetScope(RavKernelTarget target) : previous_(rav_kernel_target()) {
    EXPECT_TRUE(rav_set_kernel_target(target));
  }
  ~TargetScope() { rav_set_kernel_target(previous_); }
  TargetScope(const TargetScope&) = delete;
  TargetScope& operator=(const TargetScope&) = delete;

 private:
  RavKernelTarget previous_;
};

// Same size and the same bits everywhere (so NaNs and signed zeros count too); names the first
// element that differs.
inline testing::AssertionResult bits_equal(const std::vector<float>& expected,
                                           const std::vector<float>& actual) {
  if (expected.size() != actual.size()) {
    return testing::AssertionFailure()
           << "sizes " << expected.size() << " and " << actual.size();
  }
  for (std::size_t i = 0; i < expected.size(); ++i) {
    std::uint32_t a, b;
    std::memcpy(&a, &expected[i], 4);
    std::memcpy(&b, &actual[i], 4);
    if (a != b) {
      return testing::AssertionFailure() << "element " << i << ": " << expected[i] << " and "
                                         << actual[i] << " differ";
    }
  }
  return testing::AssertionSuccess();
}

}  // namespace perf
