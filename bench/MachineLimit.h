// The machine limit for the direct-form FIR: the most multiply-then-add pairs
// per second one core can do with the instruction set the block FIR picks.
//
// How it is measured: kChains accumulators each run acc = acc + x * c with
// their own x, so the multiplies are independent and every chain waits only
// on its own adds; with this many chains the add latency is hidden and the
// loop runs at the throughput of the floating-point units. Everything stays in
// registers (the empty asm makes c opaque each round, so the multiply cannot
// be hoisted out of the loop), so no loop that also loads its operands, as
// any filter must, can beat it. A pair counts once per vector lane.
#ifndef NORVASK_BENCH_MACHINELIMIT_H_
#define NORVASK_BENCH_MACHINELIMIT_H_

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "dsp/FirKernel.h"

namespace norvask::bench {

constexpr int kChains = 24;
constexpr std::int64_t kRounds = 1 << 16;

using Vec8 = double __attribute__((vector_size(64)));
using Vec4 = double __attribute__((vector_size(32)));

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
#if defined(__clang__)
    // clang checks a register constraint against the template's own (generic)
    // target and refuses 256/512-bit values; through memory it costs one
    // store and reload per kChains pairs, which the load ports absorb. (GCC
    // would then keep the accumulators in memory too, hence the split.)
    __asm__ volatile("" : "+m"(c));
#else
    __asm__ volatile("" : "+x"(c));
#endif
  }
  V sum = acc[0];
  for (int i = 1; i < kChains; ++i)
    sum = sum + acc[i];
  std::copy(reinterpret_cast<const double*>(&sum),
            reinterpret_cast<const double*>(&sum) + sizeof(V) / sizeof(double), result);
}

__attribute__((target("avx512f"))) inline void ChainsAvx512(double* result) {
  Chains<Vec8>(result);
}
__attribute__((target("avx2"))) inline void ChainsAvx2(double* result) {
  Chains<Vec4>(result);
}
inline void ChainsScalar(double* result) {
  Chains<double>(result);
}

// Runs the chains once with `set`; returns the pairs done.
inline double RunChains(FirKernel::InstructionSet set, double* result) {
  switch (set) {
    case FirKernel::InstructionSet::kAvx512:
      ChainsAvx512(result);
      return static_cast<double>(kRounds) * kChains * 8;
    case FirKernel::InstructionSet::kAvx2:
      ChainsAvx2(result);
      return static_cast<double>(kRounds) * kChains * 4;
    case FirKernel::InstructionSet::kScalar:
      break;
  }
  ChainsScalar(result);
  return static_cast<double>(kRounds) * kChains;
}

// The limit is a property of the machine: a neighbour on a shared core can
// only lower a measured rate, so with repetitions the best one ("max") is the
// estimate, next to the usual median.
inline double Best(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

// Reports "mul_add_per_s" for the set the block FIR uses on this machine.
inline void BM_MachineLimit(benchmark::State& state) {
  const FirKernel::InstructionSet set = FirKernel::Detect();
  state.SetLabel(FirKernel::Name(set));
  double result[8] = {};
  double pairs = 0.0;
  for (auto _ : state) {
    pairs += RunChains(set, result);
    benchmark::DoNotOptimize(result);
  }
  state.counters["mul_add_per_s"] = benchmark::Counter(pairs, benchmark::Counter::kIsRate);
}

}  // namespace norvask::bench

#endif  // NORVASK_BENCH_MACHINELIMIT_H_
