// The host's built-in channel: its loss at Nyquist is the loss asked for,
// measured here by an independent transform of the generated impulse, its area
// is the DC gain, and it is causal with a realistic amount of intersymbol
// interference.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>

#include "tools/host/LossyChannel.h"

namespace norvask::host {
namespace {

// Insertion loss in dB of the sampled impulse (1/s) at `frequency`, by a
// direct discrete-time Fourier sum.
double measuredLoss_dB(const std::vector<double>& impulse, double sampleInterval,
                       double frequency) {
  const double pi = std::acos(-1.0);
  std::complex<double> sum = 0.0;
  for (std::size_t n = 0; n < impulse.size(); ++n) {
    const double phase = -2.0 * pi * frequency * sampleInterval * static_cast<double>(n);
    sum += impulse[n] * sampleInterval * std::polar(1.0, phase);
  }
  return -20.0 * std::log10(std::abs(sum));
}

LossyChannel channelAt(double bitRate, int samplesPerBit, double loss_dB) {
  LossyChannel channel;
  channel.LossAtNyquist_dB = loss_dB;
  channel.NyquistFrequency = bitRate / 2.0;
  channel.SampleInterval = 1.0 / (bitRate * samplesPerBit);
  channel.Samples = 64 * samplesPerBit;
  return channel;
}

// Tolerance of the loss at Nyquist: the only deviations from the exact curve
// are the truncation of the impulse's tail to 64 unit intervals and the
// rescaling to the DC gain that follows it, both far below 0.05 dB.
constexpr double kLossTolerance_dB = 0.05;

TEST(HostLossyChannel, LossAtNyquistMatchesTheSetting) {
  for (double loss : {3.0, 10.0, 20.0, 30.0}) {
    for (const auto& [bitRate, samplesPerBit] :
         {std::pair{5e9, 32}, std::pair{2.8e10, 16}, std::pair{1e10, 20}}) {
      const LossyChannel channel = channelAt(bitRate, samplesPerBit, loss);
      const std::vector<double> impulse = channel.impulseResponse();
      EXPECT_NEAR(measuredLoss_dB(impulse, channel.SampleInterval, bitRate / 2.0), loss,
                  kLossTolerance_dB)
          << loss << " dB at " << bitRate << " bit/s";
      // Half way to Nyquist the loss lies between a law proportional to f and
      // one proportional to sqrt f (with some room for their low-frequency
      // corner), so it really falls with frequency like a trace's.
      const double half = measuredLoss_dB(impulse, channel.SampleInterval, bitRate / 4.0);
      EXPECT_GT(half, 0.45 * loss);
      EXPECT_LT(half, loss / std::sqrt(2.0));
    }
  }
}

TEST(HostLossyChannel, AreaIsTheDcGain) {
  for (double dcGain : {1.0, 0.5}) {
    LossyChannel channel = channelAt(5e9, 32, 15.0);
    channel.DcGain = dcGain;
    const std::vector<double> impulse = channel.impulseResponse();
    ASSERT_EQ(impulse.size(), static_cast<std::size_t>(channel.Samples));
    double area = 0.0;
    for (double sample : impulse)
      area += sample * channel.SampleInterval;
    EXPECT_NEAR(area, dcGain, 1e-12);
  }
}

TEST(HostLossyChannel, LosslessChannelIsAUnitImpulse) {
  const LossyChannel channel = channelAt(5e9, 32, 0.0);
  const std::vector<double> impulse = channel.impulseResponse();
  EXPECT_NEAR(impulse[0] * channel.SampleInterval, 1.0, 1e-9);
  for (std::size_t n = 1; n < impulse.size(); ++n) {
    ASSERT_NEAR(impulse[n] * channel.SampleInterval, 0.0, 1e-9) << n;
  }
}

TEST(HostLossyChannel, LossyChannelSpreadsABitIntoItsNeighbours) {
  const int samplesPerBit = 32;
  const LossyChannel channel = channelAt(5e9, samplesPerBit, 10.0);
  const std::vector<double> impulse = channel.impulseResponse();
  // Step response by running sum, pulse = step minus step one bit later.
  std::vector<double> step(impulse.size());
  double sum = 0.0;
  for (std::size_t n = 0; n < impulse.size(); ++n)
    step[n] = sum += impulse[n] * channel.SampleInterval;
  std::size_t peakAt = 0;
  double peak = 0.0;
  for (std::size_t n = samplesPerBit; n < step.size(); ++n) {
    const double pulse = step[n] - step[n - samplesPerBit];
    if (pulse > peak) {
      peak = pulse;
      peakAt = n;
    }
  }
  // Causal: nothing arrives before time 0 wraps into the end of the response.
  EXPECT_LT(std::abs(step.back() - step[step.size() - samplesPerBit]), 0.01);
  EXPECT_LT(peak, 0.9);
  EXPECT_GT(peak, 0.3);
  const double firstPostCursor = step[peakAt + samplesPerBit] - step[peakAt];
  EXPECT_GT(firstPostCursor, 0.05 * peak);
}

}  // namespace
}  // namespace norvask::host
