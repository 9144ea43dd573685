#include "dsp/FFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
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

// The transform in its plainest form: bit reversal, then every stage twiddle by twiddle with the
// same recurrence and the same arithmetic per butterfly. The engine reorders this work and runs it
// in vectors; it must not change a bit, since the FIR's FFT path is pinned to its earlier output.
void referenceTransform(Signal& data, int direction) {
  const std::size_t n = data.size();
  for (std::size_t i = 0, j = 0; i < n; ++i) {
    if (j > i)
      std::swap(data[i], data[j]);
    std::size_t m = n / 2;
    for (; m >= 1 && j >= m; m /= 2)
      j -= m;
    j += m;
  }
  const double sign = direction == 1 ? 1.0 : -1.0;
  for (std::size_t le = 1; le < n; le *= 2) {
    const double theta = -3.141592653589793 / (static_cast<double>(le) * sign);
    const double c1 = std::cos(theta) - 1.0, s1 = std::sin(theta);
    double wr = 1.0, wi = 0.0;
    for (std::size_t m = 0; m < le; ++m) {
      for (std::size_t i = m; i < n; i += 2 * le) {
        const std::complex<double> x = data[i + le], y = data[i];
        const double tr = wr * x.real() - wi * x.imag(), ti = wr * x.imag() + wi * x.real();
        data[i + le] = {y.real() - tr, y.imag() - ti};
        data[i] = {y.real() + tr, y.imag() + ti};
      }
      const double dwr = wr * c1 - wi * s1, dwi = wr * s1 + wi * c1;
      wr += dwr;
      wi += dwi;
    }
  }
  const double scale = direction == 1 ? 1.0 / static_cast<double>(n) : 1.0;
  for (auto& v : data)
    v = {v.real() * scale, v.imag() * scale};
}

TEST(FFTTest, EqualsThePlainTransformBitForBit) {
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  // Lengths below, at and above the in-cache piece, and both vector widths' edges.
  for (const std::size_t n : {1u, 2u, 4u, 8u, 64u, 512u, 1024u, 2048u, 4096u, 1u << 15, 1u << 18}) {
    Signal x(n);
    for (auto& v : x)
      v = {dist(rng), dist(rng)};
    x[0] = {-0.0, 0.0};
    for (const int direction : {1, 0}) {
      Signal expected = x, actual = x;
      referenceTransform(expected, direction);
      FFT().ComplexFFT(actual, direction);
      ASSERT_EQ(std::memcmp(expected.data(), actual.data(), n * sizeof x[0]), 0)
          << n << " points, direction " << direction;
    }
  }
}

}  // namespace
}  // namespace norvask
