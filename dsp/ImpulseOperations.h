// Numeric operations on impulse responses. The equalizer uses one of them: the
// best-case and worst-case upper eye levels at the centre of the worst-case
// eye, whose ratio is the eye opening it compares between step responses.
#ifndef NORVASK_DSP_IMPULSEOPERATIONS_H_
#define NORVASK_DSP_IMPULSEOPERATIONS_H_

#include <cstdint>
#include <ostream>
#include <vector>

#include "dsp/BlockTrace.h"

namespace norvask {

class ImpulseOperations {
 public:
  // The trace stream belongs to the caller and may be null.
  explicit ImpulseOperations(TraceStream* trace = nullptr) : traceStream_(trace) {}

  // Runs the peak-distortion eye analysis on `impulse` and reports, at the
  // centre of the worst-case eye, the best-case and worst-case upper levels. A
  // closed eye is no failure: the worst-case level then comes out negative.
  // Returns false, with the analysis' messages and the out values untouched,
  // when the settings or the impulse are refused.
  bool determineEyeBcWcUpperLevels(const std::vector<double>& impulse, std::int32_t samplesPerBit,
                                   double logicLevel, double& bcUpperLevel, double& wcUpperLevel,
                                   std::ostream& messages);

  // Index of the eye centre in a worst-case upper-level window of 2 * S values:
  // the midpoint of the last rising and the last falling zero crossing, taken
  // around the window's end when the fall comes first; without such a pair,
  // the first maximum of indices 1 and up. Sets `wcUpperLevel` to the level
  // there.
  // REQUIRES: wcUpperLevels is not empty.
  static std::int32_t FindEyeCenter(const std::vector<double>& wcUpperLevels, double& wcUpperLevel);

 private:
  TraceStream* traceStream_ = nullptr;
  OperationTrace eyeLevelsTrace_{"ImpulseOperations::determineEyeBcWcUpperLevels"};
};

}  // namespace norvask

#endif  // NORVASK_DSP_IMPULSEOPERATIONS_H_
