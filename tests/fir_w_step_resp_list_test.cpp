#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "blocks/FIRwStepRespList.h"
#include "support/ScratchFiles.h"

namespace norvask {
namespace {

// A channel whose samples times the 2^-40 s interval are `samples`. Eyes worked out once by
// brute force (taps * channel, one-bit pulse at LogicLevel 0.5, every +1/-1 pattern of the other
// bits at the centre): with {1, .5, .25} the (best, worst) levels are B (.875, .625), E (.875,
// .8125), C and D (.875, .75); ten samples of .5 close all at (2.5, -.5), D at (2.5, -.375).
std::vector<double> channelOf(std::vector<double> samples) {
  for (double& value : samples)
    value = std::ldexp(value, 40);
  return samples;
}

const std::string kSearchReport =
    "Adaptation of the channel+equalizer for best eye opening results in step response data "
    "index = ";
const std::string kGainReport =
    "To adapt for channel+equalizer loss relative to the LogicLevel = 0.5, a gain of ";

class EqualizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 5; ++i)
      list[0].push_back(std::ldexp(i, -40));
    block.BitRate = std::ldexp(1.0, 38);
    block.SamplesPerBit = 4;
    block.NumStepResp = 4;
    block.StepResp_data_values = &list;
    block.SharedTimeAxis = 1;
  }
  bool SetUpAndInitialize(const std::vector<double>& channel) {
    messages.str("");
    block.ChannelImpulse = &channel;
    return block.Setup(nullptr, messages) && block.Initialize(messages);
  }

  // Steps on the block's grid (4 samples per bit of 2^-40 s: all exact), whose taps are
  // their differences: B {0, 1}, E {0, .75, .25}, C {0, .5, .5}, D {0, 1.25, -.25}.
  StepRespList list{{}, {0, 1, 1, 1, 1}, {0, .75, 1, 1, 1}, {0, .5, 1, 1, 1}, {0, 1.25, 1, 1, 1}};
  FIRwStepRespList block;
  std::ostringstream messages;
  const std::vector<double> unit{1.0}, lossy = channelOf({1, .5, .25});
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

TEST_F(EqualizerTest, UnitChannelFiltersWithTheSelectedTapsScaledByGain) {
  block.StepRespIndex = 4;
  block.Gain_dB = 6.0;
  ASSERT_TRUE(SetUpAndInitialize(unit));
  EXPECT_EQ(messages.str(), "");
  EXPECT_DOUBLE_EQ(block.gain(), std::pow(10.0, 0.3));
  EXPECT_TRUE(block.evalResponse().empty());  // no adaptation, no evaluation
  const std::vector<double> taps{0, 1.25, -.25};
  ASSERT_EQ(block.taps(), taps);
  std::vector<double> column{1, 0, 0, 0, 0, 0};
  for (std::size_t i = 0; i < column.size(); ++i) {
    block.In = column[i];
    block.Run(messages);
    EXPECT_EQ(block.Time, std::ldexp(i, -40));
    EXPECT_EQ(block.Out, i < taps.size() ? taps[i] * block.gain() : 0.0) << i;
  }
  // The whole column at once leaves the same outputs and the same Time.
  ASSERT_TRUE(SetUpAndInitialize(unit));
  block.RunBlock(column.data(), static_cast<std::int64_t>(column.size()), messages);
  EXPECT_EQ(column[1], 1.25 * block.gain());
  EXPECT_EQ(column.back(), 0.0);
  EXPECT_EQ(block.Time, std::ldexp(5, -40));

  // Bypass plays out the raw step response, and cancels any adaptation.
  block.OutputStepRespData = 1;
  block.AdaptStepRespIndex = block.AdaptForLogicLevel = 1;
  ASSERT_TRUE(SetUpAndInitialize(unit));
  EXPECT_EQ(block.StepRespIndex, 1);  // the search start, although bypass cancels the search
  EXPECT_EQ(block.AdaptStepRespIndex + block.AdaptForLogicLevel, 0u);
  block.Run(messages);
  block.Run(messages);
  EXPECT_TRUE(block.Time == list[0][1] && block.Out == list[1][1]);
}

