#include "dsp/FIR.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace norvask {
namespace {

using Samples = std::vector<double>;

// Independent model: y[t] = sum_k h[k] * x[t - k], every input before the first `before`.
Samples convolve(const Samples& h, const Samples& x, double before) {
  Samples y(x.size(), 0.0);
  for (long t = 0; t < static_cast<long>(x.size()); ++t)
    for (long k = 0; k < static_cast<long>(h.size()); ++k)
      y[t] += h[k] * (t - k >= 0 ? x[t - k] : before);
  return y;
}

Samples filterSamples(FIR& fir, const Samples& input, std::ostream& messages) {
  fir.Initialize(messages);
  Samples out;
  for (double x : input) {
    fir.In = x;
    fir.Run(messages);
    out.push_back(fir.Out);
  }
  return out;
}

// `leading` zeros, `span` random values in [-1, 1) with non-zero ends, `trailing` zeros.
Samples randomSamples(int span, std::mt19937_64& rng, int leading = 0, int trailing = 0) {
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  Samples h(leading + span + trailing, 0.0);
  for (int k = leading; k < leading + span; ++k)
    h[k] = dist(rng);
  h[leading] = 0.75;
  h[leading + span - 1] = -0.5;
  return h;
}

void expectClose(const Samples& actual, const Samples& expected, double tol) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t t = 0; t < actual.size(); ++t)
    ASSERT_NEAR(actual[t], expected[t], tol) << "sample " << t;
}

// A filter over `taps` with the given settings, after Setup.
FIR makeFIR(const Samples& taps, std::int32_t enableFFT, double initial, std::ostream& messages,
            std::int32_t pow2Size = 0, TraceStream* trace = nullptr) {
  FIR fir;
  fir.Taps = &taps;
  fir.EnableFFT = enableFFT;
  fir.InitialValue = initial;
  fir.FFTPow2Size = pow2Size;
  EXPECT_TRUE(fir.Setup(trace, messages));
  return fir;
}

std::string sizeReport(int size, int delay) {
  return "FIR with EnableFFT = 1 will have an FFT size of " + std::to_string(size) +
         " samples and a delay of " + std::to_string(delay) + " samples.\n";
}

TEST(FIRTest, DirectFormMatchesConvolutionForAnyInitialValue) {
  std::mt19937_64 rng(11);
  std::ostringstream messages;
  for (int trial = 0; trial < 60; ++trial) {
    const Samples taps = randomSamples(1 + trial % 23, rng, trial % 4, trial % 3);
    const Samples input = randomSamples(200, rng);
    for (double initial : {0.0, 0.7, -1.3}) {
      FIR fir = makeFIR(taps, 0, initial, messages);
      SCOPED_TRACE("trial " + std::to_string(trial) + ", initial " + std::to_string(initial));
      expectClose(filterSamples(fir, input, messages), convolve(taps, input, initial),
                  1e-14 * taps.size());
    }
  }
  const Samples halves{0.5, 0.25}, ramp{1.0, 2.0};
  FIR fir = makeFIR(halves, 0, 0.0, messages);
  EXPECT_EQ(filterSamples(fir, {1.0, 0.0, 0.0}, messages), (Samples{0.5, 0.25, 0.0}));
  fir = makeFIR(ramp, 0, 3.0, messages);
  EXPECT_EQ(filterSamples(fir, {0.0}, messages), Samples{6.0});
  EXPECT_EQ(messages.str(), "");
}

TEST(FIRTest, FFTPathIsTheDirectFormDelayedByOneBlock) {
  // {leading zeros, span, trailing zeros, FFTPow2Size, size, delay}: the span rounded up
  // to even, then the next power of two >= twice that, or the forced size.
  const int shapes[][6] = {
      {0, 1, 0, 0, 4, 2},       {0, 2, 0, 0, 4, 2},      {2, 3, 0, 0, 8, 4},
      {0, 1, 5, 0, 4, 2},       {10, 2, 0, 0, 4, 2},     {5, 37, 3, 0, 128, 38},
      {0, 100, 0, 0, 256, 100}, {1, 64, 2, 0, 128, 64},  {0, 65, 0, 0, 256, 66},
      {2, 3, 0, 4, 16, 8},      {5, 37, 3, 8, 256, 128}, {7, 20, 1, 6, 64, 32}};
  std::mt19937_64 rng(23);
  for (const auto& s : shapes) {
    const Samples taps = randomSamples(s[1], rng, s[0], s[2]), input = randomSamples(700, rng);
    SCOPED_TRACE("shape " + std::to_string(&s - shapes));
    std::ostringstream messages;
    FIR direct = makeFIR(taps, 0, 0.0, messages), fft = makeFIR(taps, 1, 0.0, messages, s[3]);
    // Each transform errs by about N * eps / 25 relative (see the FFT tests); N / 4 ulps
    // of the largest possible output plus a few dozen for products and overlap-add.
    const double tol = std::numeric_limits<double>::epsilon() * (32.0 + s[4] / 4.0) * taps.size();
    Samples expected = filterSamples(direct, input, messages);
    expected.insert(expected.begin(), s[5], 0.0);
    expected.resize(input.size());
    expectClose(filterSamples(fft, input, messages), expected, tol);
    EXPECT_EQ(messages.str(), sizeReport(s[4], s[5]));  // and no process-count report
  }
}

