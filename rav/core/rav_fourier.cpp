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
#include <utility>

#include "rav_fourier.h"
#include "ut.h"

namespace {
constexpr std::string_view kExpnt = "Subroutine RAV_EXPNT V0.1 ";
constexpr std::string_view kFfa8 = "Subroutine RAV_FFA8 V0.2 ";
constexpr std::string_view kFfs8 = "Subroutine RAV_FFS8 V0.2 ";
constexpr std::int32_t kModuleMathematics = 20000;

// Single-precision constants of the fixed rotations.
constexpr float kHalfRoot2 = 0.70710677f;   // 1/√2
constexpr float kRoot2 = 1.4142135f;        // √2
constexpr float kCosPi8 = 0.9238795f;       // cos π/8
constexpr float kCosPlusSinPi8 = 1.3065629f;    // cos π/8 + sin π/8
constexpr float kSinMinusCosPi8 = -0.5411961f;  // sin π/8 - cos π/8

// A rotation by the angle with cosine a and sine b in three multiplications:
// w = a·(x + y), x' = w - y·(a + b), y' = w + x·(b - a).
struct Rotation {
  float a = 1.0f;
  float a_plus_b = 1.0f;
  float b_minus_a = -1.0f;
};

inline Rotation rotation(float a, float b) { return {a, a + b, b - a}; }

inline void rotate(float& x, float& y, const Rotation& r) {
  const float w = r.a * (x + y);
  const float x_new = w - y * r.a_plus_b;
  y = w + x * r.b_minus_a;
  x = x_new;
}

// The rotations by +π/8 and -π/8.
constexpr Rotation kRotPi8{kCosPi8, kCosPlusSinPi8, kSinMinusCosPi8};
constexpr Rotation kRotMinusPi8{kCosPi8, -kSinMinusCosPi8, -kCosPlusSinPi8};

// In-place 8-point DFT with the positive exponent, Z_s = sum_q b_q·exp(+iπ·q·s/4), as two
// 4-point DFTs of the even and odd inputs and a radix-2 step.
inline void dft8_positive(float re[8], float im[8]) {
  // Even inputs.
  const float a0r = re[0] + re[4], a0i = im[0] + im[4];
  const float a1r = re[0] - re[4], a1i = im[0] - im[4];
  const float a2r = re[2] + re[6], a2i = im[2] + im[6];
  const float a3r = re[2] - re[6], a3i = im[2] - im[6];
  const float e0r = a0r + a2r, e0i = a0i + a2i;
  const float e2r = a0r - a2r, e2i = a0i - a2i;
  const float e1r = a1r - a3i, e1i = a1i + a3r;  // a1 + i·a3
  const float e3r = a1r + a3i, e3i = a1i - a3r;  // a1 - i·a3
  // Odd inputs.
  const float c0r = re[1] + re[5], c0i = im[1] + im[5];
  const float c1r = re[1] - re[5], c1i = im[1] - im[5];
  const float c2r = re[3] + re[7], c2i = im[3] + im[7];
  const float c3r = re[3] - re[7], c3i = im[3] - im[7];
  const float o0r = c0r + c2r, o0i = c0i + c2i;
  const float o2r = c0r - c2r, o2i = c0i - c2i;
  const float o1r = c1r - c3i, o1i = c1i + c3r;
  const float o3r = c1r + c3i, o3i = c1i - c3r;
  // Odd parts times exp(+iπs/4), s = 1, 2, 3.
  const float t1r = (o1r - o1i) * kHalfRoot2, t1i = (o1r + o1i) * kHalfRoot2;
  const float t2r = -o2i, t2i = o2r;
  const float t3r = (-o3r - o3i) * kHalfRoot2, t3i = (o3r - o3i) * kHalfRoot2;
  re[0] = e0r + o0r; im[0] = e0i + o0i;
  re[4] = e0r - o0r; im[4] = e0i - o0i;
  re[1] = e1r + t1r; im[1] = e1i + t1i;
  re[5] = e1r - t1r; im[5] = e1i - t1i;
  re[2] = e2r + t2r; im[2] = e2i + t2i;
  re[6] = e2r - t2r; im[6] = e2i - t2i;
  re[3] = e3r + t3r; im[3] = e3i + t3i;
  re[7] = e3r - t3r; im[7] = e3i - t3i;
}

// The same with the negative exponent, through conjugation.
inline void dft8_negative(float re[8], float im[8]) {
  for (int q = 0; q < 8; ++q) im[q] = -im[q];
  dft8_positive(re, im);
  for (int q = 0; q < 8; ++q) im[q] = -im[q];
}

// Class 0 of a radix-8 pass: eight real inputs B_q(K), q = 0..7. Out: B0 = Z0, B1 = Z4,
// (B2, B3) = Z2, B4 = Re Z1, B7 = Im Z1, B6 = Re Z3, B5 = Im Z3 with Z the conjugate spectrum.
void analyse_class0(std::int64_t INT, float* const B[8], std::int64_t offset) {
  float* b0 = B[0] + offset; float* b1 = B[1] + offset;
  float* b2 = B[2] + offset; float* b3 = B[3] + offset;
  float* b4 = B[4] + offset; float* b5 = B[5] + offset;
  float* b6 = B[6] + offset; float* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    const float e0 = b0[k] + b4[k], g0 = b0[k] - b4[k];
    const float e1 = b1[k] + b5[k], g1 = b1[k] - b5[k];
    const float e2 = b2[k] + b6[k], g2 = b2[k] - b6[k];
    const float e3 = b3[k] + b7[k], g3 = b3[k] - b7[k];
    const float s02 = e0 + e2, s13 = e1 + e3;
    const float t1 = (g1 - g3) * kHalfRoot2;
    const float t2 = (g1 + g3) * kHalfRoot2;
    b0[k] = s02 + s13;
    b1[k] = s02 - s13;
    b2[k] = e0 - e2;
    b3[k] = e1 - e3;
    b4[k] = g0 + t1;
    b6[k] = g0 - t1;
    b7[k] = g2 + t2;
    b5[k] = t2 - g2;
  }
}

