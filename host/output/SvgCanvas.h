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

// A place on the picture, px.
struct PixelPoint {
  double x = 0.0;
  double y = 0.0;
};

// A rectangle on the picture, px.
struct PixelBox {
  double left = 0.0, top = 0.0, width = 0.0, height = 0.0;

  bool Contains(PixelPoint p) const {
    return p.x >= left && p.x <= left + width && p.y >= top && p.y <= top + height;
  }
  bool Overlaps(const PixelBox& other) const {
    return left < other.left + other.width && other.left < left + width &&
           top < other.top + other.height && other.top < top + height;
  }
  // Whether the straight line from a to b passes through the box.
  bool Crosses(PixelPoint a, PixelPoint b) const;
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

  PixelBox plotBox() const { return {left_, top_, plotRight() - left_, plotBottom() - top_}; }

  // The document start: size, white background, bold title. A title wider
  // than the plot area breaks into two lines, and shrinks if it must, so it
  // stays inside the picture.
  void Begin(std::ostream& out, const std::string& title) const;
  // Grid lines and tick labels every `xStep` / `yStep` (aligned to multiples
  // of the step), the frame, and the axis titles.
  void Axes(std::ostream& out, double xStep, double yStep, const TickLabel& xLabel,
            const TickLabel& yLabel, const std::string& xTitle, const std::string& yTitle) const;
  void End(std::ostream& out) const { out << "</svg>\n"; }

  // `text` centred on `at` on a dark box of its size, so it reads on any
  // background; `id` names the group when not empty.
  static void BoxedText(std::ostream& out, PixelPoint at, const std::string& text, double fontSize,
                        const std::string& id = "");

  // Estimated width of `text` in px in the picture's sans-serif font: wide
  // enough for DejaVu Sans and Arial, the fonts viewers fall back to.
  static double TextWidth(const std::string& text, double fontSize, bool bold = false);
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
