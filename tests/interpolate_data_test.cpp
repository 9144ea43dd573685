// The interpolation engine: kernel values at worked examples, exactness at the
// data, shape preservation, the log axis against a direct computation,
// differences and their scaling, and every Setup message in order.
#include "dsp/InterpolateData.h"

#include "dsp/CurveFit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

namespace norvask {
namespace {

// An engine wired to vectors of its own, as an owner would wire it.
struct Rig {
  std::vector<double> x, y, outX, outY;
  InterpolateData engine;
  std::ostringstream messages;

  Rig(std::vector<double> xs, std::vector<double> ys) : x(std::move(xs)), y(std::move(ys)) {
    engine.xData = &x;
    engine.yData = &y;
    engine.x_Data = &outX;
    engine.yDataOut = &outY;
  }
  void Explicit(std::vector<double> at) {
    engine.x_DataOption = 1;
    outX = std::move(at);
  }
  void Grid(double start, double step, int points) {
    engine.x_DataOption = 0;
    engine.x_Start = start;
    engine.x_Step = step;
    engine.nPtsOut = points;
  }
  bool SetupAndRun() { return engine.Setup(nullptr, messages) && engine.Initialize(messages); }
};

double Sum(const std::vector<double>& v) {
  return std::accumulate(v.begin(), v.end(), 0.0);
}

TEST(InterpolateDataKernels, WorkedStepExampleForEachType) {
  const double expected[3][3] = {
      {0.0, 0.25, 1.0}, {-0.0625, 0.203125, 1.0625}, {-0.0625, 0.234375, 1.0625}};
  for (int type = 0; type < 3; ++type) {
    Rig rig({0, 1, 2, 3, 4}, {0, 0, 1, 1, 1});
    rig.Explicit({0.5, 1.25, 2.5});
    rig.engine.StepData = 1;
    rig.engine.InterpolationType = type;
    ASSERT_TRUE(rig.SetupAndRun()) << rig.messages.str();
    ASSERT_EQ(rig.outY.size(), 3u);
    for (int k = 0; k < 3; ++k) {
      EXPECT_NEAR(rig.outY[k], expected[type][k], 1e-14) << "type " << type << " point " << k;
    }
    EXPECT_EQ(rig.messages.str(), "");
  }
}

TEST(InterpolateDataKernels, ShapePreservingFallsBackToTheLineWhereTheCubicDips) {
  for (int type : {1, 2}) {
    Rig rig({0, 1, 2, 3, 4}, {0, 0, 0.1, 1, 1});
    rig.Explicit({1.5});
    rig.engine.StepData = 1;
    rig.engine.InterpolationType = type;
    ASSERT_TRUE(rig.SetupAndRun());
    EXPECT_NEAR(rig.outY[0], type == 1 ? 0.05 : -0.00625, 1e-14) << "type " << type;
  }
}

TEST(InterpolateDataKernels, DataAbscissaeGiveTheirOrdinatesExactlyAndXDataIsRestored) {
  const std::vector<double> xs = {1.0, 1.5, 2.25, 3.0, 4.5, 5.0};
  const std::vector<double> ys = {0.3, -0.7, 2.1, 1.9, 0.05, 4.0};
  for (int type = 0; type < 3; ++type) {
    Rig rig(xs, ys);
    rig.Explicit(xs);
    rig.engine.InterpolationType = type;
    ASSERT_TRUE(rig.SetupAndRun());
    EXPECT_EQ(rig.outY, ys) << "type " << type;
    EXPECT_EQ(rig.x, xs);
  }
}

TEST(InterpolateDataKernels, GeneralDataExtendsLinearlyAndStepDataFlat) {
  // On a straight line the linear continuation keeps every kernel exact, also
  // in the first and the last interval.
  auto line = [](double x) { return 2.0 * x + 1.0; };
  const std::vector<double> xs = {0, 1, 2, 3, 4};
  std::vector<double> ys;
  for (double x : xs)
    ys.push_back(line(x));
  for (int type = 0; type < 3; ++type) {
    Rig rig(xs, ys);
    rig.Explicit({0.3, 1.6, 3.7});
    rig.engine.InterpolationType = type;
    ASSERT_TRUE(rig.SetupAndRun());
    for (std::size_t k = 0; k < 3; ++k)
      EXPECT_NEAR(rig.outY[k], line(rig.outX[k]), 1e-13);
  }
  // In the last interval step data continues flat, general data on its line:
  // the fourth point is (4, 1) or (4, 1.5).
  for (int step : {0, 1}) {
    Rig rig({0, 1, 2, 3}, {0, 0, 0.5, 1});
    rig.Explicit({2.5});
    rig.engine.StepData = step;
    rig.engine.InterpolationType = 2;
    ASSERT_TRUE(rig.SetupAndRun());
    const double fourth = step == 1 ? 1.0 : 1.5;
    EXPECT_NEAR(rig.outY[0],
                CurveFit(nullptr).LagrangeInterpolation_4Point(2.5, 1, 0, 2, 0.5, 3, 1, 4, fourth),
                1e-15);
  }
  EXPECT_NE(CurveFit(nullptr).LagrangeInterpolation_4Point(2.5, 1, 0, 2, 0.5, 3, 1, 4, 1), 0.75);
}

TEST(InterpolateDataKernels, ShapePreservingStaysWithinNeighbouringOrdinatesOnMonotoneData) {
  const std::vector<double> xs = {0, 1, 1.5, 4, 4.2, 7, 9, 12};
  const std::vector<double> ys = {0, 0.02, 0.9, 1.0, 3.0, 3.05, 3.05, 8.0};
  Rig rig(xs, ys);
  rig.Grid(0.0, 0.01, 1201);
  rig.engine.InterpolationType = 1;
  rig.engine.StepData = 1;
  ASSERT_TRUE(rig.SetupAndRun()) << rig.messages.str();
  for (std::size_t k = 0; k < rig.outX.size(); ++k) {
    const double q = rig.outX[k];
    std::size_t j = 1;
    while (j < xs.size() - 1 && xs[j] < q)
      ++j;
    if (ys[j - 1] == ys[j])
      continue;  // the cubic is kept there by design
    EXPECT_GE(rig.outY[k], ys[j - 1]) << "at " << q;
    EXPECT_LE(rig.outY[k], ys[j]) << "at " << q;
  }
}

TEST(InterpolateDataLogAxis, MatchesInterpolationInTheLogarithmComputedDirectly) {
  // Shifted abscissae 0, 1, 2, 4, .., 32 above an origin of 5. On the log axis
  // a + b ln(x) is a straight line and a cubic in ln(x) a cubic, so linear and
  // Lagrange interpolation reproduce them wherever all points used are data.
  const double origin = 5.0;
  const std::vector<double> shifted = {0, 1, 2, 4, 8, 16, 32};
  auto logLine = [](double s) { return 3.0 - 2.0 * std::log(s); };
  auto logCubic = [](double s) {
    const double t = std::log(s);
    return 0.5 + t * (1.5 + t * (-0.25 + 0.125 * t));
  };
  for (int type : {0, 2}) {
    std::vector<double> xs, ys;
    for (double s : shifted) {
      xs.push_back(origin + s);
      ys.push_back(s == 0.0 ? 0.0 : (type == 0 ? logLine(s) : logCubic(s)));
    }
    Rig rig(xs, ys);
    const std::vector<double> at = type == 0 ? std::vector<double>{6.3, 9.7, 20.0, 36.5}
                                             : std::vector<double>{7.5, 11.0, 15.2, 20.9};
    rig.Explicit(at);
    rig.engine.UseLogX = 1;
    rig.engine.InterpolationType = type;
    ASSERT_TRUE(rig.SetupAndRun()) << rig.messages.str();
    for (std::size_t k = 0; k < at.size(); ++k) {
      const double s = at[k] - origin;
      EXPECT_NEAR(rig.outY[k], type == 0 ? logLine(s) : logCubic(s), 1e-12)
          << "type " << type << " at " << at[k];
    }
    EXPECT_EQ(rig.x, xs);
  }
}

TEST(InterpolateDataDifferences, ScaledDifferencesAddUpToTheChosenTotal) {
  const std::vector<double> xs = {0, 0.7, 1.1, 2.0, 3.3, 4.0};
  const std::vector<double> ys = {0, 0.1, 0.6, 1.4, 1.7, 1.75};
  struct Case {
    int scaleForFinal, scaleByStep;
  };
  for (Case c : {Case{1, 0}, Case{0, 0}, Case{1, 1}}) {
    Rig rig(xs, ys);
    rig.Grid(0.0, 0.03, 134);
    rig.engine.InterpolationType = 2;
    rig.engine.StepData = 1;
    rig.engine.DifferentiateData = 1;
    rig.engine.ScaleForFinalValue = c.scaleForFinal;
    rig.engine.ScaleByOneOverXStep = c.scaleByStep;
    ASSERT_TRUE(rig.SetupAndRun()) << rig.messages.str();
    EXPECT_EQ(rig.outY[0], 0.0);
    const double total = c.scaleForFinal ? ys.back() : 1.0;
    const double step = c.scaleByStep ? 0.03 : 1.0;
    EXPECT_NEAR(Sum(rig.outY) * step, total, 1e-12);
  }
}

TEST(InterpolateDataDifferences, ExplicitAbscissaeGivePlainDifferences) {
  Rig rig({0, 1, 2, 3, 4}, {0, 0.5, 2, 2.5, 3});
  rig.Explicit({0, 1, 2, 3, 4});
  rig.engine.StepData = 1;
  rig.engine.DifferentiateData = 1;
  rig.engine.ScaleForFinalValue = 1;
  rig.engine.ScaleByOneOverXStep = 1;
  ASSERT_TRUE(rig.SetupAndRun());
  EXPECT_EQ(rig.outY, (std::vector<double>{0, 0.5, 1.5, 0.5, 0.5}));
}

TEST(InterpolateDataDifferences, FlatDataFailsInsteadOfScalingByInfinity) {
  Rig rig({0, 1, 2, 3, 4}, {0, 0, 0, 0, 0});
  rig.Grid(0.0, 0.5, 9);
  rig.engine.StepData = 1;
  rig.engine.DifferentiateData = 1;
  rig.engine.ScaleForFinalValue = 1;
  ASSERT_TRUE(rig.engine.Setup(nullptr, rig.messages));
  EXPECT_FALSE(rig.engine.Initialize(rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "The interpolated data does not change over the output grid: its differences add up "
            "to 0 and cannot be scaled.\n");
  for (double v : rig.outY)
    EXPECT_TRUE(std::isfinite(v));
}

TEST(InterpolateDataGrid, LastPointIsPulledBackWithinTheAllowance) {
  Rig rig({0, 1, 2, 3}, {0, 1, 4, 9});
  rig.Grid(0.0, 0.7, 5);  // ends at 2.8, inside the data
  ASSERT_TRUE(rig.SetupAndRun());
  EXPECT_NEAR(rig.outX.back(), 2.8, 1e-15);

  rig.Grid(0.0, 0.75 * 1.0002, 5);  // ends 0.0006 beyond 3, allowance 0.00075
  ASSERT_TRUE(rig.SetupAndRun()) << rig.messages.str();
  EXPECT_EQ(rig.outX.back(), 3.0);
  EXPECT_EQ(rig.outY.back(), 9.0);
  EXPECT_EQ(rig.outY.front(), 0.0);

  rig.Grid(0.0, 0.751, 5);  // ends 0.004 beyond
  EXPECT_FALSE(rig.engine.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "x_Start + double(nPtsOut-1)*x_Step > xData[0][ int(xData.size()) - 1].\n");
}

TEST(InterpolateDataGrid, RunsTakeStartAndStepFromTheirAbscissaeButNotFromASingleOne) {
  Rig rig({0, 1, 2, 3}, {0, 1, 4, 9});
  rig.Explicit({0.5, 0.75, 2.0});
  rig.engine.x_Step = 0.7;
  ASSERT_TRUE(rig.SetupAndRun());
  EXPECT_EQ(rig.engine.x_Start, 0.5);
  EXPECT_EQ(rig.engine.x_Step, 0.25);

  rig.Explicit({2.5});
  ASSERT_TRUE(rig.SetupAndRun());
  EXPECT_EQ(rig.engine.x_Start, 2.5);
  EXPECT_EQ(rig.engine.x_Step, 0.25);

  // A one-point grid keeps the owner's step, so 1/x_Step scaling uses it.
  Rig grid({0, 1, 2, 3}, {0, 1, 4, 9});
  grid.Grid(3.0, 0.5, 1);
  grid.engine.StepData = 1;
  grid.engine.DifferentiateData = 1;
  grid.engine.ScaleByOneOverXStep = 1;
  ASSERT_TRUE(grid.engine.Setup(nullptr, grid.messages));
  grid.engine.Initialize(grid.messages);
  EXPECT_EQ(grid.engine.x_Step, 0.5);
}

TEST(InterpolateDataSetup, ReportsEveryFaultInOrder) {
  Rig rig({0, 1}, {0, 1, 2});
  rig.Grid(-1.0, 0.0, 0);
  rig.engine.UseLogX = 2;
  rig.engine.InterpolationType = -1;
  rig.engine.DifferentiateData = 3;
  EXPECT_FALSE(rig.engine.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "yData array size must be >= 4.\n"
            "xData array size must be >= 4.\n"
            "xData array and yData array must have the same size.\n"
            "x_Step must be > 0.\n"
            "x_Start must be >= xData[0].\n"
            "nPtsOut must be an integer > 0.\n"
            "UseLogX must be an integer in the range [0,1].\n"
            "InterpolationType must be an integer in the range [0,2].\n"
            "DifferentiateData must be an integer in the range [0,1].\n");
}

TEST(InterpolateDataSetup, OptionAndScaleChecksApplyWhereTheyMatter) {
  Rig option({0, 1, 2, 3}, {0, 1, 2, 3});
  option.engine.x_DataOption = -1;
  EXPECT_FALSE(option.engine.Setup(nullptr, option.messages));
  EXPECT_EQ(option.messages.str(), "x_DataOption must be an integer in the range [0,1].\n");

  Rig empty({0, 1, 2, 3}, {0, 1, 2, 3});
  empty.Explicit({});
  EXPECT_FALSE(empty.engine.Setup(nullptr, empty.messages));
  EXPECT_EQ(empty.messages.str(), "x_Data array size must be > 0.\n");

  for (int option : {0, 1}) {
    Rig rig({0, 1, 2, 3}, {0, 1, 2, 3});
    rig.Grid(0.0, 1.0, 4);
    rig.engine.x_DataOption = option;
    rig.outX = {0.5};
    rig.engine.StepData = 1;
    rig.engine.DifferentiateData = 1;
    rig.engine.ScaleByOneOverXStep = 2;
    rig.engine.ScaleForFinalValue = -1;
    EXPECT_EQ(rig.engine.Setup(nullptr, rig.messages), option == 1);
    EXPECT_EQ(rig.messages.str(),
              option == 1 ? ""
                          : "ScaleByOneOverXStep must be an integer in the range [0,1].\n"
                            "ScaleForFinalValue must be an integer in the range [0,1].\n");
  }
}

TEST(InterpolateDataSetup, BadStepDataStopsBeforeTheOrderCheck) {
  Rig rig({0, 1, 1, 2}, {0, 1, 2});
  rig.Explicit({0.5});
  rig.engine.StepData = 2;
  EXPECT_FALSE(rig.engine.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "yData array size must be >= 4.\n"
            "xData array and yData array must have the same size.\n"
            "StepData must be an integer in the range [0,1].\n");
}

TEST(InterpolateDataSetup, OrderFaultNamesTheFirstPairWithoutALineFeed) {
  Rig rig({0, 1, 1, 2, 1.5}, {0, 1, 2, 3, 4});
  rig.Explicit({0.5});
  EXPECT_FALSE(rig.engine.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "xData[3] = 1  <= xData[2] = 1. X-axis data must be in non-repeating ascending "
            "order.");

  Rig scaled({0, 2.5e-12, 1e-12, 3e-12}, {0, 1, 2, 3});
  scaled.Explicit({0.5e-12});
  EXPECT_FALSE(scaled.engine.Setup(nullptr, scaled.messages));
  EXPECT_EQ(scaled.messages.str(),
            "xData[3] = 1e-12  <= xData[2] = 2.5e-12. X-axis data must be in non-repeating "
            "ascending order.");
}

TEST(InterpolateDataSetup, EmptyXDataGetsTheSizeMessagesOnly) {
  Rig rig({}, {0, 1, 2, 3});
  rig.Grid(0.0, 1.0, 3);
  EXPECT_FALSE(rig.engine.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "xData array size must be >= 4.\n"
            "xData array and yData array must have the same size.\n");
}

TEST(InterpolateDataTrace, SetupTracesOnceAndEachRunTracesItsKernelOnce) {
  const std::string path = testing::TempDir() + "interpolate_data_trace.txt";
  {
    TraceStream trace(path);
    Rig rig({0, 1, 2, 3, 4}, {0, 0, 1, 1, 1});
    rig.Explicit({0.5, 1.25, 2.5});
    rig.engine.InterpolationType = 2;
    ASSERT_TRUE(rig.engine.Setup(&trace, rig.messages));
    ASSERT_TRUE(rig.engine.Initialize(rig.messages));
    ASSERT_TRUE(rig.engine.Setup(&trace, rig.messages));
    ASSERT_TRUE(rig.engine.Initialize(rig.messages));
    rig.engine.InterpolationType = 1;
    ASSERT_TRUE(rig.engine.Initialize(rig.messages));
    rig.engine.Finalize();
  }
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "Quennavik::InterpolateData\n"
            "Quennavik::CurveFit::LagrangeInterpolation_4Point\n"
            "Quennavik::CurveFit::LagrangeInterpolation_4Point\n"
            "Quennavik::CurveFit::ThirdOrderCoefficients_2Point\n"
            "Quennavik::MatrixMath::MatrixDeterminant\n");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace norvask