// Inverse of analyse_class0 times 8.
void synthesise_class0(std::int64_t INT, float* const B[8], std::int64_t offset) {
  float* b0 = B[0] + offset; float* b1 = B[1] + offset;
  float* b2 = B[2] + offset; float* b3 = B[3] + offset;
  float* b4 = B[4] + offset; float* b5 = B[5] + offset;
  float* b6 = B[6] + offset; float* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    // 4·e_r from the even-frequency values (as in the radix-4 synthesis).
    const float s02 = b0[k] + b1[k], s13 = b0[k] - b1[k];
    const float d02 = 2.0f * b2[k], d13 = 2.0f * b3[k];
    const float e0 = s02 + d02, e2 = s02 - d02;
    const float e1 = s13 + d13, e3 = s13 - d13;
    // 4·g_r from the odd-frequency values.
    const float g0 = 2.0f * (b4[k] + b6[k]);
    const float g2 = 2.0f * (b7[k] - b5[k]);
    const float t1 = b4[k] - b6[k];
    const float t2 = b7[k] + b5[k];
    const float g1 = (t1 + t2) * kRoot2;
    const float g3 = (t2 - t1) * kRoot2;
    b0[k] = e0 + g0; b4[k] = e0 - g0;
    b1[k] = e1 + g1; b5[k] = e1 - g1;
    b2[k] = e2 + g2; b6[k] = e2 - g2;
    b3[k] = e3 + g3; b7[k] = e3 - g3;
  }
}

