// The rotation axis from projections 180 degrees apart: each projection is registered with its
// partner mirrored, over every row and pair given, to a fraction of a bin.
//
// With F(u) = P(θ + π, N - u) the partner mirrored about the detector's centre, F(u) = P(θ,
// u + d) with d = 2A - N: the mirrored partner is the projection shifted by d, and A = (N + d)/2.
// The shift is the one that maximises the normalised cross-correlation of the two over the part
// of the detector both cover (the overlap shrinks as |d| grows, so the correlation is normalised
// by the sums over that overlap, as in D. Padfield, "Masked object registration in the Fourier
// domain", IEEE Transactions on Image Processing 21(5), 2012; here the masks are whole rows, so
// the sums come from running sums and only the product term needs Fourier transforms). The
// cross-power spectrum is summed over all rows and pairs; the correlation at whole shifts comes
// from its inverse transform, and the fraction of a bin from the same spectrum evaluated at
// fractional shifts near the best whole one, which is the Fourier-interpolated correlation of
// M. Guizar-Sicairos, S. T. Thurman and J. R. Fienup, "Efficient subpixel image registration
// algorithms", Optics Letters 33(2), 2008 (by direct evaluation rather than their matrix
// product, since one dimension and one small neighbourhood are enough).
#include <omp.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "rav_allocate.h"
#include "rav_axis_internal.h"
#include "rav_fourier.h"
#include "ut.h"

namespace {

// Bins that a projection and its mirrored partner must share to be compared.
constexpr std::int32_t kMinOverlap = 16;

// What the rows contribute: the cross-power spectrum (frequencies 0 .. L/2) and the sums per
// bin of A = the projections and B = the mirrored partners, and of their squares.
struct Sums {
  std::vector<std::complex<double>> cross;
  std::vector<double> a, aa, b, bb;
  void resize(std::int64_t L, std::int32_t N) {
    cross.assign(static_cast<std::size_t>(L / 2 + 1), {});
    for (auto* v : {&a, &aa, &b, &bb}) v->assign(static_cast<std::size_t>(N), 0.0);
  }
  void add(const Sums& other) {
    for (std::size_t k = 0; k < cross.size(); ++k) cross[k] += other.cross[k];
    for (std::size_t k = 0; k < a.size(); ++k) {
      a[k] += other.a[k];
      aa[k] += other.aa[k];
      b[k] += other.b[k];
      bb[k] += other.bb[k];
    }
  }
};

// Frequency k of a transform in the packed layout of rav_fourier.h.
std::complex<double> frequency(const float* data, std::int64_t L, std::int64_t k) {
  if (k == 0) return data[0];
  if (k == L / 2) return data[1];
  return {data[2 * k], -data[2 * k + 1]};
}

// Adds the row pair (FIRST, SECOND) of N bins to SUMS through the work arrays A and B (L each).
void add_pair(const float* first, const float* second, std::int32_t N, std::int64_t L,
              const std::vector<float>& twiddle, float* A, float* B, Sums& sums) {
  std::fill_n(A, L, 0.0f);
  std::fill_n(B, L, 0.0f);
  for (std::int32_t k = 0; k < N; ++k) {
    A[k] = first[k];
    B[k] = second[N - 1 - k];
    sums.a[k] += A[k];
    sums.aa[k] += double{A[k]} * A[k];
    sums.b[k] += B[k];
    sums.bb[k] += double{B[k]} * B[k];
  }
  rav_fft_analyse(L, twiddle.data(), true, A);
  rav_fft_analyse(L, twiddle.data(), true, B);
  // c(d) = sum_n A(n + d) B(n) has the spectrum A(k) conj(B(k)).
  for (std::int64_t k = 0; k <= L / 2; ++k) {
    sums.cross[static_cast<std::size_t>(k)] += frequency(A, L, k) * std::conj(frequency(B, L, k));
  }
}

// The twiddle table of transforms of length L.
std::vector<float> twiddles(std::int64_t L) {
  std::vector<float> twiddle;
  rav_allocate(twiddle, 2 * L, "ERROR: Failed to allocated array for twiddle factors");
  std::int32_t status = ST_OK;  // consistent sizes: the table cannot fail
  RAV_EXPNT(2 * L, 2 * L, 8, twiddle, status);
  return twiddle;
}

// The sums of every row pair, in chunks of fixed size summed in order: the same result whatever
// the number of threads.
Sums sum_pairs(std::span<const RavRowPair> pairs, std::int32_t N, std::int64_t L) {
  const std::vector<float> twiddle = twiddles(L);
  constexpr std::int64_t kChunk = 16;
  const std::int64_t count = std::ssize(pairs);
  const std::int64_t chunks = (count + kChunk - 1) / kChunk;
  std::vector<Sums> partial(static_cast<std::size_t>(chunks));
#pragma omp parallel
  {
    std::vector<float> A(static_cast<std::size_t>(L)), B(static_cast<std::size_t>(L));
#pragma omp for schedule(dynamic, 1)
    for (std::int64_t c = 0; c < chunks; ++c) {
      Sums& s = partial[static_cast<std::size_t>(c)];
      s.resize(L, N);
      for (std::int64_t i = c * kChunk; i < std::min(count, (c + 1) * kChunk); ++i) {
        const RavRowPair& p = pairs[static_cast<std::size_t>(i)];
        add_pair(p.first, p.second, N, L, twiddle, A.data(), B.data(), s);
      }
    }
  }
  Sums total;
  total.resize(L, N);
  for (const Sums& s : partial) total.add(s);
  return total;
}

// The normalised correlation at whole and fractional shifts from the sums.
class Correlation {
 public:
  Correlation(const Sums& sums, std::int32_t N, std::int64_t L, std::int64_t rows)
      : sums_(sums), N_(N), L_(L), rows_(rows) {
    for (const auto& [values, prefix] :
         {std::pair{&sums.a, &pa_}, {&sums.aa, &paa_}, {&sums.b, &pb_}, {&sums.bb, &pbb_}}) {
      prefix->assign(static_cast<std::size_t>(N) + 1, 0.0);
      for (std::int32_t k = 0; k < N; ++k) (*prefix)[k + 1] = (*prefix)[k] + (*values)[k];
    }
  }

