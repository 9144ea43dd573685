#include "host/output/BerContourPlot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "host/base/EngineeringFormat.h"
#include "host/output/SvgCanvas.h"

namespace norvask::host {

namespace {

constexpr double kWidth = 960.0;
constexpr double kHeight = 600.0;
constexpr double kColourBarLeft = kWidth - 100.0;
constexpr double kFloor = -18.0;  // log10 BER at the dark end of the colour scale
constexpr int kShades = 64;
constexpr std::int32_t kMaxRows = 320;
constexpr double kContours[] = {-3.0, -6.0, -9.0, -12.0, -15.0};

// Dark blue-violet for a clean eye through teal and green to yellow where
// every other bit fails.
std::string shade(int index) {
  static const double anchors[][3] = {
      {68, 1, 84}, {59, 82, 139}, {33, 145, 140}, {94, 201, 98}, {253, 231, 37}};
  const double position = 4.0 * index / (kShades - 1);
  const int low = std::min(3, static_cast<int>(position));
  const double f = position - low;
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x",
                static_cast<int>(anchors[low][0] + f * (anchors[low + 1][0] - anchors[low][0])),
                static_cast<int>(anchors[low][1] + f * (anchors[low + 1][1] - anchors[low][1])),
                static_cast<int>(anchors[low][2] + f * (anchors[low + 1][2] - anchors[low][2])));
  return text;
}

int shadeOf(double log10Ber) {
  const double f = (std::clamp(log10Ber, kFloor, 0.0) - kFloor) / -kFloor;
  return static_cast<int>(std::lround(f * (kShades - 1)));
}

// log10 BER on a grid of cell centres: two unit intervals of phases centred
// on the eye (ps from the main cursor), every stride-th threshold (mV).
struct Grid {
  std::vector<double> x, y;
  std::vector<std::vector<double>> level;  // [row][column]
  double dx = 1.0, dy = 1.0;
  std::int32_t stride = 1;
};

Grid sampleGrid(const StatisticalEye& eye, const EyeAtBer& at, double unitInterval) {
  Grid grid;
  const std::int32_t s = eye.phases();
  grid.stride = (eye.thresholds() + kMaxRows - 1) / kMaxRows;
  grid.dx = unitInterval * 1e12 / s;
  grid.dy = eye.binWidth() * 1e3 * grid.stride;
  for (std::int32_t k = -s; k <= s; ++k)
    grid.x.push_back((eye.PhaseOffset(at.bestPhase) + static_cast<double>(k) / s) * unitInterval *
                     1e12);
  for (std::int32_t t = grid.stride / 2; t < eye.thresholds(); t += grid.stride) {
    grid.y.push_back(eye.ThresholdVoltage(t) * 1e3);
    std::vector<double>& row = grid.level.emplace_back();
    for (std::int32_t k = -s; k <= s; ++k) {
      const double ber = eye.Ber(((at.bestPhase + k) % s + s) % s, t);
      row.push_back(std::log10(std::max(ber, 1e-300)));
    }
  }
  return grid;
}

void writeHeatMap(std::ostream& out, const SvgCanvas& canvas, const Grid& grid) {
  for (std::size_t i = 0; i < grid.y.size(); ++i) {
    const double top = canvas.Y(grid.y[i] + grid.dy / 2);
    const double height = canvas.Y(grid.y[i] - grid.dy / 2) - top;
    for (std::size_t k = 0; k < grid.x.size();) {
      const int colour = shadeOf(grid.level[i][k]);
      std::size_t end = k + 1;
      while (end < grid.x.size() && shadeOf(grid.level[i][end]) == colour)
        ++end;
      const double left = canvas.X(grid.x[k] - grid.dx / 2);
      out << "<rect x='" << left << "' y='" << top << "' width='"
          << canvas.X(grid.x[end - 1] + grid.dx / 2) - left + 0.3 << "' height='" << height + 0.3
          << "' fill='" << shade(colour) << "'/>\n";
      k = end;
    }
  }
}

struct Point {
  double x, y;
};

// Where `level` crosses each edge of the cell at row i, column k, edges in
// order around the cell.
std::vector<Point> cellCrossings(const Grid& grid, std::size_t i, std::size_t k, double level) {
  const std::size_t corner[4][2] = {{i, k}, {i, k + 1}, {i + 1, k + 1}, {i + 1, k}};
  std::vector<Point> crossings;
  for (int e = 0; e < 4; ++e) {
    const auto* a = corner[e];
    const auto* b = corner[(e + 1) % 4];
    const double va = grid.level[a[0]][a[1]] - level;
    const double vb = grid.level[b[0]][b[1]] - level;
    if ((va < 0) == (vb < 0))
      continue;
    const double f = va / (va - vb);
    crossings.push_back({grid.x[a[1]] + f * (grid.x[b[1]] - grid.x[a[1]]),
                         grid.y[a[0]] + f * (grid.y[b[0]] - grid.y[a[0]])});
  }
  return crossings;
}

std::string levelName(double level) {
  return SvgCanvas::PowerOfTen(level);
}

// Marching squares: one segment per crossed cell, two in a saddle. Returns
// the segments' ends in px, where the contour's label may go.
std::vector<PixelPoint> writeContour(std::ostream& out, const SvgCanvas& canvas, const Grid& grid,
                                     double level, bool target) {
  std::vector<PixelPoint> ends;
  out << "<path id='contour_" << levelName(level) << "' fill='none' stroke='white' stroke-width='"
      << (target ? 2.5 : 1.2) << "'" << (target ? "" : " stroke-opacity='0.85'") << " d='";
  for (std::size_t i = 0; i + 1 < grid.y.size(); ++i) {
    for (std::size_t k = 0; k + 1 < grid.x.size(); ++k) {
      const std::vector<Point> p = cellCrossings(grid, i, k, level);
      for (std::size_t n = 0; n + 1 < p.size(); n += 2) {
        const PixelPoint a{canvas.X(p[n].x), canvas.Y(p[n].y)};
        const PixelPoint b{canvas.X(p[n + 1].x), canvas.Y(p[n + 1].y)};
        out << 'M' << a.x << ' ' << a.y << 'L' << b.x << ' ' << b.y;
        ends.push_back(a);
        ends.push_back(b);
      }
    }
  }
  out << "'/>\n";
  return ends;
}

constexpr double kLabelSize = 11.0;

// The box SvgCanvas::BoxedText draws around `text` centred on `at`.
PixelBox labelBox(PixelPoint at, const std::string& text, double fontSize = kLabelSize) {
  const double width = SvgCanvas::TextWidth(text, fontSize) + 6.0, height = fontSize + 4.0;
  return {at.x - width / 2, at.y - height / 2, width, height};
}

// Each contour's name on a point of its own line: the point nearest the top
// of the eye whose label box stays in the plot and clear of the labels already
// placed. The contours crowd together on a steep eye; walking along each line
// spreads their names out instead of stacking them.
void writeContourLabel(std::ostream& out, const SvgCanvas& canvas, double level,
                       std::vector<PixelPoint> ends, PixelPoint eyeTop,
                       std::vector<PixelBox>& placed) {
  const std::string text = levelName(level);
  const auto distance = [&](PixelPoint p) { return std::hypot(p.x - eyeTop.x, p.y - eyeTop.y); };
  std::sort(ends.begin(), ends.end(),
            [&](PixelPoint a, PixelPoint b) { return distance(a) < distance(b); });
  const PixelBox plot = canvas.plotBox();
  for (const PixelPoint& at : ends) {
    const PixelBox box = labelBox(at, text);
    const bool inside = box.left >= plot.left && box.top >= plot.top &&
                        box.left + box.width <= plot.left + plot.width &&
                        box.top + box.height <= plot.top + plot.height;
    if (!inside || std::any_of(placed.begin(), placed.end(),
                               [&](const PixelBox& other) { return other.Overlaps(box); }))
      continue;
    SvgCanvas::BoxedText(out, at, text, kLabelSize, "label_" + text);
    placed.push_back(box);
    return;
  }
}

// Cross hair of the eye at the target: its height at the best phase and its
// width at the best threshold, between the opening's own edges.
void writeTargetMark(std::ostream& out, const SvgCanvas& canvas, const StatisticalEye& eye,
                     const EyeAtBer& at, double unitInterval) {
  const double x = eye.PhaseOffset(at.bestPhase) * unitInterval * 1e12;
  const double y = eye.ThresholdVoltage(at.bestThreshold) * 1e3;
  const double halfHeight = at.height * 1e3 / 2, ui = unitInterval * 1e12;
  out << "<path stroke='#ff5050' stroke-width='1.5' d='M" << canvas.X(x) << ' '
      << canvas.Y(y - halfHeight) << 'V' << canvas.Y(y + halfHeight) << "'/>\n"
      << "<path class='eye-width' stroke='#ff5050' stroke-width='1.5' d='M"
      << canvas.X(x + at.left * ui) << ' ' << canvas.Y(y) << 'H' << canvas.X(x + at.right * ui)
      << "'/>\n";
}

void writeColourBar(std::ostream& out, const SvgCanvas& canvas) {
  const double top = canvas.plotTop(), bottom = canvas.plotBottom();
  const double step = (bottom - top) / kShades;
  for (int c = 0; c < kShades; ++c) {
    out << "<rect x='" << kColourBarLeft << "' y='" << bottom - (c + 1) * step
        << "' width='18' height='" << step + 0.3 << "' fill='" << shade(c) << "'/>\n";
  }
  for (double level = 0.0; level >= kFloor; level -= 3.0) {
    const double y = bottom - (level - kFloor) / -kFloor * (bottom - top);
    out << "<text x='" << kColourBarLeft + 24 << "' y='" << y + 4 << "'>"
        << SvgCanvas::PowerOfTen(level) << "</text>\n";
  }
  out << "<text x='" << kColourBarLeft << "' y='" << top - 8 << "'>BER</text>\n";
}

}  // namespace

