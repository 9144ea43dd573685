// The model room: the impulse matrix for AMI_Init, refused before it passes the memory budget.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "host/model/ModelRun.h"
#include "support/HostStatus.h"

namespace norvask::host {
namespace {

using testing::failure;

TEST(ModelRun, TheImpulseMatrixIsRefusedJustOverItsRowAndValueLimits) {
  // 2^22 rows and 2^23 values: one sample of each response, the rest padding.
  const std::string limits =
      " columns exceeds the limits of 4194304 rows and 8388608 values; shorten the responses or "
      "use fewer aggressors";
  const struct {
    std::size_t channelSamples, aggressorSamples, aggressors;
    double tailSamples;
    std::string refusal;
  } cases[] = {
      {1, 1, 0, 4194303, "<ok>"},
      {1, 1, 0, 4194304, "the impulse matrix of 4194305 rows x 1" + limits},
      {2, 1, 0, 4194303, "the impulse matrix of 4194305 rows x 1" + limits},
      {1, 3, 1, 4194301, "<ok>"},
      {1, 4, 1, 4194301, "the impulse matrix of 4194305 rows x 2" + limits},
      {1, 1, 2, 2796201, "<ok>"},
      {1, 1, 2, 2796202, "the impulse matrix of 2796203 rows x 3" + limits},
      {1, 1, 7, 1048575, "<ok>"},
      {1, 1, 8, 1048575, "the impulse matrix of 1048576 rows x 9" + limits},
  };
  for (const auto& c : cases) {
    ChannelSet channels;
    channels.channel.assign(c.channelSamples, 1.0);
    channels.aggressors.assign(c.aggressors, std::vector<double>(c.aggressorSamples, 1.0));
    EXPECT_EQ(failure(checkMatrixSize(channels, c.tailSamples)), c.refusal)
        << c.aggressors << " aggressors, " << c.tailSamples << " rows of padding";
  }
}

}  // namespace
}  // namespace norvask::host
