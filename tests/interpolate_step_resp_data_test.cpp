#include "blocks/InterpolateStepRespData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "data/StepResponseTable.h"

namespace norvask {
namespace {

constexpr double kPs = 1e-12;

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
  Rig rig({}, 16);
  rig.block.BitRate = 0.0;
  rig.block.SamplesPerBit = rig.block.StepRespIndex = 0;
  rig.block.EnableInterpolation = rig.block.DifferentiateData = 2;
  rig.block.InterpolationType = rig.block.StepData = -1;
  EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages));
  EXPECT_EQ(rig.messages.str(),
            "BitRate must be a positive number.\nSamplesPerBit must be a positive integer.\n"
            "Step response index must be an integer in the range [1, 16].\n"
            "EnableInterpolation must be an integer in the range [0, 1].\n"
            "InterpolationType must be an integer in the range [0, 2].\n"
            "DifferentiateData must be an integer in the range [0, 1].\n"
            "StepData must be an integer in the range [0, 1].\n"
            "StepResp_data_values must not be an empty array.\n");
}

TEST(InterpolateStepRespDataSetup, RefusesListsTheLayoutCannotRead) {
  const std::string tooFew = "At least 4 step response values are required.\n";
  auto list = [](std::size_t vectors, std::size_t rows) {
    return StepRespList(vectors, std::vector<double>(rows, 1.0));
  };
  StepRespList otherLengths = list(17, 40), emptyFirst = list(17, 4);
  emptyFirst[0].clear();
  otherLengths[9].pop_back();
  // {list, NumStepResp, SharedTimeAxis, messages}
  const std::tuple<StepRespList, int, bool, std::string> cases[] = {
      {emptyFirst, 16, true, "StepResp_data_values[0][0] array size must be > 0.\n"},
      {list(3, 40), 0, true,
       "Step response index must be an integer in the range [1, 0].\n"
       "NumStepResp must be an integer > 0.\n"},
      {otherLengths, 16, true,
       "Number of rows for StepResp_data_values[9] is not the same as for "
       "StepResp_data_values[0].\n"},
      {list(10, 40), 16, true,
       "StepResp_data_values must hold 17 vectors for 16 step responses, but it holds 10.\n"},
      {list(2, 3), 1, true, tooFew},
      // Own axes: padding after the last positive time does not count.
      {{{0, 1 * kPs, 2 * kPs, 0, 0, 0}, {0, 0.1, 0.4, 0.8, 0.9, 0.95}}, 1, false, tooFew}};
  for (const auto& [data, responses, shared, expected] : cases) {
    Rig rig(data, responses, shared);
    EXPECT_FALSE(rig.block.Setup(nullptr, rig.messages)) << expected;
    EXPECT_EQ(rig.messages.str(), expected);
  }
}

TEST(InterpolateStepRespDataImpulse, ModelsListGivesFullLengthImpulsesAddingUpToTheFinalValues) {
  StepRespList list(kStepResponseColumns, std::vector<double>(kStepResponseRows));
  for (int i = 0; i < kStepResponseRows * kStepResponseColumns; ++i)
    list[i % kStepResponseColumns][i / kStepResponseColumns] = StepResponseTable[i];
  // Every response: 2239 ps on the default grid of 1 / (28 Gb/s * 32) = 1.116 ps
  // gives 2006 taps, adding up to the final value (the steps start at 0).
  Rig model(list, kNumStepResponses);
  for (int index = 1; index <= kNumStepResponses; ++index) {
    model.block.StepRespIndex = index;
    ASSERT_TRUE(model.Run()) << model.messages.str();
    ASSERT_EQ(model.block.yDataOut.size(), 2006u) << "response " << index;
    EXPECT_EQ(model.block.yDataOut[0], 0.0);
    const std::vector<double>& taps = model.block.yDataOut;
    EXPECT_NEAR(std::accumulate(taps.begin(), taps.end(), 0.0), list[index].back(), 1e-12);
  }
}

// A block keeps its last result when the inputs are unchanged, so a second run
// must still see every change that a fresh block would.
TEST(InterpolateStepRespDataRerun, ASecondRunAgreesWithAFreshBlockAfterAnyChange) {
  const std::vector<double> time = {0, 1 * kPs, 2 * kPs, 3 * kPs, 4 * kPs, 5 * kPs, 6 * kPs};
  const std::vector<double> step = {0, 0.1, 0.4, 0.7, 0.9, 0.97, 1.0};
  const struct {
    const char* change;
    void (*apply)(Rig&);
  } rows[] = {{"none", [](Rig&) {}},
              {"a value", [](Rig& r) { r.list[1][3] = 0.75; }},
              {"a time", [](Rig& r) { r.list[0][3] = 3.5 * kPs; }},
              {"the bit rate", [](Rig& r) { r.block.BitRate = 1.5e11; }},
              {"the kernel", [](Rig& r) { r.block.InterpolationType = 0; }},
              {"no differences", [](Rig& r) { r.block.DifferentiateData = 0; }}};
  for (const auto& row : rows) {
    Rig rig({time, step}, 1), fresh({time, step}, 1);
    for (Rig* r : {&rig, &fresh}) {
      r->block.BitRate = 1e11;
      r->block.SamplesPerBit = 16;
    }
    ASSERT_TRUE(rig.Run()) << rig.messages.str();
    row.apply(rig);
    row.apply(fresh);
    ASSERT_TRUE(rig.Run()) << row.change;
    ASSERT_TRUE(fresh.Run()) << row.change;
    EXPECT_EQ(rig.block.yDataOut, fresh.block.yDataOut) << row.change;
    EXPECT_GT(rig.block.yDataOut.size(), 4u) << row.change;
  }
}

TEST(InterpolateStepRespDataBypass, HandsOutTheRawRowsThenRepeatsTheLastUsableOne) {
  const std::vector<double> values = {0.25, 0.5, 0.75, 0.9, 0.95, 5.0};
  Rig rig({{0, 1 * kPs, 2 * kPs, 3 * kPs, 4 * kPs, 0}, values}, 1, false);
  rig.block.EnableInterpolation = rig.block.DifferentiateData = 0;
  ASSERT_TRUE(rig.Run());
  EXPECT_TRUE(rig.block.yDataOut.empty());
  for (std::size_t n = 0; n < 7; ++n) {
    rig.block.Run(rig.messages);
    EXPECT_EQ(rig.block.Time, rig.list[0][std::min<std::size_t>(n, 4)]);
    EXPECT_EQ(rig.block.Out, values[std::min<std::size_t>(n, 4)]);
  }
  EXPECT_EQ(rig.messages.str(), "");
}

}  // namespace
}  // namespace norvask
