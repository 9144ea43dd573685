// The step-response table: the generator reproduces it, and every column has
// the physical shape of a measured driver edge.
#include "data/StepResponseTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace norvask {
namespace {

std::vector<double> column(int k) {
  std::vector<double> v;
  for (int row = 0; row < kStepResponseRows; ++row)
    v.push_back(StepResponseTable[kStepResponseColumns * row + k]);
  return v;
}

TEST(StepResponseTable, TimeAxisIsOnePicosecondPerRowAndFinalValuesGrowWithTxi) {
  const std::vector<double> time = column(0);
  for (int row = 0; row < kStepResponseRows; ++row)
    EXPECT_NEAR(time[row], row * 1e-12, 1e-21) << "row " << row;
  EXPECT_EQ(time.back(), 2.239e-9);
  EXPECT_NEAR(column(1).back(), 0.33, 0.005);   // txi 0
  EXPECT_NEAR(column(11).back(), 1.04, 0.005);  // txi 10
  for (int k = 2; k <= 11; ++k)
    EXPECT_GT(column(k).back(), column(k - 1).back()) << "column " << k;
}

// Quiet before the edge, a shallow dip, then a monotone rise to the largest
// value at the last row, without steps or kinks: no sample-to-sample change
// exceeds 1.25 times the steepest 50-ps mean slope, and the slope changes by
// at most 5 % of its peak from one picosecond to the next.
TEST(StepResponseTable, EveryColumnRisesSmoothlyAndMonotonicallyAfterItsDip) {
  for (int k = 1; k < kStepResponseColumns; ++k) {
    SCOPED_TRACE("column " + std::to_string(k));
    const std::vector<double> v = column(k);
    EXPECT_EQ(v[0], 0.0);
    for (int row = 0; row <= 460; ++row)
      ASSERT_LE(std::fabs(v[row]), 0.00025) << "row " << row;
    const long bottom = std::min_element(v.begin(), v.end()) - v.begin();
    EXPECT_TRUE(bottom >= 470 && bottom <= 505) << bottom;
    EXPECT_TRUE(v[bottom] < 0.0 && v[bottom] > -0.01) << v[bottom];
    double steepestMean = 0.0, peakStep = 0.0;
    for (int row = 1; row < kStepResponseRows; ++row) {
      ASSERT_TRUE(row <= bottom || v[row] >= v[row - 1]) << "falls at row " << row;
      peakStep = std::max(peakStep, std::fabs(v[row] - v[row - 1]));
      if (row >= 50)
        steepestMean = std::max(steepestMean, (v[row] - v[row - 50]) / 50);
    }
    EXPECT_LE(peakStep, 1.25 * steepestMean);
    for (int row = 1; row + 1 < kStepResponseRows; ++row)
      ASSERT_LE(std::fabs(v[row + 1] - 2 * v[row] + v[row - 1]), 0.05 * peakStep) << "row " << row;
  }
}

TEST(StepTableGenerator, ReproducesTheCommittedTableByteForByte) {
  const std::string output = ::testing::TempDir() + "regenerated_step_table.cpp";
  const std::string command = NORVASK_BINARY_DIR "/tools/generate_step_table '" + output + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  auto contents = [](const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  };
  const std::string committed = contents(NORVASK_SOURCE_DIR "/data/StepResponseTable.cpp");
  ASSERT_FALSE(committed.empty());
  EXPECT_TRUE(contents(output) == committed)
      << "data/StepResponseTable.cpp is not what tools/generate_step_table makes; regenerate it";
  std::remove(output.c_str());
}

}  // namespace
}  // namespace norvask
