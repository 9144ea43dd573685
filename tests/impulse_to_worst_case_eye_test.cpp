#include "blocks/ImpulseToWorstCaseEye.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace norvask {
namespace {

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
};

std::vector<double> Negated(std::vector<double> values) {
  for (double& value : values)
    value = -value;
  return values;
}

double Uniform(std::mt19937& rng, double low, double high) {
  return low + (high - low) * (static_cast<double>(rng()) / 4294967296.0);
}

// Random impulse of 1..maxLength values whose largest magnitude is positive.
std::vector<double> RandomImpulse(std::mt19937& rng, std::size_t maxLength) {
  std::vector<double> impulse(1 + rng() % maxLength);
  for (double& value : impulse)
    value = Uniform(rng, -1.0, 1.0);
  const auto peak = std::max_element(impulse.begin(), impulse.end(), [](double a, double b) {
    return std::fabs(a) < std::fabs(b);
  });
  return *peak < 0.0 ? Negated(impulse) : impulse;
}

// Received signal of one bit: the impulse summed over the bit's S samples
// ending at t, scaled by the logic level.
std::vector<double> BitResponse(const std::vector<double>& impulse, int samplesPerBit,
                                double logicLevel) {
  const int n = static_cast<int>(impulse.size());
  std::vector<double> response(impulse.size() + samplesPerBit, 0.0);
  for (int t = 0; t < n + samplesPerBit; ++t) {
    for (int m = std::max(0, t - samplesPerBit + 1); m <= std::min(t, n - 1); ++m) {
      response[t] += impulse[m];
    }
    response[t] *= logicLevel;
  }
  return response;
}

// Lowest and highest value sampled at `position` (relative to the start of the
// cursor bit, which is +1) over every +1/-1 pattern of the other bits that
// reach that sample.
void BruteForceLevels(const std::vector<double>& response, int samplesPerBit, int position,
                      double& lowest, double& highest) {
  const int length = static_cast<int>(response.size());
  std::vector<double> cursor, others;
  for (int bit = -length; bit <= length; ++bit) {
    const int offset = position - bit * samplesPerBit;
    if (offset < 0 || offset >= length)
      continue;
    (bit == 0 ? cursor : others).push_back(response[offset]);
  }
  lowest = std::numeric_limits<double>::infinity();
  highest = -lowest;
  for (std::uint32_t pattern = 0; pattern < (1u << others.size()); ++pattern) {
    double value = cursor.empty() ? 0.0 : cursor[0];
    for (std::size_t k = 0; k < others.size(); ++k) {
      value += ((pattern >> k) & 1u) ? others[k] : -others[k];
    }
    lowest = std::min(lowest, value);
    highest = std::max(highest, value);
  }
}

TEST(ImpulseToWorstCaseEye, SingleSampleImpulseWorkedExample) {
  EyeAnalysis analysis;
  ASSERT_TRUE(analysis.Run({1.0}, 4, 0.5));
  const ImpulseToWorstCaseEye& eye = analysis.eye;
  // The first window [-.5 -.5 -.5 .5 .5 .5 .5 -.5] is open from 3 to 6, so it
  // moves one sample right onto the centre.
  EXPECT_EQ(eye.EyeLeftIndex, 3);
  EXPECT_EQ(eye.EyeRightIndex, 6);
  EXPECT_EQ(eye.EyeCenterIndex, 4);
  EXPECT_EQ(eye.EyeCenterOffset, 1);
  const std::vector<double> moved = {-0.5, -0.5, 0.5, 0.5, 0.5, 0.5, -0.5, -0.5};
  EXPECT_EQ(analysis.wcUpper, moved);
  EXPECT_EQ(analysis.wcLower, Negated(moved));
  EXPECT_EQ(eye.EyeRiseIndex, 2);
  EXPECT_EQ(eye.EyeFallIndex, 5);
  EXPECT_EQ(eye.EyeCenterPhase, 1);
  EXPECT_EQ(analysis.bcUpper, std::vector<double>(8, 0.5));
  EXPECT_EQ(analysis.bcLower, std::vector<double>(8, -0.5));
  EXPECT_EQ(eye.ImpulseInverted, 0);
  EXPECT_EQ(analysis.messages.str(), "");
}

