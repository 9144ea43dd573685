// The step-response interpolation block: its checks and messages, both list
// layouts, the impulse it builds and trims, and the raw-row bypass.
#include "blocks/InterpolateStepRespData.h"

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

constexpr double kPs = 1e-12;

// A smooth driver-like step: `offset` at t = 0, settling towards offset + rise.
double Step(double t, double rise, double offset) {
  return offset + rise * (1.0 - std::exp(-t / (60 * kPs))) * (1.0 - std::exp(-t / (25 * kPs)));
}

// Shared layout: time axis (1 ps steps) then `responses` steps of `rows` rows.
StepRespList SharedList(int responses, std::size_t rows) {
  StepRespList list(1);
  for (std::size_t i = 0; i < rows; ++i)
    list[0].push_back(static_cast<double>(i) * kPs);
  for (int r = 1; r <= responses; ++r) {
    std::vector<double> values;
    for (double t : list[0])
      values.push_back(Step(t, 0.3 + 0.05 * r, 0.01 * r));
    list.push_back(values);
  }
  return list;
}

double Sum(const std::vector<double>& v) {
  return std::accumulate(v.begin(), v.end(), 0.0);
}

struct Rig {
  StepRespList list;
  InterpolateStepRespData block;
  std::ostringstream messages;

  explicit Rig(StepRespList data, int responses, bool shared = true) : list(std::move(data)) {
    block.StepResp_data_values = &list;
    block.NumStepResp = responses;
    block.SharedTimeAxis = shared ? 1 : 0;
  }
  bool SetupAndInitialize() { return block.Setup(nullptr, messages) && block.Initialize(messages); }
};

TEST(InterpolateStepRespDataSetup, ReportsEverySettingFaultThenTheListFault) {
  Rig rig({}, 16);
  rig.block.BitRate = 0.0;
  rig.block.SamplesPerBit = 0;
  rig.block.StepRespIndex = 0;
  rig.block.EnableInterpolation = 2;
  rig.block.InterpolationType = -1;
  rig.block.DifferentiateData = 2;
  rig.block.StepData = -3;
  const std::string settingFaults =
      "BitRate must be a positive number.\n"
      "SamplesPerBit must be a positive integer.\n"
      "Step response index must be an integer in the range [1, 16].\n"
      "EnableInterpolation must be an integer in the range [0, 1].\n"
      "InterpolationType must be an integer in the range [0, 2].\n"
      "DifferentiateData must be an integer in the range [0, 1].\n"
      "StepData must be an integer in the range [0, 1].\n";
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            settingFaults + "StepResp_data_values must not be an empty array.\n");

  rig.messages.str("");
  rig.block.StepResp_data_values = nullptr;
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            settingFaults + "StepResp_data_values must not be an empty array.\n");

  rig.messages.str("");
  StepRespList emptyFirst(17, std::vector<double>(4, 0.0));
  emptyFirst[0].clear();
  rig.block.StepResp_data_values = &emptyFirst;
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            settingFaults + "StepResp_data_values[0][0] array size must be > 0.\n");

  // With a sound list, bad settings fail Setup with their own messages only.
  rig.messages.str("");
  StepRespList mismatched = SharedList(16, 40);
  mismatched[3].pop_back();
  rig.block.StepResp_data_values = &mismatched;
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(), settingFaults);
}

TEST(InterpolateStepRespDataSetup, NoResponsesAtAllAlsoFailsTheIndexCheck) {
  Rig rig(SharedList(2, 40), 0);
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "Step response index must be an integer in the range [1, 0].\n"
            "NumStepResp must be an integer > 0.\n");
}

TEST(InterpolateStepRespDataSetup, FirstVectorOfAnotherLengthIsNamedAlone) {
  StepRespList list = SharedList(16, 40);
  list[5].push_back(0.0);
  list[9].pop_back();
  Rig rig(list, 16);
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "Number of rows for StepResp_data_values[5] is not the same as for "
            "StepResp_data_values[0].\n");
}

TEST(InterpolateStepRespDataSetup, ListShorterThanTheLayoutNeedsIsRefused) {
  Rig shared(SharedList(9, 40), 16);
  EXPECT_FALSE(shared.block.Setup(nullptr, shared.messages));
  EXPECT_EQ(shared.messages.str(),
            "StepResp_data_values must hold 17 vectors for 16 step responses, but it holds 10.\n");

  Rig pairs(StepRespList(5, std::vector<double>(40, 1.0)), 3, false);
  EXPECT_FALSE(pairs.block.Setup(nullptr, pairs.messages));
  EXPECT_EQ(pairs.messages.str(),
            "StepResp_data_values must hold 6 vectors for 3 step responses, but it holds 5.\n");
}

