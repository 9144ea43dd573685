#include "host/output/SvgCanvas.h"

#include <cmath>

namespace norvask::host {

SvgCanvas::SvgCanvas(double width, double height, double left, double right, double top,
                     double bottom, AxisSpan x, AxisSpan y)
    : width_(width),
      height_(height),
      left_(left),
      right_(right),
      top_(top),
      bottom_(bottom),
      x_(x),
      y_(y) {}

double SvgCanvas::X(double value) const {
  return left_ + (value - x_.low) / (x_.high - x_.low) * (width_ - left_ - right_);
}

double SvgCanvas::Y(double value) const {
  return top_ + (y_.high - value) / (y_.high - y_.low) * (height_ - top_ - bottom_);
}

void SvgCanvas::Begin(std::ostream& out, const std::string& title) const {
  out << "<?xml version='1.0' encoding='UTF-8'?>\n"
      << "<svg xmlns='http://www.w3.org/2000/svg' version='1.1' width='" << width_ << "' height='"
      << height_ << "' viewBox='0 0 " << width_ << ' ' << height_
      << "' font-family='sans-serif' font-size='13'>\n"
      << "<rect width='100%' height='100%' fill='white'/>\n"
      << "<text x='" << left_ << "' y='28' font-size='16' font-weight='bold'>" << Escaped(title)
      << "</text>\n";
}

void SvgCanvas::Axes(std::ostream& out, double xStep, double yStep, const TickLabel& xLabel,
                     const TickLabel& yLabel, const std::string& xTitle,
                     const std::string& yTitle) const {
  // Ticks sit on multiples of the step; the half-step slack keeps rounding
  // from dropping the last one.
  for (double v = std::ceil(x_.low / xStep) * xStep; v <= x_.high + 1e-9 * xStep; v += xStep) {
    out << "<line x1='" << X(v) << "' y1='" << plotTop() << "' x2='" << X(v) << "' y2='"
        << plotBottom() << "' stroke='#000' stroke-opacity='0.15'/>\n<text x='" << X(v) << "' y='"
        << plotBottom() + 18 << "' text-anchor='middle'>" << xLabel(v) << "</text>\n";
  }
  for (double v = std::ceil(y_.low / yStep) * yStep; v <= y_.high + 1e-9 * yStep; v += yStep) {
    out << "<line x1='" << plotLeft() << "' y1='" << Y(v) << "' x2='" << plotRight() << "' y2='"
        << Y(v) << "' stroke='#000' stroke-opacity='0.15'/>\n<text x='" << plotLeft() - 8 << "' y='"
        << Y(v) + 4 << "' text-anchor='end'>" << yLabel(v) << "</text>\n";
  }
  out << "<rect x='" << plotLeft() << "' y='" << plotTop() << "' width='"
      << plotRight() - plotLeft() << "' height='" << plotBottom() - plotTop()
      << "' fill='none' stroke='#444'/>\n<text x='" << (plotLeft() + plotRight()) / 2 << "' y='"
      << height_ - 15 << "' text-anchor='middle'>" << Escaped(xTitle)
      << "</text>\n<text transform='translate(22," << (plotTop() + plotBottom()) / 2
      << ") rotate(-90)' text-anchor='middle'>" << Escaped(yTitle) << "</text>\n";
}

double SvgCanvas::NiceStep(double span, double count) {
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double factor : {1.0, 2.0, 5.0}) {
    if (factor * power >= raw)
      return factor * power;
  }
  return 10.0 * power;
}

std::string SvgCanvas::PowerOfTen(double exponent) {
  const long rounded = std::lround(exponent);
  return rounded == 0 ? "1" : "1e" + std::to_string(rounded);
}

std::string SvgCanvas::Escaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (c == '&')
      escaped += "&amp;";
    else if (c == '<')
      escaped += "&lt;";
    else if (c == '>')
      escaped += "&gt;";
    else if (c == '\'')
      escaped += "&apos;";
    else
      escaped += c;
  }
  return escaped;
}

}  // namespace norvask::host
