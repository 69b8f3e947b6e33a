// Real FFT of radix 8 for lengths N = 2^M, in place, and its table of complex exponentials.
//
// How the analysis works. Write the spectrum index as k = c + NN·k'. After a pass that leaves
// NN "classes", class c is the sequence z_c(n), n = 0 .. INT-1 (INT = N/NN), with
//   X(c + NN·k') = sum_n z_c(n)·exp(-2πi·n·(c + NN·k')/N),
// so the classes of the last pass (INT = 1) are the spectrum values themselves. A radix-8 pass
// turns class c into the eight classes c + NN·s, s = 0 .. 7, of 8·NN:
//   z_{c+NN·s}(n) = sum_q exp(-2πi·q·(c + NN·s)/(8·NN))·z_c(n + q·INT/8),
// a rotation of the eight inputs by the class's angle (constant along n) and an 8-point DFT.
// The data are real, so z_{NN-c} = conj(z_c): only classes 0 and NN/2 (real) and the complex
// classes 0 < c < NN/2 are kept, N reals in all, and imaginary parts are stored negated
// (the conjugate), which turns every rotation into one by a positive angle.
//
// Between passes the array is NN blocks of INT values laid out like the final spectrum, one
// block per slot: block 0 holds class 0, block 1 class NN/2, and block pair P >= 1 holds
// Re z_f(P) (block 2P) and -Im z_(NN/2 - f(P)) (block 2P+1), where f(P) is P bit-reversed over
// log2(NN/2) bits. The imaginary part of class f(P) thus lies in the pair P' mirrored within
// P's octave [2^j, 2^(j+1)), P' = 3·2^j - 1 - P, since f(P') = NN/2 - f(P). With this layout
// every pass reads and writes the same blocks (its 8 + 8 sub-blocks per class), the passes all
// look alike, and at the end RAV_ORD1 (undo the mirroring of imaginary slots) and RAV_ORD2
// (undo the bit reversal of pairs) give the natural layout.
//
// The synthesis runs the same steps backwards, each pass the inverse of its analysis pass
// times its radix, so that the whole is N times the inverse transform.
#include <algorithm>
#include <cmath>
#include <iterator>
#include <string_view>

#include <hwy/highway.h>

#include "rav_fourier-inl.h"
#include "rav_fourier.h"
#include "ut.h"

namespace {
constexpr std::string_view kExpnt = "Subroutine RAV_EXPNT V0.1 ";
constexpr std::string_view kFfa8 = "Subroutine RAV_FFA8 V0.2 ";
constexpr std::string_view kFfs8 = "Subroutine RAV_FFS8 V0.2 ";
constexpr std::int32_t kModuleMathematics = 20000;

// The passes for one sequence of floats, compiled for the build's own instruction set.
namespace fft = rav_fft::HWY_NAMESPACE;

// The argument checks common to both transforms.
bool transform_arguments_ok(std::int64_t MAX_DATA, std::int64_t NFFT, std::int64_t MAX_TWIDDLE,
                            std::span<const float> TWIDDLE, std::span<float> DATA,
                            std::int32_t& status, std::string_view routine) {
  const std::int64_t max_data = std::min<std::int64_t>(MAX_DATA, std::ssize(DATA));
  const std::int64_t max_twiddle = std::min<std::int64_t>(MAX_TWIDDLE, std::ssize(TWIDDLE));
  std::int32_t kind = 0;
  if (max_data < 1 || max_twiddle < 2) {
    kind = 1;
  } else if (NFFT > max_data) {
    kind = 5;
  } else if (max_twiddle < 2 * NFFT) {
    kind = 13;
  } else if (NFFT < 1 || (NFFT & (NFFT - 1)) != 0) {
    kind = 25;  // number of elements is not a power of two
  }
  if (kind != 0) {
    status = kModuleMathematics + kind;
    ST_SAVE(routine);
    return false;
  }
  return true;
}
}  // namespace

// ---------------------------------------------------------------------------------------------

