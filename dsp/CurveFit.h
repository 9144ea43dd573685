// The small curve-fit kernels behind the interpolation engine: the value of
// the cubic through four points (Lagrange form) and the coefficients of the
// cubic with given values and slopes at two abscissae (Hermite conditions,
// solved by Cramer's rule). The engine makes a fresh object per run, so each
// operation's trace line appears at most once per run.
#ifndef NORVASK_DSP_CURVE_FIT_H_
#define NORVASK_DSP_CURVE_FIT_H_

#include "dsp/BlockTrace.h"
#include "dsp/MatrixMath.h"

namespace norvask {

class CurveFit {
 public:
  // `trace` may be null; it must outlive the object.
  explicit CurveFit(TraceStream* trace) : trace_(trace), matrixMath_(trace) {}

  // Value at x of the cubic through (x0, y0) .. (x3, y3).
  // REQUIRES: distinct abscissae (coincident ones give non-finite results).
  double LagrangeInterpolation_4Point(double x, double x0, double y0, double x1, double y1,
                                      double x2, double y2, double x3, double y3);

  // Coefficients of p(x) = a0 + a1 x + a2 x^2 + a3 x^3 with p(x1) = y1,
  // p(x2) = y2, p'(x1) = s1 and p'(x2) = s2. A singular system (x1 = x2, or a
  // zero abscissa, whose slope row is scaled by it) is not an error: it
  // yields all-zero coefficients. Fails, leaving the outputs unchanged, only
  // when a determinant fails.
  bool ThirdOrderCoefficients_2Point(double& a0, double& a1, double& a2, double& a3, double x1,
                                     double y1, double x2, double y2, double s1, double s2);

 private:
  TraceStream* trace_;
  MatrixMath matrixMath_;
  OperationTrace lagrangeTrace_{"CurveFit::LagrangeInterpolation_4Point"};
  OperationTrace cubicFitTrace_{"CurveFit::ThirdOrderCoefficients_2Point"};
};

}  // namespace norvask

#endif  // NORVASK_DSP_CURVE_FIT_H_