TEST(InterpolateStepRespDataSetup, NeedsFourUsablePoints) {
  const std::string tooFew = "At least 4 step response values are required.\n";
  Rig four(SharedList(1, 4), 1);
  EXPECT_TRUE(four.block.Setup(nullptr, four.messages)) << four.messages.str();
  EXPECT_EQ(four.block.usablePointCount(), 4u);

  Rig three(SharedList(1, 3), 1);
  EXPECT_FALSE(three.block.Setup(nullptr, three.messages));
  EXPECT_EQ(three.messages.str(), tooFew);

  // Own time axes: padding after the last positive time does not count, and
  // an axis with nothing positive from index 2 on has no usable points.
  const std::vector<double> values = {0, 0.1, 0.4, 0.8, 0.9, 0.95};
  Rig padded({{0, 1 * kPs, 2 * kPs, 3 * kPs, 0, -1}, values}, 1, false);
  EXPECT_TRUE(padded.block.Setup(nullptr, padded.messages)) << padded.messages.str();
  EXPECT_EQ(padded.block.usablePointCount(), 4u);

  Rig nothingPositive({{0, 1 * kPs, 0, -1 * kPs, 0, 0}, values}, 1, false);
  EXPECT_FALSE(nothingPositive.block.Setup(nullptr, nothingPositive.messages));
  EXPECT_EQ(nothingPositive.messages.str(), tooFew);

  Rig shortPadded({{0, 1 * kPs, 2 * kPs, 0, 0, 0}, values}, 1, false);
  EXPECT_FALSE(shortPadded.block.Setup(nullptr, shortPadded.messages));
  EXPECT_EQ(shortPadded.messages.str(), tooFew);
}

TEST(InterpolateStepRespDataSetup, EngineRefusesGridsTheDataCannotCarry) {
  // Last time 1 ps, shorter than one sample interval (about 1.116 ps).
  Rig shortAxis({{0, 0.3 * kPs, 0.6 * kPs, 1 * kPs}, {0, 0.2, 0.5, 0.6}}, 1);
  EXPECT_FALSE(shortAxis.block.Setup(nullptr, shortAxis.messages));
  EXPECT_EQ(shortAxis.messages.str(), "nPtsOut must be an integer > 0.\n");

  StepRespList late = SharedList(1, 40);
  for (double& t : late[0])
    t += 1 * kPs;
  Rig lateStart(late, 1);
  EXPECT_FALSE(lateStart.block.Setup(nullptr, lateStart.messages));
  EXPECT_EQ(lateStart.messages.str(), "x_Start must be >= xData[0].\n");
}

TEST(InterpolateStepRespDataImpulse, AddsUpToTheRiseForEveryKernel) {
  for (int type = 0; type < 3; ++type) {
    Rig rig(SharedList(3, 500), 3);
    rig.block.StepRespIndex = 2;
    rig.block.InterpolationType = type;
    ASSERT_TRUE(rig.SetupAndInitialize()) << rig.messages.str();
    const std::vector<double>& values = rig.list[2];
    const double timeStep = 1.0 / 2.8e10 / 32;
    EXPECT_EQ(rig.block.yDataOut.size(), static_cast<std::size_t>(499 * kPs / timeStep));
    EXPECT_EQ(rig.block.yDataOut[0], 0.0);
    EXPECT_NEAR(Sum(rig.block.yDataOut), values.back() - values.front(), 1e-12) << type;
    EXPECT_EQ(rig.messages.str(), "");
  }
}

TEST(InterpolateStepRespDataImpulse, BothLayoutsGiveTheSameImpulse) {
  const StepRespList shared = SharedList(3, 300);
  Rig sharedRig(shared, 3);
  sharedRig.block.StepRespIndex = 3;
  ASSERT_TRUE(sharedRig.SetupAndInitialize());

  // Response 3 as the third pair, its time axis padded with zeros at the end
  // (and junk values beside the padding, which must not be read).
  StepRespList pairs;
  for (int r = 1; r <= 3; ++r) {
    pairs.push_back(shared[0]);
    pairs.push_back(shared[r]);
    pairs.back().insert(pairs.back().end(), {7.0, 7.0});
    pairs[pairs.size() - 2].insert(pairs[pairs.size() - 2].end(), {0.0, 0.0});
  }
  Rig pairRig(pairs, 3, false);
  pairRig.block.StepRespIndex = 3;
  ASSERT_TRUE(pairRig.SetupAndInitialize()) << pairRig.messages.str();
  EXPECT_EQ(pairRig.block.usablePointCount(), 300u);
  EXPECT_EQ(pairRig.block.yDataOut, sharedRig.block.yDataOut);
}

