// The output room: CSV tables of responses and of the statistical eye, and
// the eye pictures drawn from the eye they show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "host/analysis/StatisticalEye.h"
#include "host/output/BerContourPlot.h"
#include "host/output/OutputFiles.h"
#include "host/output/SeriesCsv.h"
#include "host/output/StatisticalEyeCsv.h"
#include "support/HostStatus.h"

namespace norvask::host {
namespace {

TEST(SeriesCsv, OneRowPerSampleWithEmptyCellsPastAShortSeries) {
  std::ostringstream out;
  writeSeriesCsv(out, 0.5e-12, {{"a", {1.0, 2.5, -3.0}}, {"b", {0.125}}});
  EXPECT_EQ(out.str(), "time_s,a,b\n0,1,0.125\n5e-13,2.5,\n1e-12,-3,\n");
}

TEST(OutputFiles, AFileThatCannotBeWrittenIsNamedInFull) {
  EXPECT_EQ(testing::failure(writeFile("/nonexistent/run_pulse.svg", "plot", [](std::ostream&) {})),
            "cannot write the plot to /nonexistent/run_pulse.svg");
  EXPECT_EQ(fullPath("/a/b/../c.csv"), "/a/c.csv");
}

// A triangle two bits wide: at x UI from its peak the level is 1 - |x|, and
// the neighbour adds |x|.
std::vector<double> trianglePulse(int s) {
  std::vector<double> pulse(2 * s + 1);
  for (int i = 0; i <= 2 * s; ++i)
    pulse[i] = 1.0 - std::fabs(i - s) / double(s);
  return pulse;
}

StatisticalEye computed(const std::vector<double>& victim, const StatisticalEyeSettings& settings) {
  StatisticalEye eye;
  EXPECT_TRUE(testing::succeeded(eye.Compute(victim, {}, settings)));
  return eye;
}

TEST(StatisticalEyeFiles, BathtubTableAndEyePictureFollowTheEye) {
  StatisticalEyeSettings settings;
  settings.noiseRms = 0.02;
  const StatisticalEye eye = computed(trianglePulse(32), settings);
  const EyeAtBer at = eye.AtBer(1e-12);
  std::ostringstream table;
  writeBathtubCsv(table, eye, at, 5e-10);
  std::istringstream rows(table.str());
  std::string line;
  std::getline(rows, line);
  EXPECT_EQ(line, "time_s,time_UI,ber");
  int k = -16;  // one UI centred on the best phase, both ends
  for (; std::getline(rows, line); ++k) {
    double seconds, ui, ber;
    ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &seconds, &ui, &ber), 3);
    EXPECT_NEAR(ui, eye.PhaseOffset(at.bestPhase) + k / 32.0, 1e-9);
    EXPECT_NEAR(seconds, ui * 5e-10, 1e-18);
    const double expected = eye.Ber((at.bestPhase + k + 32) % 32, at.bestThreshold);
    EXPECT_NEAR(ber, expected, 1e-9 * expected);
  }
  EXPECT_EQ(k, 17);
  BerContourPlot plot;
  plot.eye = &eye;
  plot.unitInterval = 5e-10;
  plot.atTarget = at;
  std::ostringstream svg;
  plot.Write(svg);
  // Every contour is labelled on the eye once, besides its colour-bar tick.
  for (const std::string label : {">1e-3<", ">1e-6<", ">1e-9<", ">1e-12<", ">1e-15<"}) {
    int found = 0;
    for (auto pos = svg.str().find(label); pos != std::string::npos;
         pos = svg.str().find(label, pos + 1))
      ++found;
    EXPECT_EQ(found, 2) << label;
  }
}

}  // namespace
}  // namespace norvask::host
