// End-to-end: the built shared library, loaded with dlopen and called exactly
// as a channel simulator calls it.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/DriverTaps.h"
#include "support/ModelLibrary.h"

namespace norvask::testing {
namespace {

constexpr double kBitTime = 1.0 / 2.8e10;
constexpr double kSampleInterval = kBitTime / 32;
std::string defaultLine(const std::string& parameter) {
  return "The IBIS-AMI model, Norvask, is unable to initialize the parameter " + parameter +
         " from the AMI_Init arguments.The model will use the default setting = 1.\n";
}
const std::string kGainDefault = defaultLine("OutputGain");

std::vector<double> randomColumns(std::size_t rows, std::size_t columns, unsigned seed) {
  std::mt19937 generator(seed);
  std::normal_distribution<double> sample(0.0, 1e10);
  std::vector<double> matrix(rows * columns);
  for (double& value : matrix)
    value = sample(generator);
  return matrix;
}

class AmiEntryTest : public ::testing::Test {
 protected:
  ModelLibrary library;
  void SetUp() override { ASSERT_TRUE(library.loaded()) << library.loadError; }
};

// An empty and a null parameter text both fall back to both defaults: the
// second step response at gain 1, so a unit impulse comes back as its taps.
TEST_F(AmiEntryTest, MissingParametersReportBothDefaultsAndUseTheSecondStepResponse) {
  for (const char* parameters : {"", static_cast<const char*>(nullptr)}) {
    std::vector<double> matrix(3000, 0.0);
    matrix[0] = 1.0;
    const AmiCall call = callAmi(library, matrix, 3000, 0, kSampleInterval, kBitTime, parameters);
    EXPECT_EQ(call.initResult, 1);
    EXPECT_EQ(call.closeResult, 1);
    EXPECT_EQ(call.message, kGainDefault + defaultLine("txi"));
    std::vector<double> expected = driverTaps(2);
    ASSERT_EQ(expected.size(), 2006u);
    expected.resize(3000, 0.0);
    EXPECT_EQ(matrix, expected);
  }
}

// Taps computed apart from the model: each table response resampled by the cubic through four
// neighbouring points (zero before the start, flat past the last point), differenced and scaled so
// that the taps add up to its final value. At 28 Gb/s and 64 samples per bit the grid is finer than
// the table's 1 ps, and the last taps come from the flat continuation.
TEST_F(AmiEntryTest, UnitImpulseReturnsTheIndependentlyResampledTaps) {
  const struct {
    int txi, samplesPerBit;
    double bitRate;
    long count;  // taps; the row after the last is 0
  } grids[] = {
      {3, 64, 28e9, 4012}, {12, 64, 28e9, 4012}, {9, 32, 10.3125e9, 738}, {0, 16, 2e9, 71}};
  // {grid, row, tap}
  const std::tuple<int, long, double> taps[] = {
      {0, 1, 2.140459346003894e-08},     {0, 2, 2.6686859155019577e-08},
      {0, 1337, 0.0005504528147524582},  {0, 2006, 3.979330700620119e-05},
      {0, 4009, 2.7155583911912823e-06}, {0, 4010, 2.7083819287360207e-06},
      {0, 4011, 2.908610928743989e-06},  {1, 1, 3.863513216434415e-08},
      {1, 1337, 0.0008967573343723099},  {1, 4009, 2.147729840222921e-06},
      {1, 4010, 2.1428027368866692e-06}, {1, 4011, 2.30215787909535e-06},
      {2, 1, 1.413936922375516e-07},     {2, 2, 1.5076397317119787e-07},
      {2, 246, 0.004973135911563233},    {2, 369, 0.00047313580252833504},
      {2, 737, 1.9213621303244418e-05},  {3, 1, 1.772308629672772e-06},
      {3, 2, 3.0470573252680894e-06},    {3, 23, 0.02486559768294565},
      {3, 35, 0.0012940660793001357},    {3, 70, 0.00012927040711977253}};
  for (int g = 0; g < 4; ++g) {
    const auto& grid = grids[g];
    const long rows = grid.count + 4;
    std::vector<double> matrix(rows, 0.0);
    matrix[0] = 1.0;
    const double bitTime = 1.0 / grid.bitRate;
    const std::string parameters = "(Norvask (txi " + std::to_string(grid.txi) + "))";
    const AmiCall call = callAmi(library, matrix, rows, 0, bitTime / grid.samplesPerBit, bitTime,
                                 parameters.c_str());
    ASSERT_EQ(call.initResult, 1) << grid.txi;
    EXPECT_EQ(matrix[grid.count], 0.0) << grid.txi;
    for (const auto& [tapGrid, row, tap] : taps) {
      if (tapGrid == g) {
        EXPECT_NEAR(matrix[row], tap, 1e-12 * tap) << "txi " << grid.txi << " row " << row;
      }
    }
  }
}

// Every column, the aggressors' too, comes back as its input convolved with
// the taps of step response txi + 1, times OutputGain. Simulators pass parameter
// strings across lines: a line feed, carriage return or form feed ends a name as
// a space does; a tab does not, so the name is not found and its default holds.
TEST_F(AmiEntryTest, EveryColumnIsFilteredByItsTxiAndScaledByOutputGainOnAnyLineLayout) {
  const long rows = 2500;
  std::vector<std::tuple<std::string, int, double, std::string>> cases = {
      {"(Norvask\n(txi\n3)\n(OutputGain 0.5))", 3, 0.5, ""},
      {"(Norvask\r\n  (txi\r\n3)\r\n  (OutputGain\r\n-2)\r\n)\r\n", 3, -2.0, ""},
      {"(Norvask\f(OutputGain\f0.25)\f(txi\f12))", 12, 0.25, ""},
      {"(Norvask\n\t(txi\t9)\n\t(OutputGain 0.5))", 1, 0.5, defaultLine("txi")}};
  const double gains[] = {1.0, 0.0, -1.0, 2.5};
  for (int txi = 0; txi < 16; ++txi) {
    std::ostringstream parameters;
    parameters << "(Norvask (OutputGain " << gains[txi % 4] << ") (txi " << txi << "))";
    cases.emplace_back(parameters.str(), txi, gains[txi % 4], "");
  }
  for (std::size_t n = 0; n < cases.size(); ++n) {
    const auto& [parameters, txi, gain, message] = cases[n];
    const long aggressors = static_cast<long>(n % 3);
    const std::vector<double> input = randomColumns(rows, aggressors + 1, n);
    std::vector<double> matrix = input;
    const AmiCall call =
        callAmi(library, matrix, rows, aggressors, kSampleInterval, kBitTime, parameters.c_str());
    EXPECT_EQ(call.initResult, 1) << parameters;
    EXPECT_EQ(call.message, message) << parameters;
    const std::vector<double> taps = driverTaps(txi + 1);
    for (long c = 0; c <= aggressors; ++c) {
      const std::vector<double> expected =
          convolve({input.begin() + c * rows, input.begin() + (c + 1) * rows}, taps, gain);
      for (long r = 0; r < rows; ++r)
        ASSERT_NEAR(matrix[c * rows + r], expected[r], 1e-12 * (1.0 + std::fabs(expected[r])))
            << parameters << " column " << c << " row " << r;
    }
  }
}

// Arguments with nothing to filter succeed without a word; settings or host arguments the model
// cannot run with fail with one reason (after Setup's line for the settings). Either way AMI_Close
// takes the handle and every column stays as it was.
TEST_F(AmiEntryTest, NothingToFilterSucceedsAndWhatCannotBeRunFailsWithItsReason) {
  const std::string setup = "Error occurred in Norvask::Setup().\n";
  const std::string range = setup + "StepRespIndex must be an integer in the range [1, 16].\n";
  const std::string perBit = "SamplesPerBit must be and integer >= 4.\n";
  const std::string interval =
      "The sample interval must be a finite, nonzero number of seconds, not ";
  const std::string bitTime = "The bit time must be a finite number of seconds, not ";
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    const char* txi;
    double sampleInterval, bitTime;
    long rows, aggressors;
    std::string message;  // empty when AMI_Init must succeed
  } cases[] = {
      {"0", kSampleInterval, kBitTime, 64, -1, ""},
      {"0", kSampleInterval, kBitTime, 0, 1, ""},
      {"0", kSampleInterval, kBitTime, -5, 1, ""},
      {"16", kSampleInterval, kBitTime, 64, 2, range},
      {"-1", kSampleInterval, kBitTime, 64, 2, range},
      // The largest txi has no one-based successor: it fails, not overflows.
      {"2147483647", kSampleInterval, kBitTime, 64, 2, range},
      {"1", kSampleInterval, -kBitTime, 64, 2, setup + "BitRate must be > 0.\n" + perBit},
      {"1", kBitTime / 3, kBitTime, 64, 2, setup + perBit},
      {"1", 0.0, kBitTime, 64, 2, interval + "0.\n"},
      {"1", nan, kBitTime, 64, 2, interval + "nan.\n"},
      {"1", -inf, kBitTime, 64, 2, interval + "-inf.\n"},
      {"1", kSampleInterval, nan, 64, 2, bitTime + "nan.\n"},
      {"1", kSampleInterval, inf, 64, 2, bitTime + "inf.\n"},
      {"1", 1e-15, 1.0, 64, 2,
       "The bit time is 1e+15 sample intervals, beyond the range of samples per bit.\n"},
      {"1", 1e-18, 1e-16, 64, 2,
       "The sample interval of 1e-18 s would need a driver impulse response of 2.239e+09 samples, "
       "more than the model supports (1.67772e+07).\n"},
  };
  const std::vector<double> input = randomColumns(64, 3, 9);
  for (const auto& test : cases) {
    std::vector<double> matrix = input;
    const std::string parameters = std::string("(Norvask (OutputGain 1) (txi ") + test.txi + "))";
    const AmiCall call = callAmi(library, matrix, test.rows, test.aggressors, test.sampleInterval,
                                 test.bitTime, parameters.c_str());
    EXPECT_EQ(call.initResult, test.message.empty() ? 1 : 0) << test.rows << " " << test.message;
    EXPECT_EQ(call.closeResult, 1);
    EXPECT_EQ(call.message, test.message);
    EXPECT_EQ(matrix, input);
  }
  // Without a matrix: no rows is no fault, rows to filter are.
  for (const long rows : {0, 16}) {
    std::vector<double> none;
    const AmiCall call =
        callAmi(library, none, rows, 0, kSampleInterval, kBitTime, "(Norvask (txi 1))");
    EXPECT_EQ(call.initResult, rows == 0 ? 1 : 0);
    EXPECT_EQ(call.message, kGainDefault + (rows == 0 ? ""
                                                      : "The impulse matrix is a null pointer, "
                                                        "so no column was filtered.\n"));
  }
}

TEST_F(AmiEntryTest, NullHostPointersAreNeverWrittenThrough) {
  std::vector<double> matrix(64, 0.0);
  const auto init = [&](void** handle, char** message) {
    return library.init()(matrix.data(), 64, 0, kSampleInterval, kBitTime, nullptr, nullptr, handle,
                          message);
  };
  void* handle = nullptr;
  char* message = nullptr;
  EXPECT_EQ(init(&handle, nullptr), 1);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(library.close()(handle), 1);
  EXPECT_EQ(init(nullptr, &message), 1);
  ASSERT_NE(message, nullptr);
  EXPECT_NE(std::string(message).find("no place for its memory handle"), std::string::npos);
  EXPECT_EQ(library.close()(nullptr), 0);
}

// One instance per thread, half with equivalent parameters: all as serial.
TEST_F(AmiEntryTest, SeparateInstancesOnSeparateThreadsGiveIdenticalResults) {
  const long rows = 4000;
  const std::vector<double> input = randomColumns(rows, 3, 21);
  std::vector<double> serial = input;
  ASSERT_EQ(
      callAmi(library, serial, rows, 2, kSampleInterval, kBitTime, "(Norvask (txi 5))").initResult,
      1);
  std::vector<std::vector<double>> results(4, input);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t)
    threads.emplace_back([&, t] {
      callAmi(library, results[t], rows, 2, kSampleInterval, kBitTime,
              t % 2 == 0 ? "(Norvask (txi 5))" : "(Norvask (txi 5) (OutputGain 1))");
    });
  for (std::size_t t = 0; t < results.size(); ++t) {
    threads[t].join();
    EXPECT_EQ(results[t], serial) << "thread " << t;
  }
}

TEST(AmiLibraryExports, OnlyTheTwoEntryPointsAreExported) {
  const std::string command =
      std::string("nm -D --defined-only ") + NORVASK_LIBRARY_PATH + " | cut -d' ' -f2-";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string symbols;
  for (int c = std::fgetc(pipe); c != EOF; c = std::fgetc(pipe))
    symbols += static_cast<char>(c);
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(symbols, "T AMI_Close\nT AMI_Init\n");
}

}  // namespace
}  // namespace norvask::testing
