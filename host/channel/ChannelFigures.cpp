#include "host/channel/ChannelFigures.h"

#include <cmath>
#include <complex>

#include "host/base/MathConstants.h"

namespace norvask::host {

void describeImpulse(const std::vector<double>& impulse, const LinkTiming& timing,
                     ChannelInfo& info) {
  const double dt = timing.sampleInterval();
  double area = 0.0;
  for (double sample : impulse)
    area += sample * dt;
  info.dcGain = area;
  info.dcNote = "sum of the impulse response";
  info.lossAtNyquist_dB = impulseLoss_dB(impulse, dt, timing.BitRate / 2.0);
  info.delay = propagationDelay(impulse, dt);
  info.preRiseEnergy = preRiseEnergy(impulse);
}

double impulseLoss_dB(const std::vector<double>& impulse, double sampleInterval, double frequency) {
  std::complex<double> sum = 0.0;
  const std::complex<double> step = std::polar(1.0, -2.0 * kPi * frequency * sampleInterval);
  std::complex<double> turn = 1.0;
  for (std::size_t n = 0; n < impulse.size(); ++n) {
    sum += impulse[n] * turn;
    // Renormalising keeps the rotation on the unit circle over long responses.
    turn =
        (n % 1024 == 1023)
            ? std::polar(1.0, -2.0 * kPi * frequency * sampleInterval * static_cast<double>(n + 1))
            : turn * step;
  }
  return -20.0 * std::log10(std::abs(sum * sampleInterval));
}

double propagationDelay(const std::vector<double>& impulse, double sampleInterval) {
  double total = 0.0;
  for (double sample : impulse)
    total += sample;
  if (total == 0.0 || !std::isfinite(total))
    return std::nan("");
  double sum = 0.0;
  for (std::size_t i = 0; i < impulse.size(); ++i) {
    const double before = sum;
    sum += impulse[i];
    if (sum / total >= 0.5) {
      // Samples of h at k dt summed up to i approximate its integral up to
      // (i + 1/2) dt, the midpoint rule.
      const double within = (0.5 * total - before) / (sum - before);
      return (static_cast<double>(i) - 0.5 + within) * sampleInterval;
    }
  }
  return std::nan("");
}

double preRiseEnergy(const std::vector<double>& impulse) {
  if (impulse.empty())
    return std::nan("");
  std::size_t peak = 0;
  double energy = 0.0;
  for (std::size_t i = 0; i < impulse.size(); ++i) {
    energy += impulse[i] * impulse[i];
    if (std::abs(impulse[i]) > std::abs(impulse[peak]))
      peak = i;
  }
  std::size_t rise = peak;
  while (rise > 0 && std::abs(impulse[rise - 1]) < std::abs(impulse[rise]))
    --rise;
  double before = 0.0;
  for (std::size_t i = 0; i < rise; ++i)
    before += impulse[i] * impulse[i];
  return energy > 0.0 ? before / energy : std::nan("");
}

}  // namespace norvask::host
