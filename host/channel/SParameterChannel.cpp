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

// The spectrum's bins k = 0, 1, ... at k * binWidth up to the band edge (at
// most n / 2 + 1 of them); the bins above are zero.
std::vector<std::complex<double>> bandBins(const PolarTable& table, BandWindow window,
                                           double binWidth, double bandEdge, std::size_t n) {
  std::vector<std::complex<double>> bins;
  PolarInterpolator interpolate(table);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    const double f = static_cast<double>(k) * binWidth;
    if (f > bandEdge)
      break;
    bins.push_back(windowAt(window, f, bandEdge) * interpolate.At(f));
  }
  return bins;
}

// Bin k of the n-point spectrum of a real signal, from its band `bins`: the
// upper half holds the conjugates of the lower, bin n / 2 only a real part.
std::complex<double> hermitianBin(const std::vector<std::complex<double>>& bins, std::size_t n,
                                  std::size_t k) {
  const std::size_t mirrored = k <= n / 2 ? k : n - k;
  if (mirrored >= bins.size())
    return 0.0;
  if (k == n / 2)
    return bins[k].real();
  return k < n / 2 ? bins[k] : std::conj(bins[mirrored]);
}

// e^(2 pi i k / n) for k < n / 2 as a product of a coarse and a fine root, so
// that a few thousand sines serve every bin.
class UnitRoots {
 public:
  explicit UnitRoots(std::size_t n) : n_(n) {
    for (std::size_t k = 0; k < kFine; ++k)
      fine_.push_back(Root(k));
    for (std::size_t k = 0; k < n / 2; k += kFine)
      coarse_.push_back(Root(k));
  }

  std::complex<double> At(std::size_t k) const { return coarse_[k / kFine] * fine_[k % kFine]; }

 private:
  static constexpr std::size_t kFine = 64;

  std::complex<double> Root(std::size_t k) const {
    return std::polar(1.0, 2.0 * kPi * static_cast<double>(k) / static_cast<double>(n_));
  }

  std::size_t n_;
  std::vector<std::complex<double>> fine_;
  std::vector<std::complex<double>> coarse_;
};

// The real n-point inverse transform of the spectrum whose band is `bins`,
// times `scale`, from one transform of half the length (half the work and
// half the memory): with X[k] the bins, E[k] = X[k] + X[k + n/2] transforms
// to the even samples and O[k] = (X[k] - X[k + n/2]) e^(2 pi i k / n) to the
// odd ones, both real, so E + iO gives them as real and imaginary parts.
void realInverseTransform(const std::vector<std::complex<double>>& bins, std::size_t n,
                          double scale, std::vector<double>& samples) {
  const std::size_t half = n / 2;
  const std::size_t band = bins.size();
  const UnitRoots roots(n);
  std::vector<std::complex<double>> packed(half, 0.0);
  for (std::size_t k = 0; k < half; ++k) {
    if (k >= band && half - k >= band)
      continue;  // both bins past the band
    const std::complex<double> low = hermitianBin(bins, n, k);
    const std::complex<double> high = hermitianBin(bins, n, k + half);
    const std::complex<double> odd = (low - high) * roots.At(k);
    packed[k] = low + high + std::complex<double>(-odd.imag(), odd.real());
  }
  FFT().ComplexFFT(packed, kInverse);
  samples.resize(n);
  for (std::size_t s = 0; s < half; ++s) {
    samples[2 * s] = packed[s].real() * scale;
    samples[2 * s + 1] = packed[s].imag() * scale;
  }
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

  const std::vector<std::complex<double>> bins =
      bandBins(table, window, binWidth, channel.bandEdge, n);
  // The inverse sum approximates the integral of H e^(j2pi f t) df with df =
  // binWidth; dividing by N dt = 1 / binWidth gives h(t) in 1/s.
  realInverseTransform(bins, n, binWidth, channel.impulse);
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