// Class NN/2 of a radix-8 pass (real inputs, rotation angles q·π/8). With
// d_r = (B_r + i·B_(r+4))·exp(iπr/8): Z0 = (d0+d2) + (d1+d3), Z4 = (d0+d2) - (d1+d3),
// Z2 = (d0-d2) + i(d1-d3), Z6 = (d0-d2) - i(d1-d3), Z1 = conj Z6, Z3 = conj Z4. Out:
// B0 = Re Z0, B7 = Im Z0, B4 = Re Z1, B3 = Im Z1, B2 = Re Z2, B5 = Im Z2, B6 = Re Z3, B1 = Im Z3.
void analyse_class_half(std::int64_t INT, float* const B[8], std::int64_t offset) {
  float* b0 = B[0] + offset; float* b1 = B[1] + offset;
  float* b2 = B[2] + offset; float* b3 = B[3] + offset;
  float* b4 = B[4] + offset; float* b5 = B[5] + offset;
  float* b6 = B[6] + offset; float* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    const float d0r = b0[k], d0i = b4[k];
    float d1r = b1[k], d1i = b5[k];
    rotate(d1r, d1i, kRotPi8);
    const float d2r = (b2[k] - b6[k]) * kHalfRoot2;
    const float d2i = (b2[k] + b6[k]) * kHalfRoot2;
    // (B3 + i·B7)·exp(3iπ/8) = i·conj((B3 - i·B7)·exp(iπ/8)).
    float pr = b3[k], pi = -b7[k];
    rotate(pr, pi, kRotPi8);
    const float d3r = pi, d3i = pr;
    const float s02r = d0r + d2r, s02i = d0i + d2i;
    const float s13r = d1r + d3r, s13i = d1i + d3i;
    const float m02r = d0r - d2r, m02i = d0i - d2i;
    const float m13r = d1r - d3r, m13i = d1i - d3i;
    b0[k] = s02r + s13r;   // Re Z0
    b7[k] = s02i + s13i;   // Im Z0
    b6[k] = s02r - s13r;   // Re Z3 = Re Z4
    b1[k] = s13i - s02i;   // Im Z3 = -Im Z4
    b2[k] = m02r - m13i;   // Re Z2
    b5[k] = m02i + m13r;   // Im Z2
    b4[k] = m02r + m13i;   // Re Z1 = Re Z6
    b3[k] = m13r - m02i;   // Im Z1 = -Im Z6
  }
}

// Inverse of analyse_class_half times 8.
void synthesise_class_half(std::int64_t INT, float* const B[8], std::int64_t offset) {
  float* b0 = B[0] + offset; float* b1 = B[1] + offset;
  float* b2 = B[2] + offset; float* b3 = B[3] + offset;
  float* b4 = B[4] + offset; float* b5 = B[5] + offset;
  float* b6 = B[6] + offset; float* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    // Z0 = (B0, B7), Z4 = (B6, -B1), Z2 = (B2, B5), Z6 = (B4, -B3).
    const float s02r = b0[k] + b6[k], s02i = b7[k] - b1[k];  // 2(d0 + d2)
    const float s13r = b0[k] - b6[k], s13i = b7[k] + b1[k];  // 2(d1 + d3)
    const float m02r = b2[k] + b4[k], m02i = b5[k] - b3[k];  // 2(d0 - d2)
    const float m13r = b5[k] + b3[k], m13i = b4[k] - b2[k];  // 2(d1 - d3)
    // 8·c_r = 2·(4·d_r)·exp(-iπr/8).
    const float d0r = 2.0f * (s02r + m02r), d0i = 2.0f * (s02i + m02i);
    float d1r = 2.0f * (s13r + m13r), d1i = 2.0f * (s13i + m13i);
    const float d2r = s02r - m02r, d2i = s02i - m02i;
    const float d3r = 2.0f * (s13r - m13r), d3i = 2.0f * (s13i - m13i);
    rotate(d1r, d1i, kRotMinusPi8);
    // d3 = i·conj(p) with p = (B3 - i·B7)·exp(iπ/8): (B3, -B7) = p·exp(-iπ/8), p = (d3i, d3r).
    float pr = d3i, pi = d3r;
    rotate(pr, pi, kRotMinusPi8);
    b0[k] = d0r; b4[k] = d0i;
    b1[k] = d1r; b5[k] = d1i;
    b2[k] = (d2r + d2i) * kRoot2;
    b6[k] = (d2i - d2r) * kRoot2;
    b3[k] = pr; b7[k] = -pi;
  }
}

