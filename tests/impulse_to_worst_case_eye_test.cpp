#include "blocks/ImpulseToWorstCaseEye.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace norvask {
namespace {

// One analysis with all level arrays attached (best-case lower: if `bestCaseLower`).
struct EyeAnalysis {
  ImpulseToWorstCaseEye eye;
  std::vector<double> wcUpper, wcLower, bcUpper, bcLower;
  std::ostringstream messages;

  bool Run(const std::vector<double>& impulse, std::int32_t samplesPerBit, double logicLevel,
           std::int32_t normalization = 0, bool bestCaseLower = true) {
    eye.Impulse = &impulse;
    eye.SamplesPerBit = samplesPerBit;
    eye.LogicLevel = logicLevel;
    eye.Normalization = normalization;
    eye.WcUpperLevels = &wcUpper;
    eye.WcLowerLevels = &wcLower;
    eye.BcUpperLevels = &bcUpper;
    eye.BcLowerLevels = bestCaseLower ? &bcLower : nullptr;
    return eye.Setup(nullptr, messages) && eye.Initialize(messages);
  }
  // Every output, the levels times `sign` (the indices never change sign).
  std::vector<double> Outputs(double sign = 1.0) const {
    std::vector<double> all;
    for (const auto* levels : {&wcUpper, &wcLower, &bcUpper, &bcLower})
      for (double level : *levels)
        all.push_back(sign * level);
    for (std::int32_t index : {eye.EyeRiseIndex, eye.EyeFallIndex, eye.EyeLeftIndex,
                               eye.EyeRightIndex, eye.EyeCenterIndex, eye.EyeCenterPhase})
      all.push_back(index);
    return all;
  }
};

TEST(ImpulseToWorstCaseEye, UnitImpulseAndEveryInvalidSetting) {
  // The first window [-.5 -.5 -.5 .5 .5 .5 .5 -.5] is open from 3 to 6, so it moves one
  // sample right onto the centre. Normalization divides by the best case 0.5.
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
  EyeAnalysis bad;
  EXPECT_FALSE(bad.Run({1.0}, 0, 0.0, 2));
  EXPECT_FALSE(bad.eye.Initialize(bad.messages));
  EXPECT_EQ(bad.messages.str(),
            "SamplesPerBit must be an integer >= 1.\nLogicLevel must be > 0.\n"
            "Normalization must be either 0 or 1.\n"
            "ImpulseToWorstCaseEye must be set up with valid settings before Initialize.\n");
  EyeAnalysis empty;
  EXPECT_FALSE(empty.Run({}, 4, 0.5));
  EXPECT_EQ(empty.messages.str(), "There must be at least one Impulse array value.\n");
  EyeAnalysis upperOnly;
  upperOnly.eye.WcUpperLevels = &upperOnly.wcUpper;
  EXPECT_FALSE(upperOnly.eye.Setup(nullptr, upperOnly.messages));
  EXPECT_EQ(upperOnly.messages.str(), "WcUpperLevels and WcLowerLevels must both be given.\n");
}

TEST(ImpulseToWorstCaseEye, LevelsEqualBruteForceAndANegativePeakGivesTheNegatedLevels) {
  std::mt19937 rng(20261206);
  std::uniform_real_distribution<double> dist(-1.0, 1.0), level(0.1, 2.0);
  for (int trial = 0; trial < 400; ++trial) {
    // 1..6 values whose largest magnitude is positive, and their negation.
    std::vector<double> impulse(1 + rng() % 6), negative;
    for (double& value : impulse)
      value = dist(rng);
    impulse[rng() % impulse.size()] = 1.0;
    for (double value : impulse)
      negative.push_back(-value);
    const int s = 1 + static_cast<int>(rng() % 4), length = static_cast<int>(impulse.size()) + s;
    const double logicLevel = level(rng);
    EyeAnalysis analysis, inverted;
    ASSERT_TRUE(analysis.Run(impulse, s, logicLevel) && inverted.Run(negative, s, logicLevel));
    EXPECT_TRUE(analysis.eye.ImpulseInverted == 0 && inverted.eye.ImpulseInverted == 1);
    EXPECT_EQ(inverted.Outputs(), analysis.Outputs(-1.0)) << "trial " << trial;
    // The signal of one +1 bit: the impulse summed over the bit's S samples. The
    // window starts S - 1 samples before the cursor (its first peak) and follows
    // the eye centre when that lies within half a bit.
    std::vector<double> response(length, 0.0);
    for (int t = 0; t < length; ++t)
      for (int m = std::max(0, t - s + 1); m <= t && m < length - s; ++m)
        response[t] += impulse[m] * logicLevel;
    const int cursor = std::max_element(response.begin(), response.end()) - response.begin();
    const int offset = analysis.eye.EyeCenterOffset;
    const bool moved = offset != 0 && offset >= -(s / 2) && offset < s / 2;
    ASSERT_EQ(analysis.wcUpper.size(), 2u * s);
    for (int i = 0; i < 2 * s; ++i) {
      // The levels at the i-th window position over every +1/-1 pattern of the other bits.
      const int position = cursor - s + 1 + (moved ? offset : 0) + i;
      std::vector<double> others;
      for (int bit = -length; bit <= length; ++bit) {
        const int at = position - bit * s;
        if (bit != 0 && at >= 0 && at < length)
          others.push_back(response[at]);
      }
      double lowest = std::numeric_limits<double>::infinity(), highest = -lowest;
      for (std::uint32_t pattern = 0; pattern < (1u << others.size()); ++pattern) {
        double value = position >= 0 && position < length ? response[position] : 0.0;
        for (std::size_t k = 0; k < others.size(); ++k)
          value += ((pattern >> k) & 1u) ? others[k] : -others[k];
        lowest = std::min(lowest, value);
        highest = std::max(highest, value);
      }
      SCOPED_TRACE("trial " + std::to_string(trial) + " index " + std::to_string(i));
      ASSERT_NEAR(analysis.wcUpper[i], lowest, 1e-12);
      ASSERT_NEAR(analysis.bcUpper[i], highest, 1e-12);
      ASSERT_EQ(analysis.wcLower[i], -analysis.wcUpper[i]);
      ASSERT_EQ(analysis.bcLower[i], -analysis.bcUpper[i]);
    }
  }
  // Equal magnitudes of opposite sign: the first value decides. A lone
  // best-case array is not filled, but it is negated like the others.
  EyeAnalysis tie;
  tie.bcUpper = {1.0, 2.0};
  ASSERT_TRUE(tie.Run({-1.0, 1.0}, 1, 0.5, 0, false));
  EXPECT_EQ(tie.eye.ImpulseInverted, 1);
  EXPECT_EQ(tie.bcUpper, (std::vector<double>{-1.0, -2.0}));
}

}  // namespace
}  // namespace norvask
