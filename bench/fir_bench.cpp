// Direct-form FIR speed: the per-sample Run against the block path RunBlock on
// a column of the size the model filters (2006 taps, as 28 Gb/s at 32 samples
// per bit gives), and the machine's own limit for the same instruction set.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <vector>

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

// The machine limit: the most multiply-then-add pairs per second this core
// can do with the instruction set RunBlock uses. Each of kChains accumulators
// runs acc = acc + x * c with its own x, so the multiplies are independent and
// each chain waits only on its own adds; with this many chains the add
// latency is hidden and the loop runs at the throughput of the floating-point
// units. Everything stays in registers (the empty asm makes c opaque each
// round, so the multiply cannot be hoisted), which is the ceiling no loop with
// loads can beat. A pair counts once per lane.
constexpr int kChains = 24;
constexpr std::int64_t kRounds = 1 << 16;

using Vec8 = double __attribute__((vector_size(64)));
using Vec4 = double __attribute__((vector_size(32)));
using Vec1 = double;

template <typename V>
__attribute__((always_inline)) inline void Chains(double* result) {
  V acc[kChains] = {};
  V x[kChains];
  for (int i = 0; i < kChains; ++i)
    x[i] = acc[i] + (1.0 + i * 1e-9);
  V c = acc[0] + 0.999999;
  for (std::int64_t round = 0; round < kRounds; ++round) {
#pragma GCC unroll 24
    for (int i = 0; i < kChains; ++i) {
      const V product = x[i] * c;
      acc[i] = acc[i] + product;
    }
    __asm__ volatile("" : "+x"(c));
  }
  V sum = acc[0];
  for (int i = 1; i < kChains; ++i)
    sum = sum + acc[i];
  std::copy(reinterpret_cast<const double*>(&sum),
            reinterpret_cast<const double*>(&sum) + sizeof(V) / sizeof(double), result);
}

__attribute__((target("avx512f"))) void ChainsAvx512(double* result) {
  Chains<Vec8>(result);
}
__attribute__((target("avx2"))) void ChainsAvx2(double* result) {
  Chains<Vec4>(result);
}
void ChainsScalar(double* result) {
  Chains<Vec1>(result);
}

void BM_MachineLimit(benchmark::State& state) {
  const FirKernel::InstructionSet set = FirKernel::Detect();
  state.SetLabel(FirKernel::Name(set));
  double result[8] = {};
  int lanes = 1;
  for (auto _ : state) {
    switch (set) {
      case FirKernel::InstructionSet::kAvx512:
        ChainsAvx512(result);
        lanes = 8;
        break;
      case FirKernel::InstructionSet::kAvx2:
        ChainsAvx2(result);
        lanes = 4;
        break;
      case FirKernel::InstructionSet::kScalar:
        ChainsScalar(result);
        break;
    }
    benchmark::DoNotOptimize(result);
  }
  state.counters["mul_add_per_s"] = benchmark::Counter(
      static_cast<double>(kRounds) * kChains * lanes * static_cast<double>(state.iterations()),
      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MachineLimit)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace norvask

BENCHMARK_MAIN();
