// The bathtub curve: log10 BER against sampling time over one unit interval
// centred on the eye, at the threshold of the eye's best vertical opening,
// with the target BER and the eye width there marked.
#ifndef NORVASK_HOST_OUTPUT_BATHTUBPLOT_H_
#define NORVASK_HOST_OUTPUT_BATHTUBPLOT_H_

#include <ostream>
#include <string>

#include "host/output/EyeFigure.h"

namespace norvask::host {

struct BathtubPlot : EyeFigure {
  std::string title;

  // REQUIRES: eye computed; unitInterval > 0.
  void Write(std::ostream& out) const;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_BATHTUBPLOT_H_
