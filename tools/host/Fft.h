// A small radix-2 complex FFT for the host program's channel synthesis.
//
// The host builds its built-in channel in the frequency domain and needs a
// transform that does not depend on the model library's internals, so that
// what the host measures stays an independent check of the model.
#ifndef NORVASK_TOOLS_HOST_FFT_H_
#define NORVASK_TOOLS_HOST_FFT_H_

#include <complex>
#include <cstddef>
#include <vector>

namespace norvask::host {

// True when n is a power of two (1 included).
bool isPowerOfTwo(std::size_t n);

// Smallest power of two that is at least n (1 for n = 0).
std::size_t nextPowerOfTwo(std::size_t n);

// In-place transform X[k] = sum x[n] exp(-+2 pi i k n / N); the inverse one
// divides by N, so transform then inverse returns the input.
// REQUIRES: isPowerOfTwo(data.size()).
void fftInPlace(std::vector<std::complex<double>>& data, bool inverse);

}  // namespace norvask::host

#endif  // NORVASK_TOOLS_HOST_FFT_H_
