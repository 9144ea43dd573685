// The chains that measure the machine limit, compiled once by each file that
// includes this one under that file's floating-point contraction rule. The
// names have internal linkage on purpose: the two copies differ in their code
// (separate multiply and add, or fused), so they must not be merged as one.
//
// How it is measured: kChains accumulators each run acc = acc + x * c with
// their own x, so the multiplies are independent and every chain waits only
// on its own adds; with this many chains the add latency is hidden and the
// loop runs at the throughput of the floating-point units. Everything stays in
// registers (the empty asm makes c opaque each round, so the multiply cannot
// be hoisted out of the loop), so no loop that also loads its operands, as
// any filter must, can beat it. A pair counts once per vector lane.
#ifndef NORVASK_BENCH_MACHINELIMITCHAINS_H_
#define NORVASK_BENCH_MACHINELIMITCHAINS_H_

#include <algorithm>
#include <cstdint>

#include "dsp/FirKernel.h"

namespace norvask::bench {
namespace {

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

// The fused variants need FMA in the target as well; with contraction off the
// compiler never emits it, so the unfused copies are unaffected by it.
__attribute__((target("avx512f,fma"))) void ChainsAvx512(double* result) {
  Chains<Vec8>(result);
}
__attribute__((target("avx2,fma"))) void ChainsAvx2(double* result) {
  Chains<Vec4>(result);
}
__attribute__((target("fma"))) void ChainsScalarFma(double* result) {
  Chains<double>(result);
}
void ChainsScalar(double* result) {
  Chains<double>(result);
}

// Runs the chains once with `set`; returns the pairs done. The scalar chains
// may use FMA where the processor has it, for the fused figure; the unfused
// copy compiles to a separate multiply and add either way.
double RunChains(FirKernel::InstructionSet set, double* result) {
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
  if (__builtin_cpu_supports("fma"))
    ChainsScalarFma(result);
  else
    ChainsScalar(result);
  return static_cast<double>(kRounds) * kChains;
}

}  // namespace
}  // namespace norvask::bench

#endif  // NORVASK_BENCH_MACHINELIMITCHAINS_H_
