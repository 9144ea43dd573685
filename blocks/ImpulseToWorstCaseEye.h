// Peak-distortion eye analysis of a sampled impulse response for a two-level
// (NRZ) signal: the single-bit pulse response, its main cursor, and the
// worst-case and best-case eye levels over two unit intervals around it.
//
// The block also finds the centre of the worst-case eye, moves the level window
// onto it when it lies within half a bit of the cursor, and reports the window's
// zero crossings. Levels come back in the polarity of the given impulse.
#ifndef NORVASK_BLOCKS_IMPULSETOWORSTCASEEYE_H_
#define NORVASK_BLOCKS_IMPULSETOWORSTCASEEYE_H_

#include <cstdint>
#include <ostream>
#include <vector>

#include "dsp/BlockTrace.h"

namespace norvask {

class ImpulseToWorstCaseEye {
 public:
  // Settings; the owner writes them before Setup. A null Impulse reads as empty.
  const std::vector<double>* Impulse = nullptr;
  std::int32_t SamplesPerBit = 32;
  double LogicLevel = 0.5;
  std::int32_t Normalization = 0;  // 1: divide all levels by a best-case level

  // Outputs, owned by the owner and resized to 2 * SamplesPerBit by Initialize.
  // The worst-case pair must be given; the best-case pair is filled only when
  // both of its arrays are given.
  std::vector<double>* WcUpperLevels = nullptr;
  std::vector<double>* WcLowerLevels = nullptr;
  std::vector<double>* BcUpperLevels = nullptr;
  std::vector<double>* BcLowerLevels = nullptr;

  // Results of the analysis, as indices into the level windows except where
  // said otherwise.
  std::int32_t EyeRiseIndex = -1;  // first rise through zero, -1 when none
  std::int32_t EyeFallIndex = -1;  // last open index before the first fall, -1 when none
  std::int32_t EyeLeftIndex = 0;
  std::int32_t EyeRightIndex = 0;
  std::int32_t EyeCenterIndex = 0;
  std::int32_t EyeCenterOffset = 0;  // eye centre relative to the main cursor, in samples
  std::int32_t EyeCenterPhase = 0;   // eye centre's sampling phase within the bit
  std::int32_t ImpulseInverted = 0;  // 1: the impulse was analysed negated

  // Validates the settings and prepares the trimmed, positive-peak working copy.
  bool Setup(TraceStream* trace, std::ostream& messages);
  // The analysis; false (outputs untouched) when the impulse is empty.
  // REQUIRES: Setup returned true.
  bool Initialize(std::ostream& messages);

 private:
  bool CheckSettings(std::ostream& messages) const;
  void PrepareWorkingCopy();
  void LocateEye();
  void FindZeroCrossings();
  void Normalize();
  void RestorePolarity();

  std::vector<double> impulse_;  // trimmed, positive-peak working copy
  bool ready_ = false;           // Setup accepted the settings
  BlockTrace trace_{"ImpulseToWorstCaseEye"};
};

}  // namespace norvask

#endif  // NORVASK_BLOCKS_IMPULSETOWORSTCASEEYE_H_
