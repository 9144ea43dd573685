// The statistical eye and its bathtub as CSV tables for a spreadsheet or a
// plotting script. Times are from the victim's main cursor.
#ifndef NORVASK_HOST_OUTPUT_STATISTICALEYECSV_H_
#define NORVASK_HOST_OUTPUT_STATISTICALEYECSV_H_

#include <ostream>

#include "host/analysis/StatisticalEye.h"

namespace norvask::host {

// Header "threshold_V,<time_s of each phase>", then one row per threshold
// with the BER at every phase of one unit interval.
void writeStatisticalEyeCsv(std::ostream& out, const StatisticalEye& eye, double unitInterval);

// Header "time_s,time_UI,ber": one unit interval centred on the eye at the
// threshold of its best opening, both ends included.
void writeBathtubCsv(std::ostream& out, const StatisticalEye& eye, const EyeAtBer& atTarget,
                     double unitInterval);

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_STATISTICALEYECSV_H_
