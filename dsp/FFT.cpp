#include "dsp/FFT.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#define NORVASK_FFT_X86_WIDE_PATHS 1
#else
#define NORVASK_FFT_X86_WIDE_PATHS 0
#endif

namespace norvask {

namespace {

constexpr double kPi = 3.141592653589793;

// Largest length whose butterfly indices (i + le < 2N) stay within int32.
constexpr std::size_t kMaxLength = std::size_t{1} << 30;

bool isTransformableLength(std::size_t n) {
  return n <= kMaxLength && (n & (n - 1)) == 0;
}

// Reorders the elements into bit-reversed index order by counting j in
// reversed binary alongside i, so no index table is needed.
void bitReversePermute(std::complex<double>* d, std::int32_t n) {
  std::int32_t j = 0;
  for (std::int32_t i = 0; i < n; ++i) {
    if (j > i)
      std::swap(d[i], d[j]);
    std::int32_t m = n / 2;
    while (m >= 1 && j >= m) {
      j -= m;
      m /= 2;
    }
    j += m;
  }
}

// Twiddles go out in runs of kTwiddleRun. Within a run a stage walks its
// range once, block by block, so the elements of a block are combined while
// they are in cache; one walk per twiddle, with strides of 2 * le, would miss
// the cache at almost every element of a large transform.
constexpr std::int32_t kTwiddleRun = 64;

// Elements the butterflies of a stage stay within while le is below it:
// 16 KiB. The stages up to that length run piece by piece, each piece
// through all of them while it is in the level-1 cache, instead of each
// stage streaming the whole array from memory. Their twiddles are computed
// once per transform; recomputing them in every piece would cost more than
// the butterflies, since each step of the recurrence waits on the last.
constexpr std::int32_t kCachePiece = 1 << 10;

// A run of twiddles laid out as the butterflies read them: for twiddle t,
// re[2t] = re[2t+1] = wr and (im[2t], im[2t+1]) = (-wi, wi).
struct TwiddleRun {
  alignas(64) double re[2 * kTwiddleRun];
  alignas(64) double im[2 * kTwiddleRun];
};

// The twiddles w_m = e^(i*theta*m) of one stage, m = 0, 1, ..., advanced as
// an increment w += w*(c1 + i*s1) with c1 = cos(theta) - 1: the small c1
// keeps the recurrence's rounding drift far below that of multiplying by
// cos(theta) directly. Every walk through a stage's twiddles runs the same
// recurrence from w_0 = 1, so it gives the same numbers each time.
class TwiddleRecurrence {
 public:
  TwiddleRecurrence(std::int32_t le, std::int32_t sign) {
    const double theta = -kPi / static_cast<double>(le * sign);
    c1_ = std::cos(theta) - 1.0;
    s1_ = std::sin(theta);
  }

  // Writes the next twiddle as (wr, wr) at re and (-wi, wi) at im.
  void WriteAndAdvance(double* re, double* im) {
    re[0] = wr_;
    re[1] = wr_;
    im[0] = -wi_;
    im[1] = wi_;
    Advance();
  }

 private:
  void Advance() {
    const double dwr = wr_ * c1_ - wi_ * s1_;
    const double dwi = wr_ * s1_ + wi_ * c1_;
    wr_ += dwr;
    wi_ += dwi;
  }

