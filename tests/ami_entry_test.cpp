// End-to-end: the built shared library, loaded with dlopen and called exactly
// as a channel simulator calls it.
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/DriverTaps.h"
#include "support/ModelLibrary.h"

namespace norvask::testing {
namespace {

constexpr double kBitTime = 1.0 / 2.8e10;
constexpr double kSampleInterval = kBitTime / 32;
const std::string kGainDefault =
    "The IBIS-AMI model, Norvask, is unable to initialize the parameter OutputGain from the "
    "AMI_Init arguments.The model will use the default setting = 1.\n";
const std::string kTxiDefault =
    "The IBIS-AMI model, Norvask, is unable to initialize the parameter txi from the AMI_Init "
    "arguments.The model will use the default setting = 1.\n";

std::vector<double> randomColumns(std::size_t rows, std::size_t columns, unsigned seed) {
  std::mt19937 generator(seed);
  std::normal_distribution<double> sample(0.0, 1e10);
  std::vector<double> matrix(rows * columns);
  for (double& value : matrix)
    value = sample(generator);
  return matrix;
}

std::vector<double> columnOf(const std::vector<double>& matrix, std::size_t rows, std::size_t c) {
  return {matrix.begin() + c * rows, matrix.begin() + (c + 1) * rows};
}

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    ASSERT_NEAR(actual[i], expected[i], 1e-12 * (1.0 + std::fabs(expected[i]))) << "row " << i;
  }
}

class AmiEntryTest : public ::testing::Test {
 protected:
  ModelLibrary library;
  void SetUp() override { ASSERT_TRUE(library.loaded()) << NORVASK_LIBRARY_PATH; }
};

TEST_F(AmiEntryTest, EmptyParametersReportBothDefaultsAndUseTheSecondStepResponse) {
  const long rows = 3000;
  std::vector<double> matrix(rows, 0.0);
  matrix[0] = 1.0;
  const AmiCall call = callAmi(library, matrix, rows, 0, kSampleInterval, kBitTime, "");
  EXPECT_EQ(call.initResult, 1);
  EXPECT_EQ(call.closeResult, 1);
  EXPECT_EQ(call.message, kGainDefault + kTxiDefault);

  const std::vector<double> taps = driverTaps(2);
  ASSERT_EQ(taps.size(), 2006u);
  std::vector<double> expected(rows, 0.0);
  std::copy(taps.begin(), taps.end(), expected.begin());
  EXPECT_EQ(matrix, expected);  // a unit impulse comes back as the taps, then zeros
}

// Taps computed apart from the model: each table response resampled by the
// cubic through four neighbouring points (zero before the start, flat past
// the last point), differenced and scaled so that the taps add up to its final
// value. At 28 Gb/s and 64 samples per bit the grid is finer than the table's
// 1 ps, and the last taps come from the flat continuation.
TEST_F(AmiEntryTest, UnitImpulseReturnsTheIndependentlyResampledTaps) {
  struct Pinned {
    int txi;
    double bitRate;
    int samplesPerBit;
    long count;
    std::vector<std::pair<long, double>> taps;
  };
  const Pinned cases[] = {
      {3,
       28e9,
       64,
       4012,
       {{1, 2.140459346003894e-08},
        {2, 2.6686859155019577e-08},
        {1337, 0.0005504528147524582},
        {2006, 3.979330700620119e-05},
        {4009, 2.7155583911912823e-06},
        {4010, 2.7083819287360207e-06},
        {4011, 2.908610928743989e-06}}},
      {12,
       28e9,
       64,
       4012,
       {{1, 3.863513216434415e-08},
        {1337, 0.0008967573343723099},
        {4009, 2.147729840222921e-06},
        {4010, 2.1428027368866692e-06},
        {4011, 2.30215787909535e-06}}},
      {9,
       10.3125e9,
       32,
       738,
       {{1, 1.413936922375516e-07},
        {2, 1.5076397317119787e-07},
        {246, 0.004973135911563233},
        {369, 0.00047313580252833504},
        {737, 1.9213621303244418e-05}}},
      {0,
       2e9,
       16,
       71,
       {{1, 1.772308629672772e-06},
        {2, 3.0470573252680894e-06},
        {23, 0.02486559768294565},
        {35, 0.0012940660793001357},
        {70, 0.00012927040711977253}}},
  };
  for (const Pinned& pinned : cases) {
    const long rows = pinned.count + 4;
    std::vector<double> matrix(rows, 0.0);
    matrix[0] = 1.0;
    const double bitTime = 1.0 / pinned.bitRate;
    std::ostringstream parameters;
    parameters << "(Norvask (txi " << pinned.txi << "))";
    const AmiCall call = callAmi(library, matrix, rows, 0, bitTime / pinned.samplesPerBit, bitTime,
                                 parameters.str().c_str());
    ASSERT_EQ(call.initResult, 1) << pinned.txi;
    EXPECT_EQ(matrix[pinned.count], 0.0) << pinned.txi;
    for (const auto& [row, tap] : pinned.taps)
      EXPECT_NEAR(matrix[row], tap, 1e-12 * tap) << "txi " << pinned.txi << " row " << row;
  }
}

