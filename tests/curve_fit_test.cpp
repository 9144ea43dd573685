// The curve-fit kernels and the determinant beneath them: worked values,
// independent cross-checks and the once-only trace lines.
#include "dsp/CurveFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/MatrixMath.h"

namespace norvask {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Newton's divided differences: another route to the cubic through 4 points.
double NewtonCubic(const std::array<double, 4>& x, std::array<double, 4> y, double at) {
  for (int order = 1; order < 4; ++order) {
    for (int i = 3; i >= order; --i)
      y[i] = (y[i] - y[i - 1]) / (x[i] - x[i - order]);
  }
  double value = y[3];
  for (int i = 2; i >= 0; --i)
    value = value * (at - x[i]) + y[i];
  return value;
}

// Leibniz formula over all 24 permutations, independent of cofactor expansion.
double Leibniz4(const std::vector<double>& m) {
  std::array<int, 4> p = {0, 1, 2, 3};
  double det = 0.0;
  do {
    int inversions = 0;
    for (int i = 0; i < 4; ++i) {
      for (int j = i + 1; j < 4; ++j)
        inversions += p[i] > p[j] ? 1 : 0;
    }
    double term = inversions % 2 == 0 ? 1.0 : -1.0;
    for (int r = 0; r < 4; ++r)
      term *= m[r * 4 + p[r]];
    det += term;
  } while (std::next_permutation(p.begin(), p.end()));
  return det;
}

TEST(CurveFitLagrange, PassesThroughItsPointsAndMatchesNewtonForm) {
  CurveFit fit(nullptr);
  const std::array<double, 4> x = {-1.5, 0.25, 2.0, 3.5};
  const std::array<double, 4> y = {0.7, -1.2, 3.3, 0.4};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(
        fit.LagrangeInterpolation_4Point(x[i], x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3]),
        y[i], 1e-14);
  }
  for (double at : {-2.0, -0.3, 1.1, 2.7, 4.2}) {
    EXPECT_NEAR(
        fit.LagrangeInterpolation_4Point(at, x[0], y[0], x[1], y[1], x[2], y[2], x[3], y[3]),
        NewtonCubic(x, y, at), 1e-12)
        << "at " << at;
  }
}

TEST(CurveFitCubic, MeetsValuesAndSlopesAtBothEnds) {
  CurveFit fit(nullptr);
  double a[4] = {9, 9, 9, 9};
  ASSERT_TRUE(fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], 2, 0, 3, 1, 1, 1));
  EXPECT_NEAR(a[0], -2.0, 1e-12);
  EXPECT_NEAR(a[1], 1.0, 1e-12);
  EXPECT_NEAR(a[2], 0.0, 1e-12);
  EXPECT_NEAR(a[3], 0.0, 1e-12);

  const double x1 = 1.7, y1 = 0.4, x2 = 2.9, y2 = -0.8, s1 = 2.5, s2 = -0.6;
  ASSERT_TRUE(fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], x1, y1, x2, y2, s1, s2));
  auto p = [&](double x) { return a[0] + x * (a[1] + x * (a[2] + x * a[3])); };
  auto dp = [&](double x) { return a[1] + x * (2 * a[2] + x * 3 * a[3]); };
  EXPECT_NEAR(p(x1), y1, 1e-10);
  EXPECT_NEAR(p(x2), y2, 1e-10);
  EXPECT_NEAR(dp(x1), s1, 1e-10);
  EXPECT_NEAR(dp(x2), s2, 1e-10);
}

TEST(CurveFitCubic, SingularSystemsSucceedWithZeroCoefficients) {
  CurveFit fit(nullptr);
  double a[4] = {9, 9, 9, 9};
  EXPECT_TRUE(fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], 0, 1, 2, 3, 1, 1));
  for (double c : a)
    EXPECT_EQ(c, 0.0);
  a[0] = a[1] = a[2] = a[3] = 9;
  EXPECT_TRUE(fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], 2, 1, 2, 1, 1, 1));
  for (double c : a)
    EXPECT_EQ(c, 0.0);
}

TEST(MatrixDeterminant, RefusesNonSquareCountsAndLeavesTheResult) {
  MatrixMath math(nullptr);
  double det = 42.0;
  EXPECT_FALSE(math.MatrixDeterminant(det, std::vector<double>(15, 1.0), 0));
  EXPECT_EQ(det, 42.0);
  EXPECT_FALSE(math.MatrixDeterminant(det, std::vector<double>(), 0));
  EXPECT_EQ(det, 42.0);
}

TEST(MatrixDeterminant, SmallMatricesUseTheDirectFormula) {
  MatrixMath math(nullptr);
  double det = 0.0;
  ASSERT_TRUE(math.MatrixDeterminant(det, {3, 8, 4, 6}, 0));
  EXPECT_EQ(det, 3.0 * 6.0 - 8.0 * 4.0);
  ASSERT_TRUE(math.MatrixDeterminant(det, {-2.5}, 0));
  EXPECT_EQ(det, -2.5);
}

TEST(MatrixDeterminant, FourByFourAgreesWithLeibniz) {
  MatrixMath math(nullptr);
  const std::vector<double> m = {2, -1, 0, 3, 1, 4, -2, 0.5, 0, 3, 1, -1, 5, 0, 2, 1};
  double det = 0.0;
  ASSERT_TRUE(math.MatrixDeterminant(det, m, 0));
  EXPECT_NEAR(det, Leibniz4(m), 1e-12);
}

TEST(CurveFitTrace, EachOperationTracesOnceAndOnlyToAnOpenStream) {
  const std::string path = testing::TempDir() + "curve_fit_trace.txt";
  {
    TraceStream trace(path);
    CurveFit fit(&trace);
    double a[4];
    fit.LagrangeInterpolation_4Point(0.5, 0, 0, 1, 1, 2, 4, 3, 9);
    fit.LagrangeInterpolation_4Point(1.5, 0, 0, 1, 1, 2, 4, 3, 9);
    fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], 2, 0, 3, 1, 1, 1);
    fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], 3, 1, 4, 2, 1, 1);
  }
  EXPECT_EQ(ReadFile(path),
            "Quennavik::CurveFit::LagrangeInterpolation_4Point\n"
            "Quennavik::CurveFit::ThirdOrderCoefficients_2Point\n"
            "Quennavik::MatrixMath::MatrixDeterminant\n");

  // The determinant traces only for an outside call (level 0), and only first.
  {
    TraceStream trace(path);
    MatrixMath math(&trace);
    double det;
    math.MatrixDeterminant(det, {1, 2, 3, 4}, 1);
    math.MatrixDeterminant(det, {1, 2, 3, 4}, 0);
  }
  EXPECT_EQ(ReadFile(path), "");

  TraceStream closed;
  CurveFit quiet(&closed);
  EXPECT_NEAR(quiet.LagrangeInterpolation_4Point(1, 0, 0, 1, 1, 2, 4, 3, 9), 1.0, 1e-15);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace norvask
