// The output room: CSV tables of responses and of the statistical eye, and
// the eye pictures drawn from the eye they show.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/analysis/StatisticalEye.h"
#include "host/output/BerContourPlot.h"
#include "host/output/OutputFiles.h"
#include "host/output/SeriesCsv.h"
#include "host/output/StatisticalEyeCsv.h"
#include "support/HostStatus.h"
#include "support/ScratchFiles.h"

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

// Root may write anywhere, so the failures are made by the path (a parent
// that is a file, a folder in the file's place) and by a stream that fails
// part way, as a full disk does.
TEST(OutputFiles, AFailedWriteLeavesNoPartialFileAndKeepsTheOldOne) {
  const std::string regular = testing::writeScratch("regular", "old\n");
  const std::string folder = testing::scratch("folder");
  std::filesystem::create_directories(folder);
  const auto full = [](std::ostream& out) {
    out << "partial";
    out.setstate(std::ios::badbit);
  };
  const auto fine = [](std::ostream& out) { out << "whole\n"; };
  const struct {
    std::string path;
    std::function<void(std::ostream&)> write;
    bool written;
    std::string content;  // of `path` afterwards
  } cases[] = {
      {regular, full, false, "old\n"},
      {regular + "/run.csv", fine, false, ""},
      {folder, fine, false, ""},
      {regular, fine, true, "whole\n"},
  };
  for (const auto& c : cases) {
    const Status status = writeFile(c.path, "table", c.write);
    EXPECT_EQ(testing::failure(status),
              c.written ? "<ok>" : "cannot write the table to " + fullPath(c.path));
    EXPECT_FALSE(std::filesystem::exists(c.path + ".part")) << c.path;
    if (!std::filesystem::is_directory(c.path)) {
      EXPECT_EQ(testing::slurp(c.path), c.content) << c.path;
    }
  }
}

TEST(OutputFiles, AFolderGetsTheDefaultNameInsideItCreatedWithItsParents) {
  const std::string base = testing::scratch("out");
  std::filesystem::remove_all(base);
  std::filesystem::create_directories(base + "/existing");
  const std::string regular = testing::writeScratch("regular", "x\n");
  const struct {
    std::string named, prefix, error;
  } cases[] = {
      {base + "/new/deeper/", base + "/new/deeper/ami_host", ""},
      {base + "/existing", base + "/existing/ami_host", ""},
      {base + "/existing/run", base + "/existing/run", ""},
      {base + "/absent/run", base + "/absent/run", ""},
      {regular + "/sub/", "", "cannot create the folder " + fullPath(regular + "/sub/")},
  };
  for (const auto& c : cases) {
    std::string prefix;
    EXPECT_EQ(testing::failure(outputPrefix(c.named, "ami_host", prefix)),
              c.error.empty() ? "<ok>" : c.error);
    EXPECT_EQ(prefix, c.prefix) << c.named;
  }
  EXPECT_TRUE(std::filesystem::is_directory(base + "/new/deeper"));
  EXPECT_FALSE(std::filesystem::exists(base + "/absent"));
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
