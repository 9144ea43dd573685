#include "dsp/FIR.h"

#include <gtest/gtest.h>

#include <cmath>
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

// Independent model of the filter: y[t] = sum_k h[k] * x[t - delay - k], where
// the inputs before the first one are `before` back to `beforeSpan` samples
// (or forever when beforeSpan < 0) and 0 further back.
Samples Convolve(const Samples& h, const Samples& x, double before, long delay,
                 long beforeSpan = -1) {
  Samples y(x.size());
  for (long t = 0; t < static_cast<long>(x.size()); ++t) {
    double sum = 0.0;
    for (long k = 0; k < static_cast<long>(h.size()); ++k) {
      const long s = t - delay - k;
      if (s >= 0) {
        sum += h[k] * x[s];
      } else if (beforeSpan < 0 || s >= -beforeSpan) {
        sum += h[k] * before;
      }
    }
    y[t] = sum;
  }
  return y;
}

Samples Filter(FIR& fir, const Samples& input, std::ostream& messages) {
  fir.Initialize(messages);
  Samples out;
  for (double x : input) {
    fir.In = x;
    fir.Run(messages);
    out.push_back(fir.Out);
  }
  return out;
}

Samples RandomSamples(std::size_t n, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> dist(-1.0, 1.0);
  Samples x(n);
  for (auto& v : x)
    v = dist(rng);
  return x;
}

// `leading` zeros, then `span` random taps whose first and last are non-zero,
// then `trailing` zeros.
Samples TapShape(int leading, int span, int trailing, std::mt19937_64& rng) {
  Samples h(static_cast<std::size_t>(leading), 0.0);
  for (double v : RandomSamples(static_cast<std::size_t>(span), rng))
    h.push_back(v);
  h[leading] = 0.75;
  h.back() = -0.5;
  h.resize(h.size() + static_cast<std::size_t>(trailing), 0.0);
  return h;
}

double AbsSum(const Samples& h) {
  double sum = 0.0;
  for (double v : h)
    sum += std::fabs(v);
  return sum;
}

void ExpectClose(const Samples& actual, const Samples& expected, double tol,
                 const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t t = 0; t < actual.size(); ++t) {
    ASSERT_NEAR(actual[t], expected[t], tol) << what << ", sample " << t;
  }
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(FIRTest, DirectFormMatchesConvolution) {
  std::mt19937_64 rng(11);
  for (int trial = 0; trial < 60; ++trial) {
    const int span = 1 + trial % 23;
    const Samples taps = TapShape(trial % 4, span, trial % 3, rng);
    const Samples input = RandomSamples(200, rng);
    for (double initial : {0.0, 0.7, -1.3}) {
      FIR fir;
      fir.Taps = &taps;
      fir.InitialValue = initial;
      std::ostringstream messages;
      ASSERT_TRUE(fir.Setup(nullptr, messages));
      const Samples out = Filter(fir, input, messages);
      // Same summation order as the model, so only sub-ulp differences remain.
      ExpectClose(out, Convolve(taps, input, initial, 0), 1e-14 * AbsSum(taps),
                  "trial " + std::to_string(trial) + ", initial " + std::to_string(initial));
      EXPECT_EQ(messages.str(), "");
    }
  }
}

TEST(FIRTest, EffectiveTapCountDropsTrailingZerosOnly) {
  const Samples a{1.0, 0.0, 2.0, 0.0, 0.0};
  const Samples b{3.0, 0.0, 0.0};
  const Samples c{0.0, 0.0, NAN, 0.0};
  const Samples d{0.0, 0.0};
  const std::pair<const Samples*, int> cases[] = {{&a, 3}, {&b, 3}, {&c, 3}, {&d, 2}};
  for (const auto& [taps, expected] : cases) {
    FIR fir;
    fir.Taps = taps;
    std::ostringstream messages;
    ASSERT_TRUE(fir.Setup(nullptr, messages));
    EXPECT_EQ(fir.effectiveTapCount(), expected);
  }
}

