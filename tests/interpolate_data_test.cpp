#include "dsp/InterpolateData.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
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
  bool Run() { return engine.Setup(nullptr, messages) && engine.Initialize(messages); }
};

TEST(InterpolateDataKernels, StepDataForEachTypeAndTheDipCase) {
  const std::vector<double> expected[3] = {
      {0.0, 0.25, 1.0}, {-0.0625, 0.203125, 1.0625}, {-0.0625, 0.234375, 1.0625}};
  for (int type : {2, 1, 0}) {
    Rig rig({0, 1, 2, 3, 4}, {0, 0, 1, 1, 1}, {0.5, 1.25, 2.5}, type, 1);
    ASSERT_TRUE(rig.Run()) << rig.messages.str();
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(rig.outY[k], expected[type][k], 1e-14) << "type " << type << " point " << k;
    EXPECT_EQ(rig.messages.str(), "");
  }
  // Where the cubic dips below the data the shape-preserving kernel takes the line.
  for (int type : {1, 2}) {
    Rig rig({0, 1, 2, 3, 4}, {0, 0, 0.1, 1, 1}, {1.5}, type, 1);
    ASSERT_TRUE(rig.Run());
    EXPECT_NEAR(rig.outY[0], type == 1 ? 0.05 : -0.00625, 1e-14) << "type " << type;
  }
  // Past its last point a step is held flat: Lagrange through (2, .5) (3, .75) (4, 1) (5, 1).
  Rig rising({0, 1, 2, 3, 4}, {0, 0.25, 0.5, 0.75, 1}, {3.5}, 2, 1);
  ASSERT_TRUE(rising.Run());
  EXPECT_NEAR(rising.outY[0], 0.890625, 1e-14);
}

// The log axis is ln(x / ref) over the shifted abscissae, ref a factor e below the smaller of the
// output spacing and the first data step, with the origin a quarter of the way to the first
// transformed abscissa. A cubic in ln is reproduced by Lagrange away from the origin; the first
// interval is a line from the origin's placement.
TEST(InterpolateDataLogAxis, CubicInTheLogarithmAndTheFirstIntervalFromItsReference) {
  auto logCubic = [](double s) {
    const double t = std::log(s);
    return 0.5 + t * (1.5 + t * (-0.25 + 0.125 * t));
  };
  std::vector<double> xs, ys;
  for (double s : {0, 1, 2, 4, 8, 16, 32}) {
    xs.push_back(5.0 + s);
    ys.push_back(s == 0.0 ? 0.0 : logCubic(s));
  }
  // First interval, reference r: the origin sits at 0.25 (1 - ln r) and the
  // first abscissa at 1 - ln r, with ordinates 0 and logCubic(1) = 0.5.
  auto firstInterval = [](double s, double r) {
    const double x1 = 1.0 - std::log(r), x0 = 0.25 * x1;
    return 0.5 * (std::log(s / r) + 1.0 - x0) / (x1 - x0);
  };
  // {type, output abscissae, expected}
  const std::tuple<int, std::vector<double>, std::vector<double>> cases[] = {
      {2, {7.5, 11.0, 15.2, 20.9}, {logCubic(2.5), logCubic(6.0), logCubic(10.2), logCubic(15.9)}},
      {0, {5.5, 7.0}, {firstInterval(0.5, 1.0), logCubic(2.0)}},  // spacing 1.5: r = 1
      {0, {5.25, 5.5}, {firstInterval(0.25, 0.25), firstInterval(0.5, 0.25)}}};  // r = 0.25
  for (const auto& [type, at, expected] : cases) {
    Rig rig(xs, ys, at, type);
    rig.engine.UseLogX = 1;
    ASSERT_TRUE(rig.Run()) << rig.messages.str();
    for (std::size_t k = 0; k < at.size(); ++k)
      EXPECT_NEAR(rig.outY[k], expected[k], 1e-12) << "type " << type << " at " << at[k];
    EXPECT_EQ(rig.x, xs);  // the owner's abscissae are left as they were
  }
}

