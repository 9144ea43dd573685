// The interpolation engine: kernel values at small hand-computed cases, shape
// preservation, the log axis against a direct computation, differences and
// their scaling, and every Setup message in order; then its curve-fit kernels
// and the determinant beneath them against independent routes to the same numbers.
#include "dsp/InterpolateData.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/CurveFit.h"
#include "dsp/MatrixMath.h"

namespace norvask {
namespace {

// An engine wired to vectors of its own, as an owner would wire it: explicit
// abscissae `at`, or a grid from `start` by `step` when `at` is empty.
struct Rig {
  std::vector<double> x, y, outX, outY;
  InterpolateData engine;
  std::ostringstream messages;

  Rig(std::vector<double> xs, std::vector<double> ys, std::vector<double> at, int type = 0,
      int stepData = 0, double start = 0.0, double step = 1.0, int points = 0)
      : x(std::move(xs)), y(std::move(ys)), outX(std::move(at)) {
    engine.xData = &x;
    engine.yData = &y;
    engine.x_Data = &outX;
    engine.yDataOut = &outY;
    engine.x_DataOption = outX.empty() ? 0 : 1;
    engine.InterpolationType = type;
    engine.StepData = stepData;
    engine.x_Start = start;
    engine.x_Step = step;
    engine.nPtsOut = points;
  }
  bool Run(TraceStream* trace = nullptr) {
    return engine.Setup(trace, messages) && engine.Initialize(messages);
  }
  std::string Refusal() {
    EXPECT_FALSE(engine.Setup(nullptr, messages));
    return messages.str();
  }
};

TEST(InterpolateDataKernels, StepDataForEachTypeAndTheDipCase) {
  const std::string path = testing::TempDir() + "interpolate_data_trace.txt";
  const std::vector<double> expected[3] = {
      {0.0, 0.25, 1.0}, {-0.0625, 0.203125, 1.0625}, {-0.0625, 0.234375, 1.0625}};
  {
    TraceStream trace(path);
    for (int type : {2, 1, 0}) {
      Rig rig({0, 1, 2, 3, 4}, {0, 0, 1, 1, 1}, {0.5, 1.25, 2.5}, type, 1);
      ASSERT_TRUE(rig.Run(&trace)) << rig.messages.str();
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(rig.outY[k], expected[type][k], 1e-14) << "type " << type << " point " << k;
      EXPECT_EQ(rig.messages.str(), "");
    }
  }
  // Where the cubic dips below the data the shape-preserving kernel takes the line.
  for (int type : {1, 2}) {
    Rig rig({0, 1, 2, 3, 4}, {0, 0, 0.1, 1, 1}, {1.5}, type, 1);
    ASSERT_TRUE(rig.Run());
    EXPECT_NEAR(rig.outY[0], type == 1 ? 0.05 : -0.00625, 1e-14) << "type " << type;
  }
  // Each engine traces once; each run traces each kernel it uses once.
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  EXPECT_EQ(text.str(),
            "Quennavik::InterpolateData\nQuennavik::CurveFit::LagrangeInterpolation_4Point\n"
            "Quennavik::InterpolateData\nQuennavik::CurveFit::ThirdOrderCoefficients_2Point\n"
            "Quennavik::MatrixMath::MatrixDeterminant\nQuennavik::InterpolateData\n");
  std::remove(path.c_str());
}

TEST(InterpolateDataKernels, ShapePreservingStaysWithinNeighbouringOrdinatesOnMonotoneData) {
  const std::vector<double> xs = {0, 1, 1.5, 4, 4.2, 7, 9, 12};
  const std::vector<double> ys = {0, 0.02, 0.9, 1.0, 3.0, 3.05, 3.05, 8.0};
  Rig rig(xs, ys, {}, 1, 1, 0.0, 0.01, 1201);
  ASSERT_TRUE(rig.Run()) << rig.messages.str();
  for (std::size_t k = 0, j = 1; k < rig.outX.size(); ++k) {
    while (j < xs.size() - 1 && xs[j] < rig.outX[k])
      ++j;
    // On a flat stretch the cubic is kept by design.
    EXPECT_TRUE(ys[j - 1] == ys[j] || (rig.outY[k] >= ys[j - 1] && rig.outY[k] <= ys[j]))
        << "at " << rig.outX[k];
  }
}

TEST(InterpolateDataLogAxis, MatchesInterpolationInTheLogarithmComputedDirectly) {
  // Shifted abscissae 0, 1, 2, 4, .., 32 above an origin of 5. A cubic in ln(x)
  // is a cubic on the log axis, so Lagrange interpolation reproduces it wherever
  // all four points used are data (the origin itself holds 0).
  auto logCubic = [](double s) {
    const double t = std::log(s);
    return 0.5 + t * (1.5 + t * (-0.25 + 0.125 * t));
  };
  std::vector<double> xs, ys;
  for (double s : {0, 1, 2, 4, 8, 16, 32}) {
    xs.push_back(5.0 + s);
    ys.push_back(s == 0.0 ? 0.0 : logCubic(s));
  }
  const std::vector<double> at = {7.5, 11.0, 15.2, 20.9};
  Rig rig(xs, ys, at, 2);
  rig.engine.UseLogX = 1;
  ASSERT_TRUE(rig.Run()) << rig.messages.str();
  for (std::size_t k = 0; k < at.size(); ++k)
    EXPECT_NEAR(rig.outY[k], logCubic(at[k] - 5.0), 1e-12) << "at " << at[k];
  EXPECT_EQ(rig.x, xs);  // the owner's abscissae are left as they were
}

TEST(InterpolateDataDifferences, ScaledDifferencesAddUpToTheLastOrdinate) {
  const std::vector<double> xs = {0, 0.7, 1.1, 2.0, 3.3, 4.0};
  const std::vector<double> ys = {0, 0.1, 0.6, 1.4, 1.7, 1.75};
  for (int scaleForFinal : {0, 1}) {
    for (int scaleByStep : {0, 1}) {
      Rig rig(xs, ys, {}, 2, 1, 0.0, 0.03, 134);
      rig.engine.DifferentiateData = 1;
      rig.engine.ScaleForFinalValue = scaleForFinal;
      rig.engine.ScaleByOneOverXStep = scaleByStep;
      ASSERT_TRUE(rig.Run()) << rig.messages.str();
      EXPECT_EQ(rig.outY[0], 0.0);
      EXPECT_NEAR(std::accumulate(rig.outY.begin(), rig.outY.end(), 0.0) * (scaleByStep ? 0.03 : 1),
                  scaleForFinal ? ys.back() : 1.0, 1e-12);
    }
  }
  Rig flat({0, 1, 2, 3, 4}, {0, 0, 0, 0, 0}, {}, 0, 1, 0.0, 0.5, 9);
  flat.engine.DifferentiateData = flat.engine.ScaleForFinalValue = 1;
  EXPECT_FALSE(flat.Run());
  EXPECT_EQ(flat.messages.str(),
            "The interpolated data does not change over the output grid: its differences add up "
            "to 0 and cannot be scaled.\n");
}

TEST(InterpolateDataSetup, ReportsEveryFaultInOrder) {
  // The scale settings count for differences of step data on a grid only.
  Rig all({0, 1}, {0, 1, 2}, {}, -1, 1, -1.0, 0.0, 0);
  all.engine.UseLogX = 2;
  all.engine.DifferentiateData = 1;
  all.engine.ScaleByOneOverXStep = 2;
  all.engine.ScaleForFinalValue = -1;
  EXPECT_EQ(all.Refusal(),
            "yData array size must be >= 4.\nxData array size must be >= 4.\n"
            "xData array and yData array must have the same size.\nx_Step must be > 0.\n"
            "x_Start must be >= xData[0].\nnPtsOut must be an integer > 0.\n"
            "UseLogX must be an integer in the range [0,1].\n"
            "InterpolationType must be an integer in the range [0,2].\n"
            "ScaleByOneOverXStep must be an integer in the range [0,1].\n"
            "ScaleForFinalValue must be an integer in the range [0,1].\n");
  // A bad StepData stops before the order check; explicit abscissae must be given.
  Rig step({0, 1, 1, 2}, {0, 1, 2}, {}, 0, 2);
  step.engine.x_DataOption = 1;
  step.engine.DifferentiateData = 3;
  EXPECT_EQ(step.Refusal(),
            "yData array size must be >= 4.\nxData array and yData array must have the same "
            "size.\nx_Data array size must be > 0.\n"
            "DifferentiateData must be an integer in the range [0,1].\n"
            "StepData must be an integer in the range [0,1].\n");
  Rig option({0, 1, 2, 3}, {0, 1, 2, 3}, {});
  option.engine.x_DataOption = -1;
  EXPECT_EQ(option.Refusal(), "x_DataOption must be an integer in the range [0,1].\n");
  // The last grid point may not lie past the data (beyond a 0.1 % allowance of a step).
  Rig beyond({0, 1, 2, 3}, {0, 1, 4, 9}, {}, 0, 0, 0.0, 0.751, 5);
  EXPECT_EQ(beyond.Refusal(),
            "x_Start + double(nPtsOut-1)*x_Step > xData[0][ int(xData.size()) - 1].\n");
}

TEST(InterpolateDataSetup, OrderFaultNamesTheFirstPairWithoutALineFeed) {
  Rig order({0, 1, 1, 2, 1.5}, {0, 1, 2, 3, 4}, {0.5});
  EXPECT_EQ(order.Refusal(),
            "xData[3] = 1  <= xData[2] = 1. X-axis data must be in non-repeating ascending "
            "order.");
  Rig scaled({0, 2.5e-12, 1e-12, 3e-12}, {0, 1, 2, 3}, {0.5e-12});
  EXPECT_EQ(scaled.Refusal(),
            "xData[3] = 1e-12  <= xData[2] = 2.5e-12. X-axis data must be in non-repeating "
            "ascending order.");
}

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

TEST(MatrixDeterminant, AgreesWithTheRuleOfSarrusAndRefusesNonSquareCounts) {
  const std::vector<double> m = {0, -1, 0.5, 3, 1, 4, -2, 0.5, 3};  // the first pivot is 0
  const double sarrus = m[0] * m[4] * m[8] + m[1] * m[5] * m[6] + m[2] * m[3] * m[7] -
                        m[2] * m[4] * m[6] - m[0] * m[5] * m[7] - m[1] * m[3] * m[8];
  MatrixMath math(nullptr);
  double det = 42.0;
  EXPECT_FALSE(math.MatrixDeterminant(det, std::vector<double>(15, 1.0), 0));
  EXPECT_EQ(det, 42.0);
  ASSERT_TRUE(math.MatrixDeterminant(det, m, 0));
  EXPECT_NEAR(det, sarrus, 1e-12);
}

}  // namespace
}  // namespace norvask
