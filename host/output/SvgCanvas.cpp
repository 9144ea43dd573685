#include "host/output/SvgCanvas.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

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

namespace {

constexpr double kTitleSize = 16.0;

// The title in at most two lines of at most `room` px, broken after the
// last colon that lets the first line fit, else the last comma, else the last
// space: where a reader pauses anyway.
std::vector<std::string> titleLines(const std::string& title, double room) {
  if (SvgCanvas::TextWidth(title, kTitleSize, true) <= room)
    return {title};
  for (const char* separator : {": ", ", ", " "}) {
    const std::size_t kept = std::string(separator).size() - 1;  // the mark, not the space
    std::size_t split = std::string::npos;
    for (std::size_t at = title.find(separator); at != std::string::npos;
         at = title.find(separator, at + 1)) {
      if (SvgCanvas::TextWidth(title.substr(0, at + kept), kTitleSize, true) <= room)
        split = at;
    }
    if (split != std::string::npos)
      return {title.substr(0, split + kept), title.substr(split + kept + 1)};
  }
  return {title};
}

}  // namespace

void SvgCanvas::Begin(std::ostream& out, const std::string& title) const {
  out << "<?xml version='1.0' encoding='UTF-8'?>\n"
      << "<svg xmlns='http://www.w3.org/2000/svg' version='1.1' width='" << width_ << "' height='"
      << height_ << "' viewBox='0 0 " << width_ << ' ' << height_
      << "' font-family='sans-serif' font-size='13'>\n"
      << "<rect width='100%' height='100%' fill='white'/>\n";
  const double room = plotRight() - plotLeft();
  const std::vector<std::string> lines = titleLines(title, room);
  double size = kTitleSize;
  for (const std::string& line : lines)
    size = std::min(size, kTitleSize * room / std::max(TextWidth(line, kTitleSize, true), room));
  double y = lines.size() == 1 ? 28.0 : 20.0;
  for (const std::string& line : lines) {
    out << "<text class='title' x='" << left_ << "' y='" << y << "' font-size='" << size
        << "' font-weight='bold'>" << Escaped(line) << "</text>\n";
    y += 20.0;
  }
}

bool PixelBox::Crosses(PixelPoint a, PixelPoint b) const {
  if (Contains(a) || Contains(b))
    return true;
  // Clip the segment's parameter range against each side (Liang-Barsky).
  double t0 = 0.0, t1 = 1.0;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {a.x - left, left + width - a.x, a.y - top, top + height - a.y};
  for (int side = 0; side < 4; ++side) {
    if (p[side] == 0.0) {
      if (q[side] < 0.0)
        return false;
      continue;
    }
    const double t = q[side] / p[side];
    if (p[side] < 0.0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
  }
  return t0 <= t1;
}

void SvgCanvas::BoxedText(std::ostream& out, PixelPoint at, const std::string& text,
                          double fontSize, const std::string& id) {
  const double width = TextWidth(text, fontSize) + 6.0, height = fontSize + 4.0;
  out << "<g" << (id.empty() ? "" : " id='" + id + "'") << " transform='translate(" << at.x << ','
      << at.y << ")'><rect x='" << -width / 2 << "' y='" << -height / 2 << "' width='" << width
      << "' height='" << height << "' rx='3' fill='#202020' fill-opacity='0.75'/><text y='"
      << 0.35 * fontSize << "' text-anchor='middle' fill='white' font-size='" << fontSize << "'>"
      << Escaped(text) << "</text></g>\n";
}

double SvgCanvas::TextWidth(const std::string& text, double fontSize, bool bold) {
  // Em widths by kind of character, rounded up from DejaVu Sans, the widest
  // of the usual sans-serif fonts.
  double ems = 0.0;
  for (char c : text) {
    if (std::string_view(" .,:;'|!ijlt()[]/").find(c) != std::string_view::npos)
      ems += 0.36;
    else if (std::string_view("mwMW@%").find(c) != std::string_view::npos)
      ems += 0.98;
    else if (c >= 'A' && c <= 'Z')
      ems += 0.75;
    else
      ems += 0.63;
  }
  return ems * fontSize * (bold ? 1.1 : 1.0);
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
