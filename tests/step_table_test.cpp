// The step-response table: the generator reproduces it byte for byte, and
// every column has the physical shape of a measured driver edge.
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

// One row per picosecond; each column quiet until 460 ps, a shallow dip, then
// a monotone rise to its final value, which grows with txi up to txi 10.
TEST(StepResponseTable, OnePicosecondRowsAndColumnsThatRiseMonotonicallyAfterTheirDip) {
  const std::vector<double> time = column(0);
  for (int row = 0; row < kStepResponseRows; ++row)
    ASSERT_NEAR(time[row], row * 1e-12, 1e-21) << "row " << row;
  EXPECT_NEAR(column(1).back(), 0.33, 0.005);   // txi 0
  EXPECT_NEAR(column(11).back(), 1.04, 0.005);  // txi 10
  for (int k = 1; k < kStepResponseColumns; ++k) {
    SCOPED_TRACE("column " + std::to_string(k));
    const std::vector<double> v = column(k);
    EXPECT_TRUE(k == 1 || k > 11 || v.back() > column(k - 1).back());
    EXPECT_EQ(v[0], 0.0);
    for (int row = 0; row <= 460; ++row)
      ASSERT_LE(std::fabs(v[row]), 0.00025) << "row " << row;
    const long bottom = std::min_element(v.begin(), v.end()) - v.begin();
    EXPECT_TRUE(bottom >= 470 && bottom <= 505 && v[bottom] > -0.01) << bottom;
    for (long row = bottom + 1; row < kStepResponseRows; ++row)
      ASSERT_GE(v[row], v[row - 1]) << "falls at row " << row;
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
