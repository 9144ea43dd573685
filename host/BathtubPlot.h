// The bathtub curve: log10 BER against sampling time over one unit interval
// centred on the eye, at the threshold of the eye's best vertical opening,
// with the target BER and the eye width there marked.
#ifndef NORVASK_HOST_BATHTUBPLOT_H_
#define NORVASK_HOST_BATHTUBPLOT_H_

#include <ostream>
#include <string>

#include "host/StatisticalEye.h"

namespace norvask::host {

struct BathtubPlot {
  std::string title;
  const StatisticalEye* eye = nullptr;
  double unitInterval = 1.0;  // s
  double targetBer = 1e-12;
  EyeAtBer atTarget;  // eye->AtBer(targetBer)

  // REQUIRES: eye computed; unitInterval > 0.
  void Write(std::ostream& out) const;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_BATHTUBPLOT_H_
