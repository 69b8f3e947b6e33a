// The routines of Highway's own library that its dispatch calls (hwy/targets.h): which of its
// targets this processor supports, the target its dispatch tables use, and the failure report of
// its assertions. The program builds them here instead of linking libhwy.so: that library runs
// RDTSCP while it is loaded (its benchmark timer), which Valgrind cannot execute, so nothing
// linked with it can be profiled or checked under Valgrind; and a cross build for Arm finds no
// Arm libhwy to link. Highway's headers are the same for every architecture.
//
// A target is supported when the processor has every instruction set its code is compiled for
// (Highway's per-target compiler flags): the processor features as the C runtime reports them,
// which on x86 includes the operating system's support of the wider registers.
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <hwy/targets.h>

#if HWY_ARCH_ARM_A64 && defined(__linux__)
#include <asm/hwcap.h>
#include <sys/auxv.h>
#endif

namespace hwy {
namespace {

std::int64_t processor_targets() {
  std::int64_t bits = HWY_SCALAR | HWY_EMU128;
#if HWY_ARCH_X86
  __builtin_cpu_init();
  const bool sse4 = __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1") &&
                    __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("pclmul") &&
                    __builtin_cpu_supports("aes");
  const bool avx2 = sse4 && __builtin_cpu_supports("avx") && __builtin_cpu_supports("avx2") &&
                    __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") &&
                    __builtin_cpu_supports("fma") && __builtin_cpu_supports("f16c");
  const bool avx3 = avx2 && __builtin_cpu_supports("avx512f") &&
                    __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq") &&
                    __builtin_cpu_supports("avx512bw");
  if (__builtin_cpu_supports("ssse3")) bits |= HWY_SSSE3;
  if (sse4) bits |= HWY_SSE4;
  if (avx2) bits |= HWY_AVX2;
  if (avx3) bits |= HWY_AVX3;
#elif HWY_ARCH_ARM_A64 && defined(__linux__)
  const unsigned long hw = getauxval(AT_HWCAP);
  const unsigned long hw2 = getauxval(AT_HWCAP2);
  if ((hw & HWCAP_ASIMD) && (hw & HWCAP_AES)) bits |= HWY_NEON;
  if (hw & HWCAP_SVE) bits |= HWY_SVE;
  if ((hw & HWCAP_SVE) && (hw2 & HWCAP2_SVE2) && (hw2 & HWCAP2_SVEAES)) bits |= HWY_SVE2;
#endif
  return bits;
}

std::atomic<std::int64_t> disabled{0};
std::atomic<std::int64_t> for_test{0};

}  // namespace

std::int64_t SupportedTargets() {
  static const std::int64_t supported = processor_targets();
  const std::int64_t chosen = for_test.load();
  return (chosen != 0 ? chosen : supported) & ~disabled.load();
}

void DisableTargets(std::int64_t disabled_targets) {
  // The fallbacks cannot be disabled.
  disabled.store(disabled_targets & ~(HWY_SCALAR | HWY_EMU128));
  GetChosenTarget().Update(SupportedTargets());
}

void SetSupportedTargetsForTest(std::int64_t targets) { for_test.store(targets); }

ChosenTarget& GetChosenTarget() {
  static ChosenTarget chosen;
  return chosen;
}

void Abort(const char* file, int line, const char* format, ...) {
  char message[800];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  std::fprintf(stderr, "Abort at %s:%d: %s\n", file, line, message);
  std::fflush(stderr);
  std::abort();
}

}  // namespace hwy
