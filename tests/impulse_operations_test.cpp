#include "dsp/ImpulseOperations.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

namespace norvask {
namespace {

TEST(ImpulseOperations, EyeCentreComesFromTheLastCrossingsOrTheFirstMaximum) {
  // {window, centre, level}: the unit impulse at S = 4 (rise 2, fall 5); a region that wraps,
  // (8 + 1 + 5) / 2; the last crossings count; 0 is closed; no pair: first maximum from 1 on.
  const std::tuple<std::vector<double>, int, double> cases[] = {
      {{-0.5, -0.5, 0.5, 0.5, 0.5, 0.5, -0.5, -0.5}, 3, 0.5},
      {{1, 1, -1, -1, -1, 1, 1, 2}, 7, 2},
      {{-1, 1, -1, 1, 2, 1, -1, -1}, 4, 2},
      {{0, 0, 1, 3, 0, 0, 0, 0}, 2, 1},
      {{5, 1, 2, 3, 3, 1, 1, 1}, 3, 3}};
  for (const auto& [window, centre, level] : cases) {
    double found = 0.0;
    EXPECT_EQ(ImpulseOperations::FindEyeCenter(window, found), centre);
    EXPECT_EQ(found, level);
  }
}

}  // namespace
}  // namespace norvask