void BerContourPlot::Write(std::ostream& out) const {
  const auto savedPrecision = out.precision(6);
  const Grid grid = sampleGrid(*eye, atTarget, unitInterval);
  const SvgCanvas canvas(kWidth, kHeight, 80, 150, 50, 60,
                         {grid.x.front() - grid.dx / 2, grid.x.back() + grid.dx / 2},
                         {grid.y.front() - grid.dy / 2, grid.y.back() + grid.dy / 2});
  canvas.Begin(out, title);
  writeHeatMap(out, canvas, grid);
  std::vector<double> levels(std::begin(kContours), std::end(kContours));
  const double target = std::log10(targetBer);
  if (std::find(levels.begin(), levels.end(), target) == levels.end())
    levels.push_back(target);
  // Labels start from the top of the eye at the target, or the middle of
  // the picture when it is closed.
  const PixelBox plot = canvas.plotBox();
  PixelPoint eyeTop{plot.left + plot.width / 2, plot.top + plot.height / 2};
  if (atTarget.open) {
    eyeTop = {
        canvas.X(eye->PhaseOffset(atTarget.bestPhase) * unitInterval * 1e12),
        canvas.Y((eye->ThresholdVoltage(atTarget.bestThreshold) + atTarget.height / 2) * 1e3)};
  }
  std::vector<std::vector<PixelPoint>> ends;
  for (double level : levels)
    ends.push_back(writeContour(out, canvas, grid, level, level == target));
  if (atTarget.open)
    writeTargetMark(out, canvas, *eye, atTarget, unitInterval);
  const double xSpan = grid.x.back() - grid.x.front();
  const double ySpan = grid.y.back() - grid.y.front();
  canvas.Axes(out, SvgCanvas::NiceStep(xSpan, 10), SvgCanvas::NiceStep(ySpan, 10), general, general,
              "sampling time from the main cursor (ps)", "decision threshold (mV)");
  // Text last, over every line; the contour labels keep clear of the note
  // that the eye is closed.
  std::vector<PixelBox> placed;
  if (!atTarget.open) {
    const std::string closed = "eye closed at BER " + general(targetBer);
    SvgCanvas::BoxedText(out, eyeTop, closed, 15.0, "eye_closed");
    placed.push_back(labelBox(eyeTop, closed, 15.0));
  }
  for (std::size_t n = 0; n < levels.size(); ++n)
    writeContourLabel(out, canvas, levels[n], ends[n], eyeTop, placed);
  writeColourBar(out, canvas);
  canvas.End(out);
  out.precision(savedPrecision);
}

}  // namespace norvask::host