TEST_F(EqualizerTest, SearchPicksTheBestEyeTiesKeepTheLowerIndexAndAClosedEyeIsSaid) {
  block.AdaptStepRespIndex = 1;
  ASSERT_TRUE(SetUpAndInitialize(lossy));
  EXPECT_EQ(messages.str(), kSearchReport + "2 with eye opening ratio = 0.928571\n");
  EXPECT_EQ(block.StepRespIndex, 2);
  EXPECT_DOUBLE_EQ(block.bestEyeRatio(), .8125 / .875);
  EXPECT_EQ(block.taps(), (std::vector<double>{0, .75, .25}));
  EXPECT_EQ(block.impulseLength(), 3);
  ASSERT_TRUE(SetUpAndInitialize(unit));  // every eye is (.5, .5): the first of the tie stays
  EXPECT_EQ(messages.str(), kSearchReport + "1 with eye opening ratio = 1\n");
  const std::vector<double> slow = channelOf(std::vector<double>(10, .5));
  ASSERT_TRUE(SetUpAndInitialize(slow));
  EXPECT_EQ(messages.str(), kSearchReport + "4, but the eye is still closed.\n");

  // With the gain adapted too, only the gain is reported: .5 / ((.8125 + .875) / 2) = 16/27.
  block.AdaptForLogicLevel = block.SuppressAdaptReport = 1;
  ASSERT_TRUE(SetUpAndInitialize(lossy));
  EXPECT_DOUBLE_EQ(block.gain(), 16.0 / 27.0);
  EXPECT_EQ(messages.str(), kGainReport + "-4.54488 dB is added at the equalizer output.\n");
}

TEST_F(EqualizerTest, LogicLevelGainBringsTheEyeMiddleOrAClosedEyesBestCaseToTheLevel) {
  block.StepRespIndex = 3;
  block.AdaptForLogicLevel = 1;
  ASSERT_TRUE(SetUpAndInitialize(lossy));
  // .5 / ((.75 + .875) / 2) = 8/13; 20 log10(8/13) = -4.217067306297863.
  EXPECT_DOUBLE_EQ(block.gain(), 8.0 / 13.0);
  EXPECT_NEAR(block.Gain_dB, -4.217067306297863, 1e-12);
  EXPECT_EQ(messages.str(), "Channel+equalizer eye opening ratio = 0.857143.\n" + kGainReport +
                                "-4.21707 dB is added at the equalizer output.\n");
  // The measurement left the engine clean: a unit impulse gives the taps.
  std::vector<double> column{1, 0, 0, 0};
  block.RunBlock(column.data(), 4, messages);
  EXPECT_EQ(column, (std::vector<double>{0, 4.0 / 13.0, 4.0 / 13.0, 0}));
  // A negative channel is evaluated inverted; its closed eye takes .5 / 2.5.
  block.StepRespIndex = 1;
  const std::vector<double> negative = channelOf(std::vector<double>(10, -.5));
  ASSERT_TRUE(SetUpAndInitialize(negative));
  EXPECT_TRUE(block.invertImpulse());
  EXPECT_DOUBLE_EQ(block.gain(), 0.2);
  EXPECT_EQ(messages.str(), "Channel+equalizer eye is closed.\n" + kGainReport +
                                "-13.9794 dB is added at the equalizer output.\n");
  // The evaluation impulse drops trailing zeros (all but one) and follows the largest sample.
  const std::vector<double> zeros{0, 0, 0}, mixed{.2, -.5, .5, 0};
  SetUpAndInitialize(zeros);
  EXPECT_TRUE(block.impulseLength() == 1 && !block.invertImpulse());
  SetUpAndInitialize(mixed);
  EXPECT_TRUE(block.impulseLength() == 3 && block.invertImpulse());
}

TEST_F(EqualizerTest, TraceShowsEachBlockOnceAndANumericObjectPerUse) {
  const std::string path = ::testing::TempDir() + "equalizer_trace.txt";
  {
    TraceStream trace(path);
    block.AdaptStepRespIndex = 1;
    block.ChannelImpulse = &lossy;
    ASSERT_TRUE(block.Setup(&trace, messages) && block.Initialize(messages));
    ASSERT_TRUE(block.Setup(&trace, messages));  // a second Setup traces nothing new
  }
  const std::string text = testing::slurp(path);
  std::remove(path.c_str());
  // Blocks trace once; each of the four candidates' eye measurements makes a fresh numeric object
  // that traces its first call. The grid meets every data point, so no curve-fit kernel runs.
  const std::string eye = "Quennavik::ImpulseOperations::determineEyeBcWcUpperLevels\n";
  EXPECT_EQ(text,
            "Quennavik::FIRwStepRespList\nQuennavik::InterpolateStepRespData\n"
            "Quennavik::InterpolateData\nQuennavik::FIR\n" +
                eye + eye + eye + eye);
}

}  // namespace
}  // namespace norvask
