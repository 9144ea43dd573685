#include "host/output/PulsePlot.h"

#include <algorithm>
#include <cmath>

#include "host/base/EngineeringFormat.h"
#include "host/output/SvgCanvas.h"

namespace norvask::host {

namespace {

constexpr double kWidth = 960.0;
constexpr double kHeight = 540.0;
constexpr double kLeft = 80.0;
constexpr double kRight = 30.0;
constexpr double kTop = 50.0;
constexpr double kBottom = 60.0;
// A pulse response is read within a few hundred unit intervals; the bound
// keeps the file small whatever the response's length.
constexpr double kMaxBits = 1024.0;
// Points per line: a few per pixel of the 960-pixel width is all a viewer shows.
constexpr std::size_t kMaxPoints = 4096;
constexpr const char* kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e"};

// Where the picture is: from time 0 to where every series has settled within
// 1 % of the largest magnitude, plus two unit intervals of margin.
struct Extent {
  double lastBit = 1.0;
  double low = 0.0;
  double high = 0.0;
};

Extent findExtent(const std::vector<NamedSeries>& series, std::int32_t samplesPerBit) {
  double peak = 0.0;
  for (const auto& s : series) {
    for (double v : s.values)
      peak = std::max(peak, std::abs(v));
  }
  std::size_t last = 0;
  Extent extent;
  for (const auto& s : series) {
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      if (std::abs(s.values[i]) > 0.01 * peak)
        last = std::max(last, i);
      extent.low = std::min(extent.low, s.values[i]);
      extent.high = std::max(extent.high, s.values[i]);
    }
  }
  extent.lastBit = std::min(kMaxBits, std::ceil(static_cast<double>(last) / samplesPerBit) + 2.0);
  const double margin = 0.08 * (extent.high - extent.low);
  extent.low -= margin;
  extent.high += margin;
  if (!(extent.high > extent.low))
    extent.high = extent.low + 1.0;
  return extent;
}

SvgCanvas canvasFor(const Extent& extent) {
  return SvgCanvas(kWidth, kHeight, kLeft, kRight, kTop, kBottom, {0.0, extent.lastBit},
                   {extent.low, extent.high});
}

void writeAxes(std::ostream& out, const SvgCanvas& canvas, const Extent& extent) {
  const double xStep = SvgCanvas::NiceStep(extent.lastBit, 16.0);
  const double yStep = SvgCanvas::NiceStep(extent.high - extent.low, 8.0);
  // Stepping from below zero leaves rounding dust where the label should read 0.
  const auto label = [](double step) {
    return [step](double v) { return general(std::abs(v) < 1e-9 * step ? 0.0 : v); };
  };
  canvas.Axes(out, xStep, yStep, label(xStep), label(yStep), "time (unit intervals)",
              "pulse response (V for a 1 V bit)");
  // The zero line, which every pulse response settles to.
  out << "<line x1='" << canvas.plotLeft() << "' y1='" << canvas.Y(0.0) << "' x2='"
      << canvas.plotRight() << "' y2='" << canvas.Y(0.0) << "' stroke='#888'/>\n";
}

// The pixels of one series' polyline, every stride-th sample up to lastBit.
std::vector<PixelPoint> seriesPoints(const SvgCanvas& canvas, const NamedSeries& series,
                                     std::int32_t samplesPerBit, double lastBit) {
  std::vector<PixelPoint> points;
  const double shown = std::min(static_cast<double>(series.values.size()), lastBit * samplesPerBit);
  const auto stride =
      std::max<std::size_t>(static_cast<std::size_t>(std::ceil(shown / kMaxPoints)), 1);
  for (std::size_t i = 0; i < series.values.size(); i += stride) {
    const double bit = static_cast<double>(i) / samplesPerBit;
    if (bit > lastBit)
      break;
    points.push_back({canvas.X(bit), canvas.Y(series.values[i])});
  }
  return points;
}

void writeSeries(std::ostream& out, const std::vector<PixelPoint>& points, const char* colour,
                 double width) {
  out << "<polyline fill='none' stroke='" << colour << "' stroke-width='" << width << "' points='";
  for (const PixelPoint& p : points)
    out << p.x << ',' << p.y << ' ';
  out << "'/>\n";
}

// Dots one unit interval apart through the main cursor: the values a
// receiver sampling at the peak sees from this bit.
std::vector<PixelPoint> cursorPoints(const SvgCanvas& canvas, const NamedSeries& series,
                                     std::int64_t mainCursor, std::int32_t samplesPerBit,
                                     double lastBit) {
  std::vector<PixelPoint> points;
  for (std::int64_t i = mainCursor % samplesPerBit;
       i < static_cast<std::int64_t>(series.values.size()); i += samplesPerBit) {
    const double bit = static_cast<double>(i) / samplesPerBit;
    if (bit > lastBit)
      break;
    points.push_back({canvas.X(bit), canvas.Y(series.values[static_cast<std::size_t>(i)])});
  }
  return points;
}

void writeCursors(std::ostream& out, const std::vector<PixelPoint>& points, std::int64_t mainCursor,
                  std::int32_t samplesPerBit, const char* colour) {
  const auto main = static_cast<std::size_t>(mainCursor / samplesPerBit);
  for (std::size_t n = 0; n < points.size(); ++n) {
    out << "<circle cx='" << points[n].x << "' cy='" << points[n].y << "' r='"
        << (n == main ? 5 : 3) << "' fill='" << colour << "'/>\n";
  }
}

// One legend row: a line (or a dot) in the colour of what it names.
struct LegendRow {
  std::string text;
  const char* colour;
  bool dot;
};

constexpr double kRowHeight = 20.0;
constexpr double kKeyWidth = 32.0;  // the sample line and the gap after it
constexpr double kInset = 8.0;      // from the plot frame, and inside the box

PixelBox legendSize(const std::vector<LegendRow>& rows) {
  double text = 0.0;
  for (const LegendRow& row : rows)
    text = std::max(text, SvgCanvas::TextWidth(row.text, 13.0));
  return {0.0, 0.0, kKeyWidth + text + 2 * kInset,
          kRowHeight * static_cast<double>(rows.size()) + kInset};
}

std::size_t pointsUnder(const PixelBox& box, const std::vector<std::vector<PixelPoint>>& curves,
                        const std::vector<PixelPoint>& dots) {
  std::size_t hits = 0;
  for (const auto& curve : curves) {
    for (std::size_t n = 0; n + 1 < curve.size(); ++n)
      hits += box.Crosses(curve[n], curve[n + 1]) ? 1 : 0;
    if (curve.size() == 1)
      hits += box.Contains(curve[0]) ? 1 : 0;
  }
  // A dot's radius counts as part of it.
  const PixelBox grown{box.left - 5, box.top - 5, box.width + 10, box.height + 10};
  for (const PixelPoint& dot : dots)
    hits += grown.Contains(dot) ? 1 : 0;
  return hits;
}

// The corner of the plot area whose legend-sized box covers the fewest curve
// segments and dots; top right first when several are empty.
PixelBox emptiestCorner(const SvgCanvas& canvas, PixelBox legend,
                        const std::vector<std::vector<PixelPoint>>& curves,
                        const std::vector<PixelPoint>& dots) {
  const PixelBox plot = canvas.plotBox();
  const double right = plot.left + plot.width - kInset - legend.width;
  const double bottom = plot.top + plot.height - kInset - legend.height;
  const double left = plot.left + kInset, top = plot.top + kInset;
  PixelBox best = legend;
  std::size_t fewest = static_cast<std::size_t>(-1);
  for (const PixelPoint corner : {PixelPoint{right, top}, PixelPoint{left, top},
                                  PixelPoint{right, bottom}, PixelPoint{left, bottom}}) {
    const PixelBox box{corner.x, corner.y, legend.width, legend.height};
    const std::size_t hits = pointsUnder(box, curves, dots);
    if (hits < fewest) {
      fewest = hits;
      best = box;
    }
  }
  return best;
}

void writeLegend(std::ostream& out, const PixelBox& box, const std::vector<LegendRow>& rows) {
  out << "<rect class='legend' x='" << box.left << "' y='" << box.top << "' width='" << box.width
      << "' height='" << box.height << "' fill='white' fill-opacity='0.9' stroke='#bbb'/>\n";
  const double keyLeft = box.left + kInset;
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const double y = box.top + kInset + 10.0 + kRowHeight * static_cast<double>(n);
    if (rows[n].dot) {
      out << "<circle cx='" << keyLeft + 12.5 << "' cy='" << y - 4 << "' r='3' fill='"
          << rows[n].colour << "'/>\n";
    } else {
      out << "<line x1='" << keyLeft << "' y1='" << y - 4 << "' x2='" << keyLeft + 25 << "' y2='"
          << y - 4 << "' stroke='" << rows[n].colour << "' stroke-width='3'/>\n";
    }
    out << "<text x='" << keyLeft + kKeyWidth << "' y='" << y << "'>"
        << SvgCanvas::Escaped(rows[n].text) << "</text>\n";
  }
}

}  // namespace