// A complex class: real parts in the views at RE, negated imaginary parts at IM. The inputs are
// rotated by q times the class angle (ROT[q], q = 1..7), then transformed; the eight results
// Z_s (conjugates of classes c + NN·s) go to: RE0 = Re Z0, RE1 = -Im Z4, RE2 = Re Z2,
// RE3 = -Im Z6, RE4 = Re Z1, RE5 = -Im Z5, RE6 = Re Z3, RE7 = -Im Z7; IM0 = Re Z7, IM1 = Im Z3,
// IM2 = Re Z5, IM3 = Im Z1, IM4 = Re Z6, IM5 = Im Z2, IM6 = Re Z4, IM7 = Im Z0 (the slots that
// the pair layout of the next pass assigns to them).
void analyse_class(std::int64_t INT, float* const B[8], std::int64_t re_offset,
                   std::int64_t im_offset, const Rotation rot[8]) {
  for (std::int64_t k = 0; k < INT; ++k) {
    float re[8], im[8];
    for (int q = 0; q < 8; ++q) {
      re[q] = B[q][re_offset + k];
      im[q] = B[q][im_offset + k];
    }
    for (int q = 1; q < 8; ++q) rotate(re[q], im[q], rot[q]);
    dft8_positive(re, im);
    float* const r = B[0] + re_offset;  // views: B[q] = B[0] + q·INT
    float* const m = B[0] + im_offset;
    r[k] = re[0];             m[k] = re[7];
    r[INT + k] = -im[4];      m[INT + k] = im[3];
    r[2 * INT + k] = re[2];   m[2 * INT + k] = re[5];
    r[3 * INT + k] = -im[6];  m[3 * INT + k] = im[1];
    r[4 * INT + k] = re[1];   m[4 * INT + k] = re[6];
    r[5 * INT + k] = -im[5];  m[5 * INT + k] = im[2];
    r[6 * INT + k] = re[3];   m[6 * INT + k] = re[4];
    r[7 * INT + k] = -im[7];  m[7 * INT + k] = im[0];
  }
}

// Inverse of analyse_class times 8; ROT holds the inverse rotations.
void synthesise_class(std::int64_t INT, float* const B[8], std::int64_t re_offset,
                      std::int64_t im_offset, const Rotation rot[8]) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const float* const r = B[0] + re_offset;
    const float* const m = B[0] + im_offset;
    float re[8], im[8];
    re[0] = r[k];            im[0] = m[7 * INT + k];
    re[1] = r[4 * INT + k];  im[1] = m[3 * INT + k];
    re[2] = r[2 * INT + k];  im[2] = m[5 * INT + k];
    re[3] = r[6 * INT + k];  im[3] = m[INT + k];
    re[4] = m[6 * INT + k];  im[4] = -r[INT + k];
    re[5] = m[2 * INT + k];  im[5] = -r[5 * INT + k];
    re[6] = m[4 * INT + k];  im[6] = -r[3 * INT + k];
    re[7] = m[k];            im[7] = -r[7 * INT + k];
    dft8_negative(re, im);
    for (int q = 1; q < 8; ++q) rotate(re[q], im[q], rot[q]);
    for (int q = 0; q < 8; ++q) {
      B[q][re_offset + k] = re[q];
      B[q][im_offset + k] = im[q];
    }
  }
}

// Runs FN(re_offset, im_offset, c) for every complex class c of the NN_OLD classes before an
// analysis pass (after a synthesis pass), with the offsets of its real and imaginary blocks;
// blocks are 8·INT long. Pair P (blocks 2P, 2P+1) holds Re of class f(P) = P bit-reversed and
// the imaginary part of class f(P) lies in block 2P'+1 of the mirrored pair P'.
template <typename Fn>
void for_each_complex_class(std::int64_t INT, std::int64_t nn_old, Fn fn) {
  const std::int64_t pairs = nn_old / 2;
  const std::int64_t block = 8 * INT;
  std::int64_t c = 0;  // f(P), advanced by a bit-reversed increment
  for (std::int64_t octave = 1; octave < pairs; octave *= 2) {
    for (std::int64_t t = 0; t < octave; ++t) {
      const std::int64_t p = octave + t;
      const std::int64_t p_mirror = 2 * octave - 1 - t;
      std::int64_t bit = pairs / 2;
      while (c & bit) {
        c ^= bit;
        bit >>= 1;
      }
      c |= bit;
      fn(2 * p * block, (2 * p_mirror + 1) * block, c);
    }
  }
}

