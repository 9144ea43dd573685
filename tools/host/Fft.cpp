#include "tools/host/Fft.h"

#include <cmath>
#include <utility>

namespace norvask::host {

bool isPowerOfTwo(std::size_t n) {
  return n != 0 && (n & (n - 1)) == 0;
}

std::size_t nextPowerOfTwo(std::size_t n) {
  std::size_t power = 1;
  while (power < n)
    power <<= 1;
  return power;
}

namespace {

void bitReversePermute(std::vector<std::complex<double>>& data) {
  const std::size_t n = data.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; (j & bit) != 0; bit >>= 1)
      j ^= bit;
    j ^= bit;
    if (i < j)
      std::swap(data[i], data[j]);
  }
}

}  // namespace

void fftInPlace(std::vector<std::complex<double>>& data, bool inverse) {
  const std::size_t n = data.size();
  bitReversePermute(data);
  const double pi = std::acos(-1.0);
  const double sign = inverse ? 1.0 : -1.0;
  for (std::size_t length = 2; length <= n; length <<= 1) {
    const double angle = sign * 2.0 * pi / static_cast<double>(length);
    const std::size_t half = length / 2;
    for (std::size_t start = 0; start < n; start += length) {
      for (std::size_t k = 0; k < half; ++k) {
        // Twiddles from cos/sin per index rather than by recurrence: the
        // channel's 100+ dB stop band would otherwise drown in rounding.
        const std::complex<double> twiddle(std::cos(angle * static_cast<double>(k)),
                                           std::sin(angle * static_cast<double>(k)));
        const std::complex<double> odd = twiddle * data[start + k + half];
        data[start + k + half] = data[start + k] - odd;
        data[start + k] += odd;
      }
    }
  }
  if (inverse) {
    for (auto& value : data)
      value /= static_cast<double>(n);
  }
}

}  // namespace norvask::host
