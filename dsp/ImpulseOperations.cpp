#include "dsp/ImpulseOperations.h"

#include <cstddef>

#include "blocks/ImpulseToWorstCaseEye.h"

namespace norvask {

bool ImpulseOperations::determineEyeBcWcUpperLevels(const std::vector<double>& impulse,
                                                    std::int32_t samplesPerBit, double logicLevel,
                                                    double& bcUpperLevel, double& wcUpperLevel,
                                                    std::ostream& messages) {
  eyeLevelsTrace_.OnCall(traceStream_);
  std::vector<double> wcUpper, wcLower, bcUpper, bcLower;
  ImpulseToWorstCaseEye eye;
  eye.Impulse = &impulse;
  eye.SamplesPerBit = samplesPerBit;
  eye.LogicLevel = logicLevel;
  eye.Normalization = 0;
  eye.WcUpperLevels = &wcUpper;
  eye.WcLowerLevels = &wcLower;
  eye.BcUpperLevels = &bcUpper;
  eye.BcLowerLevels = &bcLower;
  if (!eye.Setup(nullptr, messages) || !eye.Initialize(messages))
    return false;

  double wcLevel = 0.0;
  const std::int32_t centre = FindEyeCenter(wcUpper, wcLevel);
  wcUpperLevel = wcLevel;
  bcUpperLevel = bcUpper[static_cast<std::size_t>(centre)];
  return true;
}

std::int32_t ImpulseOperations::FindEyeCenter(const std::vector<double>& wcUpperLevels,
                                              double& wcUpperLevel) {
  const auto size = static_cast<std::int32_t>(wcUpperLevels.size());
  double best = -1e40;
  std::int32_t centre = 0;
  std::int32_t rise = -1;
  std::int32_t fall = -1;
  // Index 0 takes no part: it has no left neighbour to form a crossing with.
  // Later crossings overwrite earlier ones, so the last of each kind counts.
  for (std::int32_t i = 1; i < size; ++i) {
    const double level = wcUpperLevels[i];
    const double previous = wcUpperLevels[i - 1];
    if (level > best) {
      best = level;
      centre = i;
    }
    if (level > 0.0 && previous <= 0.0) {
      rise = i;
    } else if (level <= 0.0 && previous > 0.0) {
      fall = i - 1;
    }
  }
  if (rise < 0 || fall < 0) {
    wcUpperLevel = best;
    return centre;
  }
  if (fall > rise) {
    centre = (rise + fall) / 2;
  } else {
    // The open region runs past the window's end and on from its start, as
    // the eye repeats every bit.
    centre = (size + fall + rise) / 2;
    if (centre >= size)
      centre -= size;
  }
  wcUpperLevel = wcUpperLevels[centre];
  return centre;
}

}  // namespace norvask
