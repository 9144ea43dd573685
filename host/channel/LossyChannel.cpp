#include "host/channel/LossyChannel.h"

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>

#include "dsp/FFT.h"

namespace norvask::host {

namespace {

// Oversampling of the synthesis grid against the requested length: the
// cepstral minimum-phase construction is exact only for a periodic response,
// and a long period lets the loss tail die out before it wraps around.
constexpr std::size_t kSynthesisOversampling = 8;

// Corner frequency of the loss laws relative to Nyquist (see loss_dB).
constexpr double kLowFrequencyCorner = 0.05;

using Spectrum = std::vector<std::complex<double>>;

constexpr std::int32_t kForward = 1;  // scaled by 1/N
constexpr std::int32_t kInverse = 0;  // unscaled

// Real cepstrum of the log magnitude folded onto positive quefrencies: the
// exponential of its transform is the minimum-phase spectrum of that magnitude.
// The log magnitude is real and even, so its cepstrum is the same in either
// transform direction; the spectrum comes out conjugated, which the real part
// of the impulse taken by ImpulseResponse() does not see.
Spectrum minimumPhaseSpectrum(const std::vector<double>& logMagnitude) {
  const std::size_t n = logMagnitude.size();
  Spectrum cepstrum(logMagnitude.begin(), logMagnitude.end());
  FFT fft;
  fft.ComplexFFT(cepstrum, kForward);
  for (std::size_t i = 1; i < n / 2; ++i)
    cepstrum[i] *= 2.0;
  for (std::size_t i = n / 2 + 1; i < n; ++i)
    cepstrum[i] = 0.0;
  fft.ComplexFFT(cepstrum, kInverse);
  for (auto& bin : cepstrum)
    bin = std::exp(bin);
  return cepstrum;
}

}  // namespace

double LossyChannel::LossAt_dB(double frequency) const {
  const double relative = frequency / NyquistFrequency;
  const double squared = relative * relative;
  const double corner = kLowFrequencyCorner * kLowFrequencyCorner;
  // Both laws bend over smoothly below the corner (skin depth beyond the
  // conductor, dielectric relaxation), as real interconnects do; a kink at DC
  // would leave the impulse a tail decaying only like 1/t^2, too long to fit
  // any sensible impulse matrix.
  const double skin = (std::pow(squared + corner, 0.25) - std::pow(corner, 0.25)) /
                      (std::pow(1.0 + corner, 0.25) - std::pow(corner, 0.25));
  const double dielectric = (std::sqrt(squared + corner) - kLowFrequencyCorner) /
                            (std::sqrt(1.0 + corner) - kLowFrequencyCorner);
  return LossAtNyquist_dB * (SkinEffectShare * skin + (1.0 - SkinEffectShare) * dielectric);
}

std::vector<double> LossyChannel::ImpulseResponse() const {
  const std::size_t n = fftLengthFor(static_cast<std::size_t>(Samples) * kSynthesisOversampling);
  const double binWidth = 1.0 / (static_cast<double>(n) * SampleInterval);
  const double nepersPerDecibel = std::log(10.0) / 20.0;
  std::vector<double> logMagnitude(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::size_t mirrored = k <= n / 2 ? k : n - k;
    logMagnitude[k] = -LossAt_dB(static_cast<double>(mirrored) * binWidth) * nepersPerDecibel;
  }
  Spectrum response = minimumPhaseSpectrum(logMagnitude);
  FFT().ComplexFFT(response, kForward);

  std::vector<double> impulse(static_cast<std::size_t>(Samples));
  double area = 0.0;
  for (std::size_t i = 0; i < impulse.size(); ++i) {
    impulse[i] = response[i].real();
    area += impulse[i];
  }
  // Truncation drops a little of the skin-effect tail; rescaling keeps the
  // step response's final value at the DC gain, as a simulator expects.
  const double scale = DcGain / (area * SampleInterval);
  for (auto& sample : impulse)
    sample *= scale;
  return impulse;
}

}  // namespace norvask::host