TEST(FIRTest, DirectFormWorkedExamples) {
  std::ostringstream messages;
  const Samples halves{0.5, 0.25};
  FIR fir;
  fir.Taps = &halves;
  ASSERT_TRUE(fir.Setup(nullptr, messages));
  EXPECT_EQ(Filter(fir, {1.0, 0.0, 0.0}, messages), (Samples{0.5, 0.25, 0.0}));

  const Samples ramp{1.0, 2.0};
  fir.Taps = &ramp;
  fir.InitialValue = 3.0;
  ASSERT_TRUE(fir.Setup(nullptr, messages));
  EXPECT_EQ(Filter(fir, {0.0}, messages), Samples{6.0});
  fir.InitialValue = 0.0;
  ASSERT_TRUE(fir.Setup(nullptr, messages));
  EXPECT_EQ(Filter(fir, {0.0}, messages), Samples{0.0});
  EXPECT_EQ(messages.str(), "");
}

struct Shape {
  int leading, span, trailing, pow2Size;
};

// FFT size and block length as the filter must derive them: the span rounded
// up to even, the next power of two >= twice that, or the forced size.
std::pair<int, int> ExpectedSizeAndDelay(const Shape& s) {
  const int m = s.span + s.span % 2;
  if (s.pow2Size > 0)
    return {1 << s.pow2Size, (1 << s.pow2Size) / 2};
  int n = 1;
  while (n < 2 * m)
    n *= 2;
  return {n, m};
}

TEST(FIRTest, FFTPathIsTheDirectFormDelayedByOneBlock) {
  const Shape shapes[] = {{0, 1, 0, 0},  {0, 2, 0, 0},  {2, 3, 0, 0},  {3, 4, 0, 0},
                          {0, 1, 5, 0},  {10, 2, 0, 0}, {5, 37, 3, 0}, {0, 100, 0, 0},
                          {1, 64, 2, 0}, {0, 65, 0, 0}, {2, 3, 0, 4},  {2, 3, 0, 6},
                          {5, 37, 3, 8}, {0, 1, 0, 10}, {7, 20, 1, 6}};
  std::mt19937_64 rng(23);
  for (const Shape& shape : shapes) {
    const Samples taps = TapShape(shape.leading, shape.span, shape.trailing, rng);
    const Samples input = RandomSamples(700, rng);
    const auto [size, delay] = ExpectedSizeAndDelay(shape);
    const std::string what = "taps " + std::to_string(shape.leading) + "/" +
                             std::to_string(shape.span) + "/" + std::to_string(shape.trailing) +
                             ", FFTPow2Size " + std::to_string(shape.pow2Size);
    FIR direct;
    direct.Taps = &taps;
    FIR fft = direct;
    fft.EnableFFT = 1;
    fft.FFTPow2Size = shape.pow2Size;
    std::ostringstream messages;
    ASSERT_TRUE(direct.Setup(nullptr, messages));
    ASSERT_TRUE(fft.Setup(nullptr, messages)) << what << ": " << messages.str();
    EXPECT_EQ(messages.str(), "FIR with EnableFFT = 1 will have an FFT size of " +
                                  std::to_string(size) + " samples and a delay of " +
                                  std::to_string(delay) + " samples.\n")
        << what;
    EXPECT_EQ(fft.delay(), delay);
    const Samples late = Filter(fft, input, messages);
    const Samples onTime = Filter(direct, input, messages);
    // Each transform errs by about N * eps / 25 relative (the twiddle drift
    // measured in the FFT tests); N / 4 ulps of the largest possible output,
    // plus a few dozen for the products and the overlap-add, covers both.
    const double tol = std::numeric_limits<double>::epsilon() * (32.0 + size / 4.0) * AbsSum(taps);
    for (int t = 0; t < delay; ++t)
      ASSERT_EQ(late[t], 0.0) << what << ", sample " << t;
    for (std::size_t t = delay; t < input.size(); ++t) {
      ASSERT_NEAR(late[t], onTime[t - delay], tol) << what << ", sample " << t;
    }

    // A non-zero InitialValue enters as one block of L such inputs before the
    // first one, so only the last L earlier inputs carry it.
    for (double initial : {0.7, -2.0}) {
      fft.InitialValue = initial;
      ASSERT_TRUE(fft.Setup(nullptr, messages));
      ExpectClose(Filter(fft, input, messages), Convolve(taps, input, initial, delay, delay), tol,
                  what + ", initial " + std::to_string(initial));
    }
  }
}

