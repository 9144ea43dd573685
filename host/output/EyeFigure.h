// What the statistical-eye figures draw: the eye, its time scale, and the eye
// at the target BER that they mark.
#ifndef NORVASK_HOST_OUTPUT_EYEFIGURE_H_
#define NORVASK_HOST_OUTPUT_EYEFIGURE_H_

#include "host/analysis/StatisticalEye.h"

namespace norvask::host {

struct EyeFigure {
  const StatisticalEye* eye = nullptr;
  double unitInterval = 1.0;  // s
  double targetBer = 1e-12;
  EyeAtBer atTarget;  // eye->AtBer(targetBer)
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_EYEFIGURE_H_
