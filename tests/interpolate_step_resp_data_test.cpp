// The step-response interpolation block: its checks and messages, both list
// layouts, the impulse it builds, the raw-row bypass, and the model's own list
// at the model's default rates.
#include "blocks/InterpolateStepRespData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "data/StepResponseTable.h"

namespace norvask {
namespace {

constexpr double kPs = 1e-12;
const double kTimeStep = 1.0 / 2.8e10 / 32;  // the default grid

// Shared layout: a 1 ps time axis, then `responses` smooth driver-like steps
// of `rows` rows, response r rising from 0.01 r by 0.3 + 0.05 r.
StepRespList sharedList(int responses, std::size_t rows) {
  StepRespList list(responses + 1);
  for (std::size_t i = 0; i < rows; ++i) {
    const double t = static_cast<double>(i) * kPs;
    list[0].push_back(t);
    for (int r = 1; r <= responses; ++r)
      list[r].push_back(0.01 * r + (0.3 + 0.05 * r) * (1.0 - std::exp(-t / (60 * kPs))) *
                                       (1.0 - std::exp(-t / (25 * kPs))));
  }
  return list;
}

double sumOf(const std::vector<double>& v) {
  return std::accumulate(v.begin(), v.end(), 0.0);
}

struct Rig {
  StepRespList list;
  InterpolateStepRespData block;
  std::ostringstream messages;

