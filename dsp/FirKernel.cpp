#include "dsp/FirKernel.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define NORVASK_X86_VECTOR_PATHS 1
#else
#define NORVASK_X86_VECTOR_PATHS 0
#endif

namespace norvask {

namespace {

// Taps per pass over a chunk. Partial sums go to memory between passes,
// which changes no rounding since each is stored and reloaded exactly. A pass
// keeps the taps a block streams through (16 KiB of them) in the level-1
// cache beside its stretch of input; each pass costs one ramp up and down of
// the skewed schedule below, so passes are not made shorter than that.
constexpr std::int32_t kTile = 2048;
// Fewest accumulators for which the skewed schedule is used.
constexpr int kSkewedMinimum = 8;

// Terms of output j: the first output has `start`, each later one one more,
// up to `terms`.
std::int32_t TermsOf(std::int64_t j, std::int32_t terms, std::int32_t start) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(terms, start + j));
}

// The plain loop, in the per-sample filter's order.
void filterScalar(const double* h, std::int32_t terms, std::int32_t start, const double* x,
                  double* out, std::int64_t count) {
  for (std::int64_t j = 0; j < count; ++j) {
    const std::int32_t n = TermsOf(j, terms, start);
    double sum = 0.0;
    for (std::int32_t k = 0; k < n; ++k)
      sum += x[j - k] * h[k];
    out[j] = sum;
  }
}

#if NORVASK_X86_VECTOR_PATHS

using Vec8 = double __attribute__((vector_size(64)));
using Vec4 = double __attribute__((vector_size(32)));

// The helpers below are written once with GCC/clang vector types and forced
// inline into the per-instruction-set entry points, where they compile to
// that set's registers. Window q is the W inputs from x[q]; output j takes
// tap k times x[j - k], so accumulator a of a block from j0 (outputs
// j0 + a W ..) takes tap k times window j0 + a W - k.
__attribute__((always_inline)) inline void iota(Vec8& v) {
  v = Vec8{0, 1, 2, 3, 4, 5, 6, 7};
}
__attribute__((always_inline)) inline void iota(Vec4& v) {
  v = Vec4{0, 1, 2, 3};
}

// Tap k to accumulators [First, Last). `window0` is the block's window j0.
// A vector times a scalar broadcasts the scalar as it is (no arithmetic that
// could turn -0.0 into +0.0).
template <typename V, int W, int A, int First, int Last>
__attribute__((always_inline)) inline void TakeTap(const double* h, std::int32_t k,
                                                   const double* window0, V (&acc)[A]) {
  const double tap = h[k];
  const double* row = window0 - k;
#pragma GCC unroll 16
  for (int a = First; a < Last; ++a) {
    V window;
    std::memcpy(&window, row + a * W, sizeof window);
    const V product = window * tap;
    acc[a] = acc[a] + product;
  }
}

// One vector load per multiply-add, as above, fills the load ports as fast as
// the arithmetic runs (and unaligned windows split cache lines). The skewed
// schedule shares one window among all accumulators instead: if accumulator a
// runs a W taps ahead of accumulator 0, all of them read window j0 - k0 - t
// at step t, and only their taps (scalars, cheap to load) differ. Each
// accumulator still takes its taps one by one in increasing order; the
// schedule only interleaves independent sums. Before the steady state,
// accumulator a takes its first a W taps alone (the ramp up), after it its
// last (A - 1 - a) W (the ramp down), a chunk of W taps at a time with the
// accumulators that need that chunk, a set fixed at compile time so that the
// sums stay in registers.
template <typename V, int W, int A, int Chunk>
__attribute__((always_inline)) inline void RampUp(const double* h, std::int32_t k0,
                                                  const double* window0, V (&acc)[A]) {
  for (std::int32_t k = k0 + Chunk * W; k < k0 + (Chunk + 1) * W; ++k)
    TakeTap<V, W, A, Chunk + 1, A>(h, k, window0, acc);
  if constexpr (Chunk + 2 < A)
    RampUp<V, W, A, Chunk + 1>(h, k0, window0, acc);
}

