#include "blocks/ImpulseToWorstCaseEye.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace norvask {
namespace {

std::vector<double> negated(std::vector<double> values) {
  std::transform(values.begin(), values.end(), values.begin(), std::negate<>());
  return values;
}

// One analysis with all four level arrays attached.
struct EyeAnalysis {
  ImpulseToWorstCaseEye eye;
  std::vector<double> wcUpper, wcLower, bcUpper, bcLower;
  std::ostringstream messages;

  bool Run(const std::vector<double>& impulse, std::int32_t samplesPerBit, double logicLevel,
           std::int32_t normalization = 0) {
    eye.Impulse = &impulse;
    eye.SamplesPerBit = samplesPerBit;
    eye.LogicLevel = logicLevel;
    eye.Normalization = normalization;
    eye.WcUpperLevels = &wcUpper;
    eye.WcLowerLevels = &wcLower;
    eye.BcUpperLevels = &bcUpper;
    eye.BcLowerLevels = &bcLower;
    return eye.Setup(nullptr, messages) && eye.Initialize(messages);
  }
  // Every output, the levels negated when `negate` (the indices never are).
  std::vector<double> Outputs(bool negate = false) const {
    std::vector<double> all;
    for (const auto* levels : {&wcUpper, &wcLower, &bcUpper, &bcLower})
      for (double level : negate ? negated(*levels) : *levels)
        all.push_back(level);
    for (std::int32_t index : {eye.EyeRiseIndex, eye.EyeFallIndex, eye.EyeLeftIndex,
                               eye.EyeRightIndex, eye.EyeCenterIndex, eye.EyeCenterPhase})
      all.push_back(index);
    return all;
  }
};

// Random impulse of 1..maxLength values in [-1, 1) whose largest magnitude is positive.
std::vector<double> randomImpulse(std::mt19937& rng, std::size_t maxLength) {
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> impulse(1 + rng() % maxLength);
  for (double& value : impulse)
    value = dist(rng);
  const double peak = *std::max_element(impulse.begin(), impulse.end(), [](double a, double b) {
    return std::fabs(a) < std::fabs(b);
  });
  return peak < 0.0 ? negated(impulse) : impulse;
}

// Received signal of one bit: the impulse summed over the bit's S samples
// ending at t, scaled by the logic level.
std::vector<double> bitResponse(const std::vector<double>& impulse, int s, double logicLevel) {
  const int n = static_cast<int>(impulse.size());
  std::vector<double> response(n + s, 0.0);
  for (int t = 0; t < n + s; ++t)
    for (int m = std::max(0, t - s + 1); m <= std::min(t, n - 1); ++m)
      response[t] += impulse[m] * logicLevel;
  return response;
}

// Lowest and highest value sampled at `position` (relative to the start of the
// cursor bit, which is +1) over every +1/-1 pattern of the other bits.
std::pair<double, double> bruteForceLevels(const std::vector<double>& response, int s,
                                           int position) {
  const int length = static_cast<int>(response.size());
  std::vector<double> cursor, others;
  for (int bit = -length; bit <= length; ++bit) {
    const int offset = position - bit * s;
    if (offset >= 0 && offset < length)
      (bit == 0 ? cursor : others).push_back(response[offset]);
  }
  double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
  for (std::uint32_t pattern = 0; pattern < (1u << others.size()); ++pattern) {
    double value = cursor.empty() ? 0.0 : cursor[0];
    for (std::size_t k = 0; k < others.size(); ++k)
      value += ((pattern >> k) & 1u) ? others[k] : -others[k];
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
  }
  return {lowest, highest};
}

TEST(ImpulseToWorstCaseEye, UnitImpulseWithAndWithoutNormalization) {
  // The first window [-.5 -.5 -.5 .5 .5 .5 .5 -.5] is open from 3 to 6, so it
  // moves one sample right onto the centre. Normalization divides by the best case 0.5.
  for (std::int32_t normalization : {0, 1}) {
    EyeAnalysis analysis;
    ASSERT_TRUE(analysis.Run({1.0}, 4, 0.5, normalization));
    const double h = normalization ? 1.0 : 0.5;
    EXPECT_EQ(analysis.Outputs(),
              (std::vector<double>{-h, -h, h,  h,  h,  h,  -h, -h,  // wcUpper
                                   h,  h,  -h, -h, -h, -h, h,  h,   // wcLower
                                   h,  h,  h,  h,  h,  h,  h,  h,   // bcUpper
                                   -h, -h, -h, -h, -h, -h, -h, -h, 2, 5, 3, 6, 4, 1}));
    EXPECT_EQ(analysis.eye.EyeCenterOffset, 1);
    EXPECT_EQ(analysis.messages.str(), "");
  }
}

TEST(ImpulseToWorstCaseEye, LevelsEqualBruteForceOverBitPatterns) {
  std::mt19937 rng(20261206);
  std::uniform_real_distribution<double> level(0.1, 2.0);
  for (int trial = 0; trial < 600; ++trial) {
    const std::vector<double> impulse = randomImpulse(rng, 6);
    const int s = 1 + static_cast<int>(rng() % 4);
    const double logicLevel = level(rng);
    EyeAnalysis analysis;
    ASSERT_TRUE(analysis.Run(impulse, s, logicLevel));
    // The window starts S - 1 samples before the cursor (the first peak of the bit
    // response) and follows the eye centre when that lies within half a bit.
    const std::vector<double> response = bitResponse(impulse, s, logicLevel);
    const int cursor = std::max_element(response.begin(), response.end()) - response.begin();
    const int offset = analysis.eye.EyeCenterOffset;
    const bool moved = offset != 0 && offset >= -(s / 2) && offset < s / 2;
    const int start = cursor - s + 1 + (moved ? offset : 0);
    ASSERT_EQ(analysis.wcUpper.size(), 2u * s);
    for (int i = 2 * s - 1; i >= 0; --i) {
      const auto [lowest, highest] = bruteForceLevels(response, s, start + i);
      SCOPED_TRACE("trial " + std::to_string(trial) + " index " + std::to_string(i));
      ASSERT_NEAR(analysis.wcUpper[i], lowest, 1e-12);
      ASSERT_NEAR(analysis.bcUpper[i], highest, 1e-12);
      ASSERT_EQ(analysis.wcLower[i], -analysis.wcUpper[i]);
      ASSERT_EQ(analysis.bcLower[i], -analysis.bcUpper[i]);
    }
  }
}

TEST(ImpulseToWorstCaseEye, NegativePeakGivesExactlyTheNegatedLevelsOfItsNegation) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 300; ++trial) {
    const std::vector<double> impulse = randomImpulse(rng, 12);
    const int s = 1 + static_cast<int>(rng() % 6);
    EyeAnalysis positive, negative;
    ASSERT_TRUE(positive.Run(impulse, s, 0.5, trial % 2));
    ASSERT_TRUE(negative.Run(negated(impulse), s, 0.5, trial % 2));
    EXPECT_EQ(positive.eye.ImpulseInverted, 0);
    EXPECT_EQ(negative.eye.ImpulseInverted, 1);
    EXPECT_EQ(negative.Outputs(), positive.Outputs(true)) << "trial " << trial;
  }
  // Equal magnitudes of opposite sign: the first value decides.
  EyeAnalysis tie;
  ASSERT_TRUE(tie.Run({-1.0, 1.0}, 2, 0.5));
  EXPECT_EQ(tie.eye.ImpulseInverted, 1);

  // A lone best-case array is not filled, but it is negated like the others.
  const std::vector<double> impulse{-1.0};
  std::vector<double> wcUpper, wcLower, bcUpper{1.0, 2.0};
  ImpulseToWorstCaseEye eye;
  eye.Impulse = &impulse;
  eye.SamplesPerBit = 1;
  eye.WcUpperLevels = &wcUpper;
  eye.WcLowerLevels = &wcLower;
  eye.BcUpperLevels = &bcUpper;
  std::ostringstream messages;
  ASSERT_TRUE(eye.Setup(nullptr, messages) && eye.Initialize(messages));
  EXPECT_EQ(bcUpper, (std::vector<double>{-1.0, -2.0}));
}