  double c1_;
  double s1_;
  double wr_ = 1.0;
  double wi_ = 0.0;
};

// Vectors of doubles holding 1, 2 or 4 complex numbers, real part first.
using Vec2 = double __attribute__((vector_size(16)));
using Vec4 = double __attribute__((vector_size(32)));
using Vec8 = double __attribute__((vector_size(64)));

// `x` with the real and imaginary parts of each complex number swapped.
template <typename V>
__attribute__((always_inline)) inline void swapParts(const V& x, V& swapped) {
  if constexpr (sizeof(V) == 16)
    swapped = __builtin_shufflevector(x, x, 1, 0);
  else if constexpr (sizeof(V) == 32)
    swapped = __builtin_shufflevector(x, x, 1, 0, 3, 2);
  else
    swapped = __builtin_shufflevector(x, x, 1, 0, 3, 2, 5, 4, 7, 6);
}

// The butterflies of elements i + c and i + c + le with twiddle t + c, for
// the complex numbers c one vector holds: u = w * d[j], then d[i] + u and
// d[i] - u. A real part takes wr * re + (-wi) * im, which rounds exactly as
// wr * re - wi * im, and an imaginary part wr * im + wi * re; so every width
// gives the bits of the plain complex arithmetic. (std::complex's operator*
// would add infinity/NaN recovery the transform does not want.)
template <typename V>
__attribute__((always_inline)) inline void butterflies(double* d, std::int32_t i, std::int32_t le,
                                                       const double* re, const double* im) {
  double* upper = d + 2 * static_cast<std::ptrdiff_t>(i + le);
  double* lower = d + 2 * static_cast<std::ptrdiff_t>(i);
  V x, swapped, y, wr, wi;
  std::memcpy(&x, upper, sizeof x);
  std::memcpy(&y, lower, sizeof y);
  std::memcpy(&wr, re, sizeof wr);
  std::memcpy(&wi, im, sizeof wi);
  swapParts(x, swapped);
  const V u = x * wr + swapped * wi;
  const V difference = y - u;
  const V sum = y + u;
  std::memcpy(upper, &difference, sizeof difference);
  std::memcpy(lower, &sum, sizeof sum);
}

template <typename V>
constexpr std::int32_t kComplexPerVector = static_cast<std::int32_t>(sizeof(V) / 16);

// One radix-2 stage over d[0, n), combining transforms of length le into
// length 2*le. Every butterfly of a stage touches its own two elements, so
// the order they run in changes no result.
// REQUIRES: le a multiple of V's complex count.
template <typename V>
__attribute__((always_inline)) inline void butterflyStage(double* d, std::int32_t n,
                                                          std::int32_t le, std::int32_t sign) {
  constexpr std::int32_t kStep = kComplexPerVector<V>;
  TwiddleRecurrence twiddles(le, sign);
  TwiddleRun run;
  for (std::int32_t m0 = 0; m0 < le; m0 += kTwiddleRun) {
    const std::int32_t count = std::min(kTwiddleRun, le - m0);
    for (std::int32_t t = 0; t < count; ++t)
      twiddles.WriteAndAdvance(run.re + 2 * t, run.im + 2 * t);
    for (std::int32_t block = m0; block < n; block += 2 * le) {
      for (std::int32_t t = 0; t < count; t += kStep)
        butterflies<V>(d, block + t, le, run.re + 2 * t, run.im + 2 * t);
    }
  }
}

// The twiddles of every stage with le below kCachePiece, computed once per
// transform and shared by all pieces: stage le's twiddle m is entry le - 1 + m,
// laid out as in a TwiddleRun. 32 KiB, on the stack, so a transform still
// allocates nothing.
struct PieceTwiddles {
  alignas(64) double re[2 * kCachePiece];
  alignas(64) double im[2 * kCachePiece];
};

void fillPieceTwiddles(std::int32_t piece, std::int32_t sign, PieceTwiddles& table) {
  for (std::int32_t le = 1; le < piece; le *= 2) {
    TwiddleRecurrence twiddles(le, sign);
    for (std::int32_t m = 0; m < le; ++m)
      twiddles.WriteAndAdvance(table.re + 2 * (le - 1 + m), table.im + 2 * (le - 1 + m));
  }
}

// All stages of one piece d[0, piece), each with vectors V once le is a
// multiple of their width.
template <typename V>
__attribute__((always_inline)) inline void pieceStages(double* d, std::int32_t piece,
                                                       const PieceTwiddles& table) {
  for (std::int32_t le = 1; le < piece; le *= 2) {
    const double* re = table.re + 2 * (le - 1);
    const double* im = table.im + 2 * (le - 1);
    for (std::int32_t block = 0; block < piece; block += 2 * le) {
      if (le >= kComplexPerVector<V>) {
        for (std::int32_t t = 0; t < le; t += kComplexPerVector<V>)
          butterflies<V>(d, block + t, le, re + 2 * t, im + 2 * t);
      } else {
        for (std::int32_t t = 0; t < le; ++t)
          butterflies<Vec2>(d, block + t, le, re + 2 * t, im + 2 * t);
      }
    }
  }
}

template <typename V>
__attribute__((always_inline)) inline void allStages(double* d, std::int32_t n, std::int32_t sign) {
  const std::int32_t piece = std::min(n, kCachePiece);
  PieceTwiddles table;
  fillPieceTwiddles(piece, sign, table);
  for (std::int32_t first = 0; first < n; first += piece)
    pieceStages<V>(d + 2 * static_cast<std::ptrdiff_t>(first), piece, table);
  for (std::int32_t le = piece; le < n; le *= 2)
    butterflyStage<V>(d, n, le, sign);
}

void allStagesNarrow(double* d, std::int32_t n, std::int32_t sign) {
  allStages<Vec2>(d, n, sign);
}

#if NORVASK_FFT_X86_WIDE_PATHS
// Wider registers do the same arithmetic on more butterflies at once; the
// widest set the processor and operating system support is taken. (The
// compiler's feature test also checks that the system saves the registers.)
__attribute__((target("avx512f"))) void allStagesAvx512(double* d, std::int32_t n,
                                                        std::int32_t sign) {
  allStages<Vec8>(d, n, sign);
}

__attribute__((target("avx2"))) void allStagesAvx2(double* d, std::int32_t n, std::int32_t sign) {
  allStages<Vec4>(d, n, sign);
}
#endif

void allStagesWidest(double* d, std::int32_t n, std::int32_t sign) {
#if NORVASK_FFT_X86_WIDE_PATHS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f"))
    return allStagesAvx512(d, n, sign);
  if (__builtin_cpu_supports("avx2"))
    return allStagesAvx2(d, n, sign);
#endif
  allStagesNarrow(d, n, sign);
}

}  // namespace

std::size_t fftLengthFor(std::size_t n) {
  std::size_t length = 1;
  while (length < n)
    length *= 2;
  return length;
}

void FFT::ComplexFFT(std::vector<std::complex<double>>& data, std::int32_t direction) {
  trace_.OnCall(traceStream_);
  // Other lengths would send the butterflies past the end of `data`; refusing
  // them untouched is the only safe answer for an operation without a result.
  if (!isTransformableLength(data.size()))
    return;
  const auto n = static_cast<std::int32_t>(data.size());
  std::complex<double>* d = data.data();
  bitReversePermute(d, n);
  const std::int32_t sign = direction == 1 ? 1 : -1;
  // std::complex<double> is laid out as two doubles, real part first.
  allStagesWidest(reinterpret_cast<double*>(d), n, sign);
  if (direction == 1 && n > 0) {
    const double f = 1.0 / n;
    for (std::int32_t i = 0; i < n; ++i)
      d[i] = {d[i].real() * f, d[i].imag() * f};
  }
}

}  // namespace norvask
