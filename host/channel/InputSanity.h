// Checks of channel data that is readable but probably not what the user
// meant: each gives a warning for the report instead of a silently wrong eye.
// The thresholds sit well outside what real data does, so a clean file stays
// silent:
// - passivity: the largest column power sum, sum over i of |S_ij|^2, is the
//   power leaving a passive network for a wave into port j; above 1 + 1e-3
//   the data creates energy (measurement noise stays far below that);
// - band: data ending below the Nyquist frequency leaves the band the link
//   uses unknown; fewer than 10 points up to Nyquist sample it too coarsely;
// - frequency outliers: a step more than 100 times the steps on both sides
//   (or its one neighbour at an end) is a typing error far more often than a
//   grid, and moves the whole response in time;
// - an impulse file's DC gain (its samples times their interval) outside
//   1e-3 to 2: a response given per sample, or in other units;
// - a lane given with --ports that passes less than half the transfer of the
//   strongest lane the data shows, at the lowest frequency.
#ifndef NORVASK_HOST_CHANNEL_INPUTSANITY_H_
#define NORVASK_HOST_CHANNEL_INPUTSANITY_H_

#include <string>
#include <vector>

#include "host/base/LinkTiming.h"
#include "host/channel/PortMap.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

// Adds to `warnings` what is suspicious about `network`, read from `path`,
// for a link at `timing`: passivity, band, frequency outliers and ignored
// noise parameters.
void checkNetwork(const NetworkData& network, const std::string& path, const LinkTiming& timing,
                  std::vector<std::string>& warnings);

// Adds a warning when the lane `given` (as typed: `givenText`) passes much
// less than the strongest lane detectLanes finds.
// REQUIRES: network.ports is a multiple of 4; `given` fits the network.
void checkGivenLane(const NetworkData& network, const PortMap& given, const std::string& givenText,
                    std::vector<std::string>& warnings);

// Adds a warning when an impulse file's DC gain is implausible for a
// response in 1/s; `fileStep` is the file's mean time step.
void checkImpulseGain(const std::string& path, double dcGain, double fileStep,
                      std::vector<std::string>& warnings);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_INPUTSANITY_H_