// Differences d[0] = 0, d[k] = y[k] - y[k-1]; on a grid of step data they are scaled to add up to 1
// or to the last ordinate, optionally divided by the step. Explicit abscissae are never scaled.
TEST(InterpolateDataDifferences, DifferencesAndTheirScalingOnAGridOnly) {
  const double sixth = 0.5 / 3.0, third = 1.0 / 3.0;
  // {ordinates, explicit abscissae (none: the grid 0, 0.5 .. 3), ScaleForFinalValue,
  //  ScaleByOneOverXStep, expected}
  const std::vector<double> ramp = {0, 1, 2, 3, 3}, square = {2, 3, 6, 11, 18};
  const std::tuple<std::vector<double>, std::vector<double>, int, int, std::vector<double>>
      cases[] = {{ramp, {}, 0, 0, {0, sixth, sixth, sixth, sixth, sixth, sixth}},
                 {ramp, {}, 1, 0, {0, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}},
                 {ramp, {}, 0, 1, {0, third, third, third, third, third, third}},
                 {ramp, {}, 1, 1, {0, 1, 1, 1, 1, 1, 1}},
                 // x * x + 2 read at 0, 0.5 (2.5 on the line), 2, 3 and 4.
                 {square, {0, 0.5, 2, 3, 4}, 1, 1, {0, 0.5, 3.5, 5, 7}}};
  for (const auto& [ys, at, final, byStep, expected] : cases) {
    Rig rig({0, 1, 2, 3, 4}, ys, at, 0, 1, 0.0, 0.5, 7);
    rig.engine.DifferentiateData = 1;
    rig.engine.ScaleForFinalValue = final;
    rig.engine.ScaleByOneOverXStep = byStep;
    ASSERT_TRUE(rig.Run()) << rig.messages.str();
    ASSERT_EQ(rig.outY.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k)
      EXPECT_NEAR(rig.outY[k], expected[k], 1e-15) << final << byStep << " point " << k;
  }
  Rig flat({0, 1, 2, 3, 4}, {0, 0, 0, 0, 0}, {}, 0, 1, 0.0, 0.5, 9);
  flat.engine.DifferentiateData = flat.engine.ScaleForFinalValue = 1;
  EXPECT_FALSE(flat.Run());
  EXPECT_EQ(flat.messages.str(),
            "The interpolated data does not change over the output grid: its differences add up "
            "to 0 and cannot be scaled.\n");
}

TEST(InterpolateDataSetup, ReportsEveryFaultInOrder) {
  const std::string everyRange =
      "yData array size must be >= 4.\nxData array size must be >= 4.\n"
      "xData array and yData array must have the same size.\nx_Step must be > 0.\n"
      "x_Start must be >= xData[0].\nnPtsOut must be an integer > 0.\n"
      "UseLogX must be an integer in the range [0,1].\n"
      "InterpolationType must be an integer in the range [0,2].\n"
      "ScaleByOneOverXStep must be an integer in the range [0,1].\n"
      "ScaleForFinalValue must be an integer in the range [0,1].\n";
  const std::string badStepData =
      "yData array size must be >= 4.\nxData array and yData array must have the same "
      "size.\nx_Data array size must be > 0.\n"
      "DifferentiateData must be an integer in the range [0,1].\n"
      "StepData must be an integer in the range [0,1].\n";
  const std::string beyond =
      "x_Start + double(nPtsOut-1)*x_Step > xData[0][ int(xData.size()) - 1].\n";
  const std::string option = "x_DataOption must be an integer in the range [0,1].\n";
  using Adjust = void (*)(InterpolateData&);
  const Adjust asBuilt = [](InterpolateData&) {};
  const Adjust everyRangeFault = [](InterpolateData& e) {
    e.UseLogX = e.ScaleByOneOverXStep = 2;
    e.InterpolationType = e.ScaleForFinalValue = -1;
    e.DifferentiateData = e.StepData = 1;
  };
  const Adjust badStepDataWithExplicitAbscissae = [](InterpolateData& e) {
    e.x_DataOption = 1;
    e.DifferentiateData = 3;
    e.StepData = 2;
  };
  const Adjust badDataOption = [](InterpolateData& e) { e.x_DataOption = -1; };
  const struct {
    std::vector<double> x, y;
    double start, step;
    int points;
    Adjust adjust;
    std::string expected;  // empty: accepted
  } cases[] = {
      // The scale settings count for differences of step data on a grid only.
      {{0, 1}, {0, 1, 2}, -1.0, 0.0, 0, everyRangeFault, everyRange},
      // A bad StepData stops before the order check; explicit abscissae must be given.
      {{0, 1, 1, 2}, {0, 1, 2}, 0.0, 1.0, 1, badStepDataWithExplicitAbscissae, badStepData},
      {{0, 1, 2, 3}, {0, 1, 2, 3}, 0.0, 1.0, 1, badDataOption, option},
      // The last grid point may pass the data by 0.1 % of a step, no more.
      {{0, 1, 2, 3}, {0, 1, 4, 9}, 0.0, 0.75015, 5, asBuilt, ""},
      {{0, 1, 2, 3}, {0, 1, 4, 9}, 0.0, 0.751, 5, asBuilt, beyond}};
  for (const auto& c : cases) {
    Rig rig(c.x, c.y, {}, 0, 0, c.start, c.step, c.points);
    c.adjust(rig.engine);
    EXPECT_EQ(rig.engine.Setup(nullptr, rig.messages), c.expected.empty()) << c.expected;
    EXPECT_EQ(rig.messages.str(), c.expected);
  }
  // An order fault names the first pair, a repeated abscissa or NaN included, without a line feed.
  const std::pair<std::vector<double>, std::string> orders[] = {
      {{0, 1, 1, 2, 1.5}, "xData[3] = 1  <= xData[2] = 1"},
      {{0, 2.5e-12, 1e-12, 3e-12}, "xData[3] = 1e-12  <= xData[2] = 2.5e-12"},
      {{0, 1, 2, NAN}, "xData[4] = nan  <= xData[3] = 2"}};
  for (const auto& [x, pair] : orders) {
    Rig rig(x, std::vector<double>(x.size(), 0.0), {0.5e-12});
    EXPECT_FALSE(rig.engine.Setup(nullptr, rig.messages)) << pair;
    EXPECT_EQ(rig.messages.str(), pair + ". X-axis data must be in non-repeating ascending order.");
  }
}

