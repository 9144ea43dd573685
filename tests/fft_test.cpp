#include "dsp/FFT.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace norvask {
namespace {

using Complex = std::complex<double>;
using Signal = std::vector<Complex>;

const long double kTwoPi = 6.283185307179586476925286766559L;

// Bins the naive DFT evaluates: all of them up to 1024 points; above that 256
// bins spread over the whole range with varying low bits (a permutation or
// twiddle fault shows in practically every bin), which keeps the O(N^2)
// reference affordable in unoptimized sanitizer builds.
std::vector<std::size_t> CheckedBins(std::size_t n) {
  std::vector<std::size_t> bins;
  if (n <= 1024) {
    for (std::size_t k = 0; k < n; ++k)
      bins.push_back(k);
    return bins;
  }
  for (std::size_t j = 0; j < 256; ++j)
    bins.push_back((j * (n / 256) + j) % n);
  bins.push_back(n - 1);
  return bins;
}

// Textbook DFT of the chosen bins in long double with exact twiddles
// e^(sign*2*pi*i*m/N), m = n*k mod N, so its own error (~N * 1e-19) is far
// below the bound tested.
Signal NaiveDFT(const Signal& x, const std::vector<std::size_t>& bins, int sign, bool scale) {
  const std::size_t n = x.size();
  std::vector<long double> cosine(n), sine(n);
  for (std::size_t m = 0; m < n; ++m) {
    const long double angle = sign * kTwoPi * static_cast<long double>(m) / n;
    cosine[m] = std::cos(angle);
    sine[m] = std::sin(angle);
  }
  const long double f = scale ? 1.0L / n : 1.0L;
  Signal out;
  for (std::size_t k : bins) {
    long double sumRe = 0, sumIm = 0;
    for (std::size_t i = 0, m = 0; i < n; ++i, m = (m + k) & (n - 1)) {
      sumRe += cosine[m] * x[i].real() - sine[m] * x[i].imag();
      sumIm += cosine[m] * x[i].imag() + sine[m] * x[i].real();
    }
    out.emplace_back(static_cast<double>(sumRe * f), static_cast<double>(sumIm * f));
  }
  return out;
}

Signal Pick(const Signal& x, const std::vector<std::size_t>& bins) {
  Signal out;
  for (std::size_t k : bins)
    out.push_back(x[k]);
  return out;
}

Signal RandomSignal(std::size_t n, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  Signal x(n);
  for (auto& v : x)
    v = {dist(rng), dist(rng)};
  return x;
}

double Norm(const Signal& x) {
  double sum = 0;
  for (const auto& v : x)
    sum += std::norm(v);
  return std::sqrt(sum);
}

double DistanceNorm(const Signal& a, const Signal& b) {
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    sum += std::norm(a[i] - b[i]);
  return std::sqrt(sum);
}

// Error bound, relative in the 2-norm. With exact twiddles a radix-2 FFT
// errs by O(eps * log2 N) (about one rounding per butterfly level). Here the
// twiddle of each stage is advanced by a recurrence, and c1 = cos(theta) - 1
// carries an absolute rounding of about eps/2 from cos(theta), so every step
// scales |w| by up to (1 + eps/2) in the same direction: after m steps the
// twiddle is off by ~m*eps/2, linearly, not as a random walk. Stage le runs
// m < le, and the stages together (le = 1, 2, ..., N/2) stay below N*eps/2.
// Twice that plus 4 roundings per level leaves room for the butterfly
// constants; an actual fault (sign, scaling, direction, permutation) errs by
// order 1 and fails by far. Measured errors sit at ~N*eps/25.
double ErrorBound(std::size_t n) {
  const double eps = std::numeric_limits<double>::epsilon();
  const double size = static_cast<double>(n);
  return eps * (size + 4.0 * std::log2(size) + 4.0);
}

TEST(FFTTest, MatchesNaiveDFTForEveryPowerOfTwoBothDirections) {
  std::mt19937_64 rng(20240611);
  for (std::size_t n = 1; n <= (1u << 14); n *= 2) {
    const Signal x = RandomSignal(n, rng);
    const std::vector<std::size_t> bins = CheckedBins(n);
    Signal forward = x;
    FFT().ComplexFFT(forward, 1);
    const Signal expectForward = NaiveDFT(x, bins, -1, true);
    EXPECT_LE(DistanceNorm(Pick(forward, bins), expectForward), ErrorBound(n) * Norm(expectForward))
        << "forward, N = " << n;

    Signal inverse = x;
    FFT().ComplexFFT(inverse, 0);
    const Signal expectInverse = NaiveDFT(x, bins, +1, false);
    EXPECT_LE(DistanceNorm(Pick(inverse, bins), expectInverse), ErrorBound(n) * Norm(expectInverse))
        << "inverse, N = " << n;
  }
}

TEST(FFTTest, ForwardThenInverseRestoresTheData) {
  std::mt19937_64 rng(7);
  for (std::size_t n = 1; n <= (1u << 16); n *= 4) {
    const Signal x = RandomSignal(n, rng);
    Signal y = x;
    FFT fft;
    fft.ComplexFFT(y, 1);
    fft.ComplexFFT(y, 0);
    EXPECT_LE(DistanceNorm(x, y), 2 * ErrorBound(n) * Norm(x)) << "N = " << n;
    EXPECT_EQ(fft.callCount(), 2);
  }
}

TEST(FFTTest, WorkedExamples) {
  const double tol = 1e-15;
  Signal ones(8, Complex(1.0, 0.0));
  FFT fft;
  fft.ComplexFFT(ones, 1);
  for (std::size_t k = 0; k < 8; ++k) {
    EXPECT_NEAR(ones[k].real(), k == 0 ? 1.0 : 0.0, tol);
    EXPECT_NEAR(ones[k].imag(), 0.0, tol);
  }
  fft.ComplexFFT(ones, 0);
  for (const auto& v : ones)
    EXPECT_NEAR(std::abs(v - Complex(1.0, 0.0)), 0.0, tol);

  Signal impulse(16);
  impulse[0] = 1.0;
  fft.ComplexFFT(impulse, 1);
  for (const auto& v : impulse)
    EXPECT_NEAR(std::abs(v - Complex(1.0 / 16, 0.0)), 0.0, tol);

  // e^(+2*pi*i*n/N) lands in bin 1 forward; the inverse of bin 1 gives it back
  // at full magnitude.
  const std::size_t n = 32;
  Signal tone(n);
  for (std::size_t i = 0; i < n; ++i)
    tone[i] = std::polar(1.0, 2 * M_PI * i / n);
  Signal spectrum = tone;
  fft.ComplexFFT(spectrum, 1);
  for (std::size_t k = 0; k < n; ++k) {
    EXPECT_NEAR(std::abs(spectrum[k] - Complex(k == 1 ? 1.0 : 0.0, 0.0)), 0.0, 1e-14);
  }
  Signal bin1(n);
  bin1[1] = 1.0;
  fft.ComplexFFT(bin1, 0);
  for (std::size_t i = 0; i < n; ++i)
    EXPECT_NEAR(std::abs(bin1[i] - tone[i]), 0.0, 1e-14);

  Signal single{Complex(3.0, -2.0)};
  fft.ComplexFFT(single, 1);
  EXPECT_EQ(single[0], Complex(3.0, -2.0));
}

TEST(FFTTest, EveryDirectionOtherThanOneIsTheUnscaledInverse) {
  std::mt19937_64 rng(3);
  const Signal x = RandomSignal(64, rng);
  Signal reference = x;
  FFT().ComplexFFT(reference, 0);
  for (std::int32_t direction : {-1, 7, 2, -2147483647 - 1}) {
    Signal y = x;
    FFT().ComplexFFT(y, direction);
    EXPECT_EQ(y, reference) << "direction " << direction;
  }
}

TEST(FFTTest, RefusesLengthsThatAreNotAPowerOfTwoAndLeavesThemUnchanged) {
  std::mt19937_64 rng(5);
  for (std::size_t n : {3u, 5u, 6u, 12u, 100u, 1023u}) {
    const Signal x = RandomSignal(n, rng);
    Signal y = x;
    FFT fft;
    fft.ComplexFFT(y, 1);
    fft.ComplexFFT(y, 0);
    EXPECT_EQ(y, x) << "N = " << n;
  }
  Signal empty;
  FFT().ComplexFFT(empty, 1);
  EXPECT_TRUE(empty.empty());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FFTTest, EachObjectTracesItsFirstCallOnly) {
  const std::string path = testing::TempDir() + "fft_trace.txt";
  {
    TraceStream trace(path);
    Signal data(4);
    FFT first(&trace);
    first.ComplexFFT(data, 1);
    first.ComplexFFT(data, 0);
    Signal empty;
    FFT second(&trace);
    second.ComplexFFT(empty, 1);  // even an empty transform is a call
    second.ComplexFFT(data, 1);
    TraceStream closed;
    FFT untraced(&closed);
    untraced.ComplexFFT(data, 1);
    FFT().ComplexFFT(data, 1);
  }
  EXPECT_EQ(ReadFile(path), "Quennavik::FFT::ComplexFFT\nQuennavik::FFT::ComplexFFT\n");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace norvask
