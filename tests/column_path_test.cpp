// The whole-column path of AMI_Init (the block FIR) against the per-sample
// reference path, bit for bit, through the real driver taps of every step
// response on several simulation grids.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ami/Kx_Norvask.h"
#include "support/ModelLibrary.h"

namespace norvask::testing {
namespace {

struct Grid {
  double bitRate;
  double samplesPerBit;
  long rows;
};

std::vector<double> randomMatrix(std::size_t size, std::mt19937_64& rng) {
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-20, 20);
  std::vector<double> matrix(size);
  for (double& v : matrix)
    v = std::ldexp(mantissa(rng), exponent(rng));
  return matrix;
}

// Runs Kx_Norvask over `matrix` in place and returns Init's result.
long runDriver(std::vector<double>& matrix, long rows, long aggressors, const Grid& grid,
               const std::string& parameters, bool perSample) {
  Kx_Norvask driver;
  driver.perSampleRun = perSample;
  AmiInitArguments arguments;
  arguments.impulseMatrix = matrix.data();
  arguments.rowSize = rows;
  arguments.aggressors = aggressors;
  arguments.bitTime = 1.0 / grid.bitRate;
  arguments.sampleInterval = arguments.bitTime / grid.samplesPerBit;
  arguments.parameters = parameters.c_str();
  const long result = driver.Init(arguments);
  driver.Close();
  return result;
}

bool sameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

TEST(ColumnPathTest, EveryTxiAndGridMatchesThePerSamplePath) {
  std::mt19937_64 rng(2024);
  const Grid grids[] = {
      {2.8e10, 32, 2500}, {2.578125e10, 32, 2100}, {2.8e10, 4, 700}, {1e10, 16, 900}, {5e9, 4, 60}};
  for (const Grid& grid : grids) {
    for (int txi = 0; txi < 16; ++txi) {
      const long aggressors = 1;
      std::vector<double> blocked =
          randomMatrix(static_cast<std::size_t>(grid.rows * (aggressors + 1)), rng);
      blocked[7] = std::numeric_limits<double>::quiet_NaN();
      blocked[static_cast<std::size_t>(grid.rows) + 3] = std::numeric_limits<double>::infinity();
      std::vector<double> stepped = blocked;
      const std::string parameters =
          "(Norvask (OutputGain 0.75) (txi " + std::to_string(txi) + "))";
      const std::string label = "txi " + std::to_string(txi) + ", " + std::to_string(grid.bitRate) +
                                " b/s at " + std::to_string(grid.samplesPerBit) +
                                " samples per bit";
      EXPECT_EQ(1, runDriver(blocked, grid.rows, aggressors, grid, parameters, false)) << label;
      EXPECT_EQ(1, runDriver(stepped, grid.rows, aggressors, grid, parameters, true)) << label;
      EXPECT_TRUE(sameBits(stepped, blocked)) << label;
    }
  }
}

// The shipped library, as a host loads it, gives the reference path's bits.
TEST(ColumnPathTest, SharedLibraryMatchesThePerSamplePath) {
  ModelLibrary library;
  ASSERT_TRUE(library.loaded());
  std::mt19937_64 rng(77);
  const Grid grid{2.8e10, 32, 4500};
  const long aggressors = 2;
  std::vector<double> loaded =
      randomMatrix(static_cast<std::size_t>(grid.rows * (aggressors + 1)), rng);
  std::vector<double> stepped = loaded;
  const std::string parameters = "(Norvask (txi 4))";
  const AmiCall call = callAmi(library, loaded, grid.rows, aggressors, 1.0 / grid.bitRate / 32,
                               1.0 / grid.bitRate, parameters.c_str());
  EXPECT_EQ(1, call.initResult);
  EXPECT_EQ(1, runDriver(stepped, grid.rows, aggressors, grid, parameters, true));
  EXPECT_TRUE(sameBits(stepped, loaded));
}

}  // namespace
}  // namespace norvask::testing