// The curve-fit kernels reproduce the cubic p they are fed, wherever its
// nodes and query points lie.
double cubicAt(double x) {
  return 0.5 + x * (-1.25 + x * (0.75 + x * 0.125));
}
double cubicSlope(double x) {
  return -1.25 + x * (1.5 + x * 0.375);
}

TEST(CurveFit, LagrangeThroughFourPointsOfACubicIsTheCubic) {
  const std::array<double, 4> nodeSets[] = {
      {-1.5, 0.25, 2.0, 3.5}, {0, 1, 2, 3}, {-3, -2.5, 7, 11}, {10, 10.5, 11.25, 12}};
  CurveFit fit(nullptr);
  for (const auto& x : nodeSets) {
    // The nodes, the midpoints between them and half a unit outside.
    for (double at : {x[0] - 0.5, x[0], (x[0] + x[1]) / 2, x[1], (x[1] + x[2]) / 2, x[2],
                      (x[2] + x[3]) / 2, x[3], x[3] + 0.5}) {
      EXPECT_NEAR(fit.LagrangeInterpolation_4Point(at, x[0], cubicAt(x[0]), x[1], cubicAt(x[1]),
                                                   x[2], cubicAt(x[2]), x[3], cubicAt(x[3])),
                  cubicAt(at), 1e-12 * (1.0 + std::fabs(cubicAt(at))))
          << "nodes from " << x[0] << ", at " << at;
    }
  }
}

TEST(CurveFit, CubicFromValuesAndSlopesAtTwoAbscissaeIsTheCubic) {
  // {x1, x2, expected coefficients}; a zero abscissa or a repeated one makes
  // the system singular, which yields zeros.
  const std::tuple<double, double, std::array<double, 4>> cases[] = {
      {1.0, 2.0, {0.5, -1.25, 0.75, 0.125}},
      {-1.7, 2.9, {0.5, -1.25, 0.75, 0.125}},
      {3.0, 0.5, {0.5, -1.25, 0.75, 0.125}},
      {0.0, 2.0, {0, 0, 0, 0}},
      {1.5, 1.5, {0, 0, 0, 0}}};
  CurveFit fit(nullptr);
  for (const auto& [x1, x2, expected] : cases) {
    std::array<double, 4> a{9, 9, 9, 9};
    ASSERT_TRUE(fit.ThirdOrderCoefficients_2Point(a[0], a[1], a[2], a[3], x1, cubicAt(x1), x2,
                                                  cubicAt(x2), cubicSlope(x1), cubicSlope(x2)));
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(a[i], expected[i], 1e-9) << "x1 " << x1 << ", x2 " << x2 << ", a" << i;
  }
}

TEST(MatrixDeterminant, CofactorExpansionMatchesExactValuesAndRefusesNonSquareCounts) {
  // {matrix, determinant worked out in exact rational arithmetic}
  const std::pair<std::vector<double>, double> cases[] = {
      {{-2.5}, -2.5},
      {{3, 7, -1, 2}, 13},
      {{0, -1, 0.5, 3, 1, 4, -2, 0.5, 3}, 18.75},  // the first pivot is 0
      {{2, 0, 0, 0, 1, 3, 0, 0, -4, 5, 0.5, 0, 7, -1, 2, -2}, -6},
      {{0, 1, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 0}, -1},  // an odd permutation
      {{1, 2, 0, -1, 3, 0, 4, 2, -2, 1, 1, 0, 0, 5, -3, 1}, -130},
      {{1, 2, 3, 4, 5, 2, 1, 0, -1, 3, 0, 4, 1, 2, 2, 3, 0, 5, -2, 1, 1, 1, 1, 4, 0}, 944}};
  MatrixMath math(nullptr);
  for (const auto& [m, literal] : cases) {
    const int n = static_cast<int>(std::lround(std::sqrt(m.size())));
    double det = 42.0;
    ASSERT_TRUE(math.MatrixDeterminant(det, m, 0)) << n;
    EXPECT_NEAR(det, literal, 1e-12) << n;
  }
  for (std::size_t count : {std::size_t{0}, std::size_t{15}}) {
    double det = 42.0;
    EXPECT_FALSE(math.MatrixDeterminant(det, std::vector<double>(count, 1.0), 0)) << count;
    EXPECT_EQ(det, 42.0);
  }
}

}  // namespace
}  // namespace norvask
