#include "host/output/StatisticalEyeCsv.h"

namespace norvask::host {

void writeStatisticalEyeCsv(std::ostream& out, const StatisticalEye& eye, double unitInterval) {
  const auto savedPrecision = out.precision(10);
  out << "threshold_V";
  for (std::int32_t p = 0; p < eye.phases(); ++p)
    out << ',' << eye.PhaseOffset(p) * unitInterval;
  out << '\n';
  for (std::int32_t t = 0; t < eye.thresholds(); ++t) {
    out << eye.ThresholdVoltage(t);
    for (std::int32_t p = 0; p < eye.phases(); ++p)
      out << ',' << eye.Ber(p, t);
    out << '\n';
  }
  out.precision(savedPrecision);
}

void writeBathtubCsv(std::ostream& out, const StatisticalEye& eye, const EyeAtBer& atTarget,
                     double unitInterval) {
  const auto savedPrecision = out.precision(10);
  const std::int32_t s = eye.phases();
  out << "time_s,time_UI,ber\n";
  for (std::int32_t k = -s / 2; k <= s - s / 2; ++k) {
    const double ui = eye.PhaseOffset(atTarget.bestPhase) + static_cast<double>(k) / s;
    const std::int32_t phase = ((atTarget.bestPhase + k) % s + s) % s;
    out << ui * unitInterval << ',' << ui << ',' << eye.Ber(phase, atTarget.bestThreshold) << '\n';
  }
  out.precision(savedPrecision);
}

}  // namespace norvask::host
