// What the built ami_host reports to its user: refusals in the user's terms,
// limits refused before any big allocation, undefined figures in words,
// S-parameter channels described, aggressors counted in the eye, and every
// output named by its full path.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "host/analysis/EyeMetrics.h"
#include "support/ScratchFiles.h"

namespace norvask::host {
namespace {

using testing::HostOutcome;
using testing::scratch;
using testing::slurp;

// Every run writes its figures to the test's own files.
HostOutcome runHostInScratch(const std::string& arguments) {
  return testing::runHost(arguments + " --out " + scratch("run"));
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(HostReport, ShippedTouchstoneExampleSweepsAndNamesEverything) {
  const std::string example = std::string(NORVASK_SOURCE_DIR) + "/host/examples/lossy_lane.s4p";
  const HostOutcome run = runHostInScratch("--channel " + example + " --sweep-txi");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(contains(run.out,
                       "SDD21 of P-in 1, N-in 3, P-out 2, N-out 4 (ports found from "
                       "the strongest through paths at 10 MHz)"));
  EXPECT_TRUE(contains(run.out, "insertion loss at Nyquist (1 GHz): 6.40 dB"));
  EXPECT_TRUE(contains(run.out, "DC gain: 0.9497 (extrapolated to DC from 10 MHz and 60 MHz)"));
  // The sweep table: worst-case height, ratio, then the statistical columns.
  EXPECT_TRUE(contains(run.out, "\n 13  303.3 mV                  0.3169    ")) << run.out;
  EXPECT_TRUE(contains(run.out, "0.7188 UI               <- best (largest eye height)\n"));
  EXPECT_TRUE(contains(run.out, "Wrote " + scratch("run") + "_impulse.csv\n"));
  const std::string svg = slurp(scratch("run") + "_pulse.svg");
  EXPECT_TRUE(contains(svg, "at 2 Gb/s, txi 13, OutputGain 1: channel alone"));
  EXPECT_TRUE(contains(svg, ">samples one unit interval apart (large: main cursor)</text>"));
  const HostOutcome byRatio =
      runHostInScratch("--channel " + example + " --sweep-txi --rank ratio");
  EXPECT_TRUE(contains(byRatio.out, "\n 14  302.5 mV                  0.322    "));
  EXPECT_TRUE(contains(byRatio.out, "UI               <- best (largest eye opening ratio)\n"));
}

TEST(HostReport, EveryAggressorTakesItsPeakOffTheEye) {
  // One sample of area a: its pulse response is a for one bit, so at any
  // phase exactly one cursor sees it; +-0.5 V data moves each level by a / 2.
  const double dt = 1e-12;
  EyeMetrics eye;
  eye.bcUpperLevel = 0.5;
  eye.wcUpperLevel = 0.4;
  eye.mainCursorIndex = 37;
  includeCrosstalk({{0.1 / dt}, {0.0, -0.04 / dt}}, dt, 32, eye);
  EXPECT_NEAR(eye.height(), 0.8 - 0.14, 1e-12);
  EXPECT_NEAR(eye.bcUpperLevel, 0.57, 1e-12);
  EXPECT_NEAR(eye.crosstalk, 0.14, 1e-12);
}

}  // namespace
}  // namespace norvask::host
