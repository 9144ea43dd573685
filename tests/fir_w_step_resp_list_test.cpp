// The equalizer block: its checks, its filtering, and the step-response search
// and logic-level gain measured against a candidate-by-candidate recomputation.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ami/Norvask.h"
#include "blocks/FIRwStepRespList.h"
#include "dsp/ImpulseOperations.h"
#include "support/DriverTaps.h"

namespace norvask::testing {
namespace {

// A slow link, so that the driver's own edge leaves the eye open.
constexpr double kBitRate = 2.5e9;
constexpr int kSamplesPerBit = 32;
constexpr double kSampleInterval = 1.0 / (kSamplesPerBit * kBitRate);

// A lossy line's impulse response, in the simulator's units (1/s, so that the
// samples times the sample interval add up to the DC gain): a delayed
// t^2 e^(-t/tau) pulse whose tail spreads over several bits.
std::vector<double> lossyLineImpulse(double tau, double dcGain = 0.8, int samples = 300) {
  std::vector<double> h(samples, 0.0);
  double sum = 0.0;
  for (int i = 0; i < samples; ++i) {
    const double t = i * kSampleInterval / tau;
    h[i] = t * t * std::exp(-t);
    sum += h[i];
  }
  for (double& value : h)
    value *= dcGain / (sum * kSampleInterval);
  return h;
}

std::vector<double> tapsOf(int index) {
  return driverTaps(index, kBitRate, kSamplesPerBit);
}

struct Eye {
  double bc = 0.0;
  double wc = 0.0;
  double ratio() const { return wc / bc; }
};

// The eye of channel plus step response `taps`, computed without the block.
Eye measureChannelWith(const std::vector<double>& channel, const std::vector<double>& taps,
                       double sign = 1.0) {
  std::vector<double> scaled(channel.size());
  for (std::size_t i = 0; i < channel.size(); ++i)
    scaled[i] = sign * (kSampleInterval * channel[i]);
  scaled.resize(channel.size() + taps.size(), 0.0);
  const std::vector<double> response = convolve(scaled, taps);
  Eye eye;
  std::ostringstream messages;
  ImpulseOperations operations;
  EXPECT_TRUE(operations.determineEyeBcWcUpperLevels(response, kSamplesPerBit, 0.5, eye.bc, eye.wc,
                                                     messages));
  return eye;
}

class EqualizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    buildStepResponseList(list);
    block.BitRate = kBitRate;
    block.SamplesPerBit = kSamplesPerBit;
    block.NumStepResp = 16;
    block.StepResp_data_values = &list;
    block.SharedTimeAxis = 1;
  }

  bool SetUpAndInitialize(const std::vector<double>& channel) {
    block.ChannelImpulse = &channel;
    return block.Setup(nullptr, messages) && block.Initialize(messages);
  }

  StepRespList list;
  FIRwStepRespList block;
  std::ostringstream messages;
};

TEST_F(EqualizerTest, SetupReportsEveryBadSettingInOrder) {
  const std::vector<double> empty;
  block.ChannelImpulse = &empty;
  block.BitRate = 0.0;
  block.SamplesPerBit = 3;
  block.StepRespIndex = 17;
  block.AdaptForLogicLevel = static_cast<std::uint32_t>(-1);
  block.LogicLevel = 0.0;
  block.AdaptStepRespIndex = 2;
  EXPECT_FALSE(block.Setup(nullptr, messages));
  EXPECT_EQ(messages.str(),
            "ChannelImpulse vector size must be > 0.\nBitRate must be > 0.\n"
            "SamplesPerBit must be and integer >= 4.\n"
            "AdaptForLogicLevel must be an integer either 0 or 1.\nLogicLevel must be > 0.\n"
            "AdaptStepRespIndex must be an integer either 0 or 1.\n");
}

TEST_F(EqualizerTest, SetupDerivesGainAndSearchStart) {
  const std::vector<double> unit{1.0};
  block.ChannelImpulse = &unit;
  block.Gain_dB = 6.0;
  EXPECT_TRUE(block.Setup(nullptr, messages));
  EXPECT_DOUBLE_EQ(block.gain(), std::pow(10.0, 0.3));

  block.AdaptForLogicLevel = 1;
  block.AdaptStepRespIndex = 1;
  block.StepRespIndex = 0;  // out of range, but a search ignores it
  EXPECT_TRUE(block.Setup(nullptr, messages));
  EXPECT_EQ(block.gain(), 1.0);
  EXPECT_EQ(block.StepRespIndex, 1);
  EXPECT_EQ(messages.str(), "");
}

