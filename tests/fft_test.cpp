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

// Relative 2-norm distance of `actual` from the long-double textbook DFT of `x` (twiddles
// e^(sign 2 pi i m / N), divided by N when `scale`), whose own error (~N 1e-19) is negligible.
double errorFromNaiveDFT(const Signal& actual, const Signal& x, int sign, bool scale) {
  const std::size_t n = x.size();
  std::vector<std::complex<long double>> twiddle(n);
  for (std::size_t m = 0; m < n; ++m)
    twiddle[m] = std::polar(1.0L, sign * 6.283185307179586476925286766559L * m / n);
  double diff = 0, norm = 0;
  for (std::size_t k = 0; k < n; ++k) {
    std::complex<long double> sum = 0;
    for (std::size_t i = 0, m = 0; i < n; ++i, m = (m + k) & (n - 1))
      sum += twiddle[m] * std::complex<long double>(x[i]);
    const std::complex<double> expected(scale ? sum / static_cast<long double>(n) : sum);
    diff += std::norm(actual[k] - expected);
    norm += std::norm(expected);
  }
  return std::sqrt(diff / norm);
}

TEST(FFTTest, MatchesNaiveDFTForEveryPowerOfTwoInBothDirections) {
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (std::size_t n = 1; n <= 2048; n *= 2) {
    // Exact twiddles give O(eps log2 N); the twiddle recurrence drifts below N eps / 2.
    // Measured errors sit near N eps / 25; a sign, direction or order fault errs by ~1.
    const double bound = std::numeric_limits<double>::epsilon() * (n + 4.0 * std::log2(n) + 4.0);
    Signal x(n);
    for (auto& v : x)
      v = {dist(rng), dist(rng)};
    Signal forward = x, inverse = x;
    FFT fft;
    fft.ComplexFFT(forward, 1);
    fft.ComplexFFT(inverse, 0);
    EXPECT_LE(errorFromNaiveDFT(forward, x, -1, true), bound) << n;
    EXPECT_LE(errorFromNaiveDFT(inverse, x, +1, false), bound) << n;
  }
}

}  // namespace
}  // namespace norvask
