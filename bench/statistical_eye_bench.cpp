// The whole statistical eye at the size a long channel gives: 32 samples per
// bit, 200 cursors per phase, two aggressors and a 2048-bin voltage grid, with
// noise and both kinds of jitter, for either crosstalk phase rule.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "host/analysis/StatisticalEye.h"

namespace norvask::host {
namespace {

constexpr int kSamplesPerBit = 32;
constexpr int kCursors = 200;

// A pulse with a main cursor of 1 near its start and a ringing tail that
// decays over the whole length.
std::vector<double> longPulse(double scale, double period, double delay) {
  std::vector<double> pulse(kSamplesPerBit * kCursors);
  for (std::size_t i = 0; i < pulse.size(); ++i) {
    const double bits = static_cast<double>(i) / kSamplesPerBit - delay;
    const double main = std::exp(-bits * bits * 2.0);
    const double tail = 0.05 * std::exp(-bits / 60.0) * std::sin(bits / period);
    pulse[i] = scale * (main + tail);
  }
  return pulse;
}

void runEye(benchmark::State& state, CrosstalkPhase phase) {
  const std::vector<double> victim = longPulse(1.0, 3.0, 3.0);
  const std::vector<std::vector<double>> aggressors{longPulse(0.05, 2.0, 4.0),
                                                    longPulse(-0.03, 5.0, 3.5)};
  StatisticalEyeSettings settings;
  settings.samplesPerBit = kSamplesPerBit;
  settings.bins = 2048;
  settings.noiseRms = 0.005;
  settings.randomJitterRms = 0.01;
  settings.deterministicJitter = 0.05;
  settings.crosstalkPhase = phase;
  for (auto _ : state) {
    StatisticalEye eye;
    if (const Status computed = eye.Compute(victim, aggressors, settings); !computed.ok())
      state.SkipWithError(computed.message().c_str());
    benchmark::DoNotOptimize(eye.AtBer(1e-12));
  }
}

void BM_StatisticalEyeWorstCasePhase(benchmark::State& state) {
  runEye(state, CrosstalkPhase::kWorstCase);
}
void BM_StatisticalEyeAveragedPhase(benchmark::State& state) {
  runEye(state, CrosstalkPhase::kAveraged);
}

BENCHMARK(BM_StatisticalEyeWorstCasePhase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StatisticalEyeAveragedPhase)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace norvask::host

BENCHMARK_MAIN();
