#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "dsp/FIR.h"
#include "dsp/FirKernel.h"

namespace norvask {
namespace {

using Samples = std::vector<double>;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Mixed magnitudes and signs, so that any change of summation order or of
// rounding (a fused multiply-add) shows in the last bits.
Samples randomSamples(std::size_t n, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-30, 30);
  Samples x(n);
  for (auto& v : x)
    v = std::ldexp(mantissa(rng), exponent(rng));
  return x;
}

bool sameBits(const Samples& a, const Samples& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// When two NaNs of different origin meet in one sum (a NaN tap's and the one
// that infinity times zero makes), the processor keeps whichever is the first
// operand of the add, and the compiler may order a commutative add either
// way; so there only NaN-ness can be compared. Every other value is compared
// bit for bit.
bool sameBitsOrBothNaN(const Samples& a, const Samples& b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const bool bothNaN = std::isnan(a[i]) && std::isnan(b[i]);
    if (!bothNaN && std::memcmp(&a[i], &b[i], sizeof(double)) != 0)
      return false;
  }
  return true;
}

struct FilterPair {
  FIR stepped;
  FIR blocked;
  std::ostringstream messages;
  bool nanOrigins = false;  // NaNs of different origin may meet

  FilterPair(const Samples& taps, double initialValue) {
    for (FIR* fir : {&stepped, &blocked}) {
      fir->Taps = &taps;
      fir->InitialValue = initialValue;
      EXPECT_TRUE(fir->Setup(nullptr, messages));
      fir->Initialize(messages);
    }
  }

