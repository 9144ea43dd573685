#include "dsp/FIR.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "dsp/FFT.h"

namespace norvask {

namespace {

constexpr std::int32_t kForwardFFT = 1;
constexpr std::int32_t kInverseFFT = 0;

// Outputs per kernel call in RunBlock: the scratch it needs stays small (the
// kernel's windows take 64 bytes per sample, and for short filters the whole
// scratch stays below the size at which the C library maps fresh pages for
// every allocation) while a call still amortises the copies in and out of
// the linear history.
constexpr std::int64_t kChunk = 1024;
// Largest forced exponent whose size 2^p still fits a signed 32-bit integer.
constexpr std::int32_t kMaxFFTPow2Size = 30;

// Taps up to the last one past the first that is not exactly 0 (a NaN counts
// as non-zero): trailing zeros would only cost multiply-adds. When all taps
// past the first are 0 the full count stays, as the direct form has always
// done; those zeros add nothing to the output either way.
std::int32_t CountEffectiveTaps(const std::vector<double>& taps) {
  for (std::size_t i = taps.size() - 1; i >= 1; --i) {
    if (taps[i] != 0.0)
      return static_cast<std::int32_t>(i + 1);
  }
  return static_cast<std::int32_t>(taps.size());
}

// A real signal's spectrum is conjugate-symmetric; restoring the symmetry
// exactly removes the rounding asymmetry so the inverse comes out real.
void MirrorConjugateHalf(std::vector<std::complex<double>>& spectrum) {
  const std::size_t n = spectrum.size();
  for (std::size_t k = 1; k < n / 2; ++k)
    spectrum[n - k] = std::conj(spectrum[k]);
}

// Plain complex product, without std::complex's infinity/NaN recovery.
std::complex<double> Product(std::complex<double> a, std::complex<double> b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

}  // namespace

bool FIR::Setup(TraceStream* trace, std::ostream& messages) {
  trace_.Offer(trace);
  // Whatever ran before is stale now: Run waits for the next Initialize.
  ready_ = false;
  fftMode_ = EnableFFT == 1;
  tapCount_ = leadingZeros_ = tapSpan_ = fftSize_ = blockLength_ = 0;

  SettingsCheck check(messages);
  const bool haveTaps = Taps != nullptr && !Taps->empty();
  check.Expect(haveTaps, "Taps array size must be > 0.\n");
  // A 32-bit tap count is what every index below relies on.
  const bool tapsFit =
      !haveTaps ||
      check.Expect(
          Taps->size() <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()),
          "Taps array size must be <= ", std::numeric_limits<std::int32_t>::max(), ".\n");
  if (haveTaps && tapsFit)
    tapCount_ = CountEffectiveTaps(*Taps);
  check.Expect(InUnsignedRange(EnableFFT, 1), "EnableFFT must be an integer in the range [0,1].\n");
  if (fftMode_ && tapsFit)
    SetupFFT(check, messages);
  setupPassed_ = check.passed();
  return setupPassed_;
}

void FIR::SetupFFT(SettingsCheck& check, std::ostream& messages) {
  const std::int32_t k = tapCount_;
  const double* h = k > 0 ? Taps->data() : nullptr;
  std::int32_t first = 0;
  while (first < k && !(std::fabs(h[first]) > 0.0))
    ++first;
  // With no tap above zero the segment and every block would be empty; the
  // filter's output would be 0 anyway, so the setting is refused outright.
  if (k > 0 && !check.Expect(first < k, "EnableFFT = 1 requires a tap with a magnitude > 0.\n")) {
    return;
  }
  std::int32_t last = 1;
  for (std::int32_t i = k - 1; i >= 1; --i) {
    if (std::fabs(h[i]) > 0.0) {
      last = i + 1;
      break;
    }
  }
  const std::int32_t span = last - first;
  leadingZeros_ = first;
  tapSpan_ = span % 2 == 0 ? span : span + 1;
  blockLength_ = tapSpan_;
  if (!DeriveFFTSize(check))
    return;
  if (check.passed() && SuppressFFTSizeReport == 0) {
    messages << "FIR with EnableFFT = 1 will have an FFT size of " << fftSize_
             << " samples and a delay of " << blockLength_ << " samples.\n";
  }
}

// N is the smallest power of two that holds a block plus the taps' tail
// (>= 2M), unless FFTPow2Size forces it.
bool FIR::DeriveFFTSize(SettingsCheck& check) {
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
  if (FFTPow2Size <= 0)
    return true;
  // 2^31 and beyond would overflow the 32-bit size.
  if (!check.Expect(FFTPow2Size <= kMaxFFTPow2Size, "FFTPow2Size must be an integer <= ",
                    kMaxFFTPow2Size, " so that the FFT size fits a 32-bit integer.\n")) {
    return false;
  }
  const std::int32_t forced = std::int32_t{1} << FFTPow2Size;
  check.Expect(forced >= fftSize_,
               "To be compatible with the Taps[] size, FFTPow2Size must be an integer >= ", p,
               ".\n");
  // Kept even when too small, as documented; the failed result stops its use.
  fftSize_ = forced;
  blockLength_ = std::min(forced - tapSpan_, forced / 2);
  return true;
}

bool FIR::Initialize(std::ostream& /*messages*/) {
  ready_ = false;
  historyWrite_ = 0;
  sampleCount_ = 0;
  processCount_ = 0;
  // Without a passed Setup the derived sizes may be garbage (even negative);
  // building nothing keeps Run at its harmless "not ready" output of 0.
  if (!setupPassed_ || Taps == nullptr || Taps->size() < static_cast<std::size_t>(tapCount_)) {
    return true;
  }
  history_.assign(static_cast<std::size_t>(tapCount_), InitialValue);
  if (fftMode_) {
    InitializeFFT();
  } else {
    line_.resize(static_cast<std::size_t>(tapCount_ - 1 + kChunk + FirKernel::kPadding));
    kernel_.Reserve(kChunk, tapCount_);
  }
  ready_ = true;
  return true;
}

void FIR::InitializeFFT() {
  const std::size_t n = static_cast<std::size_t>(fftSize_);
  const std::size_t l = static_cast<std::size_t>(blockLength_);
  // The segment starts at the first non-zero tap; the delay line puts the D
  // skipped samples of latency back.
  delayLine_.assign(static_cast<std::size_t>(leadingZeros_) + 1, 0.0);
  delayWrite_ = 0;
  delayRead_ = -leadingZeros_;

  const double* h = Taps->data();
  tapSpectrum_.assign(n, {});
  for (std::int32_t i = 0; i < tapSpan_ && leadingZeros_ + i < tapCount_; ++i) {
    tapSpectrum_[static_cast<std::size_t>(i)] = h[leadingZeros_ + i];
  }
  FFT fft(trace_.stream());
  fft.ComplexFFT(tapSpectrum_, kForwardFFT);
  // Undo the forward scaling: H must be the plain DFT so that the block
  // products need no further factor.
  const double scale = static_cast<double>(n);
  for (auto& value : tapSpectrum_)
    value = {value.real() * scale, value.imag() * scale};
  MirrorConjugateHalf(tapSpectrum_);

  overlap_.assign(l, 0.0);
  for (int b = 0; b < 2; ++b) {
    inputBlock_[b].assign(l, 0.0);
    outputBlock_[b].assign(n, {});
  }
  blockPos_ = 0;
  current_ = 0;
}

void FIR::Run(std::ostream& messages) {
  if (!ready_) {
    Out = 0.0;
    return;
  }
  if (fftMode_) {
    RunFFT(messages);
  } else {
    RunDirect();
  }
}

void FIR::RunBlock(double* samples, std::int64_t count, std::ostream& messages) {
  if (!ready_ || fftMode_) {
    for (std::int64_t i = 0; i < count; ++i) {
      In = samples[i];
      Run(messages);
      samples[i] = Out;
    }
    return;
  }
  while (count > 0) {
    const std::int64_t n = std::min(count, kChunk);
    FilterChunk(samples, n);
    samples += n;
    count -= n;
  }
}

// REQUIRES: 1 <= count <= kChunk, direct form ready.
void FIR::FilterChunk(double* samples, std::int64_t count) {
  const double* x = LoadLine(samples, count);
  // With InitialValue 0 output s stops after s + 1 terms, as Run's does.
  std::int32_t start = tapCount_;
  if (InitialValue == 0.0 && sampleCount_ + 1 < tapCount_)
    start = static_cast<std::int32_t>(sampleCount_ + 1);
  kernel_.Filter(Taps->data(), tapCount_, start, x, samples, count);
  StoreHistory(count);
  In = x[count - 1];
  Out = samples[count - 1];
  sampleCount_ += count;
}

// Lays out the K-1 newest history values, oldest first, then the inputs, then
// zeros for the kernel's padding. Returns where the first input sits.
double* FIR::LoadLine(const double* samples, std::int64_t count) {
  const std::size_t write = static_cast<std::size_t>(historyWrite_);
  // history_[write] is the oldest value, the one no output of this chunk uses.
  double* line = line_.data();
  line = std::copy(history_.begin() + static_cast<std::ptrdiff_t>(write) + 1, history_.end(), line);
  line = std::copy(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(write), line);
  double* x = line;
  line = std::copy(samples, samples + count, line);
  std::fill(line, line + FirKernel::kPadding, 0.0);
  return x;
}

// The ring after `count` more inputs: its K newest values with the write
// position just past the newest, as Run would have left it.
void FIR::StoreHistory(std::int64_t count) {
  const std::int64_t k = tapCount_;
  const std::int64_t write = (historyWrite_ + count) % k;
  // The K newest values start at line_[count - 1]; the oldest goes to `write`.
  const double* newest = line_.data() + count - 1;
  const std::ptrdiff_t tail = static_cast<std::ptrdiff_t>(k - write);
  std::copy(newest, newest + tail, history_.begin() + static_cast<std::ptrdiff_t>(write));
  std::copy(newest + tail, newest + k, history_.begin());
  historyWrite_ = static_cast<std::int32_t>(write);
}

// Out = sum over k < K of h[k] * x[t-k], newest input first. With InitialValue
// 0 the terms reaching before the first input would only add zeros, so they
// are skipped.
void FIR::RunDirect() {
  const double* h = Taps->data();
  const double* x = history_.data();
  const std::int32_t k = tapCount_;
  history_[static_cast<std::size_t>(historyWrite_)] = In;
  std::int64_t terms = k;
  if (InitialValue == 0.0 && sampleCount_ + 1 < terms)
    terms = sampleCount_ + 1;
  const auto n = static_cast<std::int32_t>(terms);
  // The ring is walked backwards from the write position in two straight
  // runs, which avoids a wrap test per term.
  const std::int32_t beforeWrap = std::min(n, historyWrite_ + 1);
  double out = 0.0;
  for (std::int32_t i = 0; i < beforeWrap; ++i)
    out += x[historyWrite_ - i] * h[i];
  for (std::int32_t i = beforeWrap; i < n; ++i)
    out += x[historyWrite_ - i + k] * h[i];
  Out = out;
  if (++historyWrite_ == k)
    historyWrite_ = 0;
  ++sampleCount_;
}

// Collects L inputs per block and convolves each completed block at the start
// of the next, so every output leaves exactly L samples late.
void FIR::RunFFT(std::ostream& messages) {
  Out = 0.0;
  // At sample 0 a non-zero InitialValue stands for the inputs before the
  // first Run, processed as one block of that value.
  if (blockPos_ == 0 && (sampleCount_ >= 1 || InitialValue != 0.0))
    ProcessBlock(messages);
  inputBlock_[current_][static_cast<std::size_t>(blockPos_)] = In;
  const double value = overlap_[static_cast<std::size_t>(blockPos_)];
  if (++blockPos_ == blockLength_)
    blockPos_ = 0;

  delayLine_[static_cast<std::size_t>(delayWrite_)] = value;
  Out = delayRead_ < 0 ? 0.0 : delayLine_[static_cast<std::size_t>(delayRead_)];
  if (++delayRead_ > leadingZeros_)
    delayRead_ = 0;
  if (++delayWrite_ > leadingZeros_)
    delayWrite_ = 0;
  ++sampleCount_;
}

void FIR::ProcessBlock(std::ostream& messages) {
  const std::size_t n = static_cast<std::size_t>(fftSize_);
  const std::size_t l = static_cast<std::size_t>(blockLength_);
  std::vector<std::complex<double>>& block = outputBlock_[current_];
  const std::vector<double>& input = inputBlock_[current_];
  const bool initialBlock = sampleCount_ == 0;
  for (std::size_t i = 0; i < l; ++i)
    block[i] = {initialBlock ? InitialValue : input[i], 0.0};
  std::fill(block.begin() + static_cast<std::ptrdiff_t>(l), block.end(), std::complex<double>{});

  FFT fft(trace_.stream());
  fft.ComplexFFT(block, kForwardFFT);
  MirrorConjugateHalf(block);
  for (std::size_t i = 0; i < n; ++i)
    block[i] = Product(block[i], tapSpectrum_[i]);
  fft.ComplexFFT(block, kInverseFFT);

  // The previous block's tail (from index L on) runs into this block's head.
  const std::vector<std::complex<double>>& previous = outputBlock_[1 - current_];
  for (std::size_t i = 0; i < l; ++i)
    overlap_[i] = previous[l + i].real() + block[i].real();
  current_ = 1 - current_;

  ++processCount_;
  if (ReportFFTProcessCount == 1 && processCount_ % 10 == 0) {
    messages << "FIR with EnableFFT = 1: FFT_process_count = " << processCount_
             << ", sample count = " << processCount_ * blockLength_ << ".\n";
  }
}

void FIR::Finalize() {
  if (!fftMode_)
    return;
  ReleaseFFTState();
}

void FIR::ReleaseFFTState() {
  ready_ = false;
  tapSpectrum_ = {};
  overlap_ = {};
  delayLine_ = {};
  for (int b = 0; b < 2; ++b) {
    inputBlock_[b] = {};
    outputBlock_[b] = {};
  }
}

}  // namespace norvask
