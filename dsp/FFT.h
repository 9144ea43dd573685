// In-place complex FFT for the FIR engine's block convolution and any other
// power-of-two transform. The forward direction carries the 1/N scaling, so a
// forward call followed by an inverse call returns the original data.
//
// The twiddle factor of each stage is advanced by a recurrence instead of
// being taken from a table of sines, so the object owns nothing and a
// transform allocates nothing. The butterflies run as wide as the processor
// allows, with results that do not depend on the width.
#ifndef NORVASK_DSP_FFT_H_
#define NORVASK_DSP_FFT_H_

#include <complex>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dsp/BlockTrace.h"

namespace norvask {

// The smallest length ComplexFFT takes that holds n values: the next power of
// two (1 for n <= 1).
std::size_t fftLengthFor(std::size_t n);

class FFT {
 public:
  FFT() = default;
  // The trace stream belongs to the caller and may be null.
  explicit FFT(TraceStream* trace) : traceStream_(trace) {}

  // Transforms `data` in place. direction 1: forward, kernel e^(-2*pi*i*n*k/N),
  // result scaled by 1/N. Any other direction: inverse, kernel e^(+2*pi*i*n*k/N),
  // unscaled. The first call on an object writes its trace line.
  // REQUIRES: data.size() is a power of two (or 0) and at most 2^30; any
  // other length is refused and leaves `data` unchanged.
  void ComplexFFT(std::vector<std::complex<double>>& data, std::int32_t direction);

 private:
  TraceStream* traceStream_ = nullptr;
  OperationTrace trace_{"FFT::ComplexFFT"};
};

}  // namespace norvask

#endif  // NORVASK_DSP_FFT_H_
