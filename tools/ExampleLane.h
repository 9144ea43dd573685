// The example channel the repository ships (host/examples/lossy_lane.s4p):
// one differential lane of a lossy coupled pair, described by causal
// analytic expressions so that anyone can regenerate the file exactly.
//
// Ports: line P from 1 to 2, line N from 3 to 4. Each line has
//   T(f) = 0.95 exp(-K (sqrt(j f/f0 + c^2) - c)) / (1 + j f/f1)^2 e^(-j 2 pi f tau)
// (skin effect bending to a flat DC resistance below c^2 f0 = 50 MHz,
// dielectric loss as a double pole at f1 = 3 GHz, 1 ns of delay), 6.4 dB loss
// at 1 GHz. The lines couple far-end crosstalk C = 0.1 hp(f) T(f) and
// near-end crosstalk 0.02 hp(f), hp(f) = (j f/5 GHz) / (1 + j f/5 GHz), and
// every port reflects 0.05 hp(f). All of it is reciprocal.
#ifndef NORVASK_TOOLS_EXAMPLELANE_H_
#define NORVASK_TOOLS_EXAMPLELANE_H_

#include <complex>
#include <string>

#include "tools/TouchstoneWriter.h"

namespace norvask::tools {

inline std::complex<double> exampleThrough(double f) {
  const std::complex<double> jx(0.0, f / 1e9);
  const double c = std::sqrt(0.05);
  const std::complex<double> dielectric = 1.0 + std::complex<double>(0.0, f / 3e9);
  const double pi = std::acos(-1.0);
  return 0.95 * std::exp(-1.15 * (std::sqrt(jx + c * c) - c)) / (dielectric * dielectric) *
         std::polar(1.0, -2.0 * pi * f * 1e-9);
}

inline std::complex<double> exampleHighPass(double f) {
  const std::complex<double> jx(0.0, f / 5e9);
  return jx / (1.0 + jx);
}

// S(to, from) of the lane at f; ports 1 and 3 are the near end.
inline std::complex<double> exampleLaneS(double f, int to, int from) {
  const int low = to < from ? to : from;
  const int high = to < from ? from : to;
  if (low == high)
    return 0.05 * exampleHighPass(f);
  if ((low == 1 && high == 2) || (low == 3 && high == 4))
    return exampleThrough(f);
  if ((low == 1 && high == 4) || (low == 2 && high == 3))
    return 0.1 * exampleHighPass(f) * exampleThrough(f);
  return 0.02 * exampleHighPass(f);  // 1-3 and 2-4, the same end
}

// 10 MHz to 25 GHz in 50 MHz steps, dB and angle, Touchstone version 1.
inline std::string exampleLaneTouchstone() {
  TouchstoneLayout layout;
  layout.format = "DB";
  layout.unit = "GHz";
  return writeTouchstone(frequencyGrid(10e6, 50e6, 500), 4, exampleLaneS, layout);
}

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_EXAMPLELANE_H_