// Rotation q (q = 1..7) of class c in a pass to NN classes: the table entry q·c·NFFT/NN, the
// angle 2π·q·c/NN. INVERSE gives the rotations by the opposite angles.
void class_rotations(const float* TWIDDLE, std::int64_t INT, std::int64_t c, bool inverse,
                     Rotation rot[8]) {
  for (int q = 1; q < 8; ++q) {
    const std::int64_t entry = q * c * INT;
    const float a = TWIDDLE[2 * entry];
    const float b = TWIDDLE[2 * entry + 1];
    rot[q] = inverse ? rotation(a, -b) : rotation(a, b);
  }
}

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

void views(float* data, std::int64_t INT, float* B[8]) {
  for (int q = 0; q < 8; ++q) B[q] = data + q * INT;
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
  const Rotation step = rotation(static_cast<float>(std::cos(static_cast<double>(theta))),
                                 static_cast<float>(std::sin(static_cast<double>(theta))));
  for (std::int64_t j = 1; j <= E; ++j) {
    if ((j - 1) % EXACT_INTERVAL == 0) {
      direct(j);
    } else {
      float x = TWIDDLE[2 * (j - 1)];
      float y = TWIDDLE[2 * (j - 1) + 1];
      rotate(x, y, step);
      set(j, x, y);
    }
  }
  // Second quadrant by reflection, second half by negation.
  for (std::int64_t t = 1; t < E; ++t) set(E + t, -TWIDDLE[2 * (E - t)], TWIDDLE[2 * (E - t) + 1]);
  for (std::int64_t j = 0; j < Q; ++j) set(Q + j, -TWIDDLE[2 * j], -TWIDDLE[2 * j + 1]);
}

// ---------------------------------------------------------------------------------------------
// Small passes.

void RAV_R2TR(std::int64_t INT, float* B0, float* B1) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const float t = B0[k] + B1[k];
    B1[k] = B0[k] - B1[k];
    B0[k] = t;
  }
}

void RAV_R4TR(std::int64_t INT, float* B0, float* B1, float* B2, float* B3) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const float r0 = B0[k] + B2[k];
    const float r1 = B1[k] + B3[k];
    B2[k] = B0[k] - B2[k];
    B3[k] = B1[k] - B3[k];
    B0[k] = r0 + r1;
    B1[k] = r0 - r1;
  }
}

void RAV_R4SYN(std::int64_t INT, float* B0, float* B1, float* B2, float* B3) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const float t0 = B0[k] + B1[k];
    const float t1 = B0[k] - B1[k];
    const float t2 = 2.0f * B2[k];
    const float t3 = 2.0f * B3[k];
    B0[k] = t0 + t2;
    B2[k] = t0 - t2;
    B1[k] = t1 + t3;
    B3[k] = t1 - t3;
  }
}

// ---------------------------------------------------------------------------------------------
// Radix-8 passes. Class 0 sits in block 0 (offset 0), class NN_OLD/2 in block 1 (offset
// 8·INT); the complex classes follow the pair layout.

void RAV_FRR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT) {
  (void)NFFT;  // the table is the one of length NFFT: entry q·c·INT is the angle 2π·q·c/NN
  const std::int64_t nn_old = NN / 8;
  analyse_class0(INT, B, 0);
  if (nn_old >= 2) analyse_class_half(INT, B, 8 * INT);
  for_each_complex_class(INT, nn_old, [&](std::int64_t re, std::int64_t im, std::int64_t c) {
    Rotation rot[8];
    class_rotations(TWIDDLE, INT, c, false, rot);
    analyse_class(INT, B, re, im, rot);
  });
}

