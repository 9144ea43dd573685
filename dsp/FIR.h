// Sample-by-sample FIR filter with the block phases Setup, Initialize, Run and
// Finalize. It convolves either directly over a ring of past inputs or, with
// EnableFFT = 1, by FFT overlap-add (FftOverlapAdd), which yields the same
// output delayed by one block length.
#ifndef NORVASK_DSP_FIR_H_
#define NORVASK_DSP_FIR_H_

#include <cstdint>
#include <ostream>
#include <vector>

#include "dsp/BlockTrace.h"
#include "dsp/FftOverlapAdd.h"
#include "dsp/FirKernel.h"
#include "dsp/SettingsCheck.h"

namespace norvask {

class FIR {
 public:
  // Settings, written by the owner before Setup.
  // REQUIRES: *Taps outlives the filter and keeps its length from Setup on;
  // the direct form reads its values at every Run.
  const std::vector<double>* Taps = nullptr;
  double InitialValue = 0.0;  // every input before the first Run
  std::int32_t EnableFFT = 0;
  std::int32_t FFTPow2Size = 0;  // > 0 forces the FFT size to 2^FFTPow2Size
  std::int32_t ReportFFTProcessCount = 0;
  std::int32_t SuppressFFTSizeReport = 0;

  // Ports.
  double In = 0.0;
  double Out = 0.0;

  // Validates the settings and fixes K (and the FFT path's sizes), writing
  // every violation. Beyond the size checks it refuses, in FFT mode,
  // taps without any value of magnitude > 0 (there would be nothing to
  // transform) and FFTPow2Size > 30 (the size would not fit 32 bits).
  bool Setup(TraceStream* trace, std::ostream& messages);
  // Cannot fail. After a failed Setup it builds nothing, and Run then yields 0.
  bool Initialize(std::ostream& messages);
  // REQUIRES: Initialize after the last Setup (otherwise Out is 0).
  void Run(std::ostream& messages);
  // Filters samples[0..count) in place, exactly as `count` calls of Run with
  // In = samples[i] would (same outputs, bit for bit, and the same state
  // afterwards), for callers that have a whole column at hand. The direct form
  // computes blocks of outputs with SIMD; it allocates nothing.
  void RunBlock(double* samples, std::int64_t count, std::ostream& messages);
  // FFT mode: releases the working arrays; Run yields 0 until the next
  // Initialize. Direct form: nothing to release.
  void Finalize();

 private:
  void SetupFFT(SettingsCheck& check, std::ostream& messages);
  void RunDirect();
  void FilterChunk(const double* x, double* samples, std::int64_t count);
  double* LoadLine(const double* samples, std::int64_t count);
  double* SlideLine(std::int64_t previous, const double* samples, std::int64_t count);
  void StoreHistory(std::int64_t count);

  BlockTrace trace_{"FIR"};

  // Fixed by Setup. K: taps up to the last non-zero one past the first, or
  // all of them when every tap past the first is 0.
  bool setupPassed_ = false;
  bool fftMode_ = false;
  std::int32_t tapCount_ = 0;  // K

  // Run state, built by Initialize. `ready_` guards Run against a failed or
  // missing Setup/Initialize, so no index below is used unchecked.
  bool ready_ = false;
  std::vector<double> history_;
  std::int32_t historyWrite_ = 0;
  std::int64_t sampleCount_ = 0;

  // Block path of the direct form: the history in order followed by a chunk
  // of inputs (and the kernel's padding), so the kernel never wraps around.
  // Sized by Initialize.
  FirKernel kernel_;
  std::vector<double> line_;

  FftOverlapAdd overlapAdd_;
};

}  // namespace norvask

#endif  // NORVASK_DSP_FIR_H_
