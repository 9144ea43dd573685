// The step-response table's recorded facts, and the generator reproducing it.
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

// What was read off the measured responses, as recorded with the data: row 1 (all
// columns); per response column: row 1000, the last row, the deepest dip (two
// digits), the first rows at or above 10, 50, 90 and 99 % of the final value, and
// the selected rows to four digits.
constexpr double kRow1[] = {9.999999994e-13, 3.525e-08,       3.745833333e-08, 3.824999997e-08,
                            4.304166667e-08, 4.445833331e-08, 4.975e-08,       6.125000007e-08,
                            1.175e-07,       1.025e-07,       4.583333333e-08, 5.875000005e-08,
                            7.41666667e-08,  7.750000003e-08, 7.083333337e-08, 6.916666665e-08,
                            6.583333332e-08};
constexpr double kRow1000[] = {0.3125540644, 0.404314085,  0.4851079213, 0.5721886232,
                               0.6371795044, 0.7204442535, 0.7934103733, 0.8688572698,
                               0.9055123218, 0.9525162779, 0.9727096779, 0.9758239925,
                               0.9699171567, 0.9561814125, 0.9415944812, 0.9246994038};
constexpr double kFinal[] = {0.3301172764, 0.4292749577, 0.5172420711, 0.6122629656,
                             0.683975333,  0.7758306872, 0.8565529679, 0.9383707029,
                             0.9779519779, 1.026452386,  1.043152309,  1.039366429,
                             1.027638206,  1.007649536,  0.98910612,   0.9709394817};
constexpr double kDeepestDip[] = {-0.0054,  -0.0056,  -0.0056,  -0.0055,  -0.0053,  -0.0047,
                                  -0.0036,  -0.0018,  -0.00099, -0.00039, -0.00037, -0.00042,
                                  -0.00049, -0.00057, -0.00062, -0.00066};
constexpr double kFractions[] = {0.10, 0.50, 0.90, 0.99};
constexpr long kCrossingRows[][4] = {
    548, 650, 884, 1750, 547, 646, 890, 1749, 547, 644, 894, 1741, 547, 642, 901, 1736,
    547, 641, 908, 1724, 547, 640, 915, 1727, 547, 639, 919, 1715, 546, 639, 921, 1700,
    546, 639, 918, 1692, 545, 638, 910, 1647, 543, 637, 898, 1579, 542, 635, 887, 1500,
    540, 633, 876, 1454, 539, 631, 866, 1421, 538, 629, 859, 1418, 537, 628, 855, 1430};
constexpr int kSelectedRows[] = {450, 500, 550, 600, 650, 700, 800, 1500, 2000};
constexpr double kSelected[][kNumStepResponses] = {
    6.175e-05, 6.316e-05, 6.404e-05, 6.435e-05, 6.457e-05, 6.414e-05, 6.296e-05, 5.917e-05,
    5.591e-05, 4.989e-05, 4.595e-05, 4.316e-05, 4.126e-05, 3.928e-05, 3.82e-05,  3.763e-05,
    -0.004709, -0.004872, -0.004931, -0.004901, -0.004782, -0.004397, -0.003585, -0.001644,
    6.536e-05, 0.003627,  0.00658,   0.00909,   0.01052,   0.01187,   0.0127,    0.01332,
    0.03702,   0.04972,   0.06052,   0.07175,   0.08004,   0.09069,   0.1004,    0.1115,
    0.118,     0.1287,    0.1363,    0.1418,    0.1445,    0.1466,    0.1478,    0.1484,
    0.1049,    0.1419,    0.1753,    0.2113,    0.2382,    0.2722,    0.3016,    0.3316,
    0.3465,    0.3661,    0.3758,    0.3799,    0.3803,    0.3794,    0.3774,    0.3751,
    0.1654,    0.2207,    0.2699,    0.323,     0.3632,    0.4141,    0.4582,    0.5036,
    0.5263,    0.5556,    0.5693,    0.5745,    0.5745,    0.5714,    0.5679,    0.5639,
    0.2129,    0.2806,    0.3406,    0.4052,    0.4537,    0.5148,    0.5695,    0.6249,
    0.6526,    0.6891,    0.7075,    0.7144,    0.7145,    0.7111,    0.7059,    0.6997,
    0.272,     0.3541,    0.4261,    0.5028,    0.5607,    0.6344,    0.6989,    0.7676,
    0.8009,    0.8476,    0.8686,    0.8749,    0.8718,    0.8609,    0.8496,    0.8363,
    0.3237,    0.4207,    0.5069,    0.6,       0.6704,    0.7606,    0.8398,    0.9208,
    0.9603,    1.01,      1.03,      1.029,     1.019,     0.9999,    0.9816,    0.9631,
    0.3289,    0.4278,    0.5155,    0.6103,    0.6818,    0.7735,    0.8539,    0.9356,
    0.9753,    1.024,     1.041,     1.038,     1.026,     1.007,     0.9881,    0.9699};

