// A rectangular SVG plot area with linear axes: maps data to pixels and
// writes the document frame, grid, tick labels and axis titles that the
// statistical-eye figures share.
#ifndef NORVASK_HOST_OUTPUT_SVGCANVAS_H_
#define NORVASK_HOST_OUTPUT_SVGCANVAS_H_

#include <functional>
#include <ostream>
#include <string>

namespace norvask::host {

struct AxisSpan {
  double low = 0.0;
  double high = 1.0;
};

// How a tick value reads on its axis.
using TickLabel = std::function<std::string(double)>;

class SvgCanvas {
 public:
  // Plot area inset from a width x height picture by the given margins (px).
  SvgCanvas(double width, double height, double left, double right, double top, double bottom,
            AxisSpan x, AxisSpan y);

  double X(double value) const;
  double Y(double value) const;
  double plotLeft() const { return left_; }
  double plotRight() const { return width_ - right_; }
  double plotTop() const { return top_; }
  double plotBottom() const { return height_ - bottom_; }

  // The document start: size, white background, bold title.
  void Begin(std::ostream& out, const std::string& title) const;
  // Grid lines and tick labels every `xStep` / `yStep` (aligned to multiples
  // of the step), the frame, and the axis titles.
  void Axes(std::ostream& out, double xStep, double yStep, const TickLabel& xLabel,
            const TickLabel& yLabel, const std::string& xTitle, const std::string& yTitle) const;
  void End(std::ostream& out) const { out << "</svg>\n"; }

  // A tick spacing of 1, 2 or 5 times a power of ten giving about `count` ticks.
  static double NiceStep(double span, double count);
  static std::string Escaped(const std::string& text);
  // "1" for exponent 0, otherwise "1e-12" and the like.
  static std::string PowerOfTen(double exponent);

 private:
  double width_, height_, left_, right_, top_, bottom_;
  AxisSpan x_, y_;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_OUTPUT_SVGCANVAS_H_
