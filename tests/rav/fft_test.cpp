// The real FFT: layout and values against a DFT in double precision, the synthesis as its
// unnormalised inverse, the twiddle table and the argument checks.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "rav_numerics.h"
#include "test_data.h"
#include "ut.h"

namespace {

constexpr double kEps = std::numeric_limits<float>::epsilon();

std::vector<float> twiddle_table(std::int64_t n, std::int32_t exact_interval = 8) {
  std::vector<float> table(static_cast<std::size_t>(2 * n));
  std::int32_t status = ST_OK;
  RAV_EXPNT(2 * n, 2 * n, exact_interval, table, status);
  EXPECT_EQ(status, ST_OK);
  return table;
}

void forward(std::vector<float>& data, const std::vector<float>& table, bool reorder = true) {
  std::int32_t status = ST_OK;
  const auto n = static_cast<std::int64_t>(data.size());
  RAV_FFA8(n, n, std::ssize(table), table, reorder, data, status);
  ASSERT_EQ(status, ST_OK);
}

void synthesis(std::vector<float>& data, const std::vector<float>& table, bool reorder = true) {
  std::int32_t status = ST_OK;
  const auto n = static_cast<std::int64_t>(data.size());
  RAV_FFS8(n, n, std::ssize(table), table, reorder, data, status);
  ASSERT_EQ(status, ST_OK);
}

// X(k) = sum x(n)·exp(-2πi·n·k/N) in double, with the phase reduced exactly.
struct DirectDft {
  std::vector<double> cosines, sines;
  explicit DirectDft(std::int64_t n) : cosines(n), sines(n) {
    for (std::int64_t j = 0; j < n; ++j) {
      const double angle = 2.0 * std::numbers::pi * static_cast<double>(j) / static_cast<double>(n);
      cosines[j] = std::cos(angle);
      sines[j] = std::sin(angle);
    }
  }
  void at(const std::vector<float>& x, std::int64_t k, double& re, double& im) const {
    const auto n = static_cast<std::int64_t>(x.size());
    re = 0.0;
    im = 0.0;
    std::int64_t phase = 0;
    for (std::int64_t j = 0; j < n; ++j) {
      re += x[j] * cosines[phase];
      im -= x[j] * sines[phase];
      phase += k;
      if (phase >= n) phase -= n;
    }
  }
};

// Largest deviation of the packed spectrum SPECTRUM of X from the DFT in double, over the
// frequencies FREQS (0 .. N/2), relative to the norm of X.
double spectrum_error(const std::vector<float>& x, const std::vector<float>& spectrum,
                      const std::vector<std::int64_t>& freqs) {
  const auto n = static_cast<std::int64_t>(x.size());
  DirectDft dft(n);
  double norm = 0.0;
  for (float v : x) norm += static_cast<double>(v) * v;
  norm = std::sqrt(norm);
  double worst = 0.0;
  for (std::int64_t k : freqs) {
    double re = 0.0, im = 0.0;
    dft.at(x, k, re, im);
    double got_re = 0.0, got_im = 0.0;
    if (k == 0) {
      got_re = spectrum[0];
    } else if (k == n / 2) {
      got_re = spectrum[1];
    } else {
      got_re = spectrum[2 * k];
      got_im = -spectrum[2 * k + 1];
    }
    worst = std::max(worst, std::hypot(got_re - re, got_im - im) / norm);
  }
  return worst;
}

std::vector<std::int64_t> frequencies(std::int64_t n, std::uint32_t seed) {
  std::vector<std::int64_t> freqs;
  if (n <= 2048) {
    for (std::int64_t k = 0; k <= n / 2; ++k) freqs.push_back(k);
    return freqs;
  }
  // The edges, the octave boundaries and a random sample.
  for (std::int64_t k : {std::int64_t{0}, std::int64_t{1}, n / 2 - 1, n / 2}) freqs.push_back(k);
  for (std::int64_t p = 2; p < n / 2; p *= 2) {
    freqs.push_back(p);
    freqs.push_back(p - 1);
    freqs.push_back(p + 1);
  }
  std::mt19937 rng(seed);
  std::uniform_int_distribution<std::int64_t> dist(1, n / 2 - 1);
  for (int i = 0; i < 48; ++i) freqs.push_back(dist(rng));
  return freqs;
}

TEST(FftLayout, FourPointsAndBack) {
  const auto table = twiddle_table(4);
  std::vector<float> x{1.0f, 2.0f, 4.0f, 8.0f};
  forward(x, table);
  EXPECT_EQ(x, (std::vector<float>{15.0f, -5.0f, -3.0f, -6.0f}));
  synthesis(x, table);
  EXPECT_EQ(x, (std::vector<float>{4.0f, 8.0f, 16.0f, 32.0f}));
}

TEST(FftLayout, EightPointsNegatedImaginaryPart) {
  const auto table = twiddle_table(8);
  std::vector<float> x{0.5f, -1.25f, 2.0f, 0.75f, -3.0f, 1.5f, 0.25f, -2.0f};
  const std::vector<float> in = x;
  forward(x, table);
  // Slot 4 is -Im X(1); slots 1 and 2 hold X(0) and X(4).
  const float expected4 = 0.70710677f * ((in[1] - in[5]) + (in[3] - in[7])) + (in[2] - in[6]);
  EXPECT_NEAR(x[3], expected4, 1e-6);
  float sum = 0.0f, alternating = 0.0f;
  for (int n = 0; n < 8; ++n) {
    sum += in[n];
    alternating += (n % 2 == 0 ? in[n] : -in[n]);
  }
  EXPECT_FLOAT_EQ(x[0], sum);
  EXPECT_FLOAT_EQ(x[1], alternating);
}

TEST(FftLayout, ImpulseIsFlatAndReturnsScaled) {
  for (std::int64_t n : {2, 4, 8, 16, 32, 64, 128, 1024}) {
    const auto table = twiddle_table(n);
    std::vector<float> x(n, 0.0f);
    x[0] = 1.0f;
    forward(x, table);
    EXPECT_EQ(x[0], 1.0f);
    EXPECT_EQ(x[1], 1.0f);
    for (std::int64_t k = 1; k < n / 2; ++k) {
      EXPECT_EQ(x[2 * k], 1.0f) << "N " << n << " k " << k;
      EXPECT_EQ(x[2 * k + 1], 0.0f) << "N " << n << " k " << k;
    }
    synthesis(x, table);
    EXPECT_FLOAT_EQ(x[0], static_cast<float>(n));
    for (std::int64_t j = 1; j < n; ++j) EXPECT_NEAR(x[j], 0.0f, 8 * kEps * n) << n << " " << j;
  }
}

// Every length the transform supports, against the DFT in double (all frequencies up to
// N = 2048, a sample beyond), and the round trip to N·x.
TEST(FftValues, RandomInputsAgreeWithDftForEveryLength) {
  for (int m = 1; m <= 18; ++m) {
    const std::int64_t n = std::int64_t{1} << m;
    const auto table = twiddle_table(n);
    const auto x = random_values(n, 1000 + m, -1.0f, 1.0f);
    auto spectrum = x;
    forward(spectrum, table);
    const double error = spectrum_error(x, spectrum, frequencies(n, 77 + m));
    EXPECT_LE(error, 2.0 * kEps * m) << "N = " << n;

    auto back = spectrum;
    synthesis(back, table);
    double worst = 0.0;
    for (std::int64_t j = 0; j < n; ++j) {
      worst = std::max(worst, std::abs(back[j] - static_cast<double>(n) * x[j]));
    }
    EXPECT_LE(worst / n, 4.0 * kEps * m) << "round trip, N = " << n;
  }
}

// The synthesis alone, on arbitrary spectra, against the inverse DFT in double.
TEST(FftValues, SynthesisOfRandomSpectra) {
  for (int m = 1; m <= 10; ++m) {
    const std::int64_t n = std::int64_t{1} << m;
    const auto table = twiddle_table(n);
    const auto spectrum = random_values(n, 500 + m, -1.0f, 1.0f);
    auto y = spectrum;
    synthesis(y, table);
    DirectDft dft(n);
    for (std::int64_t j = 0; j < n; ++j) {
      // x(j) = X0 + (-1)^j X(N/2) + 2·sum Re(X(k)·exp(+2πi·jk/N)), with X(k) = s(2k) - i·s(2k+1).
      double value = spectrum[0] + ((j % 2 == 0) ? 1.0 : -1.0) * (n > 1 ? spectrum[1] : 0.0);
      for (std::int64_t k = 1; k < n / 2; ++k) {
        const std::int64_t phase = (j * k) % n;
        value += 2.0 * (spectrum[2 * k] * dft.cosines[phase] +
                        spectrum[2 * k + 1] * dft.sines[phase]);
      }
      EXPECT_NEAR(y[j], value, 4.0 * kEps * m * std::sqrt(static_cast<double>(n)))
          << "N " << n << " j " << j;
    }
  }
}

TEST(FftValues, WithoutReorderingTheRoundTripStillHolds) {
  for (int m : {3, 5, 9, 12}) {
    const std::int64_t n = std::int64_t{1} << m;
    const auto table = twiddle_table(n);
    const auto x = random_values(n, 9 + m, -1.0f, 1.0f);
    auto y = x;
    forward(y, table, false);
    synthesis(y, table, false);
    for (std::int64_t j = 0; j < n; ++j) EXPECT_NEAR(y[j], n * x[j], 4.0 * kEps * m * n);
  }
}

TEST(FftChecks, BadArgumentsGiveTheirStatusAndLeaveDataAlone) {
  struct Case {
    std::int64_t max_data, nfft, max_twiddle;
    std::int32_t expected;
  };
  const Case cases[] = {
      {6, 6, 12, 20025},   // not a power of two
      {8, 0, 16, 20025},   // no elements at all
      {7, 8, 16, 20005},   // data array too short
      {8, 8, 15, 20013},   // twiddle table too short
      {8, 8, 1, 20001},    // no room for one twiddle factor
      {0, 8, 16, 20001},   // no data array
  };
  const auto table = twiddle_table(8);
  for (const Case& c : cases) {
    for (bool analysis : {true, false}) {
      std::vector<float> data{1, 2, 3, 4, 5, 6, 7, 8};
      const auto before = data;
      std::int32_t status = ST_OK;
      if (analysis) {
        RAV_FFA8(c.max_data, c.nfft, c.max_twiddle, table, true, data, status);
      } else {
        RAV_FFS8(c.max_data, c.nfft, c.max_twiddle, table, true, data, status);
      }
      EXPECT_EQ(status, c.expected) << c.max_data << " " << c.nfft << " " << c.max_twiddle;
      EXPECT_EQ(data, before);
    }
  }
  // A span shorter than its declared size counts as its real size.
  std::vector<float> short_data(7, 1.0f);
  std::int32_t status = ST_OK;
  RAV_FFA8(8, 8, 16, table, true, short_data, status);
  EXPECT_EQ(status, 20005);
  // A bad status on entry: nothing happens.
  std::vector<float> data{1, 2, 3, 4, 5, 6, 7, 8};
  status = 20025;
  RAV_FFA8(8, 8, 16, table, true, data, status);
  EXPECT_EQ(status, 20025);
  EXPECT_EQ(data[1], 2.0f);
}

TEST(FftTwiddle, SixteenRealsHoldEightRootsOfUnity) {
  std::vector<float> table(16, -9.0f);
  std::int32_t status = ST_OK;
  RAV_EXPNT(16, 16, 8, table, status);
  ASSERT_EQ(status, ST_OK);
  EXPECT_EQ(table[0], 1.0f);
  EXPECT_EQ(table[1], 0.0f);
  EXPECT_NEAR(table[4], 0.0f, 1e-7);  // W(2) = (0, 1)
  EXPECT_NEAR(table[5], 1.0f, 1e-7);
  EXPECT_EQ(table[8], -1.0f);         // W(4) = (-1, 0)
  EXPECT_EQ(table[9], 0.0f);
  EXPECT_NEAR(table[12], 0.0f, 1e-7);  // W(6) = (0, -1)
  EXPECT_NEAR(table[13], -1.0f, 1e-7);
  for (int j = 0; j < 8; ++j) {
    EXPECT_NEAR(table[2 * j], std::cos(std::numbers::pi * j / 4), 1e-7) << j;
    EXPECT_NEAR(table[2 * j + 1], std::sin(std::numbers::pi * j / 4), 1e-7) << j;
  }
}

TEST(FftTwiddle, RotatedAndDirectTablesAgree) {
  for (std::int64_t n : {64, 4096, 65536}) {
    const auto direct = twiddle_table(n, 1);
    const auto rotated = twiddle_table(n, 8);
    for (std::int64_t j = 0; j < 2 * n; ++j) {
      EXPECT_NEAR(rotated[j], direct[j], 8 * kEps) << n << " " << j;
    }
    // And both are the exponentials they stand for (the table's angle is 2π in single
    // precision divided by N).
    for (std::int64_t j = 0; j < n; j += 7) {
      const double angle = 2.0 * std::numbers::pi * j / n;
      EXPECT_NEAR(direct[2 * j], std::cos(angle), 2e-6);
      EXPECT_NEAR(direct[2 * j + 1], std::sin(angle), 2e-6);
    }
  }
}

TEST(FftTwiddle, ChecksAndSmallTables) {
  std::vector<float> table(8, -9.0f);
  std::int32_t status = ST_OK;
  RAV_EXPNT(0, 8, 8, table, status);
  EXPECT_EQ(status, 20001);
  status = ST_OK;
  RAV_EXPNT(6, 8, 8, table, status);
  EXPECT_EQ(status, 20005);
  status = ST_OK;
  RAV_EXPNT(8, 8, 0, table, status);
  EXPECT_EQ(status, 20017);
  EXPECT_EQ(table, std::vector<float>(8, -9.0f));
  // One real only: no entry fits, nothing is written beyond it.
  std::vector<float> one(1, -9.0f);
  status = ST_OK;
  RAV_EXPNT(1, 1, 8, one, status);
  EXPECT_EQ(status, ST_OK);
  EXPECT_EQ(one[0], -9.0f);
  // Twelve reals (six entries, no quarter symmetry): every entry is still right.
  std::vector<float> six(12, -9.0f);
  RAV_EXPNT(12, 12, 8, six, status);
  for (int j = 0; j < 6; ++j) {
    EXPECT_NEAR(six[2 * j], std::cos(std::numbers::pi * j / 3), 1e-6) << j;
    EXPECT_NEAR(six[2 * j + 1], std::sin(std::numbers::pi * j / 3), 1e-6) << j;
  }
}

}  // namespace
