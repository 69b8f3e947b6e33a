// The passes of the real FFT of radix 8 (rav_fourier.cpp explains the method), written once for
// any element type T with the arithmetic of float: T = float transforms one sequence, T = a
// vector of floats (the vector extensions' type) transforms as many sequences at once, one per
// lane, each with exactly the operations and roundings of the one-sequence transform. Included
// once per Highway target (the per-target include guard below), so that the vector arithmetic is
// compiled for that target's instruction set.
#if defined(RAV_FOURIER_INL_H_) == defined(HWY_TARGET_TOGGLE)
#ifdef RAV_FOURIER_INL_H_
#undef RAV_FOURIER_INL_H_
#else
#define RAV_FOURIER_INL_H_
#endif

#include <hwy/highway.h>

#include <cstdint>
#include <utility>

HWY_BEFORE_NAMESPACE();
namespace rav_fft {
namespace HWY_NAMESPACE {

// Single-precision constants of the fixed rotations.
constexpr float kHalfRoot2 = 0.70710677f;       // 1/√2
constexpr float kRoot2 = 1.4142135f;            // √2
constexpr float kCosPi8 = 0.9238795f;           // cos π/8
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

template <typename T>
inline void rotate(T& x, T& y, const Rotation& r) {
  const T w = r.a * (x + y);
  const T x_new = w - y * r.a_plus_b;
  y = w + x * r.b_minus_a;
  x = x_new;
}

// The rotations by +π/8 and -π/8.
constexpr Rotation kRotPi8{kCosPi8, kCosPlusSinPi8, kSinMinusCosPi8};
constexpr Rotation kRotMinusPi8{kCosPi8, -kSinMinusCosPi8, -kCosPlusSinPi8};

// In-place 8-point DFT with the positive exponent, Z_s = sum_q b_q·exp(+iπ·q·s/4), as two
// 4-point DFTs of the even and odd inputs and a radix-2 step.
template <typename T>
inline void dft8_positive(T re[8], T im[8]) {
  // Even inputs.
  const T a0r = re[0] + re[4], a0i = im[0] + im[4];
  const T a1r = re[0] - re[4], a1i = im[0] - im[4];
  const T a2r = re[2] + re[6], a2i = im[2] + im[6];
  const T a3r = re[2] - re[6], a3i = im[2] - im[6];
  const T e0r = a0r + a2r, e0i = a0i + a2i;
  const T e2r = a0r - a2r, e2i = a0i - a2i;
  const T e1r = a1r - a3i, e1i = a1i + a3r;  // a1 + i·a3
  const T e3r = a1r + a3i, e3i = a1i - a3r;  // a1 - i·a3
  // Odd inputs.
  const T c0r = re[1] + re[5], c0i = im[1] + im[5];
  const T c1r = re[1] - re[5], c1i = im[1] - im[5];
  const T c2r = re[3] + re[7], c2i = im[3] + im[7];
  const T c3r = re[3] - re[7], c3i = im[3] - im[7];
  const T o0r = c0r + c2r, o0i = c0i + c2i;
  const T o2r = c0r - c2r, o2i = c0i - c2i;
  const T o1r = c1r - c3i, o1i = c1i + c3r;
  const T o3r = c1r + c3i, o3i = c1i - c3r;
  // Odd parts times exp(+iπs/4), s = 1, 2, 3.
  const T t1r = (o1r - o1i) * kHalfRoot2, t1i = (o1r + o1i) * kHalfRoot2;
  const T t2r = -o2i, t2i = o2r;
  const T t3r = (-o3r - o3i) * kHalfRoot2, t3i = (o3r - o3i) * kHalfRoot2;
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
template <typename T>
inline void dft8_negative(T re[8], T im[8]) {
  for (int q = 0; q < 8; ++q) im[q] = -im[q];
  dft8_positive(re, im);
  for (int q = 0; q < 8; ++q) im[q] = -im[q];
}

// Class 0 of a radix-8 pass: eight real inputs B_q(K), q = 0..7. Out: B0 = Z0, B1 = Z4,
// (B2, B3) = Z2, B4 = Re Z1, B7 = Im Z1, B6 = Re Z3, B5 = Im Z3 with Z the conjugate spectrum.
template <typename T>
void analyse_class0(std::int64_t INT, T* const B[8], std::int64_t offset) {
  T* b0 = B[0] + offset; T* b1 = B[1] + offset;
  T* b2 = B[2] + offset; T* b3 = B[3] + offset;
  T* b4 = B[4] + offset; T* b5 = B[5] + offset;
  T* b6 = B[6] + offset; T* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    const T e0 = b0[k] + b4[k], g0 = b0[k] - b4[k];
    const T e1 = b1[k] + b5[k], g1 = b1[k] - b5[k];
    const T e2 = b2[k] + b6[k], g2 = b2[k] - b6[k];
    const T e3 = b3[k] + b7[k], g3 = b3[k] - b7[k];
    const T s02 = e0 + e2, s13 = e1 + e3;
    const T t1 = (g1 - g3) * kHalfRoot2;
    const T t2 = (g1 + g3) * kHalfRoot2;
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
template <typename T>
void synthesise_class0(std::int64_t INT, T* const B[8], std::int64_t offset) {
  T* b0 = B[0] + offset; T* b1 = B[1] + offset;
  T* b2 = B[2] + offset; T* b3 = B[3] + offset;
  T* b4 = B[4] + offset; T* b5 = B[5] + offset;
  T* b6 = B[6] + offset; T* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    // 4·e_r from the even-frequency values (as in the radix-4 synthesis).
    const T s02 = b0[k] + b1[k], s13 = b0[k] - b1[k];
    const T d02 = 2.0f * b2[k], d13 = 2.0f * b3[k];
    const T e0 = s02 + d02, e2 = s02 - d02;
    const T e1 = s13 + d13, e3 = s13 - d13;
    // 4·g_r from the odd-frequency values.
    const T g0 = 2.0f * (b4[k] + b6[k]);
    const T g2 = 2.0f * (b7[k] - b5[k]);
    const T t1 = b4[k] - b6[k];
    const T t2 = b7[k] + b5[k];
    const T g1 = (t1 + t2) * kRoot2;
    const T g3 = (t2 - t1) * kRoot2;
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
template <typename T>
void analyse_class_half(std::int64_t INT, T* const B[8], std::int64_t offset) {
  T* b0 = B[0] + offset; T* b1 = B[1] + offset;
  T* b2 = B[2] + offset; T* b3 = B[3] + offset;
  T* b4 = B[4] + offset; T* b5 = B[5] + offset;
  T* b6 = B[6] + offset; T* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    const T d0r = b0[k], d0i = b4[k];
    T d1r = b1[k], d1i = b5[k];
    rotate(d1r, d1i, kRotPi8);
    const T d2r = (b2[k] - b6[k]) * kHalfRoot2;
    const T d2i = (b2[k] + b6[k]) * kHalfRoot2;
    // (B3 + i·B7)·exp(3iπ/8) = i·conj((B3 - i·B7)·exp(iπ/8)).
    T pr = b3[k], pi = -b7[k];
    rotate(pr, pi, kRotPi8);
    const T d3r = pi, d3i = pr;
    const T s02r = d0r + d2r, s02i = d0i + d2i;
    const T s13r = d1r + d3r, s13i = d1i + d3i;
    const T m02r = d0r - d2r, m02i = d0i - d2i;
    const T m13r = d1r - d3r, m13i = d1i - d3i;
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
template <typename T>
void synthesise_class_half(std::int64_t INT, T* const B[8], std::int64_t offset) {
  T* b0 = B[0] + offset; T* b1 = B[1] + offset;
  T* b2 = B[2] + offset; T* b3 = B[3] + offset;
  T* b4 = B[4] + offset; T* b5 = B[5] + offset;
  T* b6 = B[6] + offset; T* b7 = B[7] + offset;
  for (std::int64_t k = 0; k < INT; ++k) {
    // Z0 = (B0, B7), Z4 = (B6, -B1), Z2 = (B2, B5), Z6 = (B4, -B3).
    const T s02r = b0[k] + b6[k], s02i = b7[k] - b1[k];  // 2(d0 + d2)
    const T s13r = b0[k] - b6[k], s13i = b7[k] + b1[k];  // 2(d1 + d3)
    const T m02r = b2[k] + b4[k], m02i = b5[k] - b3[k];  // 2(d0 - d2)
    const T m13r = b5[k] + b3[k], m13i = b4[k] - b2[k];  // 2(d1 - d3)
    // 8·c_r = 2·(4·d_r)·exp(-iπr/8).
    const T d0r = 2.0f * (s02r + m02r), d0i = 2.0f * (s02i + m02i);
    T d1r = 2.0f * (s13r + m13r), d1i = 2.0f * (s13i + m13i);
    const T d2r = s02r - m02r, d2i = s02i - m02i;
    const T d3r = 2.0f * (s13r - m13r), d3i = 2.0f * (s13i - m13i);
    rotate(d1r, d1i, kRotMinusPi8);
    // d3 = i·conj(p) with p = (B3 - i·B7)·exp(iπ/8): (B3, -B7) = p·exp(-iπ/8), p = (d3i, d3r).
    T pr = d3i, pi = d3r;
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
template <typename T>
void analyse_class(std::int64_t INT, T* const B[8], std::int64_t re_offset,
                   std::int64_t im_offset, const Rotation rot[8]) {
  for (std::int64_t k = 0; k < INT; ++k) {
    T re[8], im[8];
    for (int q = 0; q < 8; ++q) {
      re[q] = B[q][re_offset + k];
      im[q] = B[q][im_offset + k];
    }
    for (int q = 1; q < 8; ++q) rotate(re[q], im[q], rot[q]);
    dft8_positive(re, im);
    T* const r = B[0] + re_offset;  // views: B[q] = B[0] + q·INT
    T* const m = B[0] + im_offset;
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
template <typename T>
void synthesise_class(std::int64_t INT, T* const B[8], std::int64_t re_offset,
                      std::int64_t im_offset, const Rotation rot[8]) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const T* const r = B[0] + re_offset;
    const T* const m = B[0] + im_offset;
    T re[8], im[8];
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
inline void class_rotations(const float* TWIDDLE, std::int64_t INT, std::int64_t c, bool inverse,
                     Rotation rot[8]) {
  for (int q = 1; q < 8; ++q) {
    const std::int64_t entry = q * c * INT;
    const float a = TWIDDLE[2 * entry];
    const float b = TWIDDLE[2 * entry + 1];
    rot[q] = inverse ? rotation(a, -b) : rotation(a, b);
  }
}


template <typename T>
void views(T* data, std::int64_t INT, T* B[8]) {
  for (int q = 0; q < 8; ++q) B[q] = data + q * INT;
}

// ---------------------------------------------------------------------------------------------
// Small passes.

template <typename T>
void r2tr(std::int64_t INT, T* B0, T* B1) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const T t = B0[k] + B1[k];
    B1[k] = B0[k] - B1[k];
    B0[k] = t;
  }
}

template <typename T>
void r4tr(std::int64_t INT, T* B0, T* B1, T* B2, T* B3) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const T r0 = B0[k] + B2[k];
    const T r1 = B1[k] + B3[k];
    B2[k] = B0[k] - B2[k];
    B3[k] = B1[k] - B3[k];
    B0[k] = r0 + r1;
    B1[k] = r0 - r1;
  }
}

template <typename T>
void r4syn(std::int64_t INT, T* B0, T* B1, T* B2, T* B3) {
  for (std::int64_t k = 0; k < INT; ++k) {
    const T t0 = B0[k] + B1[k];
    const T t1 = B0[k] - B1[k];
    const T t2 = 2.0f * B2[k];
    const T t3 = 2.0f * B3[k];
    B0[k] = t0 + t2;
    B2[k] = t0 - t2;
    B1[k] = t1 + t3;
    B3[k] = t1 - t3;
  }
}

// ---------------------------------------------------------------------------------------------
// Radix-8 passes. Class 0 sits in block 0 (offset 0), class NN_OLD/2 in block 1 (offset
// 8·INT); the complex classes follow the pair layout.

template <typename T>
void frr8(std::int64_t INT, std::int64_t NN, T* const B[8], const float* TWIDDLE,
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

template <typename T>
void ihr8(std::int64_t INT, std::int64_t NN, T* const B[8], const float* TWIDDLE,
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

template <typename T>
void ord1(std::int64_t N, T* DATA) {
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

template <typename T>
void ord2(std::int64_t N, T* DATA) {
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

inline int exponent(std::int64_t N) {
  int M = 0;
  while ((std::int64_t{1} << M) < N) ++M;
  return M;
}

template <typename T>
void analyse(std::int64_t N, const float* TWIDDLE, bool REORDER, T* data) {
  const int M = exponent(N);
  const int n8pow = M / 3;
  std::int64_t NN = 1;
  if (M % 3 == 2) {
    const std::int64_t INT = N / 4;
    r4tr(INT, data, data + INT, data + 2 * INT, data + 3 * INT);
    NN = 4;
  } else if (M % 3 == 1) {
    const std::int64_t INT = N / 2;
    r2tr(INT, data, data + INT);
    NN = 2;
  }
  for (int pass = 0; pass < n8pow; ++pass) {
    NN *= 8;
    const std::int64_t INT = N / NN;
    T* B[8];
    views(data, INT, B);
    frr8(INT, NN, B, TWIDDLE, N);
  }
  ord1(N, data);
  if (REORDER) ord2(N, data);
}

template <typename T>
void synthesise(std::int64_t N, const float* TWIDDLE, bool REORDER, T* data) {
  const int M = exponent(N);
  if (REORDER) ord2(N, data);
  ord1(N, data);
  std::int64_t NN = N;
  for (int pass = 0; pass < M / 3; ++pass) {
    const std::int64_t INT = N / NN;
    T* B[8];
    views(data, INT, B);
    ihr8(INT, NN, B, TWIDDLE, N);
    NN /= 8;
  }
  if (M % 3 == 2) {
    const std::int64_t INT = N / 4;
    r4syn(INT, data, data + INT, data + 2 * INT, data + 3 * INT);
  } else if (M % 3 == 1) {
    const std::int64_t INT = N / 2;
    r2tr(INT, data, data + INT);
  }
}

// The spectrum W (the layout of the analysis) times the weights of a filter in that layout: DC
// and Nyquist, then both slots of each frequency with the weight of its real slot.
template <typename T>
inline void weigh(std::int64_t NFFT, const float* FILTER, T* W) {
  W[0] *= FILTER[0];
  W[1] *= FILTER[1];
  for (std::int64_t k = 1; k <= (NFFT - 1) / 2; ++k) {
    W[2 * k] *= FILTER[2 * k];
    W[2 * k + 1] *= FILTER[2 * k];
  }
}

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace rav_fft
HWY_AFTER_NAMESPACE();

#endif  // RAV_FOURIER_INL_H_
