// The weights of the projection filter for options other than the default: the window over
// the ramp, the cutoff, and the ramp of the padded transform (the transform of the discrete
// spatial-domain ramp). Weights are worked out in double precision and stored in single.
#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <utility>
#include <vector>

#include "rav_numerics.h"

namespace {

constexpr double kPi = std::numbers::pi;

// In-place discrete Fourier transform of A (length a power of two), X(k) = sum a(n)·e^(-2πink/N),
// by the iterative radix-2 Cooley-Tukey scheme: the bit-reversal permutation, then log2(N)
// passes of butterflies of growing span.
void fft_in_place(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; (j & bit) != 0; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t span = 2; span <= n; span <<= 1) {
    const std::size_t half = span / 2;
    for (std::size_t k = 0; k < half; ++k) {
      const std::complex<double> w = std::polar(1.0, -2.0 * kPi * static_cast<double>(k) /
                                                         static_cast<double>(span));
      for (std::size_t i = k; i < n; i += span) {
        const std::complex<double> v = a[i + half] * w;
        a[i + half] = a[i] - v;
        a[i] += v;
      }
    }
  }
}

// H(k), k = 0 .. N/2: the transform over N samples of the discrete ramp h(0) = 1/4,
// h(±n) = -1/(π²n²) for odd n and 0 for even n, laid out periodically (h(N - n) = h(n)) and cut
// at |n| = N/2. Its frequency response tends to |f| (f in cycles per bin) as N grows, and its
// value at the zero frequency, the sum of the kernel, is small and positive, as the ramp of a
// projection of finite support needs; sampling |f| itself gives 0 there and puts slices low.
std::vector<double> spatial_ramp_response(std::int64_t N) {
  std::vector<std::complex<double>> h(static_cast<std::size_t>(N));
  h[0] = 0.25;
  for (std::int64_t n = 1; n <= N / 2; n += 2) {
    const double value = -1.0 / (kPi * kPi * static_cast<double>(n) * static_cast<double>(n));
    h[static_cast<std::size_t>(n)] = value;
    if (n != N - n) h[static_cast<std::size_t>(N - n)] = value;
  }
  fft_in_place(h);
  std::vector<double> H(static_cast<std::size_t>(N / 2 + 1));
  for (std::size_t k = 0; k < H.size(); ++k) H[k] = h[k].real();
  return H;
}

}  // namespace

double rav_filter_window(RavFilterOptions::Window window, double x) {
  x = std::abs(x);
  if (x > 1.0) return 0.0;
  switch (window) {
    case RavFilterOptions::RAMP:
      return 1.0;
    case RavFilterOptions::SHEPP_LOGAN: {
      const double a = 0.5 * kPi * x;
      return a == 0.0 ? 1.0 : std::sin(a) / a;
    }
    case RavFilterOptions::COSINE:
      return std::cos(0.5 * kPi * x);
    case RavFilterOptions::HAMMING:
      return 0.54 + 0.46 * std::cos(kPi * x);
    case RavFilterOptions::HANN:
      return 0.5 + 0.5 * std::cos(kPi * x);
    case RavFilterOptions::PARZEN:
      return x <= 0.5 ? 1.0 - 6.0 * x * x + 6.0 * x * x * x : 2.0 * std::pow(1.0 - x, 3);
  }
  return 1.0;
}

void rav_filter_weights(const RavFilterOptions& options, std::int64_t NFFT,
                        std::span<float> FILTER) {
  // The ramp is that of the program's filter, 2|f| (1 at the Nyquist frequency, where the
  // sinogram scale expects it): 2k/NFFT sampled, or twice the spatial ramp's response. The
  // synthesis's factor NFFT is divided out here, as in the original weights.
  const double cutoff = options.cutoff > 0.0f ? options.cutoff : 1.0;  // (NaN too)
  std::vector<double> spatial;
  if (options.padding != RavFilterOptions::NONE) spatial = spatial_ramp_response(NFFT);
  const auto weight = [&](std::int64_t k) {
    const double fraction = 2.0 * static_cast<double>(k) / static_cast<double>(NFFT);
    const double ramp = spatial.empty() ? fraction : 2.0 * spatial[static_cast<std::size_t>(k)];
    const double window = rav_filter_window(options.window, fraction / cutoff);
    return static_cast<float>(ramp * window / static_cast<double>(NFFT));
  };
  std::fill(FILTER.begin(), FILTER.end(), 0.0f);
  FILTER[0] = weight(0);
  FILTER[1] = weight(NFFT / 2);
  for (std::int64_t k = 1; k <= NFFT / 2 - 1; ++k) {
    FILTER[static_cast<std::size_t>(2 * k)] = weight(k);
  }
}