  // The product sums at every whole shift -N < d < N (index d + N), by one inverse transform.
  void whole_products() {
    std::vector<float> data(static_cast<std::size_t>(L_));
    const auto& C = sums_.cross;
    data[0] = static_cast<float>(C[0].real());
    data[1] = static_cast<float>(C[static_cast<std::size_t>(L_ / 2)].real());
    for (std::int64_t k = 1; k < L_ / 2; ++k) {
      data[2 * k] = static_cast<float>(C[k].real());
      data[2 * k + 1] = static_cast<float>(-C[k].imag());
    }
    const std::vector<float> twiddle = twiddles(L_);
    rav_fft_synthesise(L_, twiddle.data(), true, data.data());
    whole_.assign(static_cast<std::size_t>(2 * N_), 0.0);
    for (std::int32_t d = -N_ + 1; d < N_; ++d) {
      whole_[d + N_] =
          data[static_cast<std::size_t>(d >= 0 ? d : L_ + d)] / static_cast<double>(L_);
    }
  }

  // The correlation at the whole shift D (whole_products first).
  double at(std::int32_t d) const { return normalised(whole_[d + N_], d, d, 0.0); }

  // The correlation at the fractional shift S, the product term by Fourier interpolation.
  double at(double s) const {
    const auto d0 = static_cast<std::int32_t>(std::floor(s));
    return normalised(product(s), d0, std::min(d0 + 1, N_ - 1), s - d0);
  }

 private:
  // sum_k C(k) exp(2πiks/L) / L over the whole spectrum of a real correlation.
  double product(double s) const {
    const auto& C = sums_.cross;
    const std::complex<double> step = std::polar(1.0, 2.0 * std::numbers::pi * s / L_);
    std::complex<double> w = step;
    double sum =
        C[0].real() + C[static_cast<std::size_t>(L_ / 2)].real() * std::cos(std::numbers::pi * s);
    for (std::int64_t k = 1; k < L_ / 2; ++k, w *= step) sum += 2.0 * (C[k] * w).real();
    return sum / static_cast<double>(L_);
  }

  // A over bins [max(0, d), N + min(0, d)), B over [max(0, -d), N - max(0, d)), interpolated
  // between the whole shifts D0 and D1 by F.
  double normalised(double ab, std::int32_t d0, std::int32_t d1, double f) const {
    const auto mix = [&](const std::vector<double>& p, bool first) {
      const auto range = [&](std::int32_t d) {
        const std::int32_t lo = first ? std::max(0, d) : std::max(0, -d);
        const std::int32_t hi = first ? N_ + std::min(0, d) : N_ - std::max(0, d);
        return p[hi] - p[lo];
      };
      return (1.0 - f) * range(d0) + f * range(d1);
    };
    const double n =
        static_cast<double>(rows_) * ((1.0 - f) * (N_ - std::abs(d0)) + f * (N_ - std::abs(d1)));
    const double sa = mix(pa_, true), sb = mix(pb_, false);
    const double va = mix(paa_, true) - sa * sa / n, vb = mix(pbb_, false) - sb * sb / n;
    if (!(n > 0.0) || !(va > 0.0) || !(vb > 0.0)) return 0.0;
    return (ab - sa * sb / n) / std::sqrt(va * vb);
  }

