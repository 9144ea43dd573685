// An SVG line plot of pulse responses against time in unit intervals, the
// picture a signal-integrity engineer checks first: how tall the main cursor
// is and how much of the bit spills into its neighbours.
//
// The file is self-contained SVG 1.1 and opens in any browser.
#ifndef NORVASK_HOST_OUTPUT_PULSEPLOT_H_
#define NORVASK_HOST_OUTPUT_PULSEPLOT_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/output/SeriesCsv.h"

namespace norvask::host {

struct PulsePlot {
  std::string title;
  double sampleInterval = 1.0;  // s
  std::int32_t samplesPerBit = 1;
  std::vector<NamedSeries> series;  // first one drawn boldest
  // Sample of the main cursor of the series whose cursors are marked (the
  // last one); -1 marks none.
  std::int64_t mainCursorIndex = -1;
  // Legend text of those dots.
  std::string cursorLabel = "samples one unit interval apart (large: main cursor)";

  // REQUIRES: sampleInterval > 0, samplesPerBit >= 1.
  void Write(std::ostream& out) const;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_PULSEPLOT_H_
