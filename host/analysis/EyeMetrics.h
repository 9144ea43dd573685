// Worst-case eye figures of a link's impulse response, from the library's own
// peak-distortion analysis (ImpulseOperations).
//
// The host measures the response exactly as the equalizer's step-response
// search does (impulse times sample interval, logic level 0.5), so that a
// sweep over driver settings and that search rank the settings alike.
#ifndef NORVASK_HOST_ANALYSIS_EYEMETRICS_H_
#define NORVASK_HOST_ANALYSIS_EYEMETRICS_H_

#include <cstdint>
#include <vector>

#include "host/base/Status.h"

namespace norvask::host {

// Bit amplitude of the analysis: data of +-0.5 V, one volt peak to peak, so the
// eye height reads directly as a fraction of the swing.
inline constexpr double kEyeLogicLevel = 0.5;

struct EyeMetrics {
  double bcUpperLevel = 0.0;         // best-case upper level at the eye centre, V
  double wcUpperLevel = 0.0;         // worst-case upper level at the eye centre, V
  std::int64_t mainCursorIndex = 0;  // sample of the pulse response's peak
  double mainCursor = 0.0;           // that peak, V for a 1 V bit
  double crosstalk = 0.0;            // V peak to peak the aggressors take off the eye, >= 0
  // The link inverts (its main cursor is negative): the levels are those of
  // the inverted data, as a receiver wired the other way round decides.
  bool inverted = false;

  // Inner eye height for 1 V peak-to-peak data; negative when closed.
  double height() const { return 2.0 * wcUpperLevel; }
  double openingRatio() const { return wcUpperLevel / bcUpperLevel; }
  // False when the analysis had no number to give: non-finite samples (its
  // levels then hold a +-1e40 placeholder) or a response of zeros.
  bool defined() const;
};

// Measures `impulse` (1/s). A failure carries the analysis's own message.
Status measureEye(const std::vector<double>& impulse, double sampleInterval,
                  std::int32_t samplesPerBit, EyeMetrics& eye);

// Takes the aggressors into the eye figures (worst case): at the sampling
// phase of the main cursor, every aggressor pulse response, sampled a unit
// interval apart, adds its peak distortion for +-0.5 V data, lowering the
// worst-case and raising the best-case upper level by that much.
void includeCrosstalk(const std::vector<std::vector<double>>& aggressors, double sampleInterval,
                      std::int32_t samplesPerBit, EyeMetrics& eye);

// measureEye on the victim, then includeCrosstalk of the aggressors.
Status worstCaseEye(const std::vector<double>& victim,
                    const std::vector<std::vector<double>>& aggressors, double sampleInterval,
                    std::int32_t samplesPerBit, EyeMetrics& eye);

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_EYEMETRICS_H_
