#include "host/output/BathtubPlot.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/base/EngineeringFormat.h"
#include "host/output/SvgCanvas.h"

namespace norvask::host {

void BathtubPlot::Write(std::ostream& out) const {
  const auto savedPrecision = out.precision(6);
  const std::int32_t s = eye->phases();
  const double centre = eye->PhaseOffset(atTarget.bestPhase) * unitInterval * 1e12;
  const double ui = unitInterval * 1e12;
  // Three decades below the target, and at least to 1e-18; a curve deeper
  // than that runs along the bottom.
  const double floor = std::min(-18.0, 3.0 * std::floor(std::log10(targetBer) / 3.0) - 3.0);
  const SvgCanvas canvas(960, 540, 80, 30, 50, 60, {centre - ui / 2, centre + ui / 2},
                         {floor, 0.0});
  canvas.Begin(out, title);
  canvas.Axes(out, SvgCanvas::NiceStep(ui, 10), 3.0, general, SvgCanvas::PowerOfTen,
              "sampling time from the main cursor (ps)", "bit-error ratio");
  out << "<polyline fill='none' stroke='#1f77b4' stroke-width='2.5' points='";
  for (std::int32_t k = -s / 2; k <= s - s / 2; ++k) {
    const double ber = eye->Ber(((atTarget.bestPhase + k) % s + s) % s, atTarget.bestThreshold);
    const double level = std::max(std::log10(std::max(ber, 1e-300)), floor);
    out << canvas.X(centre + k * ui / s) << ',' << canvas.Y(level) << ' ';
  }
  out << "'/>\n";
  const double target = std::log10(targetBer);
  out << "<line x1='" << canvas.plotLeft() << "' y1='" << canvas.Y(target) << "' x2='"
      << canvas.plotRight() << "' y2='" << canvas.Y(target)
      << "' stroke='#d62728' stroke-dasharray='6 4'/>\n";
  if (atTarget.open) {
    // The opening runs between the curve's own crossings of the target,
    // which need not sit symmetrically about the best phase.
    out << "<path class='eye-width' stroke='#d62728' stroke-width='3' d='M"
        << canvas.X(centre + atTarget.left * ui) << ' ' << canvas.Y(target) << 'H'
        << canvas.X(centre + atTarget.right * ui) << "'/>\n";
    out << "<text x='" << canvas.X(centre + (atTarget.left + atTarget.right) / 2 * ui) << "' y='"
        << canvas.Y(target) - 8 << "' text-anchor='middle' fill='#d62728'>eye width at "
        << general(targetBer) << ": " << general(atTarget.width)
        << " UI = " << general(atTarget.width * ui) << " ps</text>\n";
  } else {
    SvgCanvas::BoxedText(out, {canvas.X(centre), canvas.Y(target) - 16},
                         "eye closed at BER " + general(targetBer), 15.0, "eye_closed");
  }
  canvas.End(out);
  out.precision(savedPrecision);
}

}  // namespace norvask::host
