// The pulse response of a link and what a receiver sampling it sees: the main
// cursor, the cursors one unit interval apart at any phase, and their peak
// distortion. The worst-case eye and the statistical eye both read a pulse
// response through these, so they cannot disagree on what a cursor is.
#ifndef NORVASK_HOST_ANALYSIS_PULSERESPONSE_H_
#define NORVASK_HOST_ANALYSIS_PULSERESPONSE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace norvask::host {

// Pulse response of one bit of 1 V: the step response (running sum of
// impulse x sampleInterval) minus itself one bit later; samplesPerBit values
// longer than the impulse.
// REQUIRES: samplesPerBit >= 1.
std::vector<double> pulseResponse(const std::vector<double>& impulse, double sampleInterval,
                                  std::int32_t samplesPerBit);

// Sample of the pulse response's largest magnitude, the first of equal ones
// (a positive one before a negative one of the same size); 0 when empty. An
// inverting link has its main cursor there too, with a negative sign.
std::size_t mainCursorIndex(const std::vector<double>& pulse);

// What a sample at `position` sees: the signal cursor, and the magnitude of
// every other non-zero cursor position + k S, k != 0, times the amplitude.
struct PhaseCursors {
  double signal = 0.0;
  std::vector<double> interference;
};

PhaseCursors cursorsAt(const std::vector<double>& pulse, std::int64_t position,
                       std::int32_t samplesPerBit, double amplitude);

// Peak distortion of every cursor at `phase` (0 .. samplesPerBit - 1) for
// data of +-amplitude: the most the pulse moves a sample at that phase.
double peakDistortion(const std::vector<double>& pulse, std::int32_t phase,
                      std::int32_t samplesPerBit, double amplitude);

// The phase of largest peak distortion, the first of equal ones.
std::int32_t worstPhase(const std::vector<double>& pulse, std::int32_t samplesPerBit,
                        double amplitude);

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_PULSERESPONSE_H_
