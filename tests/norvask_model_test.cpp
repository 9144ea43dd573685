// The transmitter model's own phases: the list it builds from the table, the
// settings it hands the equalizer, and its lifecycle over several columns.
#include <gtest/gtest.h>

#include "ami/Norvask.h"
#include "data/StepResponseTable.h"
#include "support/DriverTaps.h"

namespace norvask::testing {
namespace {

TEST(StepResponseList, HoldsTheTimeAxisAndEveryResponseStartingAtZero) {
  StepRespList list;
  buildStepResponseList(list);
  ASSERT_EQ(list.size(), 17u);
  for (int k = 0; k < kStepResponseColumns; ++k) {
    ASSERT_EQ(list[k].size(), 2240u);
    for (int i = 0; i < kStepResponseRows; ++i) {
      ASSERT_EQ(list[k][i], StepResponseTable[17 * i + k] - StepResponseTable[k]);
    }
  }
  EXPECT_EQ(list[2][2239], 0.4292749577);
}

TEST(NorvaskModel, RunsColumnAfterColumnFromTheSameState) {
  Norvask model;
  model.txi = 3;  // as the driver leaves it for the parameter value 2
  model.OutputGain = -2.0;
  const std::vector<double> taps = DriverTaps(3);
  for (int column = 0; column < 2; ++column) {
    ASSERT_TRUE(model.Setup());
    EXPECT_TRUE(model.hasStepResponseList());
    ASSERT_TRUE(model.Initialize());
    for (std::size_t i = 0; i < 10; ++i) {
      model.In = i == 0 ? 1.0 : 0.0;
      ASSERT_TRUE(model.Run());
      EXPECT_EQ(model.Out, -2.0 * taps[i]);
      EXPECT_EQ(model.Time, i * ((1.0 / 2.8e10) / 32));
    }
    EXPECT_TRUE(model.Finalize());
    EXPECT_FALSE(model.hasStepResponseList());
    EXPECT_TRUE(model.Finalize());  // a second Finalize in a row is harmless
  }
  EXPECT_EQ(model.messageStream.str(), "");
}

TEST(NorvaskModel, SetupFailureLeavesOnlyTheBlockMessage) {
  Norvask model;
  model.txi = 17;
  EXPECT_FALSE(model.Setup());
  EXPECT_EQ(model.messageStream.str(), "StepRespIndex must be an integer in the range [1, 16].\n");
  EXPECT_TRUE(model.Finalize());
  EXPECT_EQ(model.messageStream.str(), "");
}

}  // namespace
}  // namespace norvask::testing
