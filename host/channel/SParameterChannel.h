// Turns a measured transfer function (frequency points, not necessarily
// evenly spaced, possibly starting above DC) into an impulse response on the
// simulator's sample grid, in the IBIS-AMI convention (1/s: the samples times
// the sample interval sum to the DC gain).
//
// The steps, each for a reason:
// - DC: the magnitude is even in frequency, so a + b f^2 through the two
//   lowest points gives it at DC; the unwrapped phase is carried on to DC by
//   the straight line through the two lowest points and snapped to the
//   nearest multiple of pi, since a real response is real at DC.
// - Magnitude and unwrapped phase are interpolated linearly onto the FFT's
//   frequency grid; interpolating real and imaginary parts instead would
//   shrink the magnitude between points of a long delay.
// - The band ends at the lower of the data's last frequency and the
//   simulator's Nyquist frequency, tapered by a selectable window so the cut
//   does not ring: raised cosine over the top quarter of the band (default),
//   Hann over the whole band, or none.
// - The period of the inverse FFT is at least 1 / (mean frequency step), the
//   longest response the data can describe, rounded up to a power of two.
#ifndef NORVASK_HOST_CHANNEL_SPARAMETERCHANNEL_H_
#define NORVASK_HOST_CHANNEL_SPARAMETERCHANNEL_H_

#include <complex>
#include <cstddef>
#include <string>
#include <vector>

#include "host/base/Limits.h"
#include "host/base/Status.h"

namespace norvask::host {

enum class BandWindow { kRaisedCosine, kHann, kNone };

// Reads "raised-cosine", "hann" or "none".
bool parseBandWindow(const std::string& text, BandWindow& window);

struct ConvertedChannel {
  std::vector<double> impulse;  // 1/s, starting at time 0
  double dcGain = 0.0;          // the value used at DC (extrapolated unless given)
  bool dcExtrapolated = false;
  double bandEdge = 0.0;  // Hz, where the window reaches zero
};

// Converts `transfer` at `frequencies` (Hz, increasing, at least two points)
// for `sampleInterval`. Fails, naming `sourceName`, when the data needs more
// than kMaxConvertedSamples samples; the check comes before any allocation.
Status transferToImpulse(const std::vector<double>& frequencies,
                         const std::vector<std::complex<double>>& transfer, double sampleInterval,
                         BandWindow window, const std::string& sourceName,
                         ConvertedChannel& channel);

// Insertion loss in dB (positive for loss) at `frequency`, interpolated like
// the conversion does; NaN outside the data.
double insertionLoss_dB(const std::vector<double>& frequencies,
                        const std::vector<std::complex<double>>& transfer, double frequency);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_SPARAMETERCHANNEL_H_
