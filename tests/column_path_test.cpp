// The whole-column path of AMI_Init (the block FIR) against the per-sample
// reference path, bit for bit (non-finite samples included), through the real
// driver taps of every step response on several simulation grids.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ami/Kx_Norvask.h"

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
      SCOPED_TRACE("txi " + std::to_string(txi) + ", grid " + std::to_string(&grid - grids));
      std::vector<double> blocked = randomMatrix(static_cast<std::size_t>(2 * grid.rows), rng);
      blocked[7] = std::numeric_limits<double>::quiet_NaN();
      blocked[static_cast<std::size_t>(grid.rows) + 3] = std::numeric_limits<double>::infinity();
      std::vector<double> stepped = blocked;
      const std::string parameters =
          "(Norvask (OutputGain 0.75) (txi " + std::to_string(txi) + "))";
      EXPECT_EQ(1, runDriver(blocked, grid.rows, 1, grid, parameters, false));
      EXPECT_EQ(1, runDriver(stepped, grid.rows, 1, grid, parameters, true));
      EXPECT_TRUE(sameBits(stepped, blocked));
    }
  }
}

}  // namespace
}  // namespace norvask::testing
