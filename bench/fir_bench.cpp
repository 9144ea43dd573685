// Direct-form FIR speed: the per-sample Run against the block path RunBlock on
// a column of the size the model filters (2006 taps, as 28 Gb/s at 32 samples
// per bit gives), and the machine's multiply-add limit for every instruction
// set the block path can pick (MachineLimit.h says how it is measured). Also
// the FFT of the FIR's block-convolution path alone, up to the 262,144 points
// a Touchstone conversion at 28 Gb/s and 32 samples per bit asks for.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <complex>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

#include "MachineLimit.h"
#include "dsp/FFT.h"
#include "dsp/FIR.h"
#include "dsp/FirKernel.h"

namespace norvask {
namespace {

constexpr std::size_t kTaps = 2006;
constexpr std::size_t kRows = 65536;

std::vector<double> RandomSamples(std::size_t n, unsigned seed) {
  std::mt19937_64 rng(seed);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  std::vector<double> x(n);
  for (auto& v : x)
    v = dist(rng);
  return x;
}

// Multiply-adds of one column: output s sums min(K, s + 1) terms.
double MultiplyAdds(std::size_t taps, std::size_t rows) {
  double total = 0.0;
  for (std::size_t s = 0; s < rows; ++s)
    total += static_cast<double>(std::min(taps, s + 1));
  return total;
}

struct Column {
  std::vector<double> taps = RandomSamples(kTaps, 1);
  std::vector<double> input = RandomSamples(kRows, 2);
  std::vector<double> work = input;
  std::ostringstream messages;
  FIR fir;

  Column() {
    fir.Taps = &taps;
    fir.Setup(nullptr, messages);
  }
};

void SetRate(benchmark::State& state) {
  state.counters["mul_add_per_s"] =
      benchmark::Counter(MultiplyAdds(kTaps, kRows) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate);
}

void BM_FirRunPerSample(benchmark::State& state) {
  Column column;
  for (auto _ : state) {
    column.fir.Initialize(column.messages);
    for (std::size_t i = 0; i < kRows; ++i) {
      column.fir.In = column.input[i];
      column.fir.Run(column.messages);
      column.work[i] = column.fir.Out;
    }
    benchmark::DoNotOptimize(column.work.data());
  }
  SetRate(state);
}
BENCHMARK(BM_FirRunPerSample)->Unit(benchmark::kMillisecond);

void BM_FirRunBlock(benchmark::State& state) {
  Column column;
  state.SetLabel(FirKernel::Name(FirKernel::Detect()));
  for (auto _ : state) {
    column.fir.Initialize(column.messages);
    std::copy(column.input.begin(), column.input.end(), column.work.begin());
    column.fir.RunBlock(column.work.data(), static_cast<std::int64_t>(kRows), column.messages);
    benchmark::DoNotOptimize(column.work.data());
  }
  SetRate(state);
}
BENCHMARK(BM_FirRunBlock)->Unit(benchmark::kMillisecond);

// One inverse transform per iteration, on a fresh copy of the same data.
void BM_FftInverse(benchmark::State& state) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> parts = RandomSamples(2 * n, 11);
  std::vector<std::complex<double>> input(n), work(n);
  for (std::size_t i = 0; i < n; ++i)
    input[i] = {parts[2 * i], parts[2 * i + 1]};
  FFT fft;
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(input.begin(), input.end(), work.begin());
    state.ResumeTiming();
    fft.ComplexFFT(work, 0);
    benchmark::DoNotOptimize(work.data());
  }
}
BENCHMARK(BM_FftInverse)->Arg(1 << 12)->Arg(1 << 15)->Arg(1 << 18)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace norvask

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("build", NORVASK_BUILD_TYPE);
  norvask::bench::RegisterMachineLimits();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
