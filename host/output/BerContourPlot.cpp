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

// Marching squares: one segment per crossed cell, two in a saddle.
void writeContour(std::ostream& out, const SvgCanvas& canvas, const Grid& grid, double level,
                  bool target) {
  out << "<path fill='none' stroke='white' stroke-width='" << (target ? 2.5 : 1.2) << "'"
      << (target ? "" : " stroke-opacity='0.85'") << " d='";
  for (std::size_t i = 0; i + 1 < grid.y.size(); ++i) {
    for (std::size_t k = 0; k + 1 < grid.x.size(); ++k) {
      const std::vector<Point> p = cellCrossings(grid, i, k, level);
      for (std::size_t n = 0; n + 1 < p.size(); n += 2) {
        out << 'M' << canvas.X(p[n].x) << ' ' << canvas.Y(p[n].y) << 'L' << canvas.X(p[n + 1].x)
            << ' ' << canvas.Y(p[n + 1].y);
      }
    }
  }
  out << "'/>\n";
}

// The contour's name where it crosses the centre column above the eye; a
// label that would overlap the previous one goes beside it instead.
void writeContourLabel(std::ostream& out, const SvgCanvas& canvas, const Grid& grid, double level,
                       std::size_t centreRow, Point& previous) {
  const std::size_t column = grid.x.size() / 2;
  for (std::size_t i = centreRow; i + 1 < grid.y.size(); ++i) {
    const double a = grid.level[i][column], b = grid.level[i + 1][column];
    if (a <= level && b > level) {
      Point at{canvas.X(grid.x[column]) + 5, canvas.Y(grid.y[i] + (level - a) / (b - a) * grid.dy)};
      if (std::fabs(at.y - previous.y) < 12)
        at = {previous.x + 38, previous.y};
      out << "<text x='" << at.x << "' y='" << at.y - 3 << "' fill='white' font-size='11'>"
          << SvgCanvas::PowerOfTen(level) << "</text>\n";
      previous = at;
      return;
    }
  }
}

// Cross hair of the eye at the target: its height at the best phase and its
// width at the best threshold.
void writeTargetMark(std::ostream& out, const SvgCanvas& canvas, const StatisticalEye& eye,
                     const EyeAtBer& at, double unitInterval) {
  const double x = eye.PhaseOffset(at.bestPhase) * unitInterval * 1e12;
  const double y = eye.ThresholdVoltage(at.bestThreshold) * 1e3;
  const double halfHeight = at.height * 1e3 / 2, halfWidth = at.width * unitInterval * 1e12 / 2;
  out << "<path stroke='#ff5050' stroke-width='1.5' d='M" << canvas.X(x) << ' '
      << canvas.Y(y - halfHeight) << 'V' << canvas.Y(y + halfHeight) << 'M'
      << canvas.X(x - halfWidth) << ' ' << canvas.Y(y) << 'H' << canvas.X(x + halfWidth) << "'/>\n";
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
  const auto centreRow = static_cast<std::size_t>(atTarget.bestThreshold / grid.stride);
  Point previousLabel{0.0, -1e9};
  for (double level : levels) {
    writeContour(out, canvas, grid, level, level == target);
    writeContourLabel(out, canvas, grid, level, centreRow, previousLabel);
  }
  if (atTarget.open)
    writeTargetMark(out, canvas, *eye, atTarget, unitInterval);
  const double xSpan = grid.x.back() - grid.x.front();
  const double ySpan = grid.y.back() - grid.y.front();
  canvas.Axes(out, SvgCanvas::NiceStep(xSpan, 10), SvgCanvas::NiceStep(ySpan, 10), general, general,
              "sampling time from the main cursor (ps)", "decision threshold (mV)");
  writeColourBar(out, canvas);
  canvas.End(out);
  out.precision(savedPrecision);
}

}  // namespace norvask::host