TEST(FIRTest, FFTPathWorkedExamples) {
  const Samples one{1.0};
  FIR fir;
  fir.Taps = &one;
  fir.EnableFFT = 1;
  std::ostringstream messages;
  ASSERT_TRUE(fir.Setup(nullptr, messages));
  EXPECT_EQ(
      messages.str(),
      "FIR with EnableFFT = 1 will have an FFT size of 4 samples and a delay of 2 samples.\n");
  const Samples out = Filter(fir, {1.0, -2.0, 3.0, 4.0, 5.0}, messages);
  ExpectClose(out, {0.0, 0.0, 1.0, -2.0, 3.0}, 1e-15, "taps [1]");

  const Samples ramp{0.0, 0.0, 1.0, 2.0, 3.0};
  fir.Taps = &ramp;
  messages.str("");
  ASSERT_TRUE(fir.Setup(nullptr, messages));
  EXPECT_EQ(
      messages.str(),
      "FIR with EnableFFT = 1 will have an FFT size of 8 samples and a delay of 4 samples.\n");
  const Samples impulse{1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
  ExpectClose(Filter(fir, impulse, messages), {0, 0, 0, 0, 0, 0, 1, 2, 3, 0}, 1e-15,
              "taps [0, 0, 1, 2, 3]");

  fir.InitialValue = 0.7;
  ASSERT_TRUE(fir.Setup(nullptr, messages));
  const Samples start = Filter(fir, {0.0, 0.0, 0.0, 0.0}, messages);
  ExpectClose(start, {0.0, 0.0, 0.7, 2.1}, 1e-15, "initial 0.7");
  // From sample L on it is the direct form with the same InitialValue, L late
  // (these taps reach back no further than the one block of initial values).
  std::mt19937_64 rng(5);
  const Samples input = RandomSamples(40, rng);
  const Samples late = Filter(fir, input, messages);
  FIR direct;
  direct.Taps = &ramp;
  direct.InitialValue = 0.7;
  ASSERT_TRUE(direct.Setup(nullptr, messages));
  const Samples onTime = Filter(direct, input, messages);
  for (std::size_t t = 4; t < input.size(); ++t)
    EXPECT_NEAR(late[t], onTime[t - 4], 1e-14);
}

TEST(FIRTest, SetupMessages) {
  struct Case {
    Samples taps;
    std::int32_t enableFFT, pow2Size, suppress;
    bool passes;
    std::string messages;
  };
  const std::string sizeReport8 =
      "FIR with EnableFFT = 1 will have an FFT size of 8 samples and a delay of 4 samples.\n";
  const Case cases[] = {
      {{}, 0, 0, 0, false, "Taps array size must be > 0.\n"},
      {{}, 1, 0, 0, false, "Taps array size must be > 0.\n"},
      {{1.0}, 2, 0, 0, false, "EnableFFT must be an integer in the range [0,1].\n"},
      {{1.0}, -1, 0, 0, false, "EnableFFT must be an integer in the range [0,1].\n"},
      {{},
       7,
       0,
       0,
       false,
       "Taps array size must be > 0.\nEnableFFT must be an integer in the range [0,1].\n"},
      {{1.0},
       1,
       1,
       0,
       false,
       "To be compatible with the Taps[] size, FFTPow2Size must be an integer >= 2.\n"},
      {{0.0, 0.0, 1.0, 2.0, 3.0},
       1,
       2,
       0,
       false,
       "To be compatible with the Taps[] size, FFTPow2Size must be an integer >= 3.\n"},
      {{1.0}, 1, 3, 0, true, sizeReport8},
      {{0.0, 0.0, 1.0, 2.0, 3.0}, 1, -4, 0, true, sizeReport8},
      {{1.0}, 1, 3, 1, true, ""},
      {{1.0},
       1,
       31,
       0,
       false,
       "FFTPow2Size must be an integer <= 30 so that the FFT size fits a 32-bit integer.\n"},
      {{1.0},
       1,
       2147483647,
       0,
       false,
       "FFTPow2Size must be an integer <= 30 so that the FFT size fits a 32-bit integer.\n"},
      {{0.0, 0.0, 0.0}, 1, 0, 0, false, "EnableFFT = 1 requires a tap with a magnitude > 0.\n"},
      {{0.0, NAN}, 1, 0, 0, false, "EnableFFT = 1 requires a tap with a magnitude > 0.\n"},
      {{0.0, 0.0, 0.0}, 0, 0, 0, true, ""},
  };
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
  FIR noTaps;
  std::ostringstream messages;
  EXPECT_FALSE(noTaps.Setup(nullptr, messages));
  EXPECT_EQ(messages.str(), "Taps array size must be > 0.\n");
}

TEST(FIRTest, ReportsEveryTenthProcessedBlock) {
  const Samples one{1.0};
  for (std::int32_t report : {0, 1, 2}) {
    FIR fir;
    fir.Taps = &one;
    fir.EnableFFT = 1;
    fir.SuppressFFTSizeReport = 1;
    fir.ReportFFTProcessCount = report;
    std::ostringstream setupMessages;
    ASSERT_TRUE(fir.Setup(nullptr, setupMessages));
    fir.Initialize(setupMessages);
    EXPECT_EQ(setupMessages.str(), "");
    std::string expected;
    for (int input = 1; input <= 45; ++input) {
      std::ostringstream messages;
      fir.Run(messages);
      if (report == 1 && (input == 21 || input == 41)) {
        const int count = input / 2;
        EXPECT_EQ(messages.str(),
                  "FIR with EnableFFT = 1: FFT_process_count = " + std::to_string(count) +
                      ", sample count = " + std::to_string(2 * count) + ".\n");
      } else {
        EXPECT_EQ(messages.str(), "") << "input " << input << ", report " << report;
      }
    }
  }
}

TEST(FIRTest, RunWithoutAValidSetupAndInitializeYieldsZero) {
  const Samples one{1.0};
  const Samples none;
  std::ostringstream messages;
  FIR fresh;
  fresh.In = 5.0;
  fresh.Out = 9.0;
  fresh.Run(messages);
  EXPECT_EQ(fresh.Out, 0.0);

  // A too small forced size leaves L = min(2 - 2, 1) = 0; nothing may index with it.
  FIR badSize;
  badSize.Taps = &one;
  badSize.EnableFFT = 1;
  badSize.FFTPow2Size = 1;
  EXPECT_FALSE(badSize.Setup(nullptr, messages));
  EXPECT_TRUE(badSize.Initialize(messages));
  EXPECT_EQ(Filter(badSize, {1.0, 2.0, 3.0}, messages), (Samples{0.0, 0.0, 0.0}));

  FIR direct;
  direct.Taps = &one;
  ASSERT_TRUE(direct.Setup(nullptr, messages));
  EXPECT_EQ(Filter(direct, {4.0}, messages), Samples{4.0});
  direct.Taps = &none;
  EXPECT_FALSE(direct.Setup(nullptr, messages));
  EXPECT_EQ(Filter(direct, {4.0}, messages), Samples{0.0});

  // Finalize releases the FFT state; Run waits for the next Initialize.
  FIR fft;
  fft.Taps = &one;
  fft.EnableFFT = 1;
  ASSERT_TRUE(fft.Setup(nullptr, messages));
  const Samples input{1.0, 2.0, 3.0, 4.0};
  const Samples first = Filter(fft, input, messages);
  fft.Finalize();
  fft.Finalize();
  fft.Run(messages);
  EXPECT_EQ(fft.Out, 0.0);
  EXPECT_EQ(Filter(fft, input, messages), first);
}

TEST(FIRTest, TracesItselfOnceAndEachFreshTransform) {
  const std::string path = testing::TempDir() + "fir_trace.txt";
  const Samples one{1.0};
  {
    TraceStream trace(path);
    FIR fir;
    fir.Taps = &one;
    std::ostringstream messages;
    ASSERT_TRUE(fir.Setup(&trace, messages));
    Filter(fir, {1.0, 2.0, 3.0}, messages);
    fir.EnableFFT = 1;
    ASSERT_TRUE(fir.Setup(&trace, messages));
    // One transform object for the taps, one per processed block (at inputs 3 and 5).
    Filter(fir, {1.0, 2.0, 3.0, 4.0, 5.0}, messages);
  }
  const std::string fftLine = "Quennavik::FFT::ComplexFFT\n";
  EXPECT_EQ(ReadFile(path), "Quennavik::FIR\n" + fftLine + fftLine + fftLine);
  std::remove(path.c_str());
}

}  // namespace
}  // namespace norvask