TEST(ImpulseToWorstCaseEye, SetupAndInitializeReportEveryInvalidSetting) {
  const std::string notSetUp =
      "ImpulseToWorstCaseEye must be set up with valid settings before Initialize.\n";
  const std::string noImpulse = "There must be at least one Impulse array value.\n";
  auto expectRefused = [](std::vector<double> impulse, std::int32_t samplesPerBit,
                          double logicLevel, std::int32_t normalization, std::string expected) {
    EyeAnalysis analysis;
    EXPECT_FALSE(analysis.Run(impulse, samplesPerBit, logicLevel, normalization));
    EXPECT_FALSE(analysis.eye.Initialize(analysis.messages));
    EXPECT_EQ(analysis.messages.str(), expected);
  };
  expectRefused({1.0}, 0, 0.0, 2,
                "SamplesPerBit must be an integer >= 1.\nLogicLevel must be > 0.\n"
                "Normalization must be either 0 or 1.\n" +
                    notSetUp);
  expectRefused({}, 4, 0.5, 0, noImpulse + noImpulse);
  // Without its worst-case arrays (or its impulse) the block refuses instead of writing nowhere.
  ImpulseToWorstCaseEye eye;
  std::ostringstream messages;
  EXPECT_FALSE(eye.Setup(nullptr, messages));
  std::vector<double> upper, lower;
  eye.WcUpperLevels = &upper;
  eye.WcLowerLevels = &lower;
  EXPECT_TRUE(eye.Setup(nullptr, messages));
  EXPECT_FALSE(eye.Initialize(messages));
  EXPECT_EQ(messages.str(), "WcUpperLevels and WcLowerLevels must both be given.\n" + noImpulse);
}

}  // namespace
}  // namespace norvask