TEST(FIRTest, FFTPathSizesProcessCountReportAndTrace) {
  const std::string path = testing::TempDir() + "fir_trace.txt";
  const Samples one{1.0}, ramp{0.0, 0.0, 1.0, 2.0, 3.0};
  std::ostringstream messages;
  {
    TraceStream trace(path);
    FIR fir = makeFIR(one, 1, 0.0, messages, 0, &trace);
    // One transform for the taps, one per processed block (at inputs 3 and 5).
    expectClose(filterSamples(fir, {1, -2, 3, 4, 5}, messages), {0, 0, 1, -2, 3}, 1e-15);
    fir = makeFIR(ramp, 1, 0.0, messages);  // a fresh object, untraced
    expectClose(filterSamples(fir, {1, 0, 0, 0, 0, 0, 0, 0, 0}, messages),
                {0, 0, 0, 0, 0, 0, 1, 2, 3}, 1e-15);
    fir = makeFIR(ramp, 1, 0.7, messages);
    expectClose(filterSamples(fir, {0, 0, 0, 0}, messages), {0, 0, 0.7, 2.1}, 1e-15);
    // L = 2: blocks finish at every second input, the 10th and 20th at inputs 21 and 41.
    fir = makeFIR(one, 1, 0.0, messages);
    fir.ReportFFTProcessCount = 1;
    filterSamples(fir, Samples(42, 0.0), messages);
  }
  const std::string count = "FIR with EnableFFT = 1: FFT_process_count = ";
  EXPECT_EQ(messages.str(), sizeReport(4, 2) + sizeReport(8, 4) + sizeReport(8, 4) +
                                sizeReport(4, 2) + count + "10, sample count = 20.\n" + count +
                                "20, sample count = 40.\n");
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  const std::string fftLine = "Quennavik::FFT::ComplexFFT\n";
  EXPECT_EQ(text.str(), "Quennavik::FIR\n" + fftLine + fftLine + fftLine);
  std::remove(path.c_str());
}

TEST(FIRTest, SetupWritesEveryMessage) {
  const std::string noTaps = "Taps array size must be > 0.\n";
  const std::string enable = "EnableFFT must be an integer in the range [0,1].\n";
  const std::string pow2 =
      "To be compatible with the Taps[] size, FFTPow2Size must be an integer >= ";
  const std::string tooBig =
      "FFTPow2Size must be an integer <= 30 so that the FFT size fits a 32-bit integer.\n";
  const std::string zero = "EnableFFT = 1 requires a tap with a magnitude > 0.\n";
  const Samples ramp{0.0, 0.0, 1.0, 2.0, 3.0};
  struct Case {
    Samples taps;
    std::int32_t enableFFT, pow2Size, suppress;
    bool passes;
    std::string messages;
  } const cases[] = {{{}, 0, 0, 0, false, noTaps},
                     {{}, 7, 0, 0, false, noTaps + enable},
                     {{1.0}, 1, 1, 0, false, pow2 + "2.\n"},
                     {ramp, 1, 2, 0, false, pow2 + "3.\n"},
                     {ramp, 1, -4, 0, true, sizeReport(8, 4)},
                     {{1.0}, 1, 3, 1, true, ""},
                     {{1.0}, 1, 31, 0, false, tooBig},
                     {{0.0, NAN}, 1, 0, 0, false, zero}};
  for (const Case& c : cases) {
    FIR fir;
    fir.Taps = &c.taps;
    fir.EnableFFT = c.enableFFT;
    fir.FFTPow2Size = c.pow2Size;
    fir.SuppressFFTSizeReport = c.suppress;
    std::ostringstream messages;
    EXPECT_EQ(fir.Setup(nullptr, messages), c.passes) << c.messages;
    EXPECT_EQ(messages.str(), c.messages);
  }
}

}  // namespace
}  // namespace norvask
