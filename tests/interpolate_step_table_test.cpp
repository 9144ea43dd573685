// The interpolation block on the model's own step-response list, at the
// model's default rates: every response becomes a 2006-sample impulse that
// starts at 0 and adds up to the step's final value.
#include <gtest/gtest.h>

#include <cstddef>
#include <numeric>
#include <sstream>
#include <vector>

#include "blocks/InterpolateStepRespData.h"
#include "data/StepResponseTable.h"

namespace norvask {
namespace {

// The list as the model lays it out: vector 0 the time axis, then one vector
// per response, each a column of the table.
StepRespList ModelList() {
  StepRespList list(kStepResponseColumns, std::vector<double>(kStepResponseRows));
  for (int row = 0; row < kStepResponseRows; ++row) {
    for (int column = 0; column < kStepResponseColumns; ++column) {
      list[column][row] = StepResponseTable[row * kStepResponseColumns + column];
    }
  }
  return list;
}

TEST(InterpolateStepTable, EveryResponseBecomesAFullLengthImpulseSummingToItsFinalValue) {
  const StepRespList list = ModelList();
  InterpolateStepRespData block;
  block.StepResp_data_values = &list;
  block.NumStepResp = kNumStepResponses;
  block.SharedTimeAxis = 1;
  block.BitRate = 28e9;
  block.SamplesPerBit = 32;
  for (int index = 1; index <= kNumStepResponses; ++index) {
    std::ostringstream messages;
    block.StepRespIndex = index;
    ASSERT_TRUE(block.Setup(nullptr, messages)) << messages.str();
    ASSERT_TRUE(block.Initialize(messages)) << messages.str();
    EXPECT_EQ(messages.str(), "");
    const std::vector<double>& impulse = block.yDataOut;
    ASSERT_EQ(impulse.size(), 2006u) << "response " << index;
    EXPECT_EQ(impulse[0], 0.0);
    const double rise = list[index].back() - list[index].front();
    EXPECT_NEAR(std::accumulate(impulse.begin(), impulse.end(), 0.0), rise, 1e-12)
        << "response " << index;
    block.Finalize();
  }
  // The recorded rises of the first and the last response.
  EXPECT_NEAR(list[1].back() - list[1].front(), 0.3301172764, 1e-10);
  EXPECT_NEAR(list[16].back() - list[16].front(), 0.9709394817, 1e-10);
}

}  // namespace
}  // namespace norvask
