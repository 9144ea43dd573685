// The interpolation block on the model's own step-response list at the model's
// default rates: every response becomes a 2006-sample impulse that starts at 0
// and adds up to the step's final value.
#include <gtest/gtest.h>

#include <numeric>

#include "blocks/InterpolateStepRespData.h"
#include "data/StepResponseTable.h"

namespace norvask {
namespace {

TEST(InterpolateStepTable, EveryResponseBecomesAFullLengthImpulseSummingToItsFinalValue) {
  // As the model lays it out: vector 0 the time axis, then one vector per column.
  StepRespList list(kStepResponseColumns, std::vector<double>(kStepResponseRows));
  for (int i = 0; i < kStepResponseRows * kStepResponseColumns; ++i)
    list[i % kStepResponseColumns][i / kStepResponseColumns] = StepResponseTable[i];
  InterpolateStepRespData block;
  block.StepResp_data_values = &list;
  block.NumStepResp = kNumStepResponses;
  block.SharedTimeAxis = 1;  // BitRate and SamplesPerBit keep the defaults, 28 Gb/s and 32
  for (int index = 1; index <= kNumStepResponses; ++index) {
    std::ostringstream messages;
    block.StepRespIndex = index;
    ASSERT_TRUE(block.Setup(nullptr, messages) && block.Initialize(messages)) << messages.str();
    EXPECT_EQ(messages.str(), "");
    const std::vector<double>& impulse = block.yDataOut;
    ASSERT_EQ(impulse.size(), 2006u) << "response " << index;
    EXPECT_EQ(impulse[0], 0.0);
    EXPECT_NEAR(std::accumulate(impulse.begin(), impulse.end(), 0.0), list[index].back(), 1e-12)
        << "response " << index;
  }
}

}  // namespace
}  // namespace norvask
