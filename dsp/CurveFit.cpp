#include "dsp/CurveFit.h"

#include <array>
#include <cstddef>
#include <vector>

namespace norvask {

namespace {

// Lagrange basis value at x for the node `xi`: the product over the other
// nodes, divided by the node differences one after the other.
double basis(double x, double xi, double xa, double xb, double xc) {
  return (x - xa) * (x - xb) * (x - xc) / (xi - xa) / (xi - xb) / (xi - xc);
}

}  // namespace

double CurveFit::LagrangeInterpolation_4Point(double x, double x0, double y0, double x1, double y1,
                                              double x2, double y2, double x3, double y3) {
  lagrangeTrace_.OnCall(trace_);
  const double l0 = basis(x, x0, x1, x2, x3);
  const double l1 = basis(x, x1, x0, x2, x3);
  const double l2 = basis(x, x2, x0, x1, x3);
  const double l3 = basis(x, x3, x0, x1, x2);
  return (l1 * y1 + l0 * y0) + l2 * y2 + l3 * y3;
}

bool CurveFit::ThirdOrderCoefficients_2Point(double& a0, double& a1, double& a2, double& a3,
                                             double x1, double y1, double x2, double y2, double s1,
                                             double s2) {
  cubicFitTrace_.Announce(trace_);
  // Rows 2 and 3 are the slope conditions multiplied by their abscissa,
  // x p'(x) = x s, which keeps all four rows in powers of x.
  const std::vector<double> system = {1.0, x1, x1 * x1,       x1 * x1 * x1,        //
                                      1.0, x2, x2 * x2,       x2 * x2 * x2,        //
                                      0.0, x1, 2.0 * x1 * x1, 3.0 * x1 * x1 * x1,  //
                                      0.0, x2, 2.0 * x2 * x2, 3.0 * x2 * x2 * x2};
  const std::array<double, 4> rhs = {y1, y2, x1 * s1, x2 * s2};

  // Only the first fit of this object may trace the determinant, hence the
  // fit's own call count as the level.
  double det = 0.0;
  if (!matrixMath_.MatrixDeterminant(det, system, cubicFitTrace_.calls()))
    return false;
  std::array<double, 4> cramer{};
  for (std::size_t column = 0; column < 4; ++column) {
    std::vector<double> replaced = system;
    for (std::size_t row = 0; row < 4; ++row)
      replaced[row * 4 + column] = rhs[row];
    const auto level = static_cast<std::int32_t>(column + 1);
    if (!matrixMath_.MatrixDeterminant(cramer[column], replaced, level))
      return false;
  }

  if (det == 0.0) {
    a0 = a1 = a2 = a3 = 0.0;
  } else {
    a0 = cramer[0] / det;
    a1 = cramer[1] / det;
    a2 = cramer[2] / det;
    a3 = cramer[3] / det;
  }
  cubicFitTrace_.Count();
  return true;
}

}  // namespace norvask