  // Feeds `input` to the stepped filter sample by sample and to the blocked
  // one through RunBlock, and checks both give the same bits and ports.
  void Feed(const Samples& input, const std::string& label) {
    Samples expected = input;
    for (double& v : expected) {
      stepped.In = v;
      stepped.Run(messages);
      v = stepped.Out;
    }
    Samples actual = input;
    blocked.RunBlock(actual.data(), static_cast<std::int64_t>(actual.size()), messages);
    if (nanOrigins) {
      EXPECT_TRUE(sameBitsOrBothNaN(expected, actual)) << label;
    } else {
      EXPECT_TRUE(sameBits(expected, actual)) << label;
    }
    if (!input.empty()) {
      EXPECT_TRUE(sameBitsOrBothNaN({stepped.Out}, {blocked.Out})) << label;
      EXPECT_TRUE(nanOrigins || sameBits({stepped.Out}, {blocked.Out})) << label;
      EXPECT_EQ(0, std::memcmp(&stepped.In, &blocked.In, sizeof(double))) << label;
    }
  }
};

// Runs one column both ways, then a second column both ways: equal outputs
// for the second show that RunBlock left the same history behind.
void expectBlockMatchesRun(const Samples& taps, double initialValue, const Samples& column,
                           std::mt19937_64& rng, const std::string& label,
                           bool nanOrigins = false) {
  FilterPair pair(taps, initialValue);
  pair.nanOrigins = nanOrigins;
  pair.Feed(column, label + " first call");
  pair.Feed(randomSamples(taps.size() + 3, rng), label + " next call");
}

TEST(FirBlockTest, MatchesRunBitForBitOverTapAndColumnLengths) {
  std::mt19937_64 rng(9);
  for (std::size_t tapCount : {1u, 2u, 3u, 7u, 33u, 64u, 513u, 2006u}) {
    const Samples taps = randomSamples(tapCount, rng);
    for (std::size_t rows :
         {std::size_t{0}, std::size_t{1}, std::size_t{5}, tapCount - 1, tapCount, tapCount + 1,
          std::size_t{2047}, std::size_t{2048}, std::size_t{2049}, std::size_t{4100}}) {
      for (double initialValue : {0.0, -0.0, 0.7}) {
        const std::string label = "taps " + std::to_string(tapCount) + ", rows " +
                                  std::to_string(rows) + ", InitialValue " +
                                  std::to_string(initialValue);
        expectBlockMatchesRun(taps, initialValue, randomSamples(rows, rng), rng, label);
      }
    }
  }
}

TEST(FirBlockTest, NonFiniteValuesPropagateAsInRun) {
  std::mt19937_64 rng(99);
  Samples taps = randomSamples(300, rng);
  Samples column = randomSamples(3000, rng);
  column[0] = kNaN;
  column[17] = kInf;
  column[1000] = -kInf;
  column[2500] = kNaN;
  expectBlockMatchesRun(taps, 0.0, column, rng, "non-finite inputs");
  expectBlockMatchesRun(taps, kNaN, randomSamples(700, rng), rng, "NaN InitialValue");
  expectBlockMatchesRun(taps, kInf, randomSamples(700, rng), rng, "infinite InitialValue");

  // An infinite last tap times the zero history would give NaN: near the
  // start (InitialValue 0) those terms must not be summed at all.
  taps.back() = kInf;
  expectBlockMatchesRun(taps, 0.0, randomSamples(1000, rng), rng, "infinite tap");
  expectBlockMatchesRun(taps, 0.0, Samples(1000, 0.0), rng, "infinite tap, zero input");
  taps[5] = kNaN;
  expectBlockMatchesRun(taps, 0.0, randomSamples(1000, rng), rng, "NaN tap");
  expectBlockMatchesRun(taps, 0.0, Samples(1000, 0.0), rng, "NaN and infinite tap, zero input",
                        true);

  // Negative zeros: the sign of a zero sum depends on every term being added
  // in order from +0.0.
  const Samples negativeTaps(40, -0.5);
  expectBlockMatchesRun(negativeTaps, 0.0, Samples(100, 0.0), rng, "signed zeros");
  expectBlockMatchesRun(negativeTaps, -0.0, Samples(100, -0.0), rng, "negative zeros");
}

TEST(FirBlockTest, MixesWithRunAndRepeatedBlocks) {
  std::mt19937_64 rng(7);
  for (double initialValue : {0.0, 1.5}) {
    for (std::size_t tapCount : {3u, 64u, 2006u}) {
      const Samples taps = randomSamples(tapCount, rng);
      FilterPair pair(taps, initialValue);
      const std::string label = "taps " + std::to_string(tapCount);
      // Splits across the start region, the chunk size and the ring length.
      for (std::size_t rows : {1u, 2u, 30u, 31u, 1000u, 2100u, 2u, 5000u, 1u}) {
        pair.Feed(randomSamples(rows, rng), label + ", block of " + std::to_string(rows));
        // A few per-sample steps on the blocked filter too, both kept in step.
        for (int i = 0; i < 3; ++i) {
          const double x = randomSamples(1, rng)[0];
          pair.stepped.In = pair.blocked.In = x;
          pair.stepped.Run(pair.messages);
          pair.blocked.Run(pair.messages);
          EXPECT_EQ(0, std::memcmp(&pair.stepped.Out, &pair.blocked.Out, sizeof(double))) << label;
        }
      }
      // A copy carries on from the same state with scratch of its own.
      FIR copy = pair.blocked;
      Samples viaCopy = randomSamples(3000, rng);
      Samples viaOriginal = viaCopy;
      copy.RunBlock(viaCopy.data(), 3000, pair.messages);
      pair.blocked.RunBlock(viaOriginal.data(), 3000, pair.messages);
      EXPECT_TRUE(sameBits(viaOriginal, viaCopy)) << label;
    }
  }
}

TEST(FirBlockTest, TrailingZeroTapsAndOtherModes) {
  std::mt19937_64 rng(3);
  // Trailing zeros shorten the filter; a lone first tap keeps the full length.
  Samples shortened = randomSamples(100, rng);
  std::fill(shortened.begin() + 40, shortened.end(), 0.0);
  expectBlockMatchesRun(shortened, 0.0, randomSamples(500, rng), rng, "trailing zeros");
  Samples lone(50, 0.0);
  lone[0] = 2.0;
  expectBlockMatchesRun(lone, 0.0, randomSamples(500, rng), rng, "lone first tap");

  // The FFT path keeps stepping Run.
  const Samples taps = randomSamples(20, rng);
  FilterPair fft(taps, 0.0);
  for (FIR* fir : {&fft.stepped, &fft.blocked}) {
    fir->EnableFFT = 1;
    fir->SuppressFFTSizeReport = 1;
    ASSERT_TRUE(fir->Setup(nullptr, fft.messages));
    fir->Initialize(fft.messages);
  }
  fft.Feed(randomSamples(300, rng), "FFT");

  // Without a Setup every output is 0, as from Run.
  FIR idle;
  Samples column = {1.0, 2.0};
  idle.RunBlock(column.data(), 2, fft.messages);
  EXPECT_EQ(column, (Samples{0.0, 0.0}));
}

// Every instruction set this processor offers, against the plain sum, with
// and without the start region where each output sums one term more.
TEST(FirKernelTest, EverySupportedSetMatchesThePlainSum) {
  std::mt19937_64 rng(11);
  for (auto set : {FirKernel::InstructionSet::kScalar, FirKernel::InstructionSet::kAvx2,
                   FirKernel::InstructionSet::kAvx512}) {
    if (!FirKernel::Supported(set))
      continue;
    FirKernel kernel(set);
    kernel.Reserve(1500, 2100);
    for (std::int32_t terms : {1, 2, 9, 511, 1023, 1024, 1025, 2100}) {
      for (std::int32_t start : {terms, 1, 7, terms / 2 + 1}) {
        for (std::int64_t count : {1, 31, 32, 33, 127, 128, 129, 1500}) {
          // Infinity and NaN where only outputs that skip them would reach.
          Samples line = randomSamples(static_cast<std::size_t>(terms + count + 40), rng);
          line[0] = kInf;
          line[static_cast<std::size_t>(terms - std::min(start, terms))] = kNaN;
          Samples h = randomSamples(static_cast<std::size_t>(terms), rng);
          h.back() = kInf;
          const double* x = line.data() + terms - 1;
          Samples expected(static_cast<std::size_t>(count));
          for (std::int64_t j = 0; j < count; ++j) {
            const std::int64_t n = std::min<std::int64_t>(terms, start + j);
            double sum = 0.0;
            for (std::int64_t k = 0; k < n; ++k) {
              const double product = h[static_cast<std::size_t>(k)] * x[j - k];
              sum = sum + product;
            }
            expected[static_cast<std::size_t>(j)] = sum;
          }
          Samples actual(static_cast<std::size_t>(count));
          kernel.Filter(h.data(), terms, start, x, actual.data(), count);
          EXPECT_TRUE(sameBits(expected, actual)) << FirKernel::Name(set) << ", terms " << terms
                                                  << ", start " << start << ", count " << count;
        }
      }
    }
  }
}

}  // namespace
}  // namespace norvask
