#include "dsp/ImpulseOperations.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace norvask {
namespace {

TEST(ImpulseOperations, EyeCentreComesFromTheLastCrossingsOrTheFirstMaximum) {
  // {window, centre, level}: the unit impulse at 4 samples per bit (rise 2, fall 5); an open region
  // that wraps, (8 + 1 + 5) / 2; the last of several crossings; 0 counts as closed; no crossing
  // pair takes the first maximum from index 1 on; a closed eye is reported.
  const std::tuple<std::vector<double>, int, double> cases[] = {
      {{-0.5, -0.5, 0.5, 0.5, 0.5, 0.5, -0.5, -0.5}, 3, 0.5},
      {{1, 1, -1, -1, -1, 1, 1, 2}, 7, 2},
      {{-1, 1, -1, 1, 2, 1, -1, -1}, 4, 2},
      {{0, 0, 1, 3, 0, 0, 0, 0}, 2, 1},
      {{5, 1, 2, 3, 3, 1, 1, 1}, 3, 3},
      {{-3, -2, -1, -2, -3, -4, -5, -6}, 2, -1}};
  for (const auto& [window, centre, level] : cases) {
    double found = 0.0;
    EXPECT_EQ(ImpulseOperations::FindEyeCenter(window, found), centre);
    EXPECT_EQ(found, level);
  }
}

TEST(ImpulseOperations, LevelsAreReadAtTheEyeCentreOfTheAnalysis) {
  ImpulseOperations operations(nullptr);
  double bc = 42.0, wc = 43.0;
  std::ostringstream messages;
  // Refused input writes its message and leaves the levels alone.
  EXPECT_FALSE(operations.determineEyeBcWcUpperLevels({1.0}, 0, 0.5, bc, wc, messages));
  EXPECT_FALSE(operations.determineEyeBcWcUpperLevels({1.0}, 4, 0.0, bc, wc, messages));
  EXPECT_FALSE(operations.determineEyeBcWcUpperLevels({}, 4, 0.5, bc, wc, messages));
  EXPECT_TRUE(bc == 42.0 && wc == 43.0);
  EXPECT_EQ(messages.str(),
            "SamplesPerBit must be an integer >= 1.\nLogicLevel must be > 0.\n"
            "There must be at least one Impulse array value.\n");
  // The unit impulse again; [-1] is scanned negated: the centre wraps to (8 + 1 + 6) / 2.
  ASSERT_TRUE(operations.determineEyeBcWcUpperLevels({1.0}, 4, 0.5, bc, wc, messages));
  EXPECT_TRUE(bc == 0.5 && wc == 0.5);
  ASSERT_TRUE(operations.determineEyeBcWcUpperLevels({-1.0}, 4, 0.5, bc, wc, messages));
  EXPECT_TRUE(bc == -0.5 && wc == 0.5);
  EXPECT_EQ(operations.eyeLevelCallCount(), 5);
}

}  // namespace
}  // namespace norvask