TEST(ImpulseToWorstCaseEye, NormalizationDividesByBestCaseLevel) {
  EyeAnalysis analysis;
  ASSERT_TRUE(analysis.Run({1.0}, 4, 0.5, 1));
  // The worked example's levels over its best-case level of 0.5.
  const std::vector<double> moved = {-1, -1, 1, 1, 1, 1, -1, -1};
  EXPECT_EQ(analysis.wcUpper, moved);
  EXPECT_EQ(analysis.wcLower, Negated(moved));
  EXPECT_EQ(analysis.bcUpper, std::vector<double>(8, 1.0));
  EXPECT_EQ(analysis.bcLower, std::vector<double>(8, -1.0));
}

// The crossings reported are the first ones of the window (a level of exactly
// 0 counts as open).
void ExpectFirstCrossings(const EyeAnalysis& analysis) {
  const std::vector<double>& levels = analysis.wcUpper;
  int rise = -1, fall = -1;
  for (int i = static_cast<int>(levels.size()) - 1; i >= 1; --i) {
    if (levels[i] >= 0.0 && levels[i - 1] < 0.0)
      rise = i;
    if (levels[i] < 0.0 && levels[i - 1] >= 0.0)
      fall = i - 1;
  }
  EXPECT_EQ(analysis.eye.EyeRiseIndex, rise);
  EXPECT_EQ(analysis.eye.EyeFallIndex, fall);
}

TEST(ImpulseToWorstCaseEye, LevelsEqualBruteForceOverBitPatterns) {
  std::mt19937 rng(20261206);
  for (int trial = 0; trial < 600; ++trial) {
    const std::vector<double> impulse = RandomImpulse(rng, 6);
    const int samplesPerBit = 1 + static_cast<int>(rng() % 4);
    const double logicLevel = Uniform(rng, 0.1, 2.0);
    EyeAnalysis analysis;
    ASSERT_TRUE(analysis.Run(impulse, samplesPerBit, logicLevel));
    ASSERT_EQ(analysis.eye.ImpulseInverted, 0);

    const std::vector<double> response = BitResponse(impulse, samplesPerBit, logicLevel);
    int cursor = 0;
    for (int t = 0; t < static_cast<int>(response.size()); ++t) {
      if (response[t] > response[cursor])
        cursor = t;
    }
    // The window starts S - 1 samples before the cursor and follows the eye
    // centre when that lies within half a bit.
    const int offset = analysis.eye.EyeCenterOffset;
    const int half = samplesPerBit / 2;
    const bool moved = offset != 0 && offset >= -half && offset < half;
    const int start = cursor - samplesPerBit + 1 + (moved ? offset : 0);

    ASSERT_EQ(analysis.wcUpper.size(), 2u * samplesPerBit);
    ASSERT_EQ(analysis.bcUpper.size(), 2u * samplesPerBit);
    for (int i = 0; i < 2 * samplesPerBit; ++i) {
      double lowest = 0.0, highest = 0.0;
      BruteForceLevels(response, samplesPerBit, start + i, lowest, highest);
      SCOPED_TRACE("trial " + std::to_string(trial) + " index " + std::to_string(i));
      EXPECT_NEAR(analysis.wcUpper[i], lowest, 1e-12);
      EXPECT_NEAR(analysis.bcUpper[i], highest, 1e-12);
      EXPECT_EQ(analysis.wcLower[i], -analysis.wcUpper[i]);
      EXPECT_EQ(analysis.bcLower[i], -analysis.bcUpper[i]);
    }
    ExpectFirstCrossings(analysis);
  }
}

void ExpectMirrored(const EyeAnalysis& negative, const EyeAnalysis& positive) {
  EXPECT_EQ(negative.wcUpper, Negated(positive.wcUpper));
  EXPECT_EQ(negative.wcLower, Negated(positive.wcLower));
  EXPECT_EQ(negative.bcUpper, Negated(positive.bcUpper));
  EXPECT_EQ(negative.bcLower, Negated(positive.bcLower));
  EXPECT_EQ(negative.eye.EyeRiseIndex, positive.eye.EyeRiseIndex);
  EXPECT_EQ(negative.eye.EyeFallIndex, positive.eye.EyeFallIndex);
  EXPECT_EQ(negative.eye.EyeCenterIndex, positive.eye.EyeCenterIndex);
  EXPECT_EQ(negative.eye.EyeCenterPhase, positive.eye.EyeCenterPhase);
}

