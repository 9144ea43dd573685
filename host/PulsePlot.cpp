#include "host/PulsePlot.h"

#include <algorithm>
#include <cmath>

#include "host/SvgCanvas.h"

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

std::string xmlEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

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

class Canvas {
 public:
  Canvas(const Extent& extent) : extent_(extent) {}
  double x(double bits) const { return kLeft + bits / extent_.lastBit * (kWidth - kLeft - kRight); }
  double y(double value) const {
    return kTop +
           (extent_.high - value) / (extent_.high - extent_.low) * (kHeight - kTop - kBottom);
  }

 private:
  Extent extent_;
};

void writeAxes(std::ostream& out, const Canvas& canvas, const Extent& extent) {
  const double xStep = SvgCanvas::NiceStep(extent.lastBit, 16.0);
  for (double bit = 0.0; bit <= extent.lastBit + 1e-9; bit += xStep) {
    out << "<line x1='" << canvas.x(bit) << "' y1='" << kTop << "' x2='" << canvas.x(bit)
        << "' y2='" << kHeight - kBottom << "' stroke='#e4e4e4'/>\n"
        << "<text x='" << canvas.x(bit) << "' y='" << kHeight - kBottom + 18
        << "' text-anchor='middle'>" << bit << "</text>\n";
  }
  const double yStep = SvgCanvas::NiceStep(extent.high - extent.low, 8.0);
  for (double v = std::ceil(extent.low / yStep) * yStep; v <= extent.high; v += yStep) {
    const double shown = std::abs(v) < 1e-9 * yStep ? 0.0 : v;
    out << "<line x1='" << kLeft << "' y1='" << canvas.y(shown) << "' x2='" << kWidth - kRight
        << "' y2='" << canvas.y(shown) << "' stroke='" << (shown == 0.0 ? "#888" : "#e4e4e4")
        << "'/>\n"
        << "<text x='" << kLeft - 8 << "' y='" << canvas.y(shown) + 4 << "' text-anchor='end'>"
        << shown << "</text>\n";
  }
  out << "<rect x='" << kLeft << "' y='" << kTop << "' width='" << kWidth - kLeft - kRight
      << "' height='" << kHeight - kTop - kBottom << "' fill='none' stroke='#444'/>\n"
      << "<text x='" << (kWidth + kLeft - kRight) / 2 << "' y='" << kHeight - 15
      << "' text-anchor='middle'>time (unit intervals)</text>\n"
      << "<text transform='translate(22," << (kHeight - kBottom + kTop) / 2
      << ") rotate(-90)' text-anchor='middle'>pulse response (V for a 1 V bit)</text>\n";
}

void writeSeries(std::ostream& out, const Canvas& canvas, const NamedSeries& series,
                 std::int32_t samplesPerBit, double lastBit, const char* colour, double width) {
  out << "<polyline fill='none' stroke='" << colour << "' stroke-width='" << width << "' points='";
  const double shown = std::min(static_cast<double>(series.values.size()), lastBit * samplesPerBit);
  const auto stride = static_cast<std::size_t>(std::ceil(shown / kMaxPoints));
  for (std::size_t i = 0; i < series.values.size(); i += std::max<std::size_t>(stride, 1)) {
    const double bit = static_cast<double>(i) / samplesPerBit;
    if (bit > lastBit)
      break;
    out << canvas.x(bit) << ',' << canvas.y(series.values[i]) << ' ';
  }
  out << "'/>\n";
}

// Dots one unit interval apart through the main cursor: the values a
// receiver sampling at the peak sees from this bit.
void writeCursors(std::ostream& out, const Canvas& canvas, const NamedSeries& series,
                  std::int64_t mainCursor, std::int32_t samplesPerBit, double lastBit,
                  const char* colour) {
  for (std::int64_t i = mainCursor % samplesPerBit;
       i < static_cast<std::int64_t>(series.values.size()); i += samplesPerBit) {
    const double bit = static_cast<double>(i) / samplesPerBit;
    if (bit > lastBit)
      break;
    out << "<circle cx='" << canvas.x(bit) << "' cy='"
        << canvas.y(series.values[static_cast<std::size_t>(i)]) << "' r='"
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
        << "<text x='" << kLegendLeft + 32 << "' y='" << y << "'>" << xmlEscaped(series[s].name)
        << "</text>\n";
  }
}

// The dots get their own legend row, in the colour of the series they mark.
void writeCursorLegend(std::ostream& out, std::size_t row, const std::string& label,
                       const char* colour) {
  const double y = legendRow(row);
  out << "<circle cx='" << kLegendLeft + 12.5 << "' cy='" << y - 4 << "' r='3' fill='" << colour
      << "'/>\n"
      << "<text x='" << kLegendLeft + 32 << "' y='" << y << "'>" << xmlEscaped(label)
      << "</text>\n";
}

}  // namespace

void PulsePlot::Write(std::ostream& out) const {
  const auto savedPrecision = out.precision(6);
  const Extent extent = findExtent(series, samplesPerBit);
  const Canvas canvas(extent);
  out << "<?xml version='1.0' encoding='UTF-8'?>\n"
      << "<svg xmlns='http://www.w3.org/2000/svg' version='1.1' width='" << kWidth << "' height='"
      << kHeight << "' viewBox='0 0 " << kWidth << ' ' << kHeight
      << "' font-family='sans-serif' font-size='13'>\n"
      << "<rect width='100%' height='100%' fill='white'/>\n"
      << "<text x='" << kLeft << "' y='30' font-size='16' font-weight='bold'>" << xmlEscaped(title)
      << "</text>\n";
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
  out << "</svg>\n";
  out.precision(savedPrecision);
}

}  // namespace norvask::host
