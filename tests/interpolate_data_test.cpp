#include "dsp/InterpolateData.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
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
  bool Run() { return engine.Setup(nullptr, messages) && engine.Initialize(messages); }
  std::string Refusal() {
    EXPECT_FALSE(engine.Setup(nullptr, messages));
    return messages.str();
  }
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

TEST(InterpolateDataDifferences, FlatDataCannotBeScaledForTheFinalValue) {
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
  // An order fault names the first pair, without a line feed.
  Rig order({0, 2.5e-12, 1e-12, 3e-12}, {0, 1, 2, 3}, {0.5e-12});
  EXPECT_EQ(order.Refusal(),
            "xData[3] = 1e-12  <= xData[2] = 2.5e-12. X-axis data must be in non-repeating "
            "ascending order.");
}

}  // namespace
}  // namespace norvask