TEST(ImpulseToWorstCaseEye, NegativePeakGivesNegatedLevelsOfItsNegation) {
  std::mt19937 rng(7);
  for (int trial = 0; trial < 300; ++trial) {
    const std::vector<double> impulse = RandomImpulse(rng, 12);
    const int samplesPerBit = 1 + static_cast<int>(rng() % 6);
    const int normalization = trial % 2;
    EyeAnalysis positive, negative;
    ASSERT_TRUE(positive.Run(impulse, samplesPerBit, 0.5, normalization));
    ASSERT_TRUE(negative.Run(Negated(impulse), samplesPerBit, 0.5, normalization));
    SCOPED_TRACE("trial " + std::to_string(trial));
    EXPECT_EQ(positive.eye.ImpulseInverted, 0);
    EXPECT_EQ(negative.eye.ImpulseInverted, 1);
    ExpectMirrored(negative, positive);
  }

  // Equal magnitudes of opposite sign: the first value decides.
  EyeAnalysis firstPositive, firstNegative;
  ASSERT_TRUE(firstPositive.Run({1.0, -1.0}, 2, 0.5));
  ASSERT_TRUE(firstNegative.Run({-1.0, 1.0}, 2, 0.5));
  EXPECT_EQ(firstPositive.eye.ImpulseInverted, 0);
  EXPECT_EQ(firstNegative.eye.ImpulseInverted, 1);
  ExpectMirrored(firstNegative, firstPositive);
}

void ExpectSameAnalysis(const EyeAnalysis& a, const EyeAnalysis& b) {
  EXPECT_EQ(a.wcUpper, b.wcUpper);
  EXPECT_EQ(a.wcLower, b.wcLower);
  EXPECT_EQ(a.bcUpper, b.bcUpper);
  EXPECT_EQ(a.bcLower, b.bcLower);
  EXPECT_EQ(a.eye.EyeRiseIndex, b.eye.EyeRiseIndex);
  EXPECT_EQ(a.eye.EyeFallIndex, b.eye.EyeFallIndex);
  EXPECT_EQ(a.eye.EyeLeftIndex, b.eye.EyeLeftIndex);
  EXPECT_EQ(a.eye.EyeRightIndex, b.eye.EyeRightIndex);
  EXPECT_EQ(a.eye.EyeCenterOffset, b.eye.EyeCenterOffset);
  EXPECT_EQ(a.eye.EyeCenterPhase, b.eye.EyeCenterPhase);
}

TEST(ImpulseToWorstCaseEye, TrailingZerosChangeNothing) {
  const std::vector<double> impulse = {0.1, 0.8, -0.3, 0.2, 0.05};
  std::vector<double> padded = impulse;
  padded.resize(impulse.size() + 7, 0.0);
  padded[impulse.size() + 1] = -0.0;  // a negative zero is a zero too
  EyeAnalysis plain, withZeros;
  ASSERT_TRUE(plain.Run(impulse, 4, 0.5));
  ASSERT_TRUE(withZeros.Run(padded, 4, 0.5));
  ExpectSameAnalysis(plain, withZeros);

  EyeAnalysis single, zerosOnly;
  ASSERT_TRUE(single.Run({0.0}, 3, 0.5));
  ASSERT_TRUE(zerosOnly.Run({0.0, 0.0, 0.0, 0.0}, 3, 0.5));
  ExpectSameAnalysis(single, zerosOnly);
}

TEST(ImpulseToWorstCaseEye, EyeOpenToTheWindowEndsSpansTheWholeWindow) {
  // With one sample per bit, [1, 1] gives the pulse [.5, .5, 0]: every bit
  // cancels its neighbour exactly, so the worst case is 0 (open) everywhere.
  EyeAnalysis analysis;
  ASSERT_TRUE(analysis.Run({1.0, 1.0}, 1, 0.5));
  for (double level : analysis.wcUpper)
    ASSERT_GE(level, 0.0);
  EXPECT_EQ(analysis.eye.EyeLeftIndex, 0);
  EXPECT_EQ(analysis.eye.EyeRightIndex, 1);
  EXPECT_EQ(analysis.eye.EyeCenterIndex, 0);
  EXPECT_EQ(analysis.eye.EyeRiseIndex, -1);
  EXPECT_EQ(analysis.eye.EyeFallIndex, -1);
}

