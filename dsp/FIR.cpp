#include "dsp/FIR.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "dsp/SettingsCheck.h"

namespace norvask {

namespace {

// Outputs per kernel call in RunBlock: the scratch it needs stays small (the
// kernel's windows take 64 bytes per sample, and for short filters the whole
// scratch stays below the size at which the C library maps fresh pages for
// every allocation) while a call still amortises the copies in and out of
// the linear history.
constexpr std::int64_t kChunk = 1024;

// Taps up to the last one past the first that is not exactly 0 (a NaN counts
// as non-zero): trailing zeros would only cost multiply-adds. When all taps
// past the first are 0 the full count stays, as the direct form has always
// done; those zeros add nothing to the output either way.
std::int32_t countEffectiveTaps(const std::vector<double>& taps) {
  for (std::size_t i = taps.size() - 1; i >= 1; --i) {
    if (taps[i] != 0.0)
      return static_cast<std::int32_t>(i + 1);
  }
  return static_cast<std::int32_t>(taps.size());
}

}  // namespace

bool FIR::Setup(TraceStream* trace, std::ostream& messages) {
  trace_.Offer(trace);
  // Whatever ran before is stale now: Run waits for the next Initialize.
  ready_ = false;
  fftMode_ = EnableFFT == 1;
  tapCount_ = 0;

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
    tapCount_ = countEffectiveTaps(*Taps);
  check.Expect(InUnsignedRange(EnableFFT, 1), "EnableFFT must be an integer in the range [0,1].\n");
  if (fftMode_ && tapsFit)
    SetupFFT(check, messages);
  setupPassed_ = check.passed();
  return setupPassed_;
}

void FIR::SetupFFT(SettingsCheck& check, std::ostream& messages) {
  const double* taps = tapCount_ > 0 ? Taps->data() : nullptr;
  if (overlapAdd_.Plan(taps, tapCount_, FFTPow2Size, check) && check.passed() &&
      SuppressFFTSizeReport == 0) {
    messages << "FIR with EnableFFT = 1 will have an FFT size of " << overlapAdd_.fftSize()
             << " samples and a delay of " << overlapAdd_.delay() << " samples.\n";
  }
}

bool FIR::Initialize(std::ostream& /*messages*/) {
  ready_ = false;
  historyWrite_ = 0;
  sampleCount_ = 0;
  // Without a passed Setup the derived sizes may be garbage (even negative);
  // building nothing keeps Run at its harmless "not ready" output of 0.
  if (!setupPassed_ || Taps == nullptr || Taps->size() < static_cast<std::size_t>(tapCount_)) {
    return true;
  }
  history_.assign(static_cast<std::size_t>(tapCount_), InitialValue);
  if (fftMode_) {
    overlapAdd_.Initialize(Taps->data(), tapCount_, InitialValue, trace_.stream());
  } else {
    line_.resize(static_cast<std::size_t>(tapCount_ - 1 + kChunk + FirKernel::kPadding));
    kernel_.Reserve(kChunk);
  }
  ready_ = true;
  return true;
}

void FIR::Run(std::ostream& messages) {
  if (!ready_) {
    Out = 0.0;
    return;
  }
  if (fftMode_) {
    Out = overlapAdd_.Run(In, ReportFFTProcessCount == 1, messages);
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
  // Between chunks the history stays in line_, which the next chunk slides
  // down; the ring is written once, after the last chunk.
  std::int64_t previous = 0;
  while (count > 0) {
    const std::int64_t n = std::min(count, kChunk);
    const double* x = previous == 0 ? LoadLine(samples, n) : SlideLine(previous, samples, n);
    FilterChunk(x, samples, n);
    if (n == count) {
      StoreHistory(n);
    } else {
      historyWrite_ = static_cast<std::int32_t>((historyWrite_ + n) % tapCount_);
    }
    previous = n;
    samples += n;
    count -= n;
  }
}

// REQUIRES: 1 <= count <= kChunk, direct form ready, x the chunk's inputs in
// line_.
void FIR::FilterChunk(const double* x, double* samples, std::int64_t count) {
  // With InitialValue 0 output s stops after s + 1 terms, as Run's does.
  std::int32_t start = tapCount_;
  if (InitialValue == 0.0 && sampleCount_ + 1 < tapCount_)
    start = static_cast<std::int32_t>(sampleCount_ + 1);
  kernel_.Filter(Taps->data(), tapCount_, start, x, samples, count);
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

// Moves the K-1 newest inputs of the previous chunk (of `previous` inputs) to
// the front of the line and lays out the next chunk after them, as LoadLine
// would from the ring. Returns where the first input sits.
double* FIR::SlideLine(std::int64_t previous, const double* samples, std::int64_t count) {
  double* line = line_.data();
  const std::ptrdiff_t kept = tapCount_ - 1;
  std::copy(line + previous, line + previous + kept, line);
  double* x = line + kept;
  std::fill(std::copy(samples, samples + count, x), x + count + FirKernel::kPadding, 0.0);
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

void FIR::Finalize() {
  if (!fftMode_)
    return;
  ready_ = false;
  overlapAdd_.Release();
}

}  // namespace norvask
