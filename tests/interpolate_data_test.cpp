// The interpolation engine: kernel values at worked examples, exactness at the
// data, shape preservation, the log axis against a direct computation,
// differences and their scaling, and every Setup message in order.
#include "dsp/InterpolateData.h"

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

TEST(InterpolateDataKernels, WorkedStepExampleForEachTypeAndTheDipCase) {
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
  Rig all({0, 1}, {0, 1, 2}, {}, -1, 0, -1.0, 0.0, 0);
  all.engine.UseLogX = 2;
  all.engine.DifferentiateData = 3;
  EXPECT_EQ(all.Refusal(),
            "yData array size must be >= 4.\nxData array size must be >= 4.\n"
            "xData array and yData array must have the same size.\nx_Step must be > 0.\n"
            "x_Start must be >= xData[0].\nnPtsOut must be an integer > 0.\n"
            "UseLogX must be an integer in the range [0,1].\n"
            "InterpolationType must be an integer in the range [0,2].\n"
            "DifferentiateData must be an integer in the range [0,1].\n");
  // A bad StepData stops before the order check.
  Rig step({0, 1, 1, 2}, {0, 1, 2}, {0.5}, 0, 2);
  EXPECT_EQ(step.Refusal(),
            "yData array size must be >= 4.\nxData array and yData array must have the same "
            "size.\nStepData must be an integer in the range [0,1].\n");
  // The last grid point may not lie past the data (beyond a 0.1 % allowance of a step).
  Rig beyond({0, 1, 2, 3}, {0, 1, 4, 9}, {}, 0, 0, 0.0, 0.751, 5);
  EXPECT_EQ(beyond.Refusal(),
            "x_Start + double(nPtsOut-1)*x_Step > xData[0][ int(xData.size()) - 1].\n");
  Rig scales({0, 1, 2, 3}, {0, 1, 2, 3}, {}, 0, 1, 0.0, 1.0, 4);
  scales.engine.DifferentiateData = 1;
  scales.engine.ScaleByOneOverXStep = 2;
  scales.engine.ScaleForFinalValue = -1;
  EXPECT_EQ(scales.Refusal(),
            "ScaleByOneOverXStep must be an integer in the range [0,1].\n"
            "ScaleForFinalValue must be an integer in the range [0,1].\n");
  scales.messages.str("");
  scales.outX = {0.5};
  scales.engine.x_DataOption = -1;
  EXPECT_EQ(scales.Refusal(), "x_DataOption must be an integer in the range [0,1].\n");
  Rig noX({0, 1, 2, 3}, {0, 1, 2, 3}, {});
  noX.engine.x_DataOption = 1;
  EXPECT_EQ(noX.Refusal(), "x_Data array size must be > 0.\n");
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

}  // namespace
}  // namespace norvask
