// The statistical eye against answers computed another way: every bit pattern enumerated,
// the Q-function, the peak-distortion eye, and the known effects of crosstalk and jitter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "host/analysis/EyeMetrics.h"
#include "host/analysis/PulseResponse.h"
#include "host/analysis/RunAnalysis.h"
#include "host/analysis/StatisticalEye.h"
#include "host/channel/LossyChannel.h"
#include "support/HostStatus.h"

namespace norvask::host {
namespace {

double q(double x) {
  return 0.5 * std::erfc(x / std::sqrt(2.0));
}

// Error probabilities of a sent 1 (below t) and a sent 0 (above t) over all 2^n signs of
// the cursors `others` (V), with Gaussian noise.
struct ErrorTerms {
  double one = 0.0, zero = 0.0;
};
ErrorTerms enumerate(double signal, const std::vector<double>& others, double t, double noise) {
  ErrorTerms sum;
  const std::uint32_t patterns = 1u << others.size();
  for (std::uint32_t bits = 0; bits < patterns; ++bits) {
    double isi = 0.0;
    for (std::size_t k = 0; k < others.size(); ++k)
      isi += (bits >> k & 1u) ? others[k] : -others[k];
    const double high = signal + isi, low = -signal + isi;
    sum.one += noise > 0 ? q((high - t) / noise) : (high < t ? 1.0 : 0.0);
    sum.zero += noise > 0 ? q((t - low) / noise) : (low > t ? 1.0 : 0.0);
  }
  return {sum.one / patterns, sum.zero / patterns};
}

// The cursors a sample at `position` sees, times `amplitude`.
struct Cursors {
  double signal = 0.0;
  std::vector<double> others;
};
Cursors cursorsSeen(const std::vector<double>& pulse, std::int64_t position, int s,
                    double amplitude) {
  Cursors c;
  for (std::int64_t i = ((position % s) + s) % s; i < std::int64_t(pulse.size()); i += s)
    (i == position ? c.signal : c.others.emplace_back()) = amplitude * pulse[std::size_t(i)];
  return c;
}

std::vector<double> randomPulse(std::size_t length, std::size_t peak, unsigned seed, bool onGrid) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> value(-0.3, 0.3);
  std::vector<double> pulse(length);
  for (auto& v : pulse)
    v = onGrid ? std::round(value(rng) * 256) / 256 : value(rng);
  pulse[peak] = 1.0;
  return pulse;
}

StatisticalEye computed(const std::vector<double>& victim,
                        const std::vector<std::vector<double>>& aggressors,
                        const StatisticalEyeSettings& settings) {
  StatisticalEye eye;
  EXPECT_TRUE(testing::succeeded(eye.Compute(victim, aggressors, settings)));
  return eye;
}

TEST(StatisticalEye, MatchesEveryPatternEnumerated) {
  // 12 victim cursors and an aggressor of 4 whose worst phase is 1: 15 random signs at
  // every phase. Averaged, the aggressor sits at each of its 4 phases a quarter of the time.
  const int s = 4;
  const std::vector<double> victim = randomPulse(48, 17, 1, true);
  const std::vector<double> aggressor{0.015625, 0.25,    0,      0, 0, -0.125, 0,
                                      0,        0.03125, 0.0625, 0, 0, 0,      -0.5};
  StatisticalEyeSettings settings;
  settings.samplesPerBit = s;
  settings.amplitude = 1.0;
  settings.binFraction = 1.0 / 256;  // every cursor on the grid: no rounding at all
  for (auto rule : {CrosstalkPhase::kWorstCase, CrosstalkPhase::kAveraged}) {
    settings.crosstalkPhase = rule;
    const std::vector<int> aggressorPhases =
        rule == CrosstalkPhase::kWorstCase ? std::vector<int>{1} : std::vector<int>{0, 1, 2, 3};
    for (double noise : {0.0, 3.0 / 256}) {
      settings.noiseRms = noise;
      const StatisticalEye eye = computed(victim, {aggressor}, settings);
      EXPECT_EQ(eye.levelErrorBound(), 0.0);
      for (int phase = 0; phase < s; ++phase) {
        for (int t = 0; t < eye.thresholds(); t += 193) {
          double expected = 0.0;
          for (int a : aggressorPhases) {
            Cursors c = cursorsSeen(victim, 17 - s / 2 + phase, s, 1.0);
            const std::vector<double> x = cursorsSeen(aggressor, a - s, s, 1.0).others;
            c.others.insert(c.others.end(), x.begin(), x.end());
            const ErrorTerms e = enumerate(c.signal, c.others, eye.ThresholdVoltage(t), noise);
            expected += 0.5 * (e.one + e.zero) / aggressorPhases.size();
          }
          EXPECT_NEAR(eye.Ber(phase, t), expected, 1e-12 * expected) << phase << ' ' << t;
        }
      }
    }
  }
}

TEST(StatisticalEye, OffGridCursorsStayWithinTheReportedLevelError) {
  const int s = 2;
  const std::vector<double> victim = randomPulse(28, 9, 2, false);
  StatisticalEyeSettings settings;
  settings.samplesPerBit = s;
  const StatisticalEye eye = computed(victim, {}, settings);
  const double e = eye.levelErrorBound();
  EXPECT_GT(e, 0.0);
  // Half a bin for the one rounding onto the grid, the rest from cursors on fine bins.
  EXPECT_LE(e, 2 * eye.binWidth());
  for (int phase = 0; phase < s; ++phase) {
    const Cursors c = cursorsSeen(victim, 9 - s / 2 + phase, s, 0.5);
    for (int t = 0; t < eye.thresholds(); t += 53) {
      // Levels off by at most e move the error terms no further than thresholds e away.
      const ErrorTerms low = enumerate(c.signal, c.others, eye.ThresholdVoltage(t) - e, 0.0);
      const ErrorTerms high = enumerate(c.signal, c.others, eye.ThresholdVoltage(t) + e, 0.0);
      EXPECT_GE(eye.Ber(phase, t), 0.5 * (low.one + high.zero)) << phase << ' ' << t;
      EXPECT_LE(eye.Ber(phase, t), 0.5 * (high.one + low.zero)) << phase << ' ' << t;
    }
  }
}

TEST(StatisticalEye, AtVanishingBerIsThePeakDistortionEye) {
  const int s = 8;
  for (double loss : {3.0, 8.0, 10.0, 12.0}) {
    LossyChannel channel;
    channel.LossAtNyquist_dB = loss;
    channel.SampleInterval = 1.0 / (2e9 * s);
    channel.Samples = 14 * s;
    const std::vector<double> impulse = channel.ImpulseResponse();
    const std::vector<double> pulse = pulseResponse(impulse, channel.SampleInterval, s);
    EyeMetrics worst;
    ASSERT_TRUE(testing::succeeded(measureEye(impulse, channel.SampleInterval, s, worst)));
    StatisticalEyeSettings settings;
    settings.samplesPerBit = s;
    const StatisticalEye eye = computed(pulse, {}, settings);
    const EyeAtBer limit = eye.AtBer(1e-30);
    double bruteForce = -1.0;
    for (int phase = 0; phase < s; ++phase) {
      const Cursors c = cursorsSeen(pulse, eye.mainCursorIndex() - s / 2 + phase, s, 0.5);
      double level = c.signal;
      for (double other : c.others)
        level -= std::fabs(other);
      bruteForce = std::max(bruteForce, 2 * level);
    }
    // Every cursor's grid level is within a bin of its own, so both edges of the opening are.
    const double bins2 = 2 * eye.binWidth();
    EXPECT_NEAR(limit.height, bruteForce, bins2) << loss;
    // The worst-case eye is read mid-crossings, the best phase once the eye is not open
    // across the whole bit.
    EXPECT_GE(limit.height, worst.height() - bins2) << loss;
    if (loss >= 8.0) {
      EXPECT_NEAR(limit.height, worst.height(), bins2) << loss;
    }
  }
}

TEST(StatisticalEye, OneCursorPerPhaseGivesItsHeightToTheBinAndOneWholeBitOpen) {
  // One bit long: each phase sees one cursor alone, levels exactly +-amplitude x cursor,
  // the bin 1/1000 of the peak level, 2000 bins open at its phase and one UI open around it.
  const struct {
    std::vector<double> pulse;
    double amplitude;
  } cases[] = {
      {{0.25, 0.5, 1.0, 0.5}, 0.5},
      {{0.1, 0.3, 0.8, 0.6}, 0.4},
      {{0.2, 0.2, 0.2, 0.2, 0.7, 0.6, 0.5, 0.4}, 0.5},
      {{0.3, 0.9}, 1.0},
  };
  for (const auto& c : cases) {
    StatisticalEyeSettings settings;
    settings.samplesPerBit = static_cast<std::int32_t>(c.pulse.size());
    settings.amplitude = c.amplitude;
    const StatisticalEye eye = computed(c.pulse, {}, settings);
    const double peak = c.pulse[c.pulse.size() / 2];
    EXPECT_NEAR(eye.binWidth(), 1e-3 * c.amplitude * peak, 1e-18);
    for (const double ber : {1e-3, 1e-12, 1e-30}) {
      const EyeAtBer open = eye.AtBer(ber);
      EXPECT_TRUE(open.open);
      EXPECT_EQ(open.height, 2000 * eye.binWidth()) << peak << ' ' << ber;
      EXPECT_NEAR(open.height, 2.0 * c.amplitude * peak, 1e-12);
      EXPECT_EQ(open.bestPhase, settings.samplesPerBit / 2);
      EXPECT_EQ(eye.ThresholdVoltage(open.bestThreshold), 0.5 * eye.binWidth());
      EXPECT_EQ(open.left, -0.5);
      EXPECT_EQ(open.right, 0.5);
      EXPECT_EQ(open.width, 1.0);
    }
  }
}

TEST(StatisticalEye, NoiseAloneGivesTheQFunctionDeepIntoTheTail) {
  StatisticalEyeSettings settings;
  settings.samplesPerBit = 8;
  settings.binFraction = 1.0 / 1024;  // the cursor of 0.5 V lies on the grid
  settings.noiseRms = 0.04;
  const StatisticalEye eye = computed({0, 0, 0, 1.0}, {}, settings);
  int checked = 0;
  for (int t = 0; t < eye.thresholds(); ++t) {
    const double v = eye.ThresholdVoltage(t);
    const double expected = 0.5 * (q((0.5 - v) / 0.04) + q((0.5 + v) / 0.04));
    const double ber = eye.Ber(4, t);
    if (expected > 1e-250) {
      EXPECT_NEAR(ber, expected, 1e-12 * expected) << v;
      checked += expected < 1e-15;
    }
    EXPECT_DOUBLE_EQ(eye.Ber(0, t), 0.5);  // no cursor: a coin toss
  }
  EXPECT_GT(checked, 300);
}

TEST(StatisticalEye, RandomJitterMovesTheSampleOffItsPhaseWithTheGaussianTail) {
  // One cursor at one sample, other phases a coin toss: at its phase the BER is half the
  // chance of leaving its cell, 1/2 erfc(1 / (2 sqrt 2 sigma)) (sigma in phase steps); one
  // step over, of landing outside the cell [-3/2, -1/2].
  StatisticalEyeSettings settings;
  settings.samplesPerBit = 8;
  for (double sigmaSteps : {0.3, 0.1, 0.05}) {
    settings.randomJitterRms = sigmaSteps / 8;
    const StatisticalEye eye = computed({0, 0, 0, 1.0}, {}, settings);
    const double r = 1.0 / (sigmaSteps * std::sqrt(2.0));
    const double atCursor = 0.5 * std::erfc(r / 2);
    const double nextToIt = 0.5 - 0.25 * (std::erfc(r / 2) - std::erfc(1.5 * r));
    const int middle = eye.thresholds() / 2;
    EXPECT_NEAR(eye.Ber(4, middle), atCursor, 1e-12 * atCursor) << sigmaSteps;
    EXPECT_NEAR(eye.Ber(5, middle), nextToIt, 1e-12) << sigmaSteps;
  }
}

// A triangle two bits wide: at x UI from its peak the level is 1 - |x|, the neighbour's |x|.
std::vector<double> trianglePulse(int s) {
  std::vector<double> pulse(2 * s + 1);
  for (int i = 0; i <= 2 * s; ++i)
    pulse[i] = 1.0 - std::fabs(i - s) / double(s);
  return pulse;
}

TEST(StatisticalEye, WorstCaseCrosstalkPhaseNeverOpensTheEyeWider) {
  LossyChannel channel;
  channel.SampleInterval = 1.0 / 64e9;
  channel.Samples = 40 * 32;
  const std::vector<double> victim = pulseResponse(channel.ImpulseResponse(), 1 / 64e9, 32);
  std::vector<double> aggressor(victim.size() - 16);
  for (std::size_t i = 0; i < aggressor.size(); ++i)
    aggressor[i] = 0.3 * (victim[i + 16] - victim[i]);  // a far-end crosstalk shape
  StatisticalEyeSettings settings;
  settings.noiseRms = 0.005;
  const StatisticalEye worst = computed(victim, {aggressor}, settings);
  settings.crosstalkPhase = CrosstalkPhase::kAveraged;
  const StatisticalEye averaged = computed(victim, {aggressor}, settings);
  for (double ber : {1e-3, 1e-6, 1e-9, 1e-12, 1e-15}) {
    const EyeAtBer w = worst.AtBer(ber), a = averaged.AtBer(ber);
    EXPECT_TRUE(w.open && a.open);
    EXPECT_LT(w.height, a.height) << ber;
    EXPECT_LT(w.width, a.width) << ber;
  }
}

TEST(StatisticalEye, DualDiracJitterNarrowsTheBathtubByItsPeakToPeak) {
  // Each Dirac carries half the samples: the bathtub with DJ at BER b is the one without
  // at 2b, DJ narrower.
  StatisticalEyeSettings settings;
  settings.noiseRms = 0.02;
  const StatisticalEye plain = computed(trianglePulse(32), {}, settings);
  settings.deterministicJitter = 0.125;
  const StatisticalEye jittered = computed(trianglePulse(32), {}, settings);
  for (double ber : {1e-3, 1e-6, 1e-9, 1e-12, 1e-15})
    EXPECT_NEAR(plain.AtBer(2 * ber).width - jittered.AtBer(ber).width, 0.125, 1e-9) << ber;
  // Without jitter the wall at x UI is where half the patterns, 0.5 (1 - 2 |x|) V from the
  // threshold, err at 4e-12 = Q(6.838); within a tenth of a step (log BER interpolated).
  EXPECT_NEAR(plain.AtBer(1e-12).width, 1.0 - 2 * 0.02 * 6.838, 0.1 / 32);
}

TEST(StatisticalEye, JitterPastTheBitReadsTheNeighbouringBitsCursors) {
  // Cursors 1 and 0.25 a bit later, data +-0.5 V decided at 0.45 V. On time a 1 reads
  // 0.5 +- 0.125 and errs half the time, a 0 never: BER 1/4. A bit late, 0.125 +- 0.5: 1/4
  // again. A bit early, no signal: +-0.5 +-0.125 errs 3/4 for a 1 and 1/4 for a 0: 1/2.
  // DJ of 2 UI samples a bit early and late, half the time each: 3/8 (wrapped round, 1/4).
  StatisticalEyeSettings settings;
  settings.samplesPerBit = 8;
  std::vector<double> pulse(40, 0.0);
  pulse[12] = 1.0;
  pulse[20] = 0.25;
  for (const auto& [dj, ber] : {std::pair{0.0, 0.25}, std::pair{2.0, 0.375}}) {
    settings.deterministicJitter = dj;
    const StatisticalEye eye = computed(pulse, {}, settings);
    std::int32_t t = 0;
    while (eye.ThresholdVoltage(t) < 0.45)
      ++t;
    ASSERT_LT(eye.ThresholdVoltage(t), 0.625);
    EXPECT_DOUBLE_EQ(eye.Ber(4, t), ber) << dj;
  }
}

TEST(StatisticalEye, DualDiracJitterOfOneBitClosesTheEyeAndKeepsItsCentre) {
  StatisticalEyeSettings settings;
  settings.noiseRms = 0.01;
  for (const auto& [dj, open] : {std::pair{0.25, true}, std::pair{0.5, true}, std::pair{1.0, false},
                                 std::pair{2.0, false}}) {
    settings.deterministicJitter = dj;
    const EyeAtBer at = computed(trianglePulse(32), {}, settings).AtBer(1e-12);
    EXPECT_EQ(at.open, open) << dj;
    // The triangle is symmetric: an open eye stays centred on its peak.
    EXPECT_EQ(at.bestPhase, open ? 16 : 0) << dj;
  }
}

TEST(StatisticalEye, BathtubWithRandomJitterIsTheQFunctionOfTheBitEdges) {
  // Flat for one bit (peak marked mid-bit), no noise: inside the bit always right, outside
  // a coin toss. Jitter of sigma steps in whole-step cells keeps the sample k steps in
  // inside while under k + 1/2 early or s - k - 1/2 late: BER(k) is half the Q sum.
  const int s = 64;
  const double sigma = 0.1 * s;
  std::vector<double> pulse(3 * s, 0.0);
  for (int i = s; i < 2 * s; ++i)
    pulse[std::size_t(i)] = i == s + s / 2 ? 1.0 + 1e-9 : 1.0;
  StatisticalEyeSettings settings;
  settings.samplesPerBit = s;
  settings.randomJitterRms = sigma / s;
  const StatisticalEye eye = computed(pulse, {}, settings);
  ASSERT_EQ(eye.mainCursorIndex() - s / 2, s);  // phase k samples k steps into the bit
  const std::vector<double> tub = eye.Bathtub(eye.thresholds() / 2);
  for (int k = 0; k < s; ++k) {
    const double expected = 0.5 * (q((k + 0.5) / sigma) + q((s - k - 0.5) / sigma));
    EXPECT_NEAR(tub[std::size_t(k)], expected, 1e-9 * expected + 1e-20) << k;
  }
}

TEST(StatisticalEye, RefusesWhatHasNoEyeAndSettingsOutOfRange) {
  using Settings = StatisticalEyeSettings;
  const std::string noCursor = "the victim pulse has no positive main cursor";
  const std::string jitter = "random jitter above 1 UI rms or deterministic jitter above 2 UI";
  const struct {
    std::vector<double> victim;
    double Settings::*setting;  // set to `value`, unless null
    double value;
    std::string message;  // after "statistical eye: "
  } cases[] = {
      {{}, nullptr, 0.0, noCursor},
      {{0.0, -1.0, 0.2}, nullptr, 0.0, noCursor},
      {{0.0, 1.0}, &Settings::binFraction, 1e-9, "the voltage grid would exceed 4194304 bins"},
      {{0.0, 1.0}, &Settings::randomJitterRms, 1.01, jitter},
      {{0.0, 1.0}, &Settings::deterministicJitter, 2.01, jitter},
      {{0.0, 1.0},
       &Settings::noiseRms,
       -0.01,
       "samples per bit >= 1, amplitude and bin fraction > 0, noise, jitter and bins >= 0 "
       "required"},
  };
  for (const auto& c : cases) {
    Settings settings;
    if (c.setting != nullptr)
      settings.*c.setting = c.value;
    StatisticalEye eye;
    EXPECT_EQ(testing::failure(eye.Compute(c.victim, {}, settings)),
              "statistical eye: " + c.message);
  }
}

TEST(PulseResponse, StepMinusItselfOneBitLaterAndTheCursorsItHolds) {
  // Impulse 1/s samples 2, 0, 1 at 0.5 s give the step 1, 1, 1.5; the pulse
  // is the step minus itself two samples later.
  EXPECT_EQ(pulseResponse({2.0, 0.0, 1.0}, 0.5, 2), (std::vector<double>{1.0, 1.0, 0.5, 0.5, 0.0}));
  EXPECT_EQ(mainCursorIndex({0.0, 3.0, 1.0, 3.0}), 1u);
  EXPECT_EQ(mainCursorIndex({0.0, 1.0, -3.0, 3.0}), 3u);  // the largest, positive first
  EXPECT_EQ(mainCursorIndex({0.5, -3.0, 1.0}), 1u);
  EXPECT_EQ(mainCursorIndex({}), 0u);
  // Two samples per bit: phase 0 holds 0.1, 1, 0 and 0.05, phase 1 holds
  // 0.2, -0.3 and 0.4; zero cursors are no interference.
  const std::vector<double> pulse{0.1, 0.2, 1.0, -0.3, 0.0, 0.4, 0.05};
  const PhaseCursors atPeak = cursorsAt(pulse, 2, 2, 0.5);
  EXPECT_EQ(atPeak.signal, 0.5);
  EXPECT_EQ(atPeak.interference, (std::vector<double>{0.05, 0.025}));
  EXPECT_DOUBLE_EQ(peakDistortion(pulse, 0, 2, 0.5), 0.575);
  EXPECT_DOUBLE_EQ(peakDistortion(pulse, 1, 2, 0.5), 0.45);
  EXPECT_EQ(worstPhase(pulse, 2, 0.5), 0);
  EXPECT_EQ(worstPhase({0.0, 0.5, 1.0, 0.7}, 2, 1.0), 1);
}

TEST(EyeMetrics, EveryAggressorTakesItsPeakOffTheEye) {
  // One sample of area a is a pulse of a for one bit: +-0.5 V data moves each level by a / 2.
  const double dt = 1e-12;
  EyeMetrics eye;
  eye.bcUpperLevel = 0.5;
  eye.wcUpperLevel = 0.4;
  eye.mainCursorIndex = 37;
  includeCrosstalk({{0.1 / dt}, {0.0, -0.04 / dt}}, dt, 32, eye);
  EXPECT_NEAR(eye.height(), 0.8 - 0.14, 1e-12);
  EXPECT_NEAR(eye.bcUpperLevel, 0.57, 1e-12);
  EXPECT_NEAR(eye.crosstalk, 0.14, 1e-12);
}

TEST(RunAnalysis, TheFirstColumnIsTheVictimAndTheOthersAggressors) {
  // A sample of area 1 is an eye 1 V high without ISI; an aggressor of area 0.1 takes 0.1 V
  // off, at any BER too.
  const int s = 8;
  const double dt = 1.0 / (2e9 * s);
  ModelRun run;
  run.columns = {{1.0 / dt}, {0.1 / dt}};
  StatisticalRequest request;
  request.settings.binFraction = 1.0 / 1000;
  RunFigures figures;
  ASSERT_TRUE(testing::succeeded(analyseRun(run, LinkTiming{2e9, s}, request, figures)));
  EXPECT_NEAR(figures.eye.height(), 1.0 - 0.1, 1e-9);
  EXPECT_NEAR(figures.eye.crosstalk, 0.1, 1e-9);
  EXPECT_TRUE(figures.atBer.open);
  EXPECT_NEAR(figures.atBer.height, 1.0 - 0.1, 2 * figures.statistical.binWidth());
  // The worst case at the statistical eye's centre: the same 1 - 0.1.
  EXPECT_NEAR(figures.worstCaseAtCentre, 1.0 - 0.1, 1e-9);
}

}  // namespace
}  // namespace norvask::host