  const Sums& sums_;
  std::int32_t N_;
  std::int64_t L_, rows_;
  std::vector<double> pa_, paa_, pb_, pbb_, whole_;
};

// The best other local maximum outside the main lobe around BEST, from the correlations RHO at
// whole shifts LO .. HI (RHO[d - LO]).
double runner_up(const std::vector<double>& rho, std::int32_t best) {
  const auto n = static_cast<std::int32_t>(rho.size());
  std::int32_t left = best, right = best;
  while (left > 0 && rho[left - 1] <= rho[left]) --left;
  while (right < n - 1 && rho[right + 1] <= rho[right]) ++right;
  double second = -1.0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (i >= left && i <= right) continue;
    const bool peak = (i == 0 || rho[i] >= rho[i - 1]) && (i == n - 1 || rho[i] >= rho[i + 1]);
    if (peak) second = std::max(second, rho[i]);
  }
  return second;
}

// The fractional shift in [D - 1, D + 1] (within [LO, HI]) of the highest correlation: a grid of
// a hundredth of a bin, then the vertex of the parabola through the best grid point and its
// neighbours.
double refine(const Correlation& c, std::int32_t d, double lo, double hi) {
  const double from = std::max(lo, d - 1.0), to = std::min(hi, d + 1.0);
  const int steps = std::max(1, static_cast<int>(std::lround((to - from) / 0.01)));
  const double h = (to - from) / steps;
  std::vector<double> values(static_cast<std::size_t>(steps) + 1);
  for (int i = 0; i <= steps; ++i) values[i] = c.at(from + i * h);
  const auto best =
      static_cast<int>(std::max_element(values.begin(), values.end()) - values.begin());
  double s = from + best * h;
  if (best > 0 && best < steps) {
    const double ym = values[best - 1], y0 = values[best], yp = values[best + 1];
    const double curvature = ym - 2.0 * y0 + yp;
    if (curvature < 0.0) s += 0.5 * h * (ym - yp) / curvature;
  }
  return s;
}

}  // namespace

RavAxisResult rav_register_mirrored(std::span<const RavRowPair> pairs, std::int32_t N,
                                    std::int64_t rows, double min_axis, double max_axis,
                                    double min_correlation) {
  RavAxisResult result;
  result.method = RavAxisMethod::MIRRORED_PAIRS;
  std::int64_t L = 2;
  while (L < 2 * std::int64_t{N}) L *= 2;
  // Whole shifts whose axis lies in the range and that leave kMinOverlap bins or more to compare.
  const auto lo = static_cast<std::int32_t>(
      std::max(std::ceil(2.0 * min_axis - N), static_cast<double>(kMinOverlap - N)));
  const auto hi = static_cast<std::int32_t>(
      std::min(std::floor(2.0 * max_axis - N), static_cast<double>(N - kMinOverlap)));
  if (pairs.empty() || N < 4 || hi - lo < 2) {
    result.reason = "there is nothing to compare (no pairs, or too few bins in the range)";
    return result;
  }
  const Sums sums = sum_pairs(pairs, N, L);
  Correlation c(sums, N, L, std::ssize(pairs));
  c.whole_products();
  std::vector<double> rho;
  for (std::int32_t d = lo; d <= hi; ++d) rho.push_back(c.at(d));
  const auto best =
      static_cast<std::int32_t>(std::max_element(rho.begin(), rho.end()) - rho.begin());
  const double peak = rho[best];
  const double second = runner_up(rho, best);
  const double s = refine(c, lo + best, lo, hi);
  result.axis = (N + s) / 2.0;
  result.confidence = std::clamp(c.at(s), 0.0, 1.0);
  result.rows = static_cast<std::int32_t>(rows);
  result.pairs = static_cast<std::int32_t>(std::ssize(pairs) / std::max<std::int64_t>(rows, 1));
  if (best == 0 || best == std::ssize(rho) - 1) {
    result.reason = "the best match lies at the end of the range searched";
  } else if (!(peak >= min_correlation)) {
    result.reason = "the projections and their mirrored partners do not match (correlation " +
                    rav_axis_number(peak, 2) + ")";
  } else if (second >= 0.9 * peak) {
    result.reason = "two positions match almost equally well";
  }
  result.decided = result.reason.empty();
  return result;
}