void RAV_IHR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT) {
  (void)NFFT;
  const std::int64_t nn_old = NN / 8;
  synthesise_class0(INT, B, 0);
  if (nn_old >= 2) synthesise_class_half(INT, B, 8 * INT);
  for_each_complex_class(INT, nn_old, [&](std::int64_t re, std::int64_t im, std::int64_t c) {
    Rotation rot[8];
    class_rotations(TWIDDLE, INT, c, true, rot);
    synthesise_class(INT, B, re, im, rot);
  });
}

// ---------------------------------------------------------------------------------------------
// Reordering (1-based element numbers in the comments, 0-based indexing in the code).

void RAV_ORD1(std::int64_t N, float* DATA) {
  std::int64_t K = 4;
  std::int64_t KL = 2;
  for (std::int64_t J = 4; J <= N; J += 2) {
    if (K > J) std::swap(DATA[J - 1], DATA[K - 1]);
    K -= 2;
    if (K <= KL) {
      K = 2 * J;
      KL = J;
    }
  }
}

void RAV_ORD2(std::int64_t N, float* DATA) {
  // IJ visits the pairs (DATA(IJ-1), DATA(IJ)) in order, JI the same pairs with the pair number
  // bit-reversed (a reversed-carry counter over the even element numbers 2 .. N); each pair is
  // exchanged once, when IJ < JI.
  std::int64_t JI = 2;
  for (std::int64_t IJ = 2; IJ <= N; IJ += 2) {
    if (IJ < JI) {
      std::swap(DATA[IJ - 2], DATA[JI - 2]);
      std::swap(DATA[IJ - 1], DATA[JI - 1]);
    }
    std::int64_t bit = N / 2;
    while (bit >= 2 && ((JI - 2) & bit) != 0) {
      JI -= bit;
      bit /= 2;
    }
    JI += bit;
  }
}

// ---------------------------------------------------------------------------------------------

namespace {
int exponent(std::int64_t N) {
  int M = 0;
  while ((std::int64_t{1} << M) < N) ++M;
  return M;
}
}  // namespace

void rav_fft_analyse(std::int64_t N, const float* TWIDDLE, bool REORDER, float* data) {
  const int M = exponent(N);
  const int n8pow = M / 3;
  std::int64_t NN = 1;
  if (M % 3 == 2) {
    const std::int64_t INT = N / 4;
    RAV_R4TR(INT, data, data + INT, data + 2 * INT, data + 3 * INT);
    NN = 4;
  } else if (M % 3 == 1) {
    const std::int64_t INT = N / 2;
    RAV_R2TR(INT, data, data + INT);
    NN = 2;
  }
  for (int pass = 0; pass < n8pow; ++pass) {
    NN *= 8;
    const std::int64_t INT = N / NN;
    float* B[8];
    views(data, INT, B);
    RAV_FRR8(INT, NN, B, TWIDDLE, N);
  }
  RAV_ORD1(N, data);
  if (REORDER) RAV_ORD2(N, data);
}

void rav_fft_synthesise(std::int64_t N, const float* TWIDDLE, bool REORDER, float* data) {
  const int M = exponent(N);
  if (REORDER) RAV_ORD2(N, data);
  RAV_ORD1(N, data);
  std::int64_t NN = N;
  for (int pass = 0; pass < M / 3; ++pass) {
    const std::int64_t INT = N / NN;
    float* B[8];
    views(data, INT, B);
    RAV_IHR8(INT, NN, B, TWIDDLE, N);
    NN /= 8;
  }
  if (M % 3 == 2) {
    const std::int64_t INT = N / 4;
    RAV_R4SYN(INT, data, data + INT, data + 2 * INT, data + 3 * INT);
  } else if (M % 3 == 1) {
    const std::int64_t INT = N / 2;
    RAV_R2TR(INT, data, data + INT);
  }
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
