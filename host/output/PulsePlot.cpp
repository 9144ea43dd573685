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

void writeSeries(std::ostream& out, const SvgCanvas& canvas, const NamedSeries& series,
                 std::int32_t samplesPerBit, double lastBit, const char* colour, double width) {
  out << "<polyline fill='none' stroke='" << colour << "' stroke-width='" << width << "' points='";
  const double shown = std::min(static_cast<double>(series.values.size()), lastBit * samplesPerBit);
  const auto stride = static_cast<std::size_t>(std::ceil(shown / kMaxPoints));
  for (std::size_t i = 0; i < series.values.size(); i += std::max<std::size_t>(stride, 1)) {
    const double bit = static_cast<double>(i) / samplesPerBit;
    if (bit > lastBit)
      break;
    out << canvas.X(bit) << ',' << canvas.Y(series.values[i]) << ' ';
  }
  out << "'/>\n";
}

// Dots one unit interval apart through the main cursor: the values a
// receiver sampling at the peak sees from this bit.
void writeCursors(std::ostream& out, const SvgCanvas& canvas, const NamedSeries& series,
                  std::int64_t mainCursor, std::int32_t samplesPerBit, double lastBit,
                  const char* colour) {
  for (std::int64_t i = mainCursor % samplesPerBit;
       i < static_cast<std::int64_t>(series.values.size()); i += samplesPerBit) {
    const double bit = static_cast<double>(i) / samplesPerBit;
    if (bit > lastBit)
      break;
    out << "<circle cx='" << canvas.X(bit) << "' cy='"
        << canvas.Y(series.values[static_cast<std::size_t>(i)]) << "' r='"
        << (i == mainCursor ? 5 : 3) << "' fill='" << colour << "'/>\n";
  }
}

constexpr double kLegendLeft = kWidth - kRight - 380;

double legendRow(std::size_t row) {
  return kTop + 20.0 + 20.0 * static_cast<double>(row);
}

void writeLegend(std::ostream& out, const std::vector<NamedSeries>& series) {
  for (std::size_t s = 0; s < series.size(); ++s) {
    const double y = legendRow(s);
    out << "<line x1='" << kLegendLeft << "' y1='" << y - 4 << "' x2='" << kLegendLeft + 25
        << "' y2='" << y - 4 << "' stroke='" << kColours[s % 5] << "' stroke-width='3'/>\n"
        << "<text x='" << kLegendLeft + 32 << "' y='" << y << "'>"
        << SvgCanvas::Escaped(series[s].name) << "</text>\n";
  }
}

// The dots get their own legend row, in the colour of the series they mark.
void writeCursorLegend(std::ostream& out, std::size_t row, const std::string& label,
                       const char* colour) {
  const double y = legendRow(row);
  out << "<circle cx='" << kLegendLeft + 12.5 << "' cy='" << y - 4 << "' r='3' fill='" << colour
      << "'/>\n"
      << "<text x='" << kLegendLeft + 32 << "' y='" << y << "'>" << SvgCanvas::Escaped(label)
      << "</text>\n";
}

}  // namespace

void PulsePlot::Write(std::ostream& out) const {
  const auto savedPrecision = out.precision(6);
  const Extent extent = findExtent(series, samplesPerBit);
  const SvgCanvas canvas = canvasFor(extent);
  canvas.Begin(out, title);
  writeAxes(out, canvas, extent);
  for (std::size_t s = 0; s < series.size(); ++s) {
    writeSeries(out, canvas, series[s], samplesPerBit, extent.lastBit, kColours[s % 5],
                s + 1 == series.size() ? 2.5 : 1.5);
  }
  if (mainCursorIndex >= 0 && !series.empty()) {
    writeCursors(out, canvas, series.back(), mainCursorIndex, samplesPerBit, extent.lastBit,
                 kColours[(series.size() - 1) % 5]);
  }
  writeLegend(out, series);
  if (mainCursorIndex >= 0 && !series.empty())
    writeCursorLegend(out, series.size(), cursorLabel, kColours[(series.size() - 1) % 5]);
  canvas.End(out);
  out.precision(savedPrecision);
}

}  // namespace norvask::host
