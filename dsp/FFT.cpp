#include "dsp/FFT.h"

#include <algorithm>
#include <cmath>

namespace norvask {

namespace {

constexpr double kPi = 3.141592653589793;

// Largest length whose butterfly indices (i + le < 2N) stay within int32.
constexpr std::size_t kMaxLength = std::size_t{1} << 30;

bool isTransformableLength(std::size_t n) {
  return n <= kMaxLength && (n & (n - 1)) == 0;
}

// Reorders the elements into bit-reversed index order by counting j in
// reversed binary alongside i, so no index table is needed.
void bitReversePermute(std::complex<double>* d, std::int32_t n) {
  std::int32_t j = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (j > i)
      std::swap(d[i], d[j]);
    std::int32_t m = n / 2;
    while (m >= 1 && j >= m) {
      j -= m;
      m /= 2;
    }
    j += m;
  }
}

// Twiddles go out in runs of kTwiddleRun. Within a run the stage walks the
// array once, block by block, so the elements of a block are combined while
// they are in cache; one walk per twiddle, with strides of 2 * le, would miss
// the cache at almost every element of a large transform.
constexpr std::int32_t kTwiddleRun = 64;

// The butterfly of elements i and i + le with twiddle (wr, wi). Written out
// rather than std::complex's operator*, which adds infinity/NaN recovery the
// transform does not want.
void butterfly(std::complex<double>* d, std::int32_t i, std::int32_t le, double wr, double wi) {
  const std::int32_t j = i + le;
  const double tr = wr * d[j].real() - wi * d[j].imag();
  const double ti = wr * d[j].imag() + wi * d[j].real();
  d[j] = {d[i].real() - tr, d[i].imag() - ti};
  d[i] = {d[i].real() + tr, d[i].imag() + ti};
}

// One radix-2 stage combining transforms of length le into length 2*le. The
// twiddle w = e^(i*theta*m) is advanced as an increment w += w*(c1 + i*s1)
// with c1 = cos(theta) - 1: the small c1 keeps the recurrence's rounding
// drift far below that of multiplying by cos(theta) directly. Every butterfly
// of a stage touches its own two elements, so the order they run in changes
// no result.
void butterflyStage(std::complex<double>* d, std::int32_t n, std::int32_t le, std::int32_t sign) {
  const double theta = -kPi / static_cast<double>(le * sign);
  const double c1 = std::cos(theta) - 1.0;
  const double s1 = std::sin(theta);
  double wr = 1.0;
  double wi = 0.0;
  double runWr[kTwiddleRun];
  double runWi[kTwiddleRun];
  for (std::int32_t m0 = 0; m0 < le; m0 += kTwiddleRun) {
    const std::int32_t count = std::min(kTwiddleRun, le - m0);
    for (std::int32_t t = 0; t < count; ++t) {
      runWr[t] = wr;
      runWi[t] = wi;
      const double dwr = wr * c1 - wi * s1;
      const double dwi = wr * s1 + wi * c1;
      wr += dwr;
      wi += dwi;
    }
    for (std::int32_t block = m0; block < n; block += 2 * le) {
      for (std::int32_t t = 0; t < count; ++t)
        butterfly(d, block + t, le, runWr[t], runWi[t]);
    }
  }
}

}  // namespace

std::size_t fftLengthFor(std::size_t n) {
  std::size_t length = 1;
  while (length < n)
    length *= 2;
  return length;
}

void FFT::ComplexFFT(std::vector<std::complex<double>>& data, std::int32_t direction) {
  trace_.OnCall(traceStream_);
  // Other lengths would send the butterflies past the end of `data`; refusing
  // them untouched is the only safe answer for an operation without a result.
  if (!isTransformableLength(data.size()))
    return;
  const auto n = static_cast<std::int32_t>(data.size());
  std::complex<double>* d = data.data();
  bitReversePermute(d, n);
  const std::int32_t sign = direction == 1 ? 1 : -1;
  for (std::int32_t le = 1; le < n; le *= 2)
    butterflyStage(d, n, le, sign);
  if (direction == 1 && n > 0) {
    const double f = 1.0 / n;
    for (std::int32_t i = 0; i < n; ++i)
      d[i] = {d[i].real() * f, d[i].imag() * f};
  }
}

}  // namespace norvask