TEST(ImpulseToWorstCaseEye, SetupReportsEveryInvalidSetting) {
  ImpulseToWorstCaseEye fresh;
  EXPECT_EQ(fresh.EyeRiseIndex, -1);
  EXPECT_EQ(fresh.EyeFallIndex, -1);
  EXPECT_EQ(fresh.ImpulseInverted, 0);

  std::vector<double> upper, lower;
  const std::vector<double> impulse = {1.0};
  ImpulseToWorstCaseEye eye;
  eye.Impulse = &impulse;
  eye.WcUpperLevels = &upper;
  eye.WcLowerLevels = &lower;
  eye.SamplesPerBit = 0;
  eye.LogicLevel = 0.0;
  eye.Normalization = 2;
  std::ostringstream messages;
  EXPECT_FALSE(eye.Setup(nullptr, messages));
  EXPECT_EQ(messages.str(),
            "SamplesPerBit must be an integer >= 1.\n"
            "LogicLevel must be > 0.\n"
            "Normalization must be either 0 or 1.\n");

  ImpulseToWorstCaseEye negative;
  negative.Impulse = &impulse;
  negative.WcUpperLevels = &upper;
  negative.WcLowerLevels = &lower;
  negative.Normalization = -1;
  negative.LogicLevel = -0.5;
  std::ostringstream negativeMessages;
  EXPECT_FALSE(negative.Setup(nullptr, negativeMessages));
  EXPECT_EQ(negativeMessages.str(),
            "LogicLevel must be > 0.\n"
            "Normalization must be either 0 or 1.\n");

  // Without its worst-case arrays the block refuses instead of writing nowhere.
  ImpulseToWorstCaseEye unattached;
  unattached.Impulse = &impulse;
  unattached.WcUpperLevels = &upper;
  std::ostringstream unattachedMessages;
  EXPECT_FALSE(unattached.Setup(nullptr, unattachedMessages));
  EXPECT_EQ(unattachedMessages.str(), "WcUpperLevels and WcLowerLevels must both be given.\n");
  EXPECT_FALSE(unattached.Initialize(unattachedMessages));
}

TEST(ImpulseToWorstCaseEye, EmptyImpulseIsRefusedByTheAnalysis) {
  const std::vector<double> empty;
  for (const std::vector<double>* impulse :
       {&empty, static_cast<const std::vector<double>*>(nullptr)}) {
    std::vector<double> upper = {7.0}, lower = {7.0};
    ImpulseToWorstCaseEye eye;
    eye.Impulse = impulse;
    eye.WcUpperLevels = &upper;
    eye.WcLowerLevels = &lower;
    std::ostringstream messages;
    EXPECT_TRUE(eye.Setup(nullptr, messages));
    EXPECT_FALSE(eye.Initialize(messages));
    EXPECT_EQ(messages.str(), "There must be at least one Impulse array value.\n");
    EXPECT_EQ(upper, std::vector<double>{7.0});
    EXPECT_EQ(lower, std::vector<double>{7.0});
  }
}

TEST(ImpulseToWorstCaseEye, WorstCaseOnlyLeavesLoneBestCaseArrayAlone) {
  const std::vector<double> impulse = {-1.0};
  std::vector<double> upper, lower, bestUpper = {3.0};
  ImpulseToWorstCaseEye eye;
  eye.Impulse = &impulse;
  eye.SamplesPerBit = 4;
  eye.WcUpperLevels = &upper;
  eye.WcLowerLevels = &lower;
  eye.BcUpperLevels = &bestUpper;
  std::ostringstream messages;
  ASSERT_TRUE(eye.Setup(nullptr, messages));
  ASSERT_TRUE(eye.Initialize(messages));
  EXPECT_EQ(upper, Negated({-0.5, -0.5, 0.5, 0.5, 0.5, 0.5, -0.5, -0.5}));
  EXPECT_EQ(bestUpper, std::vector<double>{3.0});
}

TEST(ImpulseToWorstCaseEye, TracesOnceToAnOpenStream) {
  const std::string path = ::testing::TempDir() + "impulse_to_worst_case_eye_trace.txt";
  {
    TraceStream trace(path);
    TraceStream closed;
    EyeAnalysis analysis;
    std::vector<double> impulse = {1.0};
    analysis.eye.Impulse = &impulse;
    analysis.eye.WcUpperLevels = &analysis.wcUpper;
    analysis.eye.WcLowerLevels = &analysis.wcLower;
    EXPECT_TRUE(analysis.eye.Setup(&closed, analysis.messages));
    EXPECT_TRUE(analysis.eye.Setup(&trace, analysis.messages));
    EXPECT_TRUE(analysis.eye.Setup(&trace, analysis.messages));
  }
  std::ifstream written(path);
  const std::string text((std::istreambuf_iterator<char>(written)),
                         std::istreambuf_iterator<char>());
  EXPECT_EQ(text, "Quennavik::ImpulseToWorstCaseEye\n");
}

}  // namespace
}  // namespace norvask
