#include "dsp/FftOverlapAdd.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "dsp/FFT.h"

namespace norvask {

namespace {

constexpr std::int32_t kForwardFFT = 1;
constexpr std::int32_t kInverseFFT = 0;
// Largest forced exponent whose size 2^p still fits a signed 32-bit integer.
constexpr std::int32_t kMaxFFTPow2Size = 30;

// A real signal's spectrum is conjugate-symmetric; restoring the symmetry
// exactly removes the rounding asymmetry so the inverse comes out real.
void mirrorConjugateHalf(std::vector<std::complex<double>>& spectrum) {
  const std::size_t n = spectrum.size();
  for (std::size_t k = 1; k < n / 2; ++k)
    spectrum[n - k] = std::conj(spectrum[k]);
}

// Plain complex product, without std::complex's infinity/NaN recovery.
std::complex<double> product(std::complex<double> a, std::complex<double> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

bool FftOverlapAdd::Plan(const double* h, std::int32_t tapCount, std::int32_t forcedPow2,
                         SettingsCheck& check) {
  leadingZeros_ = tapSpan_ = fftSize_ = blockLength_ = 0;
  std::int32_t first = 0;
  while (first < tapCount && !(std::fabs(h[first]) > 0.0))
    ++first;
  // With no tap above zero the segment and every block would be empty; the
  // filter's output would be 0 anyway, so the setting is refused outright.
  if (tapCount > 0 &&
      !check.Expect(first < tapCount, "EnableFFT = 1 requires a tap with a magnitude > 0.\n")) {
    return false;
  }
  std::int32_t last = 1;
  for (std::int32_t i = tapCount - 1; i >= 1; --i) {
    if (std::fabs(h[i]) > 0.0) {
      last = i + 1;
      break;
    }
  }
  const std::int32_t span = last - first;
  leadingZeros_ = first;
  tapSpan_ = span % 2 == 0 ? span : span + 1;
  blockLength_ = tapSpan_;
  return DeriveSize(forcedPow2, check);
}

// N is the smallest power of two that holds a block plus the taps' tail
// (>= 2M), unless a forced size replaces it.
bool FftOverlapAdd::DeriveSize(std::int32_t forcedPow2, SettingsCheck& check) {
  std::int32_t p = 0;
  std::int64_t n = 1;
  while (n < 2 * static_cast<std::int64_t>(tapSpan_)) {
    n *= 2;
    ++p;
  }
  if (!check.Expect(p <= kMaxFFTPow2Size, "The span of non-zero Taps must be <= ",
                    std::int64_t{1} << (kMaxFFTPow2Size - 1), " when EnableFFT = 1.\n")) {
    return false;
  }
  fftSize_ = static_cast<std::int32_t>(n);
  if (forcedPow2 <= 0)
    return true;
  // 2^31 and beyond would overflow the 32-bit size.
  if (!check.Expect(forcedPow2 <= kMaxFFTPow2Size, "FFTPow2Size must be an integer <= ",
                    kMaxFFTPow2Size, " so that the FFT size fits a 32-bit integer.\n")) {
    return false;
  }
  const std::int32_t forced = std::int32_t{1} << forcedPow2;
  check.Expect(forced >= fftSize_,
               "To be compatible with the Taps[] size, FFTPow2Size must be an integer >= ", p,
               ".\n");
  // A forced size too small for the taps is kept all the same; the failed
  // check keeps the filter from running with it.
  fftSize_ = forced;
  blockLength_ = std::min(forced - tapSpan_, forced / 2);
  return true;
}

void FftOverlapAdd::Initialize(const double* taps, std::int32_t tapCount, double initialValue,
                               TraceStream* trace) {
  const std::size_t n = static_cast<std::size_t>(fftSize_);
  const std::size_t l = static_cast<std::size_t>(blockLength_);
  trace_ = trace;
  initialValue_ = initialValue;
  sampleCount_ = 0;
  processCount_ = 0;
  // The segment starts at the first non-zero tap; the delay line puts the D
  // skipped samples of latency back.
  delayLine_.assign(static_cast<std::size_t>(leadingZeros_) + 1, 0.0);
  delayWrite_ = 0;
  delayRead_ = -leadingZeros_;

  tapSpectrum_.assign(n, {});
  for (std::int32_t i = 0; i < tapSpan_ && leadingZeros_ + i < tapCount; ++i)
    tapSpectrum_[static_cast<std::size_t>(i)] = taps[leadingZeros_ + i];
  FFT fft(trace_);
  fft.ComplexFFT(tapSpectrum_, kForwardFFT);
  // Undo the forward scaling: H must be the plain DFT so that the block
  // products need no further factor.
  const double scale = static_cast<double>(n);
  for (auto& value : tapSpectrum_)
    value = {value.real() * scale, value.imag() * scale};
  mirrorConjugateHalf(tapSpectrum_);

  overlap_.assign(l, 0.0);
  for (int b = 0; b < 2; ++b) {
    inputBlock_[b].assign(l, 0.0);
    outputBlock_[b].assign(n, {});
  }
  blockPos_ = 0;
  current_ = 0;
}

// Collects L inputs per block and convolves each completed block at the start
// of the next.
double FftOverlapAdd::Run(double in, bool reportProcessCount, std::ostream& messages) {
  // At sample 0 a non-zero initial value stands for the inputs before the
  // first Run, processed as one block of that value.
  if (blockPos_ == 0 && (sampleCount_ >= 1 || initialValue_ != 0.0))
    ProcessBlock(reportProcessCount, messages);
  inputBlock_[current_][static_cast<std::size_t>(blockPos_)] = in;
  const double value = overlap_[static_cast<std::size_t>(blockPos_)];
  if (++blockPos_ == blockLength_)
    blockPos_ = 0;

  delayLine_[static_cast<std::size_t>(delayWrite_)] = value;
  const double out = delayRead_ < 0 ? 0.0 : delayLine_[static_cast<std::size_t>(delayRead_)];
  if (++delayRead_ > leadingZeros_)
    delayRead_ = 0;
  if (++delayWrite_ > leadingZeros_)
    delayWrite_ = 0;
  ++sampleCount_;
  return out;
}

void FftOverlapAdd::ProcessBlock(bool reportProcessCount, std::ostream& messages) {
  const std::size_t n = static_cast<std::size_t>(fftSize_);
  const std::size_t l = static_cast<std::size_t>(blockLength_);
  std::vector<std::complex<double>>& block = outputBlock_[current_];
  const std::vector<double>& input = inputBlock_[current_];
  const bool initialBlock = sampleCount_ == 0;
  for (std::size_t i = 0; i < l; ++i)
    block[i] = {initialBlock ? initialValue_ : input[i], 0.0};
  std::fill(block.begin() + static_cast<std::ptrdiff_t>(l), block.end(), std::complex<double>{});

  FFT fft(trace_);
  fft.ComplexFFT(block, kForwardFFT);
  mirrorConjugateHalf(block);
  for (std::size_t i = 0; i < n; ++i)
    block[i] = product(block[i], tapSpectrum_[i]);
  fft.ComplexFFT(block, kInverseFFT);

  // The previous block's tail (from index L on) runs into this block's head.
  const std::vector<std::complex<double>>& previous = outputBlock_[1 - current_];
  for (std::size_t i = 0; i < l; ++i)
    overlap_[i] = previous[l + i].real() + block[i].real();
  current_ = 1 - current_;

  ++processCount_;
  if (reportProcessCount && processCount_ % 10 == 0) {
    messages << "FIR with EnableFFT = 1: FFT_process_count = " << processCount_
             << ", sample count = " << processCount_ * blockLength_ << ".\n";
  }
}

void FftOverlapAdd::Release() {
  tapSpectrum_ = {};
  overlap_ = {};
  delayLine_ = {};
  for (int b = 0; b < 2; ++b) {
    inputBlock_[b] = {};
    outputBlock_[b] = {};
  }
}

}  // namespace norvask
