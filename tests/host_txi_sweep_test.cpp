// The host's txi sweep must pick the same driver setting as the equalizer's
// own step-response search on the same channel: the sweep through the shared
// library (AMI_Init per setting, eye measured by the host) against the block
// searching its step-response list directly.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>

#include "ami/Norvask.h"
#include "blocks/FIRwStepRespList.h"
#include "tools/host/AmiLibrary.h"
#include "tools/host/LossyChannel.h"
#include "tools/host/TxiSweep.h"

namespace norvask::host {
namespace {

struct SearchOutcome {
  std::int32_t stepRespIndex = 0;
  double bestEyeRatio = 0.0;
  std::string messages;
};

SearchOutcome equalizerSearch(const std::vector<double>& channelImpulse, const LinkTiming& timing) {
  StepRespList list;
  buildStepResponseList(list);
  FIRwStepRespList equalizer;
  equalizer.ChannelImpulse = &channelImpulse;
  equalizer.BitRate = timing.BitRate;
  equalizer.SamplesPerBit = timing.SamplesPerBit;
  equalizer.StepRespIndex = 1;
  equalizer.AdaptStepRespIndex = 1;
  equalizer.NumStepResp = kTxiSettings;
  equalizer.StepResp_data_values = &list;
  equalizer.SharedTimeAxis = 1;
  std::ostringstream messages;
  SearchOutcome outcome;
  EXPECT_TRUE(equalizer.Setup(nullptr, messages)) << messages.str();
  EXPECT_TRUE(equalizer.Initialize(messages)) << messages.str();
  equalizer.Finalize();
  outcome.stepRespIndex = equalizer.StepRespIndex;
  outcome.bestEyeRatio = equalizer.bestEyeRatio();
  outcome.messages = messages.str();
  return outcome;
}

TEST(HostTxiSweep, BestTxiAgreesWithTheEqualizersSearch) {
  AmiLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load(NORVASK_LIBRARY_PATH, error)) << error;
  struct Case {
    double bitRate;
    std::int32_t samplesPerBit;
    double loss_dB;
  };
  std::set<std::int32_t> chosen;
  for (const Case& c :
       {Case{5e9, 32, 10.0}, Case{2e9, 16, 3.0}, Case{8e9, 16, 20.0}, Case{1.25e9, 32, 30.0}}) {
    LinkTiming timing;
    timing.BitRate = c.bitRate;
    timing.SamplesPerBit = c.samplesPerBit;
    LossyChannel channel;
    channel.LossAtNyquist_dB = c.loss_dB;
    channel.NyquistFrequency = c.bitRate / 2.0;
    channel.SampleInterval = timing.sampleInterval();
    channel.Samples = 64 * c.samplesPerBit;
    ChannelSet channels;
    channels.channel = channel.impulseResponse();

    TxiSweep sweep;
    ASSERT_TRUE(sweepTxi(library, channels, timing, kDefaultTailTime, 1.0, sweep, error)) << error;
    ASSERT_EQ(sweep.rows.size(), 16u);
    const SearchOutcome search = equalizerSearch(channels.channel, timing);
    EXPECT_EQ(sweep.bestTxi + 1, search.stepRespIndex)
        << c.loss_dB << " dB at " << c.bitRate << " bit/s";
    EXPECT_NEAR(sweep.rows[static_cast<std::size_t>(sweep.bestTxi)].eye.openingRatio(),
                search.bestEyeRatio, 1e-9 * std::abs(search.bestEyeRatio));
    std::ostringstream report;
    report << "Adaptation of the channel+equalizer for best eye opening results in step "
              "response data index = "
           << search.stepRespIndex;
    EXPECT_EQ(search.messages.rfind(report.str(), 0), 0u) << search.messages;
    chosen.insert(sweep.bestTxi);
  }
  // The channels differ enough that more than one setting wins somewhere.
  EXPECT_GT(chosen.size(), 1u);
}

TEST(HostTxiSweep, ParameterStringIsTheOneASimulatorBuilds) {
  EXPECT_EQ(norvaskParameters(1, 1.0), "(Norvask (OutputGain 1)(txi 1))");
  EXPECT_EQ(norvaskParameters(15, 0.8), "(Norvask (OutputGain 0.8)(txi 15))");
}

}  // namespace
}  // namespace norvask::host