TEST_F(AmiEntryTest, EveryTxiFiltersWithItsOwnStepResponseScaledByOutputGain) {
  const long rows = 2500;
  const std::vector<double> input = randomColumns(rows, 1, 7);
  const double gains[] = {1.0, 0.0, -1.0, 2.5};
  for (int txi = 0; txi < 16; ++txi) {
    std::vector<double> matrix = input;
    std::ostringstream parameters;
    parameters << "(Norvask (OutputGain " << gains[txi % 4] << ") (txi " << txi << "))";
    const AmiCall call =
        callAmi(library, matrix, rows, 0, kSampleInterval, kBitTime, parameters.str().c_str());
    EXPECT_EQ(call.initResult, 1) << txi;
    EXPECT_EQ(call.message, "") << txi;
    expectNear(matrix, convolve(input, driverTaps(txi + 1), gains[txi % 4]));
  }
}

TEST_F(AmiEntryTest, AggressorsAreFilteredLikeTheChannel) {
  const long rows = 1200;
  const long aggressors = 3;
  const std::vector<double> input = randomColumns(rows, aggressors + 1, 3);
  std::vector<double> matrix = input;
  // A coarser grid: 25.78125 Gb/s at 16 samples per bit.
  const double bitTime = 1.0 / 25.78125e9;
  const AmiCall call = callAmi(library, matrix, rows, aggressors, bitTime / 16, bitTime,
                               "(Norvask (txi 9) (OutputGain 0.5))");
  EXPECT_EQ(call.initResult, 1);
  const std::vector<double> taps = driverTaps(10, 25.78125e9, 16);
  for (long c = 0; c <= aggressors; ++c) {
    expectNear(columnOf(matrix, rows, c), convolve(columnOf(input, rows, c), taps, 0.5));
  }
}

TEST_F(AmiEntryTest, NoColumnRunsForNegativeAggressorsOrRowsForAnEmptyColumn) {
  std::vector<double> matrix = randomColumns(64, 2, 5);
  const std::vector<double> input = matrix;
  AmiCall call = callAmi(library, matrix, 64, -1, kSampleInterval, kBitTime, "(Norvask (txi 0))");
  EXPECT_EQ(call.initResult, 1);
  EXPECT_EQ(call.closeResult, 1);
  EXPECT_EQ(call.message, kGainDefault);
  EXPECT_EQ(matrix, input);

  for (long rows : {0L, -5L}) {
    call = callAmi(library, matrix, rows, 1, kSampleInterval, kBitTime, "(Norvask (txi 0))");
    EXPECT_EQ(call.initResult, 1);
    EXPECT_EQ(call.message, kGainDefault);
    EXPECT_EQ(matrix, input);
  }
}

