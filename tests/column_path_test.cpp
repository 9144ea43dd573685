// The whole-column path of AMI_Init (the block FIR) against the per-sample
// reference path, bit for bit (non-finite samples included), through the real
// driver taps of every step response on several simulation grids.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ami/Kx_Norvask.h"

namespace norvask::testing {
namespace {

// Kx_Norvask in place over `matrix`, channel and one aggressor; Init's result.
long runDriver(std::vector<double>& matrix, double bitRate, double samplesPerBit, int txi,
               bool perSample) {
  Kx_Norvask driver;
  driver.perSampleRun = perSample;
  const std::string parameters = "(Norvask (OutputGain 0.75) (txi " + std::to_string(txi) + "))";
  AmiInitArguments arguments;
  arguments.impulseMatrix = matrix.data();
  arguments.rowSize = static_cast<std::int64_t>(matrix.size() / 2);
  arguments.aggressors = 1;
  arguments.bitTime = 1.0 / bitRate;
  arguments.sampleInterval = arguments.bitTime / samplesPerBit;
  arguments.parameters = parameters.c_str();
  const long result = driver.Init(arguments);
  driver.Close();
  return result;
}

TEST(ColumnPathTest, EveryTxiAndGridMatchesThePerSamplePath) {
  std::mt19937_64 rng(2024);
  std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
  std::uniform_int_distribution<int> exponent(-20, 20);
  const struct {
    double bitRate, samplesPerBit;
    std::size_t rows;
  } grids[] = {
      {2.8e10, 32, 2500}, {2.578125e10, 32, 2100}, {2.8e10, 4, 700}, {1e10, 16, 900}, {5e9, 4, 60}};
  for (const auto& grid : grids) {
    for (int txi = 0; txi < 16; ++txi) {
      SCOPED_TRACE("txi " + std::to_string(txi) + ", grid " + std::to_string(&grid - grids));
      std::vector<double> blocked(2 * grid.rows);
      for (double& v : blocked)
        v = std::ldexp(mantissa(rng), exponent(rng));
      blocked[7] = std::numeric_limits<double>::quiet_NaN();
      blocked[grid.rows + 3] = std::numeric_limits<double>::infinity();
      std::vector<double> stepped = blocked;
      EXPECT_EQ(1, runDriver(blocked, grid.bitRate, grid.samplesPerBit, txi, false));
      EXPECT_EQ(1, runDriver(stepped, grid.bitRate, grid.samplesPerBit, txi, true));
      EXPECT_EQ(0, std::memcmp(stepped.data(), blocked.data(), blocked.size() * sizeof(double)));
    }
  }
}

}  // namespace
}  // namespace norvask::testing