void RAV_EXPNT(std::int64_t MAX_TWIDDLE, std::int64_t NUM_TWIDDLE, std::int32_t EXACT_INTERVAL,
               std::span<float> TWIDDLE, std::int32_t& status) {
  if (st_bad(status, kExpnt)) return;
  const std::int64_t max_twiddle = std::min<std::int64_t>(MAX_TWIDDLE, std::ssize(TWIDDLE));
  std::int32_t kind = 0;
  if (max_twiddle < 1) {
    kind = 1;
  } else if (max_twiddle < NUM_TWIDDLE) {
    kind = 5;
  } else if (EXACT_INTERVAL < 1) {
    kind = 17;
  }
  if (kind != 0) {
    status = kModuleMathematics + kind;
    ST_SAVE(kExpnt);
    return;
  }

  const std::int64_t H = NUM_TWIDDLE / 2;  // entries
  if (H < 1) return;
  const std::int64_t Q = H / 2;
  const std::int64_t E = Q / 2;  // the entry at π/2
  const float theta = 6.2831855f / static_cast<float>(H);
  auto set = [&](std::int64_t j, float re, float im) {
    TWIDDLE[2 * j] = re;
    TWIDDLE[2 * j + 1] = im;
  };
  auto direct = [&](std::int64_t j) {
    // The product in double keeps the directly computed entries correctly rounded.
    const double angle = static_cast<double>(j) * static_cast<double>(theta);
    set(j, static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)));
  };
  set(0, 1.0f, 0.0f);
  if (H % 4 != 0) {
    // No quarter symmetry to exploit: every entry directly.
    for (std::int64_t j = 1; j < H; ++j) direct(j);
    return;
  }

  // First quadrant: directly every EXACT_INTERVAL-th entry, by rotation in between.
  const fft::Rotation step = fft::rotation(static_cast<float>(std::cos(static_cast<double>(theta))),
                                 static_cast<float>(std::sin(static_cast<double>(theta))));
  for (std::int64_t j = 1; j <= E; ++j) {
    if ((j - 1) % EXACT_INTERVAL == 0) {
      direct(j);
    } else {
      float x = TWIDDLE[2 * (j - 1)];
      float y = TWIDDLE[2 * (j - 1) + 1];
      fft::rotate(x, y, step);
      set(j, x, y);
    }
  }
  // Second quadrant by reflection, second half by negation.
  for (std::int64_t t = 1; t < E; ++t) set(E + t, -TWIDDLE[2 * (E - t)], TWIDDLE[2 * (E - t) + 1]);
  for (std::int64_t j = 0; j < Q; ++j) set(Q + j, -TWIDDLE[2 * j], -TWIDDLE[2 * j + 1]);
}
// ---------------------------------------------------------------------------------------------
// The passes.

void RAV_R2TR(std::int64_t INT, float* B0, float* B1) { fft::r2tr(INT, B0, B1); }

void RAV_R4TR(std::int64_t INT, float* B0, float* B1, float* B2, float* B3) {
  fft::r4tr(INT, B0, B1, B2, B3);
}

void RAV_R4SYN(std::int64_t INT, float* B0, float* B1, float* B2, float* B3) {
  fft::r4syn(INT, B0, B1, B2, B3);
}

void RAV_FRR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT) {
  fft::frr8(INT, NN, B, TWIDDLE, NFFT);
}

void RAV_IHR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT) {
  fft::ihr8(INT, NN, B, TWIDDLE, NFFT);
}

void RAV_ORD1(std::int64_t N, float* DATA) { fft::ord1(N, DATA); }

void RAV_ORD2(std::int64_t N, float* DATA) { fft::ord2(N, DATA); }

void rav_fft_analyse(std::int64_t N, const float* TWIDDLE, bool REORDER, float* data) {
  fft::analyse(N, TWIDDLE, REORDER, data);
}

void rav_fft_synthesise(std::int64_t N, const float* TWIDDLE, bool REORDER, float* data) {
  fft::synthesise(N, TWIDDLE, REORDER, data);
}

void RAV_FFA8(std::int64_t MAX_DATA, std::int64_t NFFT, std::int64_t MAX_TWIDDLE,
              std::span<const float> TWIDDLE, bool REORDER, std::span<float> DATA,
              std::int32_t& status) {
  if (st_bad(status, kFfa8)) return;
  if (!transform_arguments_ok(MAX_DATA, NFFT, MAX_TWIDDLE, TWIDDLE, DATA, status, kFfa8)) return;
  rav_fft_analyse(NFFT, TWIDDLE.data(), REORDER, DATA.data());
}

void RAV_FFS8(std::int64_t MAX_DATA, std::int64_t NFFT, std::int64_t MAX_TWIDDLE,
              std::span<const float> TWIDDLE, bool REORDER, std::span<float> DATA,
              std::int32_t& status) {
  if (st_bad(status, kFfs8)) return;
  if (!transform_arguments_ok(MAX_DATA, NFFT, MAX_TWIDDLE, TWIDDLE, DATA, status, kFfs8)) return;
  rav_fft_synthesise(NFFT, TWIDDLE.data(), REORDER, DATA.data());
}
