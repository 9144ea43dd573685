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
// which changes no rounding since each is stored and reloaded exactly; but a
// pass re-expands its windows, so longer passes cost fewer copies. On the
// reference machine (AMD EPYC, Zen 5) 2048 measured a few per cent above 1024
// and 512: the rows a block streams through come from the level-2 cache fast
// enough, so there is nothing to gain from passes that fit level 1.
constexpr std::int32_t kTile = 2048;
constexpr std::int64_t kDirectOutputs = 256;
// Widest vector: the row length of the expanded windows.
constexpr std::int64_t kMaxWidth = 8;
constexpr std::size_t kRowAlignment = 64;

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
// that set's registers. The sliding input window is the bottleneck: an
// unaligned vector load that starts at every sample splits a cache line most
// of the time, which halves load throughput. So each pass first expands the
// windows it needs into aligned rows (row q holds x[q .. q + W)); one aligned
// load per multiply-add then keeps the loads below the arithmetic's rate.
template <typename V, int W>
__attribute__((always_inline)) inline void ExpandWindows(const double* x, std::int64_t first,
                                                         std::int64_t last, double* rows) {
  for (std::int64_t q = first; q <= last; ++q) {
    V v;
    std::memcpy(&v, x + q, sizeof v);
    std::memcpy(rows + (q - first) * W, &v, sizeof v);
  }
}

__attribute__((always_inline)) inline void iota(Vec8& v) {
  v = Vec8{0, 1, 2, 3, 4, 5, 6, 7};
}
__attribute__((always_inline)) inline void iota(Vec4& v) {
  v = Vec4{0, 1, 2, 3};
}