TEST_F(AmiEntryTest, SetupFailuresReportTheDriverLineThenTheBlockAndLeaveLaterColumns) {
  const long rows = 100;
  const std::vector<double> input = randomColumns(rows, 3, 9);
  struct Case {
    const char* parameters;
    double sampleInterval;
    double bitTime;
    std::string message;
  };
  const Case cases[] = {
      {"(Norvask (OutputGain 1) (txi 16))", kSampleInterval, kBitTime,
       "Error occurred in Norvask::Setup().\nStepRespIndex must be an integer in the range [1, "
       "16].\n"},
      {"(Norvask (OutputGain 1) (txi -1))", kSampleInterval, kBitTime,
       "Error occurred in Norvask::Setup().\nStepRespIndex must be an integer in the range [1, "
       "16].\n"},
      // The largest txi, given or clamped from a longer number, has no
      // one-based successor: it must fail like any other, not overflow.
      {"(Norvask (OutputGain 1) (txi 2147483647))", kSampleInterval, kBitTime,
       "Error occurred in Norvask::Setup().\nStepRespIndex must be an integer in the range [1, "
       "16].\n"},
      {"(Norvask (OutputGain 1) (txi 99999999999999999999))", kSampleInterval, kBitTime,
       "Error occurred in Norvask::Setup().\nStepRespIndex must be an integer in the range [1, "
       "16].\n"},
      {"(Norvask (OutputGain 1) (txi -2147483648))", kSampleInterval, kBitTime,
       "Error occurred in Norvask::Setup().\nStepRespIndex must be an integer in the range [1, "
       "16].\n"},
      {"(Norvask (OutputGain 1) (txi 1))", kSampleInterval, -kBitTime,
       "Error occurred in Norvask::Setup().\nBitRate must be > 0.\nSamplesPerBit must be and "
       "integer >= 4.\n"},
      {"(Norvask (OutputGain 1) (txi 1))", kBitTime / 3, kBitTime,
       "Error occurred in Norvask::Setup().\nSamplesPerBit must be and integer >= 4.\n"},
  };
  for (const Case& test : cases) {
    std::vector<double> matrix = input;
    const AmiCall call =
        callAmi(library, matrix, rows, 2, test.sampleInterval, test.bitTime, test.parameters);
    EXPECT_EQ(call.initResult, 0) << test.parameters;
    EXPECT_EQ(call.closeResult, 1);
    EXPECT_TRUE(call.handleSet);
    EXPECT_EQ(call.message, test.message);
    EXPECT_EQ(matrix, input);
  }
}

TEST_F(AmiEntryTest, HostArgumentsThatCannotBeRunAreRefusedWithOneLine) {
  struct Case {
    double sampleInterval;
    double bitTime;
    std::string message;
  };
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {0.0, kBitTime, "The sample interval must be a finite, nonzero number of seconds, not 0.\n"},
      {nan, kBitTime,
       "The sample interval must be a finite, nonzero number of seconds, not nan.\n"},
      {-inf, kBitTime,
       "The sample interval must be a finite, nonzero number of seconds, not -inf.\n"},
      {kSampleInterval, nan, "The bit time must be a finite number of seconds, not nan.\n"},
      {kSampleInterval, inf, "The bit time must be a finite number of seconds, not inf.\n"},
      {1e-15, 1.0,
       "The bit time is 1e+15 sample intervals, beyond the range of samples per bit.\n"},
      {1e-18, 1e-16,
       "The sample interval of 1e-18 s would need a driver impulse response of 2.239e+09 samples, "
       "more than the model supports (1.67772e+07).\n"},
  };
  for (const Case& test : cases) {
    std::vector<double> matrix(16, 1.0);
    const AmiCall call = callAmi(library, matrix, 16, 0, test.sampleInterval, test.bitTime,
                                 "(Norvask (OutputGain 1) (txi 1))");
    EXPECT_EQ(call.initResult, 0);
    EXPECT_EQ(call.closeResult, 1);
    EXPECT_EQ(call.message, test.message);
    EXPECT_EQ(matrix, std::vector<double>(16, 1.0));
  }

  std::vector<double> none;
  AmiCall call = callAmi(library, none, 16, 0, kSampleInterval, kBitTime, "(Norvask (txi 1))");
  EXPECT_EQ(call.initResult, 0);
  EXPECT_EQ(call.message,
            kGainDefault + "The impulse matrix is a null pointer, so no column was filtered.\n");
  call = callAmi(library, none, 0, 0, kSampleInterval, kBitTime, "(Norvask (txi 1))");
  EXPECT_EQ(call.initResult, 1);
}

