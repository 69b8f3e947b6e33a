// Real FFT of radix 8 for lengths N = 2^M (rav_fourier.cpp).
//
// Spectrum layout of a transform of N reals, 1-based, X(k) = sum x(n+1)·exp(-2πi·n·k/N):
//   DATA(1) = X(0), DATA(2) = X(N/2) (both real),
//   DATA(2k+1) = Re X(k), DATA(2k+2) = -Im X(k) for k = 1 .. N/2-1.
// The synthesis of the analysis gives N·x: it is not normalised.
//
// The twiddle table of a transform of length N holds N complex values W(j) = (cos 2πj/N,
// sin 2πj/N), j = 0 .. N-1, as 2·N reals (cosine first): build it with
// RAV_EXPNT(2·N, 2·N, 8, TWIDDLE, status) and keep it for every transform of that length.
#pragma once

#include <cstdint>
#include <span>

// Fills TWIDDLE(1 .. NUM_TWIDDLE) with NUM_TWIDDLE/2 complex exponentials, computing every
// EXACT_INTERVAL-th value with cosine and sine and the others by rotation. Errors: 20001
// (MAX_TWIDDLE < 1), 20005 (MAX_TWIDDLE < NUM_TWIDDLE), 20017 (EXACT_INTERVAL < 1). A declared
// size (MAX_...) larger than the span passed counts as the span's size.
void RAV_EXPNT(std::int64_t MAX_TWIDDLE, std::int64_t NUM_TWIDDLE, std::int32_t EXACT_INTERVAL,
               std::span<float> TWIDDLE, std::int32_t& status);

// Forward transform of DATA(1 .. NFFT) in place, result in the layout above. REORDER false
// skips the bit-reversal of the frequency pairs (then only RAV_FFS8 with REORDER false
// understands the result). Errors: 20001 (MAX_DATA < 1 or MAX_TWIDDLE < 2), 20005
// (NFFT > MAX_DATA), 20013 (MAX_TWIDDLE < 2·NFFT), 20025 (NFFT not a power of two); DATA is
// then untouched.
void RAV_FFA8(std::int64_t MAX_DATA, std::int64_t NFFT, std::int64_t MAX_TWIDDLE,
              std::span<const float> TWIDDLE, bool REORDER, std::span<float> DATA,
              std::int32_t& status);
// Synthesis in place from the layout above: NFFT times the inverse transform. Same arguments
// and errors as RAV_FFA8.
void RAV_FFS8(std::int64_t MAX_DATA, std::int64_t NFFT, std::int64_t MAX_TWIDDLE,
              std::span<const float> TWIDDLE, bool REORDER, std::span<float> DATA,
              std::int32_t& status);

// The transforms without checks, for callers that hold a consistent length and table (the
// filter plan): N a power of two of at least 2, TWIDDLE the table of length N, DATA N values.
void rav_fft_analyse(std::int64_t N, const float* TWIDDLE, bool REORDER, float* DATA);
void rav_fft_synthesise(std::int64_t N, const float* TWIDDLE, bool REORDER, float* DATA);

// The passes of the transforms (no checks; INT values per view, views at DATA + q·INT).
// Between the passes the data are blocks of INT values laid out like the final spectrum with
// one block per slot (see rav_fourier.cpp).
void RAV_R2TR(std::int64_t INT, float* B0, float* B1);
void RAV_R4TR(std::int64_t INT, float* B0, float* B1, float* B2, float* B3);
void RAV_R4SYN(std::int64_t INT, float* B0, float* B1, float* B2, float* B3);
// Radix-8 analysis and synthesis passes. NN is the number of frequency classes after the
// analysis pass (before the synthesis pass), INT = NFFT/NN. B holds the eight views
// DATA(1), DATA(INT+1), ..., DATA(7·INT+1): they serve as the bases of both the real and the
// imaginary parts, which lie in different blocks of the same array.
void RAV_FRR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT);
void RAV_IHR8(std::int64_t INT, std::int64_t NN, float* const B[8], const float* TWIDDLE,
              std::int64_t NFFT);
// Reordering of DATA(1 .. N): RAV_ORD1 puts each imaginary part beside its real part (it
// reverses the imaginary slots within each octave of pairs); RAV_ORD2 is the bit-reversal
// permutation of the N/2 pairs. Both are their own inverses.
void RAV_ORD1(std::int64_t N, float* DATA);
void RAV_ORD2(std::int64_t N, float* DATA);
