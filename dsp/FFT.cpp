#include "dsp/FFT.h"

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

// One radix-2 stage combining transforms of length le into length 2*le. The
// twiddle w = e^(i*theta*m) is advanced as an increment w += w*(c1 + i*s1)
// with c1 = cos(theta) - 1: the small c1 keeps the recurrence's rounding
// drift far below that of multiplying by cos(theta) directly.
void butterflyStage(std::complex<double>* d, std::int32_t n, std::int32_t le, std::int32_t sign) {
  const double theta = -kPi / static_cast<double>(le * sign);
  const double c1 = std::cos(theta) - 1.0;
  const double s1 = std::sin(theta);
  double wr = 1.0;
  double wi = 0.0;
  for (std::int32_t m = 0; m < le; ++m) {
    for (std::int32_t i = m; i < n; i += 2 * le) {
      const std::int32_t j = i + le;
      // Written out rather than std::complex's operator*, which adds
      // infinity/NaN recovery the transform does not want.
      const double tr = wr * d[j].real() - wi * d[j].imag();
      const double ti = wr * d[j].imag() + wi * d[j].real();
      d[j] = {d[i].real() - tr, d[i].imag() - ti};
      d[i] = {d[i].real() + tr, d[i].imag() + ti};
    }
    const double dwr = wr * c1 - wi * s1;
    const double dwi = wr * s1 + wi * c1;
    wr += dwr;
    wi += dwi;
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