void PulsePlot::Write(std::ostream& out) const {
  const auto savedPrecision = out.precision(6);
  const Extent extent = findExtent(series, samplesPerBit);
  const SvgCanvas canvas = canvasFor(extent);
  canvas.Begin(out, title);
  writeAxes(out, canvas, extent);
  std::vector<std::vector<PixelPoint>> curves;
  std::vector<LegendRow> rows;
  for (std::size_t s = 0; s < series.size(); ++s) {
    curves.push_back(seriesPoints(canvas, series[s], samplesPerBit, extent.lastBit));
    writeSeries(out, curves.back(), kColours[s % 5], s + 1 == series.size() ? 2.5 : 1.5);
    rows.push_back({series[s].name, kColours[s % 5], false});
  }
  std::vector<PixelPoint> dots;
  if (mainCursorIndex >= 0 && !series.empty()) {
    const char* colour = kColours[(series.size() - 1) % 5];
    dots = cursorPoints(canvas, series.back(), mainCursorIndex, samplesPerBit, extent.lastBit);
    writeCursors(out, dots, mainCursorIndex, samplesPerBit, colour);
    rows.push_back({cursorLabel, colour, true});
  }
  if (!rows.empty())
    writeLegend(out, emptiestCorner(canvas, legendSize(rows), curves, dots), rows);
  canvas.End(out);
  out.precision(savedPrecision);
}

}  // namespace norvask::host
