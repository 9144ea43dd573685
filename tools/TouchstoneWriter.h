// Writes Touchstone text from S-parameters given as a function, so that test
// channels, benchmark inputs and the shipped example come from analytic
// networks whose responses are known in closed form.
#ifndef NORVASK_TOOLS_TOUCHSTONEWRITER_H_
#define NORVASK_TOOLS_TOUCHSTONEWRITER_H_

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace norvask::tools {

// S(frequency in Hz, to port, from port), ports 1-based.
using SParameterFunction = std::function<std::complex<double>(double, int, int)>;

struct TouchstoneLayout {
  int version = 1;            // 1 or 2
  std::string format = "RI";  // RI, MA or DB
  std::string unit = "GHz";   // Hz, kHz, MHz or GHz
  int pairsPerLine = 4;       // data wrapping
};

inline double unitScale(const std::string& unit) {
  return unit == "Hz" ? 1.0 : unit == "kHz" ? 1e3 : unit == "MHz" ? 1e6 : 1e9;
}

inline std::string formatPair(std::complex<double> s, const std::string& format) {
  const double degrees = std::arg(s) * 180.0 / std::acos(-1.0);
  double first = s.real();
  double second = s.imag();
  if (format == "MA") {
    first = std::abs(s);
    second = degrees;
  } else if (format == "DB") {
    first = 20.0 * std::log10(std::abs(s));
    second = degrees;
  }
  char text[64];
  std::snprintf(text, sizeof text, " %.9g %.9g", first, second);
  return text;
}

// Version 1 two-port data runs S11 S21 S12 S22; every other case row by row,
// each row starting on a new line.
inline std::string writeTouchstone(const std::vector<double>& frequencies, int ports,
                                   const SParameterFunction& s, const TouchstoneLayout& layout) {
  std::string text = "! written from an analytic network\n";
  if (layout.version == 2)
    text += "[Version] 2.0\n";
  text += "# " + layout.unit + " S " + layout.format + " R 50\n";
  if (layout.version == 2) {
    text += "[Number of Ports] " + std::to_string(ports) + "\n";
    if (ports == 2)
      text += "[Two-Port Data Order] 21_12\n";
    text += "[Number of Frequencies] " + std::to_string(frequencies.size()) + "\n";
    text += "[Reference]";
    for (int p = 0; p < ports; ++p)
      text += " 50";
    text += "\n[Network Data]\n";
  }
  for (double f : frequencies) {
    char head[64];
    std::snprintf(head, sizeof head, "%.12g", f / unitScale(layout.unit));
    text += head;
    if (ports == 2) {
      for (const auto& [to, from] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}})
        text += formatPair(s(f, to, from), layout.format);
      text += "\n";
      continue;
    }
    for (int to = 1; to <= ports; ++to) {
      for (int from = 1; from <= ports; ++from) {
        text += formatPair(s(f, to, from), layout.format);
        if (from % layout.pairsPerLine == 0 || from == ports)
          text += "\n";
      }
    }
  }
  if (layout.version == 2)
    text += "[End]\n";
  return text;
}

// A matched, lossless line of delay `delay` in series with a first-order
// low-pass of corner `corner` and DC gain `gain`: its impulse response is
// (gain / RC) e^(-(t - delay) / RC) from t = delay, RC = 1 / (2 pi corner).
inline std::complex<double> delayedLowPass(double f, double delay, double corner, double gain) {
  const double pi = std::acos(-1.0);
  return gain * std::polar(1.0, -2.0 * pi * f * delay) / std::complex<double>(1.0, f / corner);
}

// Frequencies from `first` in steps of `step`, `count` of them.
inline std::vector<double> frequencyGrid(double first, double step, std::size_t count) {
  std::vector<double> grid(count);
  for (std::size_t i = 0; i < count; ++i)
    grid[i] = first + step * static_cast<double>(i);
  return grid;
}

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_TOUCHSTONEWRITER_H_
