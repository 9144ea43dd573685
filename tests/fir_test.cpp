#include "dsp/FIR.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace norvask {
namespace {

using Samples = std::vector<double>;

// Independent model: y[t] = sum_k h[k] * x[t - k], every input before the first `before`.
Samples convolve(const Samples& h, const Samples& x, double before = 0.0) {
  Samples y(x.size(), 0.0);
  for (long t = 0; t < static_cast<long>(x.size()); ++t)
    for (long k = 0; k < static_cast<long>(h.size()); ++k)
      y[t] += h[k] * (t - k >= 0 ? x[t - k] : before);
  return y;
}

void wire(FIR& fir, const Samples& taps, std::int32_t enableFFT, std::int32_t pow2Size = 0) {
  fir.Taps = &taps;
  fir.EnableFFT = enableFFT;
  fir.FFTPow2Size = pow2Size;
}

// The outputs of a filter over `taps`, set up and initialized, for `input`.
Samples filterSamples(const Samples& taps, const Samples& input, std::ostream& messages,
                      std::int32_t enableFFT = 0, double initial = 0.0, std::int32_t pow2Size = 0) {
  FIR fir;
  wire(fir, taps, enableFFT, pow2Size);
  fir.InitialValue = initial;
  EXPECT_TRUE(fir.Setup(nullptr, messages));
  fir.Initialize(messages);
  Samples out;
  for (double x : input) {
    fir.In = x;
    fir.Run(messages);
    out.push_back(fir.Out);
  }
  return out;
}

void expectClose(const Samples& actual, const Samples& expected, double tol) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t t = 0; t < actual.size(); ++t)
    ASSERT_NEAR(actual[t], expected[t], tol) << "sample " << t;
}

std::string sizeReport(int size, int delay) {
  return "FIR with EnableFFT = 1 will have an FFT size of " + std::to_string(size) +
         " samples and a delay of " + std::to_string(delay) + " samples.\n";
}

TEST(FIRTest, DirectFormIsTheConvolutionAndTheFFTPathTheSameDelayedByOneBlock) {
  // {leading zeros, span, trailing zeros, FFTPow2Size, size, delay}: the span rounded up
  // to even, then the next power of two >= twice that, or the forced size.
  const int shapes[][6] = {{0, 1, 0, 0, 4, 2},      {2, 3, 0, 0, 8, 4},     {0, 1, 5, 0, 4, 2},
                           {5, 37, 3, 0, 128, 38},  {1, 64, 2, 0, 128, 64}, {0, 65, 0, 0, 256, 66},
                           {5, 37, 3, 8, 256, 128}, {7, 20, 1, 6, 64, 32}};
  std::mt19937_64 rng(23);
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  for (const auto& s : shapes) {
    Samples taps(s[0] + s[1] + s[2], 0.0), input(700);
    for (int k = s[0]; k < s[0] + s[1]; ++k)
      taps[k] = k == s[0] ? 0.75 : dist(rng);  // non-zero ends
    taps[s[0] + s[1] - 1] = -0.5;
    for (double& x : input)
      x = dist(rng);
    SCOPED_TRACE("shape " + std::to_string(&s - shapes));
    std::ostringstream messages;
    for (double initial : {0.0, -1.3})
      expectClose(filterSamples(taps, input, messages, 0, initial), convolve(taps, input, initial),
                  1e-14 * taps.size());
    // Each transform errs by about N eps / 25 (see the FFT test): N / 4 ulps of the
    // largest output plus a few dozen for products and overlap-add.
    const double tol = std::numeric_limits<double>::epsilon() * (32.0 + s[4] / 4.0) * taps.size();
    Samples expected = convolve(taps, input);
    expected.insert(expected.begin(), s[5], 0.0);
    expected.resize(input.size());
    expectClose(filterSamples(taps, input, messages, 1, 0.0, s[3]), expected, tol);
    EXPECT_EQ(messages.str(), sizeReport(s[4], s[5]));  // and no process-count report
  }
  // The InitialValue enters the FFT path too.
  std::ostringstream messages;
  expectClose(filterSamples({0, 0, 1, 2, 3}, {0, 0, 0, 0}, messages, 1, 0.7), {0, 0, 0.7, 2.1},
              1e-15);

  // Asked to, the FFT path reports every tenth block: blocks of 2 run at samples 2, 4, ...
  const Samples taps{1.0, 0.5};
  FIR fir;
  wire(fir, taps, 1);
  fir.ReportFFTProcessCount = fir.SuppressFFTSizeReport = 1;
  std::ostringstream report;
  ASSERT_TRUE(fir.Setup(nullptr, report) && fir.Initialize(report));
  for (int i = 0; i < 41; ++i)
    fir.Run(report);
  EXPECT_EQ(report.str(),
            "FIR with EnableFFT = 1: FFT_process_count = 10, sample count = 20.\n"
            "FIR with EnableFFT = 1: FFT_process_count = 20, sample count = 40.\n");
}

TEST(FIRTest, SetupWritesEveryMessage) {
  const std::string
      none = "Taps array size must be > 0.\n",
      enable = "EnableFFT must be an integer in the range [0,1].\n",
      small = "To be compatible with the Taps[] size, FFTPow2Size must be an integer >= 3.\n",
      large = "FFTPow2Size must be an integer <= 30 so that the FFT size fits a 32-bit integer.\n",
      zero = "EnableFFT = 1 requires a tap with a magnitude > 0.\n";
  // {taps, EnableFFT, FFTPow2Size, messages}
  const std::tuple<Samples, std::int32_t, std::int32_t, std::string> cases[] = {
      {{}, 7, 0, none + enable},
      {{0, 0, 1, 2, 3}, 1, 2, small},
      {{1}, 1, 31, large},
      {{0, NAN}, 1, 0, zero}};
  for (const auto& [taps, enableFFT, pow2Size, expected] : cases) {
    FIR fir;
    wire(fir, taps, enableFFT, pow2Size);
    std::ostringstream messages;
    EXPECT_FALSE(fir.Setup(nullptr, messages)) << expected;
    EXPECT_EQ(messages.str(), expected);
  }
}

// Without a Setup and Initialize that both count, Run and RunBlock yield 0
// for every input and build nothing, whatever Out held before.
TEST(FIRTest, RunBlockYieldsZerosUntilASetupIsFollowedByInitialize) {
  const Samples taps{0.5, 0.25};
  // {EnableFFT, the phases called first: Setup, Initialize, Finalize}
  const std::pair<std::int32_t, std::string> cases[] = {
      {0, ""}, {0, "S"}, {3, "SI"}, {0, "SIS"}, {1, "SIF"}};
  for (const auto& [enableFFT, phases] : cases) {
    FIR fir;
    wire(fir, taps, enableFFT);
    std::ostringstream messages;
    for (char phase : phases) {
      if (phase == 'S')
        fir.Setup(nullptr, messages);
      else if (phase == 'I')
        fir.Initialize(messages);
      else
        fir.Finalize();
    }
    fir.Out = 9.0;
    Samples samples{1.0, -2.0, 3.0};
    fir.RunBlock(samples.data(), 3, messages);
    EXPECT_EQ(samples, Samples(3, 0.0)) << phases;
    EXPECT_EQ(fir.In, 3.0) << phases;
    EXPECT_EQ(fir.Out, 0.0) << phases;
  }
}

}  // namespace
}  // namespace norvask
