// Statistical eye of an NRZ link: for every sampling phase of the bit and
// every decision threshold, the bit-error ratio over all data patterns, with
// crosstalk, Gaussian voltage noise and sampling-clock jitter; and from it the
// eye height and width at a target BER and the bathtub curve.
//
// Bits are equiprobable, independent and sent as +-amplitude. At one phase the
// received voltage is the signal cursor plus every other cursor times a random
// sign: the convolution of one two-point distribution per cursor. The
// distribution for a transmitted 0 mirrors that for a 1, so one distribution
// per phase gives both error terms.
//
// Voltages live on a grid of bins. Each phase's cursors are summed on bins up
// to 64 times finer (2^16 fine bins across the grid at most), placed by
// rounding their running sum, so the all-adverse pattern, which sets the
// deepest tail, is off by half a fine bin; the sum is then rounded once onto
// the grid. Any pattern is off by at most levelErrorBound(): cursors smaller
// than half a fine bin may fold into their neighbours, and the bound includes
// them.
//
// Cost, with S phases, R phase steps of jitter reach on either side of the
// bit (rows S + 2R), K cursors per phase, N bins, F <= 64 fine bins per bin,
// C bins of crosstalk support, T thresholds, D = 38 noise rms in bins and
// J = 2R + 1 jitter taps: O((S + 2R)(K N F + N C + T D) + S J T) time and
// O((S + 2R) T + N F) memory. Small cursors go first, so most of the K steps run on a support
// far below N F.
#ifndef NORVASK_HOST_ANALYSIS_STATISTICALEYE_H_
#define NORVASK_HOST_ANALYSIS_STATISTICALEYE_H_

#include <cstdint>
#include <vector>

#include "host/base/Status.h"

namespace norvask::host {

class VoltageDistribution;

// Where an aggressor's bits sit relative to the victim's sampling instant.
enum class CrosstalkPhase {
  // Each aggressor at its phase of largest peak distortion: the phase that
  // closes the eye most as the BER goes to zero.
  kWorstCase,
  kAveraged,  // each aggressor's phase uniform over the bit
};

// Jitter beyond these leaves no eye to measure, and would only cost time:
// random jitter in UI rms, deterministic jitter in UI peak to peak.
inline constexpr double kMaxRandomJitterRms = 1.0;
inline constexpr double kMaxDeterministicJitter = 2.0;
// The BER below which the statistical eye resolves nothing by default.
inline constexpr double kDefaultBerFloor = 1e-21;

// The BER floor for a target BER: three decades below it, no higher than
// the default and no lower than the smallest normal double.
double berFloorFor(double targetBer);

struct StatisticalEyeSettings {
  std::int32_t samplesPerBit = 32;
  double amplitude = 0.5;            // data levels +-amplitude, V per volt of pulse
  double noiseRms = 0.0;             // Gaussian voltage noise, V
  double randomJitterRms = 0.0;      // Gaussian sampling jitter, UI
  double deterministicJitter = 0.0;  // dual-Dirac peak to peak, UI
  CrosstalkPhase crosstalkPhase = CrosstalkPhase::kWorstCase;
  double binFraction = 1e-3;  // voltage bin as a fraction of the main cursor
  std::int32_t bins = 0;      // > 0: span every pattern with this many bins instead
  // BERs below this are not resolved: jitter tails lighter than it are left out.
  double berFloor = kDefaultBerFloor;
};

// The eye at one target BER. Height in volts, width in unit intervals.
struct EyeAtBer {
  bool open = false;
  double height = 0.0;             // largest vertical opening, at the best phase
  double width = 0.0;              // opening along the bathtub at the best threshold
  double left = 0.0, right = 0.0;  // its edges, UI from the best phase (width = right - left)
  std::int32_t bestPhase = 0;      // phase of the largest vertical opening
  std::int32_t bestThreshold = 0;  // threshold index at that opening's centre
};

class StatisticalEye {
 public:
  // Pulse responses are for a 1 V bit on the grid of samplesPerBit samples per
  // bit. Fails when the victim has no positive main cursor or a setting is
  // out of range.
  Status Compute(const std::vector<double>& victimPulse,
                 const std::vector<std::vector<double>>& aggressorPulses,
                 const StatisticalEyeSettings& settings);

  std::int32_t phases() const { return phases_; }
  std::int32_t thresholds() const { return thresholds_; }
  double binWidth() const { return binWidth_; }
  // Worst level error of any pattern from placing cursors on the grid, V.
  double levelErrorBound() const { return levelErrorBound_; }
  // Sample of the victim's main cursor; phase p samples at
  // mainCursorIndex() - phases() / 2 + p.
  std::int64_t mainCursorIndex() const { return mainCursor_; }
  // Sampling instant of `phase` relative to the main cursor, UI.
  double PhaseOffset(std::int32_t phase) const;
  // Decision threshold `threshold`, V; threshold 0 is the lowest.
  double ThresholdVoltage(std::int32_t threshold) const;
  double Ber(std::int32_t phase, std::int32_t threshold) const {
    return ber_[static_cast<std::size_t>(phase) * static_cast<std::size_t>(thresholds_) +
                static_cast<std::size_t>(threshold)];
  }

  EyeAtBer AtBer(double targetBer) const;
  // BER at every phase for one threshold.
  std::vector<double> Bathtub(std::int32_t threshold) const;

 private:
  Status SizeGrid(double widest, double mainCursor, const StatisticalEyeSettings& settings);
  void FillRow(std::int64_t row, const VoltageDistribution& one, double noiseBins);
  void FindEdges(const std::vector<double>& bathtub, double targetBer, EyeAtBer& eye) const;
  // Turns the extended rows, `reach` phases on either side of the bit, into
  // the bit's own phases, each the mix of the rows its jitter reaches.
  void ApplyJitter(const std::vector<double>& taps, std::int64_t reach);

  std::int32_t phases_ = 0;
  std::int32_t thresholds_ = 0;
  std::int64_t lowestThresholdBin_ = 0;
  std::int64_t mainCursor_ = 0;
  double binWidth_ = 0.0;
  double levelErrorBound_ = 0.0;
  std::vector<double> ber_;  // phase-major; while computing, extended by the jitter's reach
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_STATISTICALEYE_H_
