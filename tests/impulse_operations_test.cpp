#include "dsp/ImpulseOperations.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "blocks/ImpulseToWorstCaseEye.h"

namespace norvask {
namespace {

TEST(ImpulseOperations, SingleSampleImpulseWorkedExample) {
  ImpulseOperations operations;
  double bc = 0.0, wc = 0.0;
  std::ostringstream messages;
  ASSERT_TRUE(operations.determineEyeBcWcUpperLevels({1.0}, 4, 0.5, bc, wc, messages));
  EXPECT_EQ(bc, 0.5);
  EXPECT_EQ(wc, 0.5);
  EXPECT_EQ(wc / bc, 1.0);
  EXPECT_EQ(messages.str(), "");
}

TEST(ImpulseOperations, EyeCenterComesFromTheLastCrossings) {
  double level = 0.0;
  // The worked example's window: rise at 2, fall at 5.
  EXPECT_EQ(ImpulseOperations::findEyeCenter({-0.5, -0.5, 0.5, 0.5, 0.5, 0.5, -0.5, -0.5}, level),
            3);
  EXPECT_EQ(level, 0.5);

  // Last rise at 5, last fall at 1: the open region wraps, (8 + 1 + 5) / 2 = 7.
  EXPECT_EQ(ImpulseOperations::findEyeCenter({1, 1, -1, -1, -1, 1, 1, 2}, level), 7);
  EXPECT_EQ(level, 2);

  // Rises at 1 and 3, falls at 1 and 5: the last of each count, (3 + 5) / 2.
  EXPECT_EQ(ImpulseOperations::findEyeCenter({-1, 1, -1, 1, 2, 1, -1, -1}, level), 4);
  EXPECT_EQ(level, 2);

  // A level of exactly 0 counts as closed: rise at 2, fall at 3.
  EXPECT_EQ(ImpulseOperations::findEyeCenter({0, 0, 1, 3, 0, 0, 0, 0}, level), 2);
  EXPECT_EQ(level, 1);

  // No crossing pair: the first maximum of indices 1 and up, never index 0.
  EXPECT_EQ(ImpulseOperations::findEyeCenter({5, 1, 2, 3, 3, 1, 1, 1}, level), 3);
  EXPECT_EQ(level, 3);

  // A closed eye is reported, not refused: its best level is negative.
  EXPECT_EQ(ImpulseOperations::findEyeCenter({-3, -2, -1, -2, -3, -4, -5, -6}, level), 2);
  EXPECT_EQ(level, -1);
}

TEST(ImpulseOperations, RefusedInputLeavesOutValuesAlone) {
  struct Case {
    std::vector<double> impulse;
    std::int32_t samplesPerBit;
    double logicLevel;
    const char* message;
  };
  const Case cases[] = {
      {{1.0}, 0, 0.5, "SamplesPerBit must be an integer >= 1.\n"},
      {{1.0}, 4, 0.0, "LogicLevel must be > 0.\n"},
      {{}, 4, 0.5, "There must be at least one Impulse array value.\n"},
  };
  for (const Case& c : cases) {
    ImpulseOperations operations;
    double bc = 42.0, wc = 43.0;
    std::ostringstream messages;
    EXPECT_FALSE(operations.determineEyeBcWcUpperLevels(c.impulse, c.samplesPerBit, c.logicLevel,
                                                        bc, wc, messages));
    EXPECT_EQ(messages.str(), c.message);
    EXPECT_EQ(bc, 42.0);
    EXPECT_EQ(wc, 43.0);
  }
}

TEST(ImpulseOperations, NegativeImpulseIsScannedInItsNegatedForm) {
  // [-1] comes back as the worked example's window negated,
  // [.5 .5 -.5 -.5 -.5 -.5 .5 .5], best-case levels all -0.5: the last fall is
  // at 1 and the last rise at 6, so the centre wraps to (8 + 1 + 6) / 2 = 7.
  ImpulseOperations operations;
  double bc = 0.0, wc = 0.0;
  std::ostringstream messages;
  ASSERT_TRUE(operations.determineEyeBcWcUpperLevels({-1.0}, 4, 0.5, bc, wc, messages));
  EXPECT_EQ(wc, 0.5);
  EXPECT_EQ(bc, -0.5);
}

TEST(ImpulseOperations, LevelsComeFromTheEyeCentreOfTheAnalysis) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> length(1, 40);
  std::uniform_real_distribution<double> value(-0.3, 1.0);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<double> impulse(length(rng));
    for (double& v : impulse)
      v = value(rng);
    impulse[0] = 2.0;  // a positive main cursor
    ImpulseOperations operations;
    double bc = 0.0, wc = 0.0;
    std::ostringstream messages;
    ASSERT_TRUE(
        operations.determineEyeBcWcUpperLevels(impulse, 1 + trial % 8, 0.5, bc, wc, messages));
    EXPECT_GE(bc, wc);

    // Both levels are read at the same place: the centre of the block's window.
    std::vector<double> wcUpper, wcLower, bcUpper, bcLower;
    ImpulseToWorstCaseEye eye;
    eye.Impulse = &impulse;
    eye.SamplesPerBit = 1 + trial % 8;
    eye.WcUpperLevels = &wcUpper;
    eye.WcLowerLevels = &wcLower;
    eye.BcUpperLevels = &bcUpper;
    eye.BcLowerLevels = &bcLower;
    ASSERT_TRUE(eye.Setup(nullptr, messages) && eye.Initialize(messages));
    double centreLevel = 0.0;
    const std::int32_t centre = ImpulseOperations::findEyeCenter(wcUpper, centreLevel);
    EXPECT_EQ(wc, centreLevel);
    EXPECT_EQ(bc, bcUpper[centre]);
  }
}

TEST(ImpulseOperations, TracesOncePerObject) {
  const std::string path = ::testing::TempDir() + "impulse_operations_trace.txt";
  {
    TraceStream trace(path);
    double bc = 0.0, wc = 0.0;
    std::ostringstream messages;
    ImpulseOperations first(&trace);
    first.determineEyeBcWcUpperLevels({1.0}, 4, 0.5, bc, wc, messages);
    first.determineEyeBcWcUpperLevels({1.0}, 4, 0.5, bc, wc, messages);
    EXPECT_EQ(first.eyeLevelCallCount(), 2);
    ImpulseOperations second(&trace);
    second.determineEyeBcWcUpperLevels({}, 4, 0.5, bc, wc, messages);
  }
  std::ifstream written(path);
  const std::string text((std::istreambuf_iterator<char>(written)),
                         std::istreambuf_iterator<char>());
  EXPECT_EQ(text,
            "Quennavik::ImpulseOperations::determineEyeBcWcUpperLevels\n"
            "Quennavik::ImpulseOperations::determineEyeBcWcUpperLevels\n");
}

}  // namespace
}  // namespace norvask