template <typename V, int W, int A, int Chunk>
__attribute__((always_inline)) inline void RampDown(const double* h, std::int32_t base,
                                                    const double* window0, V (&acc)[A]) {
  for (std::int32_t k = base + Chunk * W; k < base + (Chunk + 1) * W; ++k)
    TakeTap<V, W, A, 0, Chunk + 1>(h, k, window0, acc);
  if constexpr (Chunk + 2 < A)
    RampDown<V, W, A, Chunk + 1>(h, base, window0, acc);
}

// Taps [k0, k1) to every accumulator, in the skewed schedule.
// REQUIRES: k1 - k0 >= (A - 1) W.
template <typename V, int W, int A>
__attribute__((always_inline)) inline void SkewedTaps(const double* h, std::int32_t k0,
                                                      std::int32_t k1, const double* window0,
                                                      V (&acc)[A]) {
  RampUp<V, W, A, 0>(h, k0, window0, acc);
  const std::int32_t steps = k1 - k0 - (A - 1) * W;
  for (std::int32_t t = 0; t < steps; ++t) {
    V window;
    std::memcpy(&window, window0 - (k0 + t), sizeof window);
    const double* taps = h + k0 + t;
#pragma GCC unroll 16
    for (int a = 0; a < A; ++a) {
      const V product = window * taps[a * W];
      acc[a] = acc[a] + product;
    }
  }
  RampDown<V, W, A, 0>(h, k1 - (A - 1) * W, window0, acc);
}

// A accumulators of W outputs each (outputs j0 ..), held in registers over
// taps [k0, k1). Taps below kFull go to every output; from kFull on only to
// the outputs whose own term count reaches the tap (the start region), the
// others keep their sum through a blend, which is exact.
template <typename V, int W, int A>
__attribute__((always_inline)) inline void AccumulateBlock(const double* h, std::int32_t k0,
                                                           std::int32_t kFull, std::int32_t k1,
                                                           std::int64_t j0, std::int32_t start,
                                                           const double* window0, double* sums) {
  // Every sum starts from +0.0, as the per-sample loop's does.
  V acc[A] = {};
  if (k0 > 0)
    std::memcpy(acc, sums, sizeof acc);
  std::int32_t k = k0;
  // The ramps cost as much as the plain schedule, so the skew pays only where
  // the steady state is long against them.
  if constexpr (A >= kSkewedMinimum) {
    if (kFull - k0 >= 2 * (A - 1) * W) {
      SkewedTaps<V, W, A>(h, k0, kFull, window0, acc);
      k = kFull;
    }
  }
  for (; k < kFull; ++k)
    TakeTap<V, W, A, 0, A>(h, k, window0, acc);
  if (kFull < k1) {
    V lanes;
    iota(lanes);
    lanes = lanes + static_cast<double>(j0);
    for (k = kFull; k < k1; ++k) {
      const double tap = h[k];
      const double* row = window0 - k;
      // Output j sums start + j terms, so it takes tap k while j > k - start.
      const double lastWithout = static_cast<double>(k) - start;
      for (int a = 0; a < A; ++a) {
        V window;
        std::memcpy(&window, row + a * W, sizeof window);
        const V product = window * tap;
        const auto takes = (lanes + static_cast<double>(a * W)) > lastWithout;
        acc[a] = takes ? acc[a] + product : acc[a];
      }
    }
  }
#pragma GCC unroll 16
  for (int a = 0; a < A; ++a)
    std::memcpy(sums + a * W, &acc[a], sizeof(V));
}

// One block of W * A outputs from j0 over the pass [k0, k1): its first
// output's term count bounds the taps every output takes, its last one's the
// taps any output takes. A block with nothing in this pass keeps its partial
// sums.
template <typename V, int W, int A>
__attribute__((always_inline)) inline void PassBlock(const double* h, std::int32_t terms,
                                                     std::int32_t start, std::int32_t k0,
                                                     std::int32_t k1, std::int64_t j0,
                                                     const double* x, double* sums) {
  const std::int32_t kFull = std::max(k0, std::min(k1, TermsOf(j0, terms, start)));
  const std::int32_t kEnd = std::min(k1, TermsOf(j0 + W * A - 1, terms, start));
  if (k0 > 0 && kEnd <= k0)
    return;
  AccumulateBlock<V, W, A>(h, k0, kFull, kEnd, j0, start, x + j0, sums + j0);
}

