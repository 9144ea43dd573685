#include "host/channel/SParameterChannel.h"

#include <algorithm>
#include <cmath>

#include "dsp/FFT.h"
#include "host/base/EngineeringFormat.h"
#include "host/base/MathConstants.h"

namespace norvask::host {

namespace {

constexpr std::int32_t kInverse = 0;  // e^+, unscaled
constexpr double kRaisedCosineShare = 0.25;

// Magnitude and unwrapped phase at increasing frequencies, DC first.
struct PolarTable {
  std::vector<double> frequency;
  std::vector<double> magnitude;
  std::vector<double> phase;
  double sign = 1.0;  // -1 when the response is negative at DC
};

std::vector<double> unwrappedPhase(const std::vector<std::complex<double>>& transfer) {
  std::vector<double> phase(transfer.size());
  for (std::size_t i = 0; i < transfer.size(); ++i) {
    phase[i] = std::arg(transfer[i]);
    if (i > 0)
      phase[i] -= 2.0 * kPi * std::round((phase[i] - phase[i - 1]) / (2.0 * kPi));
  }
  return phase;
}

PolarTable polarTable(const std::vector<double>& frequencies,
                      const std::vector<std::complex<double>>& transfer) {
  PolarTable table;
  std::vector<double> phase = unwrappedPhase(transfer);
  const double f0 = frequencies[0];
  const double f1 = frequencies[1];
  const double m0 = std::abs(transfer[0]);
  const double m1 = std::abs(transfer[1]);
  // Phase at DC, as a whole number of half turns; odd means negative DC.
  const double atDc = f0 == 0.0 ? phase[0] : phase[0] - f0 * (phase[1] - phase[0]) / (f1 - f0);
  const double halfTurns = std::round(atDc / kPi);
  table.sign = std::fmod(std::abs(halfTurns), 2.0) == 1.0 ? -1.0 : 1.0;
  for (double& p : phase)
    p -= halfTurns * kPi;
  if (f0 > 0.0) {
    const double dc = (m0 * f1 * f1 - m1 * f0 * f0) / (f1 * f1 - f0 * f0);
    table.frequency.push_back(0.0);
    table.magnitude.push_back(std::max(0.0, dc));
    table.phase.push_back(0.0);
  } else {
    phase[0] = 0.0;
  }
  table.frequency.insert(table.frequency.end(), frequencies.begin(), frequencies.end());
  for (std::size_t i = 0; i < transfer.size(); ++i) {
    table.magnitude.push_back(std::abs(transfer[i]));
    table.phase.push_back(phase[i]);
  }
  return table;
}

// Walks the table upwards; calls must come with non-decreasing frequencies.
class PolarInterpolator {
 public:
  explicit PolarInterpolator(const PolarTable& table) : table_(table) {}

  std::complex<double> At(double f) {
    while (segment_ + 2 < table_.frequency.size() && table_.frequency[segment_ + 1] < f)
      ++segment_;
    const double f0 = table_.frequency[segment_];
    const double f1 = table_.frequency[segment_ + 1];
    const double w = std::clamp((f - f0) / (f1 - f0), 0.0, 1.0);
    const double magnitude = lerp(table_.magnitude, w);
    return table_.sign * std::polar(magnitude, lerp(table_.phase, w));
  }

 private:
  double lerp(const std::vector<double>& values, double w) const {
    return values[segment_] + w * (values[segment_ + 1] - values[segment_]);
  }

  const PolarTable& table_;
  std::size_t segment_ = 0;
};

double windowAt(BandWindow window, double f, double edge) {
  if (f > edge)
    return 0.0;
  const double share = window == BandWindow::kHann   ? 1.0
                       : window == BandWindow::kNone ? 0.0
                                                     : kRaisedCosineShare;
  const double flat = (1.0 - share) * edge;
  if (f <= flat)
    return 1.0;
  return 0.5 * (1.0 + std::cos(kPi * (f - flat) / (edge - flat)));
}

}  // namespace

bool parseBandWindow(const std::string& text, BandWindow& window) {
  if (text == "raised-cosine")
    window = BandWindow::kRaisedCosine;
  else if (text == "hann")
    window = BandWindow::kHann;
  else if (text == "none")
    window = BandWindow::kNone;
  else
    return false;
  return true;
}

Status transferToImpulse(const std::vector<double>& frequencies,
                         const std::vector<std::complex<double>>& transfer, double sampleInterval,
                         BandWindow window, const std::string& sourceName,
                         ConvertedChannel& channel) {
  const std::size_t points = frequencies.size();
  if (points < 2)
    return Status::Error(sourceName + ": needs at least two frequency points");
  const double meanStep = (frequencies.back() - frequencies.front()) / double(points - 1);
  const double span = 1.0 / meanStep;
  const double wanted = span / sampleInterval;
  if (!(wanted <= static_cast<double>(kMaxConvertedSamples))) {
    return Status::Error(sourceName + ": the mean frequency step of " + hertz(meanStep) +
                         " describes a " + seconds(span) + " response, " +
                         count(std::ceil(wanted)) + " samples at " + seconds(sampleInterval) +
                         "; the limit is " + std::to_string(kMaxConvertedSamples) + " samples");
  }
  const std::size_t n =
      std::max<std::size_t>(2, fftLengthFor(static_cast<std::size_t>(std::ceil(wanted))));
  const double binWidth = 1.0 / (static_cast<double>(n) * sampleInterval);
  channel.bandEdge = std::min(frequencies.back(), 0.5 / sampleInterval);
  const PolarTable table = polarTable(frequencies, transfer);
  channel.dcGain = table.sign * table.magnitude[0];
  channel.dcExtrapolated = frequencies[0] > 0.0;

  std::vector<std::complex<double>> spectrum(n, 0.0);
  PolarInterpolator interpolate(table);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    const double f = static_cast<double>(k) * binWidth;
    if (f > channel.bandEdge)
      break;
    spectrum[k] = windowAt(window, f, channel.bandEdge) * interpolate.At(f);
    if (k > 0)
      spectrum[n - k] = std::conj(spectrum[k]);
  }
  spectrum[n / 2] = spectrum[n / 2].real();
  FFT().ComplexFFT(spectrum, kInverse);
  // The inverse sum approximates the integral of H e^(j2pi f t) df with df =
  // binWidth; dividing by N dt = 1 / binWidth gives h(t) in 1/s.
  channel.impulse.resize(n);
  for (std::size_t i = 0; i < n; ++i)
    channel.impulse[i] = spectrum[i].real() * binWidth;
  return Status::Ok();
}

double insertionLoss_dB(const std::vector<double>& frequencies,
                        const std::vector<std::complex<double>>& transfer, double frequency) {
  if (frequencies.size() < 2 || frequency < frequencies.front() || frequency > frequencies.back())
    return std::nan("");
  const PolarTable table = polarTable(frequencies, transfer);
  PolarInterpolator interpolate(table);
  return -20.0 * std::log10(std::abs(interpolate.At(frequency)));
}

}  // namespace norvask::host