TEST(InterpolateStepRespDataImpulse, RunWalksTheGridThenHoldsZeroOrTheLastStepValue) {
  for (int differentiate : {1, 0}) {
    Rig rig(SharedList(1, 60), 1);
    rig.block.DifferentiateData = differentiate;
    ASSERT_TRUE(rig.SetupAndInitialize()) << rig.messages.str();
    const std::vector<double> result = rig.block.yDataOut;
    const double timeStep = 1.0 / 2.8e10 / 32;
    for (std::size_t n = 0; n < result.size(); ++n) {
      rig.block.Run(rig.messages);
      EXPECT_EQ(rig.block.Time, static_cast<double>(n) * timeStep);
      EXPECT_EQ(rig.block.Out, result[n]);
    }
    for (int extra = 0; extra < 3; ++extra) {
      rig.block.Run(rig.messages);
      EXPECT_EQ(rig.block.Time, static_cast<double>(result.size() - 1) * timeStep);
      EXPECT_EQ(rig.block.Out, differentiate == 1 ? 0.0 : result.back());
    }
    // Initialize restarts the output.
    ASSERT_TRUE(rig.block.Initialize(rig.messages));
    rig.block.Run(rig.messages);
    EXPECT_EQ(rig.block.Time, 0.0);
    EXPECT_EQ(rig.messages.str(), "");
    rig.block.Finalize();
    rig.block.Finalize();
  }
}

TEST(InterpolateStepRespDataImpulse, ExactlyZeroTailIsTrimmedButNeverTheFirstSample) {
  // A linear rise over 10 ps, then flat: linear interpolation gives exact
  // zeros after the first grid point at or beyond 10 ps.
  StepRespList list(2);
  for (int i = 0; i < 100; ++i) {
    list[0].push_back(i * kPs);
    list[1].push_back(i < 10 ? 0.1 * i : 1.0);
  }
  Rig rig(list, 1);
  rig.block.InterpolationType = 0;
  ASSERT_TRUE(rig.SetupAndInitialize()) << rig.messages.str();
  const double timeStep = 1.0 / 2.8e10 / 32;
  std::size_t firstSettled = 0;
  while (static_cast<double>(firstSettled) * timeStep < 10 * kPs)
    ++firstSettled;
  EXPECT_EQ(rig.block.yDataOut.size(), firstSettled + 1);
  EXPECT_NE(rig.block.yDataOut.back(), 0.0);
  EXPECT_NEAR(Sum(rig.block.yDataOut), 1.0, 1e-12);

  // A flat response cannot be scaled: Initialize fails, and the all-zero
  // result is cut down to its first sample.
  list[1].assign(100, 0.5);
  Rig flat(list, 1);
  ASSERT_TRUE(flat.block.Setup(nullptr, flat.messages));
  EXPECT_FALSE(flat.block.Initialize(flat.messages));
  EXPECT_EQ(flat.messages.str(),
            "The interpolated data does not change over the output grid: its differences add up "
            "to 0 and cannot be scaled.\n");
  EXPECT_EQ(flat.block.yDataOut, std::vector<double>{0.0});
}

TEST(InterpolateStepRespDataBypass, HandsOutTheRawRowsThenRepeatsTheLastUsableOne) {
  const std::vector<double> values = {0.25, 0.5, 0.75, 0.9, 0.95, 5.0};
  Rig rig({{0, 1 * kPs, 2 * kPs, 3 * kPs, 4 * kPs, 0}, values}, 1, false);
  rig.block.EnableInterpolation = 0;
  rig.block.DifferentiateData = 0;
  ASSERT_TRUE(rig.SetupAndInitialize());
  EXPECT_EQ(rig.messages.str(), "");
  EXPECT_TRUE(rig.block.yDataOut.empty());
  for (std::size_t n = 0; n < 8; ++n) {
    const std::size_t row = n < 5 ? n : 4;
    rig.block.Run(rig.messages);
    EXPECT_EQ(rig.block.Time, rig.list[0][row]);
    EXPECT_EQ(rig.block.Out, values[row]);
  }
  rig.block.Finalize();
}

TEST(InterpolateStepRespDataSetup, RepeatedSetupSwitchesResponseAndTracesOnce) {
  const std::string path = testing::TempDir() + "interpolate_step_trace.txt";
  std::vector<double> first, second;
  {
    TraceStream trace(path);
    Rig rig(SharedList(2, 80), 2);
    ASSERT_TRUE(rig.block.Setup(&trace, rig.messages));
    ASSERT_TRUE(rig.block.Initialize(rig.messages));
    first = rig.block.yDataOut;
    rig.block.StepRespIndex = 2;
    ASSERT_TRUE(rig.block.Setup(&trace, rig.messages));
    ASSERT_TRUE(rig.block.Initialize(rig.messages));
    second = rig.block.yDataOut;
    EXPECT_NEAR(Sum(second), rig.list[2].back() - rig.list[2].front(), 1e-12);
  }
  EXPECT_NE(first, second);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            "Quennavik::InterpolateStepRespData\n"
            "Quennavik::InterpolateData\n"
            "Quennavik::CurveFit::LagrangeInterpolation_4Point\n"
            "Quennavik::CurveFit::LagrangeInterpolation_4Point\n");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace norvask
