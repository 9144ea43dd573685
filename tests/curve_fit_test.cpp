// The curve-fit kernels and the determinant beneath them, against independent
// routes to the same numbers (their trace lines are pinned with the engine's).
#include "dsp/CurveFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "dsp/MatrixMath.h"

namespace norvask {
namespace {

TEST(CurveFit, LagrangeMatchesNewtonsDividedDifferences) {
  const std::array<double, 4> x = {-1.5, 0.25, 2.0, 3.5}, y = {0.7, -1.2, 3.3, 0.4};
  std::array<double, 4> c = y;
  for (int order = 1; order < 4; ++order)
    for (int i = 3; i >= order; --i)
      c[i] = (c[i] - c[i - 1]) / (x[i] - x[i - order]);
  CurveFit fit(nullptr);
  for (double at : {-2.0, -1.5, -0.3, 0.25, 1.1, 2.0, 2.7, 3.5, 4.2}) {
    const double newton = ((c[3] * (at - x[2]) + c[2]) * (at - x[1]) + c[1]) * (at - x[0]) + c[0];
    EXPECT_NEAR(
        fit.LagrangeInterpolation_4Point(at, x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3]),
        newton, 1e-12)
        << "at " << at;
  }
  // The worked zero-before-the-step case: points (-1,0), (0,0), (1,0), (2,1).
  EXPECT_NEAR(fit.LagrangeInterpolation_4Point(0.5, -1, 0, 0, 0, 1, 0, 2, 1), -0.0625, 1e-15);
}

TEST(CurveFit, CubicMeetsValuesAndSlopesAtBothEnds) {
  CurveFit fit(nullptr);
  double a[4];
  const double x1 = 1.7, y1 = 0.4, x2 = 2.9, y2 = -0.8, s1 = 2.5, s2 = -0.6;
  ASSERT_TRUE(fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], x1, y1, x2, y2, s1, s2));
  auto p = [&](double x) { return a[0] + x * (a[1] + x * (a[2] + x * a[3])); };
  auto dp = [&](double x) { return a[1] + x * (2 * a[2] + x * 3 * a[3]); };
  EXPECT_NEAR(p(x1), y1, 1e-10);
  EXPECT_NEAR(p(x2), y2, 1e-10);
  EXPECT_NEAR(dp(x1), s1, 1e-10);
  EXPECT_NEAR(dp(x2), s2, 1e-10);
}

TEST(MatrixDeterminant, AgreesWithLeibnizAndRefusesNonSquareCounts) {
  const std::vector<double> m = {2, -1, 0, 3, 1, 4, -2, 0.5, 0, 3, 1, -1, 5, 0, 2, 1};
  std::array<int, 4> p = {0, 1, 2, 3};
  double leibniz = 0.0;
  do {
    double term = 1.0;
    for (int r = 0; r < 4; ++r)
      for (int j = r + 1; j < 4; ++j)
        term *= p[r] > p[j] ? -1.0 : 1.0;
    for (int r = 0; r < 4; ++r)
      term *= m[r * 4 + p[r]];
    leibniz += term;
  } while (std::next_permutation(p.begin(), p.end()));
  MatrixMath math(nullptr);
  double det = 42.0;
  EXPECT_FALSE(math.MatrixDeterminant(det, std::vector<double>(15, 1.0), 0));
  EXPECT_EQ(det, 42.0);
  ASSERT_TRUE(math.MatrixDeterminant(det, m, 0));
  EXPECT_NEAR(det, leibniz, 1e-12);
}

}  // namespace
}  // namespace norvask
