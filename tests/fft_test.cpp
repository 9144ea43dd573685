#include "dsp/FFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstddef>
#include <limits>
#include <random>
#include <vector>

namespace norvask {
namespace {

using Signal = std::vector<std::complex<double>>;

// Distance of `actual` from `expected` at the bins, relative in the 2-norm.
double relativeError(const Signal& actual, const std::vector<std::size_t>& bins,
                     const Signal& expected) {
  double diff = 0, norm = 0;
  for (std::size_t k : bins) {
    diff += std::norm(actual[k] - expected[k]);
    norm += std::norm(expected[k]);
  }
  return std::sqrt(diff / norm);
}

// Textbook DFT in long double with exact twiddles e^(sign*2*pi*i*m/N); its own
// error (~N * 1e-19) is far below the bound tested. Above 1024 points only 257
// bins spread over the range with varying low bits are evaluated (a permutation
// or twiddle fault shows in nearly every bin), keeping sanitizer builds quick.
Signal naiveDFT(const Signal& x, const std::vector<std::size_t>& bins, int sign, bool scale) {
  const std::size_t n = x.size();
  const long double twoPi = 6.283185307179586476925286766559L;
  std::vector<std::complex<long double>> twiddle(n);
  for (std::size_t m = 0; m < n; ++m)
    twiddle[m] = std::polar(1.0L, sign * twoPi * static_cast<long double>(m) / n);
  Signal out(n);
  for (std::size_t k : bins) {
    std::complex<long double> sum = 0;
    for (std::size_t i = 0, m = 0; i < n; ++i, m = (m + k) & (n - 1))
      sum += twiddle[m] * std::complex<long double>(x[i].real(), x[i].imag());
    if (scale)
      sum /= static_cast<long double>(n);
    out[k] = {static_cast<double>(sum.real()), static_cast<double>(sum.imag())};
  }
  return out;
}

// Relative 2-norm bound. With exact twiddles a radix-2 FFT errs by O(eps*log2 N).
// Here each stage advances its twiddle by a recurrence whose c1 = cos(theta) - 1
// carries a rounding of ~eps/2 that scales |w| the same way at every step, so
// after m steps the twiddle is off by ~m*eps/2 (linear, not a random walk);
// stage le runs m < le steps and all stages together stay below N*eps/2. Twice
// that plus 4 roundings per level covers the butterflies; measured errors sit
// near N*eps/25, while a sign, scaling, direction or permutation fault errs by
// order 1.
double errorBound(std::size_t n) {
  const double size = static_cast<double>(n);
  return std::numeric_limits<double>::epsilon() * (size + 4.0 * std::log2(size) + 4.0);
}

TEST(FFTTest, MatchesNaiveDFTForEveryPowerOfTwoBothDirectionsAndRoundTrips) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (std::size_t n = 1; n <= (1u << 14); n *= 2) {
    std::vector<std::size_t> bins;
    for (std::size_t j = 0; j < (n <= 1024 ? n : 256); ++j)
      bins.push_back(n <= 1024 ? j : (j * (n / 256) + j) % n);
    bins.push_back(n - 1);
    Signal x(n);
    for (auto& v : x)
      v = {dist(rng), dist(rng)};
    Signal forward = x, inverse = x;
    FFT fft;
    fft.ComplexFFT(forward, 1);
    fft.ComplexFFT(inverse, 0);
    EXPECT_LE(relativeError(forward, bins, naiveDFT(x, bins, -1, true)), errorBound(n)) << n;
    EXPECT_LE(relativeError(inverse, bins, naiveDFT(x, bins, +1, false)), errorBound(n)) << n;
    fft.ComplexFFT(forward, 0);
    EXPECT_LE(relativeError(forward, bins, x), 2 * errorBound(n)) << n;
  }
}

}  // namespace
}  // namespace norvask
