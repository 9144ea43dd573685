// The chains that measure the machine limit, compiled once by each file that
// includes this one under that file's floating-point contraction rule. The
// names have internal linkage on purpose: the two copies differ in their code
// (separate multiply and add, or fused), so they must not be merged as one.
//
// How it is measured: N accumulators each run acc = acc + x * c, so the
// multiplies are independent and every chain waits only on its own adds; with
// enough chains (two adders of up to four cycles' latency need eight) the add
// latency is hidden and the loop runs at the throughput of the floating-point
// units. Everything must stay in registers, or the chains wait on stores and
// reloads instead: N accumulators, and operands x[i / 4] and c[i % 4] that
// give each chain its own product from N / 4 + 4 registers. So 16 chains fill
// AVX-512's 32 registers to 24, and 8 chains the 16 of AVX2 or SSE to 14. (The
// empty asm makes the c opaque each round, so no multiply can be hoisted out
// of the loop.) No loop that also loads its operands, as any filter must, can
// beat it. A pair counts once per vector lane.
#ifndef NORVASK_BENCH_MACHINELIMITCHAINS_H_
#define NORVASK_BENCH_MACHINELIMITCHAINS_H_

#include <algorithm>
#include <cstdint>

#include "dsp/FirKernel.h"

namespace norvask::bench {
namespace {

constexpr std::int64_t kRounds = 1 << 16;
using Vec8 = double __attribute__((vector_size(64)));
using Vec4 = double __attribute__((vector_size(32)));

// c is opaque through one asm statement on four named values: GCC keeps an
// array it hands to asm in memory, and the chains with it.
template <typename V, int N>
__attribute__((always_inline)) inline void Chains(double* result) {
  V acc[N] = {};
  V x[N / 4];
  for (int i = 0; i < N / 4; ++i)
    x[i] = acc[0] + (1.0 + i * 1e-9);
  V c0 = acc[0] + 0.999999, c1 = c0 + 1e-9, c2 = c1 + 1e-9, c3 = c2 + 1e-9;
  for (std::int64_t round = 0; round < kRounds; ++round) {
#pragma GCC unroll 16
    for (int i = 0; i < N; i += 4) {
      acc[i] = acc[i] + x[i / 4] * c0;
      acc[i + 1] = acc[i + 1] + x[i / 4] * c1;
      acc[i + 2] = acc[i + 2] + x[i / 4] * c2;
      acc[i + 3] = acc[i + 3] + x[i / 4] * c3;
    }
#if defined(__clang__)
    // clang checks a register constraint against the template's own (generic)
    // target and refuses 256/512-bit values; through memory it costs four
    // stores and reloads per round, which the load ports absorb. (GCC would
    // then keep the accumulators in memory too, hence the split.)
    __asm__ volatile("" : "+m"(c0), "+m"(c1), "+m"(c2), "+m"(c3));
#else
    __asm__ volatile("" : "+x"(c0), "+x"(c1), "+x"(c2), "+x"(c3));
#endif
  }
  V sum = acc[0];
  for (int i = 1; i < N; ++i)
    sum = sum + acc[i];
  std::copy(reinterpret_cast<const double*>(&sum),
            reinterpret_cast<const double*>(&sum) + sizeof(V) / sizeof(double), result);
}

constexpr int kWideChains = 16;   // 32 vector registers
constexpr int kNarrowChains = 8;  // 16 vector registers

// The fused variants need FMA in the target as well; with contraction off the
// compiler never emits it, so the unfused copies are unaffected by it.
__attribute__((target("avx512f,fma"))) void ChainsAvx512(double* result) {
  Chains<Vec8, kWideChains>(result);
}
__attribute__((target("avx2,fma"))) void ChainsAvx2(double* result) {
  Chains<Vec4, kNarrowChains>(result);
}
__attribute__((target("fma"))) void ChainsScalarFma(double* result) {
  Chains<double, kNarrowChains>(result);
}
void ChainsScalar(double* result) {
  Chains<double, kNarrowChains>(result);
}

// Runs the chains once with `set`; returns the pairs done. The scalar chains
// may use FMA where the processor has it, for the fused figure; the unfused
// copy compiles to a separate multiply and add either way.
double RunChains(FirKernel::InstructionSet set, double* result) {
  switch (set) {
    case FirKernel::InstructionSet::kAvx512:
      ChainsAvx512(result);
      return static_cast<double>(kRounds) * kWideChains * 8;
    case FirKernel::InstructionSet::kAvx2:
      ChainsAvx2(result);
      return static_cast<double>(kRounds) * kNarrowChains * 4;
    case FirKernel::InstructionSet::kScalar:
      break;
  }
  if (__builtin_cpu_supports("fma"))
    ChainsScalarFma(result);
  else
    ChainsScalar(result);
  return static_cast<double>(kRounds) * kNarrowChains;
}

}  // namespace
}  // namespace norvask::bench

#endif  // NORVASK_BENCH_MACHINELIMITCHAINS_H_