double valueAt(int row, int column) {
  return StepResponseTable[kStepResponseColumns * row + column];
}

std::string rounded(double value, int digits) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*g", digits, value);
  return text;
}

TEST(StepResponseTable, TimeAxisAndRecordedRowsHoldTheirValuesExactly) {
  for (int row = 0; row < kStepResponseRows; ++row) {
    const double time =
        row == 1 ? kRow1[0] : std::strtod((std::to_string(row) + "e-12").c_str(), nullptr);
    EXPECT_EQ(valueAt(row, 0), time) << "row " << row;
  }
  EXPECT_EQ(valueAt(kStepResponseRows - 1, 0), 2.239e-9);
  for (int column = 1; column < kStepResponseColumns; ++column) {
    EXPECT_EQ(valueAt(0, column), 0.0) << "column " << column;
    EXPECT_EQ(valueAt(1, column), kRow1[column]) << "column " << column;
    EXPECT_EQ(valueAt(1000, column), kRow1000[column - 1]) << "column " << column;
    EXPECT_EQ(valueAt(kStepResponseRows - 1, column), kFinal[column - 1]) << "column " << column;
    for (int k = 0; k < 9; ++k)
      EXPECT_EQ(rounded(valueAt(kSelectedRows[k], column), 4), rounded(kSelected[k][column - 1], 4))
          << "row " << kSelectedRows[k] << " column " << column;
  }
}

// A measured edge has no steps and no corners. Steps: no sample-to-sample change
// exceeds 1.25 times the steepest mean slope between the selected rows 500 to 800
// ps apart by 50 ps; with a 10-90 % time of 300 ps and more, the peak slope of a
// smooth edge lies close to its steepest 50-ps mean. Corners: the change of slope
// from one sample to the next stays within 5 % of the column's peak slope; the edge
// needs close to 100 ps from the dip to its steepest point, so a slope that changes
// by a twentieth in one picosecond is a kink, not the driver.
TEST(StepResponseTable, EachColumnMeetsItsRecordedShape) {
  for (int column = 1; column < kStepResponseColumns; ++column) {
    SCOPED_TRACE("column " + std::to_string(column));
    std::vector<double> v;
    for (int row = 0; row < kStepResponseRows; ++row)
      v.push_back(valueAt(row, column));
    for (int k = 0; k < 4; ++k) {
      const double level = kFractions[k] * kFinal[column - 1];
      EXPECT_EQ(std::find_if(v.begin(), v.end(), [&](double x) { return x >= level; }) - v.begin(),
                kCrossingRows[column - 1][k]);
    }
    for (int row = 0; row <= 460; ++row)
      ASSERT_LE(std::fabs(v[row]), 0.00025) << "row " << row;
    const long bottom = std::min_element(v.begin(), v.end()) - v.begin();
    EXPECT_EQ(rounded(v[bottom], 2), rounded(kDeepestDip[column - 1], 2));
    EXPECT_TRUE(bottom >= 470 && bottom <= 505) << bottom;
    EXPECT_EQ(*std::max_element(v.begin(), v.end()), v.back());
    double steepestMean = 0.0, peakStep = 0.0;
    for (int k = 1; kSelectedRows[k + 1] <= 800; ++k)
      steepestMean =
          std::max(steepestMean, (kSelected[k + 1][column - 1] - kSelected[k][column - 1]) /
                                     (kSelectedRows[k + 1] - kSelectedRows[k]));
    for (int row = 1; row < kStepResponseRows; ++row) {
      ASSERT_TRUE(row <= bottom || v[row] >= v[row - 1]) << "falls at row " << row;
      peakStep = std::max(peakStep, std::fabs(v[row] - v[row - 1]));
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
