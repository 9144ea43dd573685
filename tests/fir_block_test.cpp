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

// Mixed magnitudes and signs: any change of summation order or rounding shows.
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

// Feeds each column to one filter by Run and to another by RunBlock, then one Run step
// to both, expecting the same bits and ports throughout: RunBlock left the same state.
void expectBlockMatchesRun(const Samples& taps, double initialValue,
                           const std::vector<Samples>& columns, const std::string& label,
                           std::int32_t enableFFT = 0) {
  FIR stepped, blocked;
  std::ostringstream messages;
  for (FIR* fir : {&stepped, &blocked}) {
    fir->Taps = &taps;
    fir->InitialValue = initialValue;
    fir->EnableFFT = enableFFT;
    EXPECT_TRUE(fir->Setup(nullptr, messages));
    fir->Initialize(messages);
  }
  for (const Samples& column : columns) {
    Samples expected = column, actual = column;
    for (double& v : expected) {
      stepped.In = v;
      stepped.Run(messages);
      v = stepped.Out;
    }
    blocked.RunBlock(actual.data(), static_cast<std::int64_t>(actual.size()), messages);
    EXPECT_TRUE(sameBits(expected, actual)) << label << ", column of " << column.size();
    EXPECT_TRUE(sameBits({stepped.In, stepped.Out}, {blocked.In, blocked.Out})) << label;
    for (FIR* fir : {&stepped, &blocked}) {
      fir->In = 0.375;
      fir->Run(messages);
    }
    EXPECT_TRUE(sameBits({stepped.Out}, {blocked.Out})) << label << ", step";
  }
}

TEST(FirBlockTest, MatchesRunBitForBitOverLengthsNonFiniteValuesAndModes) {
  std::mt19937_64 rng(9);
  std::vector<Samples> tapSets;
  for (std::size_t tapCount : {1u, 2u, 7u, 64u, 100u, 300u, 513u, 2006u})
    tapSets.push_back(randomSamples(tapCount, rng));
  // Trailing zeros shorten the filter; an infinite last tap must not meet the zero history.
  std::fill(tapSets[4].begin() + 40, tapSets[4].end(), 0.0);
  tapSets[5].back() = kInf;
  tapSets[5][5] = kNaN;
  for (const Samples& taps : tapSets) {
    const std::size_t k = taps.size();
    for (std::size_t rows : {std::size_t{1}, k - 1, k, k + 1, std::size_t{1023}, std::size_t{2049},
                             std::size_t{4100}}) {
      for (double initialValue : {0.0, -0.0, 0.7}) {
        expectBlockMatchesRun(taps, initialValue, {randomSamples(rows, rng), randomSamples(k, rng)},
                              "taps " + std::to_string(k));
      }
    }
  }
  Samples column = randomSamples(3000, rng);
  column[0] = column[2500] = kNaN;
  column[17] = kInf;
  column[1000] = -kInf;
  expectBlockMatchesRun(tapSets[6], 0.0, {column}, "non-finite inputs");
  expectBlockMatchesRun(tapSets[3], kNaN, {column}, "NaN InitialValue");
  // The sign of a zero sum depends on every term being added in order from +0.0.
  expectBlockMatchesRun(Samples(40, -0.5), 0.0, {Samples(100, 0.0)}, "signed zeros");
  // The FFT path keeps stepping Run.
  expectBlockMatchesRun(tapSets[2], 0.0, {randomSamples(300, rng)}, "FFT", 1);
}

// Every instruction set offered here against the plain sum, in and past the start region.
TEST(FirKernelTest, EverySupportedSetMatchesThePlainSum) {
  std::mt19937_64 rng(11);
  for (auto set : {FirKernel::InstructionSet::kScalar, FirKernel::InstructionSet::kAvx2,
                   FirKernel::InstructionSet::kAvx512}) {
    if (!FirKernel::Supported(set))
      continue;
    FirKernel kernel(set);
    kernel.Reserve(1500);
    for (std::int32_t terms : {1, 2, 9, 240, 511, 1024, 1025, 2100}) {
      for (std::int32_t start : {terms, 1, 7, terms / 2 + 1}) {
        for (std::int64_t count : {1, 31, 32, 33, 127, 128, 129, 1500}) {
          // Infinity and NaN where only outputs that skip them would reach.
          Samples line = randomSamples(static_cast<std::size_t>(terms + count + 40), rng);
          line[0] = kInf;
          line[static_cast<std::size_t>(terms - std::min(start, terms))] = kNaN;
          Samples h = randomSamples(static_cast<std::size_t>(terms), rng);
          h.back() = kInf;
          const double* x = line.data() + terms - 1;
          Samples expected(static_cast<std::size_t>(count), 0.0), actual = expected;
          for (std::int64_t j = 0; j < count; ++j) {
            double sum = 0.0;
            for (std::int64_t k = 0; k < std::min<std::int64_t>(terms, start + j); ++k) {
              const double product = h[static_cast<std::size_t>(k)] * x[j - k];
              sum = sum + product;  // no fused multiply-add
            }
            expected[static_cast<std::size_t>(j)] = sum;
          }
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
