// The machine limit for the direct-form FIR: the most multiply-then-add pairs
// per second one core can do with each instruction set the block FIR can pick
// (MachineLimitChains.h says how it is measured).
//
// The filter never fuses a multiply and an add: its output must match the
// per-sample form bit for bit, and a fused multiply-add rounds once where that
// form rounds twice. So its limit is measured with the same rule, from chains
// compiled without contraction (MachineLimitUnfused.cpp), and that figure is
// the one the ratios use. The fused chains (MachineLimitFused.cpp) run faster
// on most processors and are reported for reference only.
#ifndef NORVASK_BENCH_MACHINELIMIT_H_
#define NORVASK_BENCH_MACHINELIMIT_H_

#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dsp/FirKernel.h"

namespace norvask::bench {

// One run of the chains: returns the pairs done; `result` keeps them live.
double RunUnfusedChains(FirKernel::InstructionSet set, double* result);
double RunFusedChains(FirKernel::InstructionSet set, double* result);

// The limit is a property of the machine: a neighbour on a shared core can
// only lower a measured rate, so with repetitions the best one ("max") is the
// estimate, next to the usual median.
inline double Best(const std::vector<double>& values) {
  return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}

inline std::string MachineLimitName(FirKernel::InstructionSet set, bool fused) {
  return std::string(fused ? "MachineLimitFused/" : "MachineLimit/") + FirKernel::Name(set);
}

// Reports "mul_add_per_s" for one instruction set and arithmetic rule.
inline void BM_MachineLimit(benchmark::State& state, FirKernel::InstructionSet set, bool fused) {
  double result[8] = {};
  double pairs = 0.0;
  for (auto _ : state) {
    pairs += fused ? RunFusedChains(set, result) : RunUnfusedChains(set, result);
    benchmark::DoNotOptimize(result);
  }
  state.counters["mul_add_per_s"] = benchmark::Counter(pairs, benchmark::Counter::kIsRate);
}

// Registers both rules for every instruction set this processor supports.
inline void RegisterMachineLimits() {
  for (const auto set : {FirKernel::InstructionSet::kScalar, FirKernel::InstructionSet::kAvx2,
                         FirKernel::InstructionSet::kAvx512}) {
    if (!FirKernel::Supported(set))
      continue;
    for (const bool fused : {false, true}) {
      benchmark::RegisterBenchmark(MachineLimitName(set, fused).c_str(), BM_MachineLimit, set,
                                   fused)
          ->Unit(benchmark::kMicrosecond)
          ->ComputeStatistics("max", Best);
    }
  }
}

}  // namespace norvask::bench

#endif  // NORVASK_BENCH_MACHINELIMIT_H_