TEST_F(EqualizerTest, UnitChannelFiltersWithTheSelectedTapsScaledByGain) {
  const std::vector<double> unit{1.0};
  block.StepRespIndex = 7;
  block.Gain_dB = 6.0;
  ASSERT_TRUE(SetUpAndInitialize(unit));
  EXPECT_EQ(messages.str(), "");
  EXPECT_TRUE(block.evalResponse().empty());  // no adaptation, no evaluation

  const std::vector<double> taps = tapsOf(7);
  ASSERT_EQ(block.taps(), taps);
  std::vector<double> column(taps.size() + 3, 0.0);
  column[0] = 1.0;
  for (std::size_t i = 0; i < column.size(); ++i) {
    block.In = column[i];
    block.Run(messages);
    EXPECT_EQ(block.Time, i * ((1.0 / kBitRate) / kSamplesPerBit));
    EXPECT_EQ(block.Out, i < taps.size() ? taps[i] * block.gain() : 0.0) << i;
  }
  const double timeAfterRuns = block.Time;

  // The whole column at once leaves the same outputs and the same Time.
  ASSERT_TRUE(SetUpAndInitialize(unit));
  block.RunBlock(column.data(), static_cast<std::int64_t>(column.size()), messages);
  EXPECT_EQ(column.front(), taps.front() * block.gain());
  EXPECT_EQ(column.back(), 0.0);
  EXPECT_EQ(block.Time, timeAfterRuns);
}

TEST_F(EqualizerTest, BypassPlaysOutTheRawStepResponse) {
  const std::vector<double> unit{1.0};
  block.StepRespIndex = 3;
  block.OutputStepRespData = 1;
  block.AdaptStepRespIndex = 1;
  block.AdaptForLogicLevel = 1;
  ASSERT_TRUE(SetUpAndInitialize(unit));
  EXPECT_EQ(block.StepRespIndex, 1);  // the search start, although bypass cancels the search
  EXPECT_EQ(block.AdaptStepRespIndex, 0u);
  EXPECT_EQ(block.AdaptForLogicLevel, 0u);
  for (int row = 0; row < 5; ++row) {
    block.In = 123.0;
    block.Run(messages);
    EXPECT_EQ(block.Time, list[0][row]);
    EXPECT_EQ(block.Out, list[1][row]);
  }
}

TEST_F(EqualizerTest, SearchPicksTheBestEyeOpeningOfAllCandidates) {
  const std::vector<double> channel = lossyLineImpulse(40e-12);
  int best = 1;
  double bestRatio = -1e40;
  for (int k = 1; k <= 16; ++k) {
    const double ratio = measureChannelWith(channel, tapsOf(k)).ratio();
    if (ratio > bestRatio) {
      best = k;
      bestRatio = ratio;
    }
  }
  ASSERT_GT(bestRatio, 0.0) << "the test channel should leave the eye open";

  block.AdaptStepRespIndex = 1;
  ASSERT_TRUE(SetUpAndInitialize(channel));
  std::ostringstream expected;
  expected << "Adaptation of the channel+equalizer for best eye opening results in step response "
              "data index = "
           << best << " with eye opening ratio = " << bestRatio << "\n";
  EXPECT_EQ(messages.str(), expected.str());
  EXPECT_EQ(block.StepRespIndex, best);
  EXPECT_DOUBLE_EQ(block.bestEyeRatio(), bestRatio);
  EXPECT_EQ(block.taps(), tapsOf(best));
  EXPECT_EQ(block.impulseLength(), static_cast<int>(channel.size()));
}

TEST_F(EqualizerTest, SearchTiesKeepTheLowerIndexAndReportAClosedEye) {
  // Two copies of each of two responses: the better one first appears at 2.
  const std::vector<double> channel = lossyLineImpulse(40e-12);
  const double ratio3 = measureChannelWith(channel, tapsOf(3)).ratio();
  const double ratio14 = measureChannelWith(channel, tapsOf(14)).ratio();
  const int better = ratio3 > ratio14 ? 3 : 14;
  const int worse = better == 3 ? 14 : 3;
  list = {list[0], list[worse], list[better], list[worse], list[better]};
  block.NumStepResp = 4;
  block.AdaptStepRespIndex = 1;
  ASSERT_TRUE(SetUpAndInitialize(channel));
  EXPECT_EQ(block.StepRespIndex, 2);

  // A channel long enough to close every eye: the report names the least
  // closed candidate.
  const std::vector<double> slow = lossyLineImpulse(600e-12, 0.8, 2000);
  messages.str("");
  ASSERT_TRUE(SetUpAndInitialize(slow));
  const int leastClosed = measureChannelWith(slow, tapsOf(better)).ratio() >
                                  measureChannelWith(slow, tapsOf(worse)).ratio()
                              ? 2
                              : 1;
  EXPECT_EQ(messages.str(),
            "Adaptation of the channel+equalizer for best eye opening results in step response "
            "data index = " +
                std::to_string(leastClosed) + ", but the eye is still closed.\n");
}

