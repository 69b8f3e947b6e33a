// Filter options: each window's frequency response against its formula (over the sampled ramp,
// and over the padded ramp, the transform of the spatial-domain ramp, whose weight at the zero
// frequency is not 0), edge padding against a convolution in double precision, and the noise
// of a uniform region as the window narrows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

#include "rav_numerics.h"
#include "test_data.h"

namespace {

using Options = RavFilterOptions;
constexpr double kPi = std::numbers::pi;

// The windows as their textbook formulas, x the frequency over the cutoff frequency.
double window_formula(Options::Window window, double x) {
  if (x > 1.0) return 0.0;
  switch (window) {
    case Options::RAMP: return 1.0;
    case Options::SHEPP_LOGAN: return x == 0.0 ? 1.0 : std::sin(kPi * x / 2) / (kPi * x / 2);
    case Options::COSINE: return std::cos(kPi * x / 2);
    case Options::HAMMING: return 0.54 + 0.46 * std::cos(kPi * x);
    case Options::HANN: return 0.5 + 0.5 * std::cos(kPi * x);
    case Options::PARZEN:
      return x <= 0.5 ? 1 - 6 * x * x + 6 * x * x * x : 2 * std::pow(1 - x, 3);
  }
  return 0.0;
}

// The ramp 2|f| of the padded transform of length N at frequency k: twice the DFT of the
// discrete spatial ramp h(0) = 1/4, h(n) = -1/(π²n²) (n odd), summed directly.
double spatial_ramp(std::int64_t N, std::int64_t k) {
  double H = 0.25;
  for (std::int64_t n = 1; n <= N / 2; n += 2) {
    const double h = -1.0 / (kPi * kPi * static_cast<double>(n * n));
    H += (n == N - n ? 1.0 : 2.0) * h * std::cos(2 * kPi * static_cast<double>(n * k % N) / N);
  }
  return 2.0 * H;
}

// X(k) = sum x(n)·exp(-2πink/N), k = 0 .. N - 1, in double.
std::vector<std::complex<double>> dft(const std::vector<double>& x) {
  const auto N = static_cast<std::int64_t>(x.size());
  std::vector<std::complex<double>> X(x.size());
  for (std::int64_t k = 0; k < N; ++k) {
    for (std::int64_t n = 0; n < N; ++n) {
      X[k] += x[n] * std::polar(1.0, -2 * kPi * static_cast<double>(n * k % N) / N);
    }
  }
  return X;
}

// The response of the filter at frequencies 0 .. N/2: the DFT of all N samples (kept and
// discarded) of the plan's output for an impulse at the first bin.
std::vector<double> measured_response(const RavFilterPlan& plan) {
  const std::int64_t N = plan.NFFT();
  std::vector<float> impulse(static_cast<std::size_t>(plan.num_bins()), 0.0f), work(N);
  impulse[0] = 1.0f;
  plan.filter(impulse, work);
  const std::vector<std::complex<double>> X = dft(std::vector<double>(work.begin(), work.end()));
  std::vector<double> response(static_cast<std::size_t>(N / 2 + 1));
  for (std::size_t k = 0; k < response.size(); ++k) response[k] = X[k].real();
  return response;
}

TEST(FilterWindows, EachResponseIsTheRampTimesItsWindowFormula) {
  for (const Options::Padding padding : {Options::NONE, Options::ZERO}) {
    for (int w = Options::RAMP; w <= Options::PARZEN; ++w) {
      for (const float cutoff : {1.0f, 0.6f}) {
        Options options;
        options.window = static_cast<Options::Window>(w);
        options.cutoff = cutoff;
        options.padding = padding;
        const RavFilterPlan plan(100, options);
        const std::int64_t N = plan.NFFT();
        ASSERT_EQ(N, 256);
        const std::vector<double> response = measured_response(plan);
        for (std::int64_t k = 0; k <= N / 2; ++k) {
          const double f = 2.0 * static_cast<double>(k) / N;  // over the Nyquist frequency
          const double ramp = padding == Options::NONE ? f : spatial_ramp(N, k);
          ASSERT_NEAR(response[k], ramp * window_formula(options.window, f / cutoff), 2e-6)
              << "window " << w << " cutoff " << cutoff << " padding " << padding << " k " << k;
        }
      }
    }
  }
}

// EDGE filters the projection continued by its last value over the first half of the padding
// and by its first value over the second: the periodic convolution of that sequence with the
// padded ramp, in double precision.
TEST(FilterWindows, EdgePaddingContinuesTheEdgeValues) {
  for (const std::int32_t bins : {37, 64}) {
    Options edge;
    edge.padding = Options::EDGE;
    edge.window = Options::HAMMING;
    const RavFilterPlan plan(bins, edge);
    const std::int64_t N = plan.NFFT();
    const std::vector<float> p = random_values(bins, 5, 0.5f, 2.0f);
    std::vector<double> x(static_cast<std::size_t>(N));
    const std::int64_t after = (N - bins + 1) / 2;
    for (std::int64_t n = 0; n < N; ++n) {
      x[n] = n < bins ? p[n] : n < bins + after ? p[bins - 1] : p[0];
    }
    std::vector<float> work(N);
    plan.filter(p, work);
    std::vector<std::complex<double>> Y = dft(x);
    for (std::int64_t k = 0; k < N; ++k) {
      const std::int64_t f = std::min(k, N - k);
      Y[k] *= spatial_ramp(N, f) * window_formula(Options::HAMMING, 2.0 * f / N);
    }
    for (std::int32_t i = 0; i < bins; ++i) {
      double y = 0.0;  // the inverse transform at i
      for (std::int64_t k = 0; k < N; ++k) {
        y += (Y[k] * std::polar(1.0, 2 * kPi * static_cast<double>(i * k % N) / N)).real();
      }
      ASSERT_NEAR(work[i], y / N, 2e-5) << bins << " " << i;
    }
  }
}

// Where some projections see the whole sample, EDGE continues a cut projection from its edge
// values down to zero, holding the mass it lacks; a projection that is cut by the weight of its
// own angle gets its weight's share, so that weighting a sinogram weights its filtered
// projections alike.
TEST(FilterWindows, EdgePaddingContinuesCutProjectionsToTheSampleMass) {
  // A uniform ellipse of half axes 24 and 40 bins from 0 to 90 degrees: the field of 64 bins
  // sees all of it in the first three projections and cuts the others.
  const std::int32_t bins = 64, projections = 6;
  const double a = 24.0, b = 40.0;
  std::vector<float> sinogram(static_cast<std::size_t>(bins) * projections);
  for (std::int32_t j = 0; j < projections; ++j) {
    const double angle = kPi / 2 * j / (projections - 1);
    const double rho2 = a * a * std::cos(angle) * std::cos(angle) +
                        b * b * std::sin(angle) * std::sin(angle);
    for (std::int32_t k = 0; k < bins; ++k) {
      const double s = k + 0.5 - bins / 2.0;
      sinogram[j * bins + k] =
          static_cast<float>(2.0 * a * b / rho2 * std::sqrt(std::max(0.0, rho2 - s * s)));
    }
  }
  Options edge;
  edge.padding = Options::EDGE;
  const double mass = rav_sample_mass(bins, projections, sinogram, edge);
  EXPECT_NEAR(mass, kPi * a * b, 0.005 * mass);

  const RavFilterPlan plan(bins, edge);
  const std::int64_t room = plan.NFFT() - bins;
  const float* cut = sinogram.data() + 5 * bins;
  std::vector<float> padding(static_cast<std::size_t>(room));
  rav_edge_padding(cut, bins, plan.NFFT(), mass, padding.data(), 1);
  double visible = 0.0, added = 0.0;
  for (std::int32_t k = 0; k < bins; ++k) visible += cut[k];
  for (float v : padding) added += v;
  EXPECT_NEAR(added, mass - visible, 0.03 * (mass - visible));
  EXPECT_NEAR(padding.front(), cut[bins - 1], 0.01 * cut[bins - 1]);  // after the last bin
  EXPECT_NEAR(padding.back(), cut[0], 0.01 * cut[0]);                 // before the first
  EXPECT_TRUE(std::is_sorted(padding.begin(), padding.begin() + room / 2, std::greater<>()));
  EXPECT_EQ(padding[room / 2 - 1], 0.0f);

  std::vector<float> plain = sinogram, weighted = sinogram;
  Options weighed = edge;
  for (std::int32_t j = 0; j < projections; ++j) {
    weighed.weights.push_back(0.7f + 0.15f * j);
    for (std::int32_t k = 0; k < bins; ++k) weighted[j * bins + k] *= weighed.weights.back();
  }
  std::vector<float> work(static_cast<std::size_t>(plan.work_values()));
  rav_filter_sinogram(plan, projections, plain, work);
  rav_filter_sinogram(RavFilterPlan(bins, weighed), projections, weighted, work);
  for (std::int32_t j = 0; j < projections; ++j) {
    for (std::int32_t k = 0; k < bins; ++k) {
      ASSERT_NEAR(weighted[j * bins + k], weighed.weights[j] * plain[j * bins + k], 1e-3)
          << j << " " << k;
    }
  }
}

// A uniform disc (1/cm 0.2 over a radius of 40 of 128 bins) with Gaussian noise on its
// sinogram: the noise of the reconstructed centre falls from window to window in the order of
// their narrowing, and with the cutoff; the mean stays.
TEST(FilterWindows, NoiseOfAUniformRegionFallsAsTheWindowNarrows) {
  constexpr std::int32_t bins = 128, projections = 180;
  const RavGeometry g = rav_geometry(bins, projections, 64.0f,
                                     {0.0f, std::numbers::pi_v<float> / projections, {}},
                                     {1, 1, bins, bins});
  std::mt19937 engine(17);
  std::normal_distribution<float> noise(0.0f, 0.5f);
  std::vector<float> sinogram(static_cast<std::size_t>(g.sinogram_values()));
  const float scale = std::numbers::pi_v<float> / 2 / projections;
  for (std::int32_t j = 0; j < projections; ++j) {
    for (std::int32_t b = 0; b < bins; ++b) {
      const double u = b + 0.5 - 64.0;
      const double chord = std::abs(u) < 40 ? 2 * std::sqrt(1600 - u * u) : 0.0;
      sinogram[j * bins + b] = scale * (0.2f * static_cast<float>(chord) + noise(engine));
    }
  }
  const auto centre_statistics = [&](Options options) {
    RavReconstructor r(g, RavMethod{}, options, false, 1);
    std::vector<float> copy = sinogram, slice(static_cast<std::size_t>(g.pixels()));
    float* s = copy.data();
    float* out = slice.data();
    r.reconstruct({&s, 1}, {&out, 1});
    double sum = 0, squares = 0;
    int n = 0;
    for (int y = 44; y < 84; ++y) {
      for (int x = 44; x < 84; ++x) {
        if (std::hypot(x + 0.5 - 64, y + 0.5 - 64) > 20) continue;
        sum += slice[y * bins + x];
        squares += slice[y * bins + x] * slice[y * bins + x];
        ++n;
      }
    }
    const double mean = sum / n;
    return std::pair{mean, std::sqrt(squares / n - mean * mean)};
  };
  double previous = 1e30;
  for (int w = Options::RAMP; w <= Options::PARZEN; ++w) {
    Options options;
    options.window = static_cast<Options::Window>(w);
    options.padding = Options::ZERO;
    const auto [mean, sigma] = centre_statistics(options);
    EXPECT_LT(sigma, previous) << "window " << w;
    EXPECT_NEAR(mean, 0.2, 0.004) << "window " << w;
    previous = sigma;
  }
  Options half;
  half.window = Options::PARZEN;
  half.padding = Options::ZERO;
  half.cutoff = 0.5f;
  EXPECT_LT(centre_statistics(half).second, previous);
}

}  // namespace
