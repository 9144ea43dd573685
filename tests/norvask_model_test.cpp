// The transmitter model's lifecycle over several columns: every Setup builds
// the list anew, every Finalize releases it, and a second Finalize is harmless.
#include <gtest/gtest.h>

#include "ami/Norvask.h"
#include "support/DriverTaps.h"

namespace norvask::testing {
namespace {

TEST(NorvaskModel, RunsColumnAfterColumnFromTheSameState) {
  Norvask model;
  model.txi = 3;  // as the driver leaves it for the parameter value 2
  model.OutputGain = -2.0;
  const std::vector<double> taps = driverTaps(3);
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

}  // namespace
}  // namespace norvask::testing
