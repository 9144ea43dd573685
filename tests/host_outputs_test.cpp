// The host's writers: CSV a script can read back, and an SVG plot that is a
// well-formed document with one curve per response.
#include <gtest/gtest.h>

#include <sstream>

#include "tools/host/EyeMetrics.h"
#include "tools/host/PulsePlot.h"
#include "tools/host/SeriesCsv.h"

namespace norvask::host {
namespace {

TEST(HostOutputs, CsvHasAHeaderTimesAndEmptyCellsPastAShortSeries) {
  std::ostringstream out;
  writeSeriesCsv(out, 0.5e-12, {{"a", {1.0, 2.5, -3.0}}, {"b", {0.125}}});
  EXPECT_EQ(out.str(), "time_s,a,b\n0,1,0.125\n5e-13,2.5,\n1e-12,-3,\n");
}

TEST(HostOutputs, PulseResponseIsTheStepMinusItselfOneBitLater) {
  // Impulse 1/s samples: 2, 0, 1 at dt 0.5 s give the step 1, 1, 1.5.
  const std::vector<double> pulse = pulseResponse({2.0, 0.0, 1.0}, 0.5, 2);
  EXPECT_EQ(pulse, (std::vector<double>{1.0, 1.0, 0.5, 0.5, 0.0}));
}

TEST(HostOutputs, SvgIsOneDocumentWithACurvePerSeriesAndEscapedText) {
  PulsePlot plot;
  plot.title = "Channel & model <test>";
  plot.sampleInterval = 1e-12;
  plot.samplesPerBit = 4;
  plot.series = {{"channel", {0.0, 0.2, 0.5, 0.3, 0.1, 0.0}}, {"model", {0.0, 0.4, 0.8, 0.2}}};
  plot.mainCursorIndex = 2;
  std::ostringstream out;
  plot.Write(out);
  const std::string svg = out.str();
  EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
  EXPECT_NE(svg.find("<svg xmlns='http://www.w3.org/2000/svg'"), std::string::npos);
  EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
  EXPECT_NE(svg.find("Channel &amp; model &lt;test&gt;"), std::string::npos);
  auto count = [&svg](const std::string& what) {
    std::size_t n = 0;
    for (auto at = svg.find(what); at != std::string::npos; at = svg.find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("<polyline"), 2u);
  EXPECT_EQ(count("<circle"), 1u);  // the model's 4 samples hold one cursor at 2
}

}  // namespace
}  // namespace norvask::host
