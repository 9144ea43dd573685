// Writes sampled responses as a CSV table a spreadsheet or plotting script
// reads directly: a header row, then one row per sample with its time.
#ifndef NORVASK_HOST_OUTPUT_SERIESCSV_H_
#define NORVASK_HOST_OUTPUT_SERIESCSV_H_

#include <ostream>
#include <string>
#include <vector>

namespace norvask::host {

// One named column of samples on the common sample grid.
struct NamedSeries {
  std::string name;
  std::vector<double> values;
};

// Header "time_s,<name>,..." then sample i at time i * sampleInterval; a
// series shorter than the longest leaves its cells empty.
void writeSeriesCsv(std::ostream& out, double sampleInterval,
                    const std::vector<NamedSeries>& series);

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_SERIESCSV_H_
