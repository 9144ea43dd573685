// FFT block convolution by overlap-add: the FIR engine's fast path. The taps'
// non-zero segment is transformed once; each block of L inputs is transformed,
// multiplied by it, transformed back and overlapped with the previous block's
// tail, so every output leaves exactly L samples late. Leading zero taps are
// not transformed but put back as a plain delay.
#ifndef NORVASK_DSP_FFTOVERLAPADD_H_
#define NORVASK_DSP_FFTOVERLAPADD_H_

#include <complex>
#include <cstdint>
#include <ostream>
#include <vector>

#include "dsp/BlockTrace.h"
#include "dsp/SettingsCheck.h"

namespace norvask {

class FftOverlapAdd {
 public:
  // Fixes the segment of non-zero taps among the first `tapCount` and the
  // transform size N (the smallest power of two holding twice the segment, or
  // 2^forcedPow2 when forcedPow2 > 0) and block length L. Writes every
  // violation through `check`; false when the sizes could not be fixed.
  // REQUIRES: taps holds tapCount >= 0 values (taps may be null when 0).
  bool Plan(const double* taps, std::int32_t tapCount, std::int32_t forcedPow2,
            SettingsCheck& check);
  std::int32_t fftSize() const { return fftSize_; }
  std::int32_t delay() const { return blockLength_; }

  // Builds the tap spectrum and clears the blocks; inputs before the first Run
  // read as `initialValue`. REQUIRES: Plan succeeded on the same taps.
  void Initialize(const double* taps, std::int32_t tapCount, double initialValue,
                  TraceStream* trace);
  // One input in, one output out. With `reportProcessCount`, every tenth
  // block convolved is reported on `messages`.
  double Run(double in, bool reportProcessCount, std::ostream& messages);
  // Frees the working arrays.
  void Release();

 private:
  bool DeriveSize(std::int32_t forcedPow2, SettingsCheck& check);
  void ProcessBlock(bool reportProcessCount, std::ostream& messages);

  // Fixed by Plan.
  std::int32_t leadingZeros_ = 0;  // D
  std::int32_t tapSpan_ = 0;       // M
  std::int32_t fftSize_ = 0;       // N
  std::int32_t blockLength_ = 0;   // L

  // Run state. The spectrum of a block only lives between the two
  // transforms, so it is computed inside that block's output buffer: no
  // per-block allocation and no copies.
  TraceStream* trace_ = nullptr;
  double initialValue_ = 0.0;
  std::vector<std::complex<double>> tapSpectrum_;     // H
  std::vector<double> inputBlock_[2];                 // L samples each
  std::vector<std::complex<double>> outputBlock_[2];  // N values each
  std::vector<double> overlap_;                       // L values
  std::vector<double> delayLine_;                     // D + 1 values
  std::int32_t delayRead_ = 0;
  std::int32_t delayWrite_ = 0;
  std::int32_t blockPos_ = 0;
  int current_ = 0;  // A; the other block is 1 - current_
  std::int64_t sampleCount_ = 0;
  std::int64_t processCount_ = 0;
};

}  // namespace norvask

#endif  // NORVASK_DSP_FFTOVERLAPADD_H_