TEST_F(EqualizerTest, LogicLevelGainBringsTheEyeMiddleToTheLevel) {
  const std::vector<double> channel = lossyLineImpulse(40e-12);
  const Eye eye = measureChannelWith(channel, tapsOf(5));
  ASSERT_GT(eye.wc, 0.0);
  block.StepRespIndex = 5;
  block.AdaptForLogicLevel = 1;
  ASSERT_TRUE(SetUpAndInitialize(channel));
  const double gain = 0.5 / ((eye.wc + eye.bc) * 0.5);
  EXPECT_DOUBLE_EQ(block.gain(), gain);
  EXPECT_DOUBLE_EQ(block.Gain_dB, 20.0 * std::log10(gain));
  std::ostringstream expected;
  expected << "Channel+equalizer eye opening ratio = " << eye.ratio() << ".\n"
           << "To adapt for channel+equalizer loss relative to the LogicLevel = 0.5, a gain of "
           << 20.0 * std::log10(gain) << " dB is added at the equalizer output.\n";
  EXPECT_EQ(messages.str(), expected.str());

  // The measurement left the engine clean: a unit impulse gives the taps.
  block.In = 1.0;
  block.Run(messages);
  EXPECT_DOUBLE_EQ(block.Out, tapsOf(5)[0] * gain);
  block.In = 0.0;
  block.Run(messages);
  EXPECT_DOUBLE_EQ(block.Out, tapsOf(5)[1] * gain);
}

TEST_F(EqualizerTest, LogicLevelGainForAClosedEyeUsesTheBestCaseLevel) {
  // A negative channel is evaluated inverted.
  std::vector<double> channel = lossyLineImpulse(600e-12, 0.8, 2000);
  for (double& value : channel)
    value = -value;
  const Eye eye = measureChannelWith(channel, tapsOf(2), -1.0);
  ASSERT_LE(eye.wc, 0.0);
  block.AdaptForLogicLevel = 1;
  ASSERT_TRUE(SetUpAndInitialize(channel));
  EXPECT_TRUE(block.invertImpulse());
  EXPECT_DOUBLE_EQ(block.gain(), 0.5 / eye.bc);
  std::ostringstream expected;
  expected << "Channel+equalizer eye is closed.\n"
           << "To adapt for channel+equalizer loss relative to the LogicLevel = 0.5, a gain of "
           << 20.0 * std::log10(0.5 / eye.bc) << " dB is added at the equalizer output.\n";
  EXPECT_EQ(messages.str(), expected.str());
}

TEST_F(EqualizerTest, SearchWithGainReportsBoth) {
  const std::vector<double> channel = lossyLineImpulse(40e-12);
  block.AdaptStepRespIndex = 1;
  block.AdaptForLogicLevel = 1;
  block.SuppressAdaptReport = 1;
  ASSERT_TRUE(SetUpAndInitialize(channel));
  const Eye eye = measureChannelWith(channel, tapsOf(block.StepRespIndex));
  const double gain = 0.5 / ((eye.wc + eye.bc) * 0.5);
  EXPECT_DOUBLE_EQ(block.gain(), gain);
  std::ostringstream expected;
  expected << "To adapt for channel+equalizer loss relative to the LogicLevel = 0.5, a gain of "
           << 20.0 * std::log10(gain) << " dB is added at the equalizer output.\n";
  EXPECT_EQ(messages.str(), expected.str());
}

TEST_F(EqualizerTest, EvaluationImpulseDropsTrailingZerosAndFollowsTheLargestSample) {
  block.AdaptForLogicLevel = 1;
  const std::vector<std::vector<double>> channels = {
      {0.0, 0.0, 0.0}, {1.0, 0.0, 2.0, 0.0}, {0.2, -0.5, 0.5}};
  const int lengths[] = {1, 3, 3};
  const bool inverted[] = {false, false, true};
  for (std::size_t i = 0; i < channels.size(); ++i) {
    SetUpAndInitialize(channels[i]);
    EXPECT_EQ(block.impulseLength(), lengths[i]);
    EXPECT_EQ(block.invertImpulse(), inverted[i]);
  }
}

TEST_F(EqualizerTest, TraceShowsEachBlockOnceAndEachNumericObjectPerUse) {
  const std::string path = ::testing::TempDir() + "equalizer_trace.txt";
  {
    TraceStream trace(path);
    const std::vector<double> channel = lossyLineImpulse(40e-12);
    list.resize(3);
    block.NumStepResp = 2;
    block.AdaptStepRespIndex = 1;
    block.ChannelImpulse = &channel;
    ASSERT_TRUE(block.Setup(&trace, messages));
    ASSERT_TRUE(block.Initialize(messages));
    ASSERT_TRUE(block.Setup(&trace, messages));  // a second Setup traces nothing new
  }
  std::ifstream file(path);
  const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  std::remove(path.c_str());
  // Blocks keep the first open stream and trace once; every interpolation
  // run and every eye measurement makes a fresh numeric object that traces
  // its first call: two candidates, then the final set-up of the winner.
  const std::string lagrange = "Quennavik::CurveFit::LagrangeInterpolation_4Point\n";
  const std::string eye = "Quennavik::ImpulseOperations::determineEyeBcWcUpperLevels\n";
  EXPECT_EQ(text,
            "Quennavik::FIRwStepRespList\nQuennavik::InterpolateStepRespData\n"
            "Quennavik::InterpolateData\n" +
                lagrange + "Quennavik::FIR\n" + eye + lagrange + eye + lagrange);
}

}  // namespace
}  // namespace norvask::testing