// A accumulators of W outputs each (outputs j0 ..), held in registers over
// taps [k0, k1). Taps below kFull go to every output; from kFull on only to
// the outputs whose own term count reaches the tap (the start region), the
// others keep their sum through a blend, which is exact. Windows are rows of
// R doubles (R = W for the expanded rows, R = 1 straight from the input, where
// window q starts at x[q]). `windowRow` is the
// row of the window that starts at the block's first output; tap k shifts it
// back by k rows.
template <typename V, int W, int A, int R>
__attribute__((always_inline)) inline void AccumulateBlock(const double* h, std::int32_t k0,
                                                           std::int32_t kFull, std::int32_t k1,
                                                           std::int64_t j0, std::int32_t start,
                                                           const double* windowRow, double* sums) {
  // Every sum starts from +0.0, as the per-sample loop's does.
  V acc[A] = {};
  if (k0 > 0)
    std::memcpy(acc, sums, sizeof acc);
  for (std::int32_t k = k0; k < kFull; ++k) {
    // A vector times a scalar broadcasts the scalar as it is (no arithmetic
    // that could turn -0.0 into +0.0).
    const double tap = h[k];
    const double* row = windowRow - static_cast<std::ptrdiff_t>(k) * R;
#pragma GCC unroll 16
    for (int a = 0; a < A; ++a) {
      V window;
      std::memcpy(&window, row + a * W * R, sizeof window);
      const V product = window * tap;
      acc[a] = acc[a] + product;
    }
  }
  if (kFull < k1) {
    V lanes;
    iota(lanes);
    lanes = lanes + static_cast<double>(j0);
    for (std::int32_t k = kFull; k < k1; ++k) {
      const double tap = h[k];
      const double* row = windowRow - static_cast<std::ptrdiff_t>(k) * R;
      // Output j sums start + j terms, so it takes tap k while j > k - start.
      const double lastWithout = static_cast<double>(k) - start;
      for (int a = 0; a < A; ++a) {
        V window;
        std::memcpy(&window, row + a * W * R, sizeof window);
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

// One block of B outputs from j0 over the pass [k0, k1): its first output's
// term count bounds the taps every output takes, its last one's the taps any
// output takes. A block with nothing in this pass keeps its partial sums.
template <typename V, int W, int A, int R>
__attribute__((always_inline)) inline void PassBlock(const double* h, std::int32_t terms,
                                                     std::int32_t start, std::int32_t k0,
                                                     std::int32_t k1, std::int64_t j0,
                                                     const double* rowOfZero, double* sums) {
  const std::int32_t kFull = std::max(k0, std::min(k1, TermsOf(j0, terms, start)));
  const std::int32_t kEnd = std::min(k1, TermsOf(j0 + W * A - 1, terms, start));
  if (k0 > 0 && kEnd <= k0)
    return;
  AccumulateBlock<V, W, A, R>(h, k0, kFull, kEnd, j0, start, rowOfZero + j0 * R, sums + j0);
}

// Outputs in blocks of W * kBulk, the rest in blocks of W * kTail, over the
// pass [k0, k1) with windows of R doubles.
template <typename V, int W, int kBulk, int kTail, int R>
__attribute__((always_inline)) inline void PassBlocks(const double* h, std::int32_t terms,
                                                      std::int32_t start, std::int32_t k0,
                                                      std::int32_t k1, std::int64_t padded,
                                                      const double* rowOfZero, double* sums) {
  std::int64_t j = 0;
  for (; j + W * kBulk <= padded; j += W * kBulk)
    PassBlock<V, W, kBulk, R>(h, terms, start, k0, k1, j, rowOfZero, sums);
  for (; j < padded; j += W * kTail)
    PassBlock<V, W, kTail, R>(h, terms, start, k0, k1, j, rowOfZero, sums);
}

// Taps in passes of kTile. Up to kDirectOutputs outputs the expansion would
// cost about as much as it saves (and touch scratch pages a short column
// otherwise never needs), so the windows are loaded straight from x.
// REQUIRES: padded a multiple of W * kTail.
template <typename V, int W, int kBulk, int kTail>
__attribute__((always_inline)) inline void FilterPasses(const double* h, std::int32_t terms,
                                                        std::int32_t start, const double* x,
                                                        double* sums, std::int64_t padded,
                                                        double* rows) {
  for (std::int32_t k0 = 0; k0 < terms; k0 += kTile) {
    const std::int32_t k1 = std::min(terms, k0 + kTile);
    if (padded <= kDirectOutputs) {
      PassBlocks<V, W, kBulk, kTail, 1>(h, terms, start, k0, k1, padded, x, sums);
      continue;
    }
    const std::int64_t first = -(static_cast<std::int64_t>(k1) - 1);
    const std::int64_t last = padded - W - k0;
    ExpandWindows<V, W>(x, first, last, rows);
    PassBlocks<V, W, kBulk, kTail, W>(h, terms, start, k0, k1, padded, rows - first * W, sums);
  }
}

// 16 accumulators plus the tap leave AVX-512's 32 registers room; AVX2 has 16.
__attribute__((target("avx512f"))) void filterAvx512(const double* h, std::int32_t terms,
                                                     std::int32_t start, const double* x,
                                                     double* sums, std::int64_t padded,
                                                     double* rows) {
  FilterPasses<Vec8, 8, 16, 4>(h, terms, start, x, sums, padded, rows);
}

__attribute__((target("avx2"))) void filterAvx2(const double* h, std::int32_t terms,
                                                std::int32_t start, const double* x, double* sums,
                                                std::int64_t padded, double* rows) {
  FilterPasses<Vec4, 4, 8, 8>(h, terms, start, x, sums, padded, rows);
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
    reservedTerms_ = 0;
    windowStorage_.reset();
    windows_ = nullptr;
    sums_.reset();
    Reserve(other.reservedCount_, other.reservedTerms_);
  }
  return *this;
}

void FirKernel::Reserve(std::int64_t maxCount, std::int32_t maxTerms) {
  if (maxCount <= reservedCount_ && maxTerms <= reservedTerms_)
    return;
  reservedCount_ = std::max(reservedCount_, maxCount);
  reservedTerms_ = std::max(reservedTerms_, maxTerms);
  if (set_ == InstructionSet::kScalar)
    return;
  const std::int64_t padded = reservedCount_ + kPadding;
  // A pass expands the windows of its own taps only.
  const std::int64_t passTaps = std::min(reservedTerms_, kTile);
  sums_.reset(new double[static_cast<std::size_t>(padded)]);
  const std::size_t slack = kRowAlignment / sizeof(double);
  std::size_t size = static_cast<std::size_t>((padded + passTaps) * kMaxWidth) + slack;
  windowStorage_.reset(new double[size]);
  void* start = windowStorage_.get();
  size *= sizeof(double);
  windows_ = static_cast<double*>(std::align(kRowAlignment, sizeof(double), start, size));
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
      filterAvx512(h, terms, start, x, sums_.get(), padded, windows_);
    } else {
      filterAvx2(h, terms, start, x, sums_.get(), padded, windows_);
    }
    std::copy(sums_.get(), sums_.get() + count, out);
    return;
  }
#endif
  filterScalar(h, terms, start, x, out, count);
}

}  // namespace norvask