  Rig(StepRespList data, int responses, bool shared = true) : list(std::move(data)) {
    block.StepResp_data_values = &list;
    block.NumStepResp = responses;
    block.SharedTimeAxis = shared ? 1 : 0;
  }
  bool Run() { return block.Setup(nullptr, messages) && block.Initialize(messages); }
};

TEST(InterpolateStepRespDataSetup, ReportsEverySettingFaultThenTheListFault) {
  const std::string settingFaults =
      "BitRate must be a positive number.\nSamplesPerBit must be a positive integer.\n"
      "Step response index must be an integer in the range [1, 16].\n"
      "EnableInterpolation must be an integer in the range [0, 1].\n"
      "InterpolationType must be an integer in the range [0, 2].\n"
      "DifferentiateData must be an integer in the range [0, 1].\n"
      "StepData must be an integer in the range [0, 1].\n";
  Rig rig({}, 16);
  rig.block.StepResp_data_values = nullptr;
  rig.block.BitRate = 0.0;
  rig.block.SamplesPerBit = rig.block.StepRespIndex = 0;
  rig.block.EnableInterpolation = rig.block.DifferentiateData = 2;
  rig.block.InterpolationType = rig.block.StepData = -1;
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            settingFaults + "StepResp_data_values must not be an empty array.\n");
}

TEST(InterpolateStepRespDataSetup, RefusesListsTheLayoutCannotRead) {
  const std::string tooFew = "At least 4 step response values are required.\n";
  const std::vector<double> values = {0, 0.1, 0.4, 0.8, 0.9, 0.95};
  StepRespList otherLengths = sharedList(16, 40), emptyFirst(17, std::vector<double>(4, 0.0));
  emptyFirst[0].clear();
  otherLengths[5].push_back(0.0);
  otherLengths[9].pop_back();
  struct Case {
    StepRespList list;
    int responses;
    bool shared;
    std::string messages;
  } const cases[] = {
      {emptyFirst, 16, true, "StepResp_data_values[0][0] array size must be > 0.\n"},
      {sharedList(2, 40), 0, true,
       "Step response index must be an integer in the range [1, 0].\n"
       "NumStepResp must be an integer > 0.\n"},
      {otherLengths, 16, true,
       "Number of rows for StepResp_data_values[5] is not the same as for "
       "StepResp_data_values[0].\n"},
      {sharedList(9, 40), 16, true,
       "StepResp_data_values must hold 17 vectors for 16 step responses, but it holds 10.\n"},
      {StepRespList(5, std::vector<double>(40, 1.0)), 3, false,
       "StepResp_data_values must hold 6 vectors for 3 step responses, but it holds 5.\n"},
      {sharedList(1, 3), 1, true, tooFew},
      // Own axes: padding after the last positive time does not count.
      {{{0, 1 * kPs, 2 * kPs, 3 * kPs, 0, -1}, values}, 1, false, ""},
      {{{0, 1 * kPs, 2 * kPs, 0, 0, 0}, values}, 1, false, tooFew},
  };
  for (const Case& c : cases) {
    Rig rig(c.list, c.responses, c.shared);
    EXPECT_EQ(rig.block.Setup(nullptr, rig.messages), c.messages.empty()) << c.messages;
    EXPECT_EQ(rig.messages.str(), c.messages);
  }
}

TEST(InterpolateStepRespDataImpulse, BothLayoutsGiveTheSameImpulseAddingUpToTheRise) {
  // Response 3 as the third pair, its time axis padded with zeros (and junk values
  // beside the padding, which must not be read).
  const StepRespList shared = sharedList(3, 500);
  StepRespList pairs;
  for (int r = 1; r <= 3; ++r) {
    pairs.push_back(shared[0]);
    pairs.back().insert(pairs.back().end(), {0.0, 0.0});
    pairs.push_back(shared[r]);
    pairs.back().insert(pairs.back().end(), {7.0, 7.0});
  }
  // A repeated Setup switches the response.
  Rig sharedRig(shared, 3), pairRig(pairs, 3, false);
  ASSERT_TRUE(sharedRig.block.Setup(nullptr, sharedRig.messages));
  sharedRig.block.StepRespIndex = pairRig.block.StepRespIndex = 3;
  ASSERT_TRUE(sharedRig.Run() && pairRig.Run());
  EXPECT_EQ(pairRig.block.usablePointCount(), 500u);
  EXPECT_EQ(sharedRig.block.yDataOut.size(), static_cast<std::size_t>(499 * kPs / kTimeStep));
  EXPECT_EQ(sharedRig.block.yDataOut[0], 0.0);
  EXPECT_EQ(pairRig.block.yDataOut, sharedRig.block.yDataOut);
  EXPECT_NEAR(sumOf(pairRig.block.yDataOut), shared[3].back() - shared[3].front(), 1e-12);
}

TEST(InterpolateStepRespDataBypass, HandsOutTheRawRowsThenRepeatsTheLastUsableOne) {
  const std::vector<double> values = {0.25, 0.5, 0.75, 0.9, 0.95, 5.0};
  Rig rig({{0, 1 * kPs, 2 * kPs, 3 * kPs, 4 * kPs, 0}, values}, 1, false);
  rig.block.EnableInterpolation = rig.block.DifferentiateData = 0;
  ASSERT_TRUE(rig.Run());
  EXPECT_TRUE(rig.block.yDataOut.empty());
  for (std::size_t n = 0; n < 8; ++n) {
    rig.block.Run(rig.messages);
    EXPECT_EQ(rig.block.Time, rig.list[0][std::min<std::size_t>(n, 4)]);
    EXPECT_EQ(rig.block.Out, values[std::min<std::size_t>(n, 4)]);
  }
  EXPECT_EQ(rig.messages.str(), "");
}

TEST(InterpolateStepRespDataImpulse, ModelsListGivesFullLengthImpulsesSummingToTheFinalValues) {
  // As the model lays it out: vector 0 the time axis, then one vector per column.
  StepRespList list(kStepResponseColumns, std::vector<double>(kStepResponseRows));
  for (int i = 0; i < kStepResponseRows * kStepResponseColumns; ++i)
    list[i % kStepResponseColumns][i / kStepResponseColumns] = StepResponseTable[i];
  Rig rig(list, kNumStepResponses);  // BitRate and SamplesPerBit keep 28 Gb/s and 32
  for (int index = 1; index <= kNumStepResponses; ++index) {
    rig.block.StepRespIndex = index;
    ASSERT_TRUE(rig.Run()) << rig.messages.str();
    ASSERT_EQ(rig.block.yDataOut.size(), 2006u) << "response " << index;
    EXPECT_EQ(rig.block.yDataOut[0], 0.0);
    EXPECT_NEAR(sumOf(rig.block.yDataOut), list[index].back(), 1e-12) << "response " << index;
  }
  EXPECT_EQ(rig.messages.str(), "");
}

}  // namespace
}  // namespace norvask
