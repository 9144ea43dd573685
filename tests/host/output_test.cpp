// The output room: CSV tables, files, and the pictures drawn from the eye they show.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "host/analysis/StatisticalEye.h"
#include "host/output/BathtubPlot.h"
#include "host/output/BerContourPlot.h"
#include "host/output/OutputFiles.h"
#include "host/output/PulsePlot.h"
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

// Temporaries of `path` left in its folder.
int leftovers(const std::string& path) {
  const std::filesystem::path file(path);
  std::error_code ignored;
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(file.parent_path(), ignored))
    count += entry.path().filename().string().rfind(file.filename().string() + ".part", 0) == 0;
  return count;
}

// Root may write anywhere, so the failures are made by the path and by a stream that
// fails part way, as a full disk does.
TEST(OutputFiles, AFailedWriteIsNamedInFullLeavesNoPartialFileAndKeepsTheOldOne) {
  EXPECT_EQ(fullPath("/a/b/../c.csv"), "/a/c.csv");
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
      {"/nonexistent/run_pulse.svg", fine, false, ""},
      {regular, full, false, "old\n"},
      {regular + "/run.csv", fine, false, ""},
      {folder, fine, false, ""},
      {regular, fine, true, "whole\n"},
  };
  for (const auto& c : cases) {
    const Status status = writeFile(c.path, "table", c.write);
    EXPECT_EQ(testing::failure(status),
              c.written ? "<ok>" : "cannot write the table to " + fullPath(c.path))
        << c.path;
    EXPECT_EQ(leftovers(c.path), 0) << c.path;
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

// A triangle two bits wide: at x UI from its peak the level is 1 - |x|, the neighbour's |x|.
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

template <typename Plot>
std::string drawn(const StatisticalEye& eye) {
  Plot plot;
  plot.eye = &eye;
  plot.unitInterval = 5e-10;
  plot.atTarget = eye.AtBer(1e-12);
  std::ostringstream svg;
  plot.Write(svg);
  return svg.str();
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
  // Every contour is labelled on the eye once, besides its colour-bar tick.
  const std::string svg = drawn<BerContourPlot>(eye);
  for (const std::string label : {">1e-3<", ">1e-6<", ">1e-9<", ">1e-12<", ">1e-15<"}) {
    int found = 0;
    for (auto at = svg.find(label); at != std::string::npos; at = svg.find(label, at + 1))
      ++found;
    EXPECT_EQ(found, 2) << label;
  }
}

// Every number in `text`, in order ("M1 2L3,4" gives 1 2 3 4).
std::vector<double> numbersIn(const std::string& text) {
  std::vector<double> numbers;
  for (const char* p = text.c_str(); *p != '\0';) {
    char* end = nullptr;
    const double value = std::strtod(p, &end);
    if (end != p && (std::isdigit(static_cast<unsigned char>(*p)) || *p == '-' || *p == '.')) {
      numbers.push_back(value);
      p = end;
    } else {
      ++p;
    }
  }
  return numbers;
}

// The value of `attribute` in the first element that contains `marker`.
std::string attributeOf(const std::string& svg, const std::string& marker,
                        const std::string& attribute) {
  const std::size_t element = svg.rfind('<', svg.find(marker));
  const std::size_t end = svg.find('>', element);
  const std::size_t at = svg.find(" " + attribute + "='", element);
  if (element == std::string::npos || at == std::string::npos || at > end)
    return "";
  const std::size_t start = at + attribute.size() + 3;
  return svg.substr(start, svg.find('\'', start) - start);
}

// The numbers of `attributes` in the first element that contains `marker`.
std::vector<double> numbersOf(const std::string& svg, const std::string& marker,
                              std::initializer_list<const char*> attributes) {
  std::vector<double> numbers;
  for (const char* attribute : attributes) {
    const std::vector<double> more = numbersIn(attributeOf(svg, marker, attribute));
    numbers.insert(numbers.end(), more.begin(), more.end());
  }
  return numbers;
}

// Rises over one bit, decays over two: the eye closes a third of a bit early, half a bit late.
std::vector<double> leaningPulse(int s) {
  std::vector<double> pulse(3 * s + 1);
  for (int i = 0; i <= 3 * s; ++i)
    pulse[i] = i <= s ? i / double(s) : 1.0 - (i - s) / (2.0 * s);
  return pulse;
}

TEST(EyePictures, TheWidthMarkerRunsBetweenTheEdgesOfTheOpening) {
  StatisticalEyeSettings settings;
  settings.noiseRms = 0.01;
  const StatisticalEye eye = computed(leaningPulse(32), settings);
  const EyeAtBer at = eye.AtBer(1e-12);
  ASSERT_TRUE(at.open);
  ASSERT_GT(std::fabs(at.left + at.right), 1.0 / 32);  // lopsided
  // Centred on the best phase, the bathtub spans one UI over x = 80..930, the eye two UI and
  // a phase step over x = 80..810.
  const struct {
    std::string svg;
    double left, width, spanUi;
  } cases[] = {
      {drawn<BathtubPlot>(eye), 80.0, 850.0, 1.0},
      {drawn<BerContourPlot>(eye), 80.0, 730.0, 2.0 + 1.0 / 32},
  };
  for (const auto& c : cases) {
    const std::vector<double> d = numbersOf(c.svg, "class='eye-width'", {"d"});
    ASSERT_EQ(d.size(), 3u);
    EXPECT_NEAR(d[0], c.left + (at.left + c.spanUi / 2) / c.spanUi * c.width, 1e-3);
    EXPECT_NEAR(d[2], c.left + (at.right + c.spanUi / 2) / c.spanUi * c.width, 1e-3);
  }
}

TEST(EyePictures, AClosedEyeSaysSoAndMarksNoOpening) {
  StatisticalEyeSettings settings;
  settings.noiseRms = 1.0;
  const StatisticalEye eye = computed(trianglePulse(32), settings);
  ASSERT_FALSE(eye.AtBer(1e-12).open);
  for (const std::string& svg : {drawn<BathtubPlot>(eye), drawn<BerContourPlot>(eye)}) {
    EXPECT_NE(svg.find(">eye closed at BER 1e-12<"), std::string::npos);
    EXPECT_EQ(svg.find("eye-width"), std::string::npos);
  }
}

TEST(EyePictures, EachContourIsLabelledOnAPointOfItsPath) {
  StatisticalEyeSettings settings;
  settings.noiseRms = 0.02;
  const std::string svg = drawn<BerContourPlot>(computed(leaningPulse(32), settings));
  std::vector<std::vector<double>> boxes;
  for (const std::string level : {"1e-3", "1e-6", "1e-9", "1e-12", "1e-15"}) {
    const std::vector<double> path = numbersOf(svg, "id='contour_" + level, {"d"});
    const std::vector<double> at = numbersOf(svg, "id='label_" + level, {"transform"});
    ASSERT_EQ(at.size(), 2u) << level;
    bool onPath = false;
    for (std::size_t n = 0; n + 1 < path.size(); n += 2)
      onPath = onPath || std::hypot(path[n] - at[0], path[n + 1] - at[1]) < 1e-3;
    EXPECT_TRUE(onPath) << level;
    const std::string rect = svg.substr(svg.find("<rect", svg.find("id='label_" + level)));
    std::vector<double> box = numbersOf(rect, "<rect", {"x", "y", "width", "height"});
    box[0] += at[0];
    box[1] += at[1];
    for (const auto& other : boxes) {  // no label hides another
      EXPECT_FALSE(box[0] < other[0] + other[2] && other[0] < box[0] + box[2] &&
                   box[1] < other[1] + other[3] && other[1] < box[1] + box[3])
          << level;
    }
    boxes.push_back(box);
  }
}

TEST(PulsePicture, TheLegendSitsInAnEmptyCornerAndTheTitleInsideThePicture) {
  std::vector<double> ramp(64);
  for (int i = 0; i < 64; ++i)
    ramp[i] = i / 63.0;
  PulsePlot plot;
  plot.title = std::string(40, 'x') + " " + std::string(40, 'y') + " " + std::string(40, 'z');
  plot.sampleInterval = 1e-11;
  plot.samplesPerBit = 8;
  plot.series = {{"ramp", ramp}, {"ramp again", ramp}};
  plot.mainCursorIndex = 60;
  std::ostringstream out;
  plot.Write(out);
  const std::string svg = out.str();
  const std::vector<double> box = numbersOf(svg, "class='legend'", {"x", "y", "width", "height"});
  // The ramp ends at the top right; the legend goes to the top left.
  EXPECT_LT(box[0], 480.0);
  EXPECT_LT(box[1], 270.0);
  std::vector<double> points;
  const auto collect = [&svg, &points](const std::string& element,
                                       std::initializer_list<const char*> attributes) {
    for (auto at = svg.find(element); at != std::string::npos; at = svg.find(element, at + 1)) {
      const std::vector<double> more = numbersOf(svg.substr(at), element, attributes);
      points.insert(points.end(), more.begin(), more.end());
    }
  };
  collect("<polyline", {"points"});
  collect("<circle", {"cx", "cy"});
  ASSERT_GT(points.size(), 100u);
  std::size_t inside = 0;
  for (std::size_t n = 0; n + 1 < points.size(); n += 2) {
    inside += points[n] >= box[0] && points[n] <= box[0] + box[2] && points[n + 1] >= box[1] &&
              points[n + 1] <= box[1] + box[3];
  }
  EXPECT_LE(inside, 3u);  // the legend's own key dot and lines
  // Two title lines, none wider than the 850 px plot at 0.6 em a character, none of it lost.
  std::string joined;
  int lines = 0;
  for (std::size_t at = svg.find("class='title'"); at != std::string::npos;
       at = svg.find("class='title'", at + 1), ++lines) {
    const double size = numbersOf(svg.substr(at - 6), "class='title'", {"font-size"})[0];
    const std::size_t text = svg.find('>', at) + 1;
    const std::string line = svg.substr(text, svg.find('<', text) - text);
    EXPECT_LE(line.size() * 0.6 * size, 850.0) << line;
    joined += (joined.empty() ? "" : " ") + line;
  }
  EXPECT_EQ(lines, 2);
  EXPECT_EQ(joined, plot.title);
}

}  // namespace
}  // namespace norvask::host
