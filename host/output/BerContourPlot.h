// The statistical eye as a picture: a heat map of log10 BER over two unit
// intervals of sampling time and every decision threshold, with contours at
// 1e-3, 1e-6, 1e-9, 1e-12 and 1e-15 (and the target BER when it is none of
// those), the eye at the target marked, and a colour bar.
//
// Self-contained SVG 1.1; cells of one colour in a row are merged to keep the
// file small.
#ifndef NORVASK_HOST_OUTPUT_BERCONTOURPLOT_H_
#define NORVASK_HOST_OUTPUT_BERCONTOURPLOT_H_

#include <ostream>
#include <string>

#include "host/output/EyeFigure.h"

namespace norvask::host {

struct BerContourPlot : EyeFigure {
  std::string title;

  // REQUIRES: eye computed; unitInterval > 0.
  void Write(std::ostream& out) const;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_BERCONTOURPLOT_H_