// Taps in passes of kTile; outputs in blocks of W * kBulk, the rest in
// blocks of W * kTail.
// REQUIRES: padded a multiple of W * kTail.
template <typename V, int W, int kBulk, int kTail>
__attribute__((always_inline)) inline void FilterPasses(const double* h, std::int32_t terms,
                                                        std::int32_t start, const double* x,
                                                        double* sums, std::int64_t padded) {
  for (std::int32_t k0 = 0; k0 < terms; k0 += kTile) {
    const std::int32_t k1 = std::min(terms, k0 + kTile);
    std::int64_t j = 0;
    for (; j + W * kBulk <= padded; j += W * kBulk)
      PassBlock<V, W, kBulk>(h, terms, start, k0, k1, j, x, sums);
    for (; j < padded; j += W * kTail)
      PassBlock<V, W, kTail>(h, terms, start, k0, k1, j, x, sums);
  }
}

// 16 accumulators plus the tap leave AVX-512's 32 registers room; AVX2 has 16.
__attribute__((target("avx512f"))) void filterAvx512(const double* h, std::int32_t terms,
                                                     std::int32_t start, const double* x,
                                                     double* sums, std::int64_t padded) {
  FilterPasses<Vec8, 8, 16, 4>(h, terms, start, x, sums, padded);
}

__attribute__((target("avx2"))) void filterAvx2(const double* h, std::int32_t terms,
                                                std::int32_t start, const double* x, double* sums,
                                                std::int64_t padded) {
  FilterPasses<Vec4, 4, 8, 8>(h, terms, start, x, sums, padded);
}

#endif  // NORVASK_X86_VECTOR_PATHS

}  // namespace

FirKernel::InstructionSet FirKernel::Detect() {
  if (Supported(InstructionSet::kAvx512))
    return InstructionSet::kAvx512;
  if (Supported(InstructionSet::kAvx2))
    return InstructionSet::kAvx2;
  return InstructionSet::kScalar;
}

// The compiler's feature test also checks that the operating system saves the
// wider registers, so a set it reports is safe to use.
bool FirKernel::Supported(InstructionSet set) {
#if NORVASK_X86_VECTOR_PATHS
  __builtin_cpu_init();
  switch (set) {
    case InstructionSet::kAvx512:
      return __builtin_cpu_supports("avx512f");
    case InstructionSet::kAvx2:
      return __builtin_cpu_supports("avx2");
    case InstructionSet::kScalar:
      return true;
  }
  return false;
#else
  return set == InstructionSet::kScalar;
#endif
}

const char* FirKernel::Name(InstructionSet set) {
  switch (set) {
    case InstructionSet::kAvx512:
      return "AVX-512";
    case InstructionSet::kAvx2:
      return "AVX2";
    case InstructionSet::kScalar:
      return "scalar";
  }
  return "unknown";
}

FirKernel& FirKernel::operator=(const FirKernel& other) {
  if (this != &other) {
    set_ = other.set_;
    reservedCount_ = 0;
    sums_.reset();
    Reserve(other.reservedCount_);
  }
  return *this;
}

void FirKernel::Reserve(std::int64_t maxCount) {
  if (maxCount <= reservedCount_)
    return;
  reservedCount_ = maxCount;
  if (set_ == InstructionSet::kScalar)
    return;
  sums_.reset(new double[static_cast<std::size_t>(reservedCount_ + kPadding)]);
}

void FirKernel::Filter(const double* h, std::int32_t terms, std::int32_t start, const double* x,
                       double* out, std::int64_t count) {
  if (count <= 0)
    return;
  start = std::min(start, terms);
#if NORVASK_X86_VECTOR_PATHS
  if (set_ != InstructionSet::kScalar) {
    const std::int64_t padded = (count + kPadding - 1) / kPadding * kPadding;
    if (set_ == InstructionSet::kAvx512) {
      filterAvx512(h, terms, start, x, sums_.get(), padded);
    } else {
      filterAvx2(h, terms, start, x, sums_.get(), padded);
    }
    std::copy(sums_.get(), sums_.get() + count, out);
    return;
  }
#endif
  filterScalar(h, terms, start, x, out, count);
}

}  // namespace norvask