TEST_F(AmiEntryTest, NullHostPointersAreNeverWrittenThrough) {
  std::vector<double> matrix(64, 0.0);
  matrix[0] = 1.0;
  const AmiCall call = callAmi(library, matrix, 64, 0, kSampleInterval, kBitTime, nullptr);
  EXPECT_EQ(call.initResult, 1);
  EXPECT_EQ(call.message, kGainDefault + kTxiDefault);

  void* handle = nullptr;
  char* message = nullptr;
  EXPECT_EQ(library.init()(matrix.data(), 64, 0, kSampleInterval, kBitTime, nullptr, nullptr,
                           &handle, nullptr),
            1);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(library.close()(handle), 1);
  EXPECT_EQ(library.init()(matrix.data(), 64, 0, kSampleInterval, kBitTime, nullptr, nullptr,
                           nullptr, &message),
            1);
  ASSERT_NE(message, nullptr);
  EXPECT_NE(std::string(message).find("no place for its memory handle"), std::string::npos);
  EXPECT_EQ(library.close()(nullptr), 0);
}

TEST_F(AmiEntryTest, NonFiniteSamplesPropagateThroughTheFilter) {
  const long rows = 50;
  std::vector<double> matrix(2 * rows, 0.0);
  matrix[10] = std::numeric_limits<double>::quiet_NaN();
  matrix[rows + 3] = std::numeric_limits<double>::infinity();
  const AmiCall call = callAmi(library, matrix, rows, 1, kSampleInterval, kBitTime, "");
  EXPECT_EQ(call.initResult, 1);
  EXPECT_EQ(matrix[9], 0.0);
  EXPECT_TRUE(std::isnan(matrix[10]));
  EXPECT_TRUE(std::isnan(matrix[rows - 1]));
  EXPECT_EQ(matrix[rows + 2], 0.0);
  EXPECT_FALSE(std::isfinite(matrix[rows + 20]));
}

TEST_F(AmiEntryTest, SeparateInstancesOnSeparateThreadsGiveIdenticalResults) {
  const long rows = 4000;
  const std::vector<double> input = randomColumns(rows, 3, 21);
  std::vector<double> serial = input;
  callAmi(library, serial, rows, 2, kSampleInterval, kBitTime, "(Norvask (txi 5))");

  std::vector<std::vector<double>> results(4, input);
  std::vector<AmiCall> calls(results.size());
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < results.size(); ++t) {
    threads.emplace_back([&, t] {
      calls[t] = callAmi(library, results[t], rows, 2, kSampleInterval, kBitTime,
                         t % 2 == 0 ? "(Norvask (txi 5))" : "(Norvask (txi 5) (OutputGain 1))");
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (std::size_t t = 0; t < results.size(); ++t) {
    EXPECT_EQ(calls[t].initResult, 1);
    EXPECT_EQ(results[t], serial) << "thread " << t;
  }
}

TEST(AmiLibraryExports, OnlyTheTwoEntryPointsAreExported) {
  const std::string command = std::string("nm -D --defined-only ") + NORVASK_LIBRARY_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> symbols;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    std::istringstream fields(line);
    std::string address, type, name;
    if (fields >> address >> type >> name)
      symbols.insert(type + " " + name);
  }
  EXPECT_EQ(pclose(pipe), 0);
  EXPECT_EQ(symbols, (std::set<std::string>{"T AMI_Close", "T AMI_Init"}));
}

}  // namespace
}  // namespace norvask::testing
