// Runs the channel through the Norvask model once for every driver setting
// `txi` and ranks the settings by eye opening.
//
// The ranking follows the equalizer's own step-response search: the largest
// worst-case/best-case eye opening ratio wins, ties keep the lower txi, and a
// setting whose ratio is not a number never wins.
#ifndef NORVASK_HOST_TXISWEEP_H_
#define NORVASK_HOST_TXISWEEP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/AmiLibrary.h"
#include "host/EyeMetrics.h"
#include "host/ModelRun.h"
#include "host/StatisticalRun.h"

namespace norvask::host {

inline constexpr std::int32_t kTxiSettings = 16;

// The parameter string a simulator builds from the .ami file for these values.
std::string norvaskParameters(std::int32_t txi, double outputGain);

struct TxiSweepRow {
  std::int32_t txi = 0;
  EyeMetrics eye;
  EyeAtBer atBer;  // statistical eye at the requested BER, when one was requested
};

struct TxiSweep {
  std::vector<TxiSweepRow> rows;
  std::int32_t bestTxi = -1;  // -1 when no setting had a comparable ratio
};

// One AMI_Init per txi = 0 .. 15. On failure (the model refused a setting or
// the eye could not be measured) returns false with a one-line `error`. With
// `statistical`, every row also gets the statistical eye at its target BER,
// and with statistical->rankSweep the largest open eye height there wins
// instead of the ratio (ties keep the lower txi).
// REQUIRES: library.loaded(); channels.channel not empty.
bool sweepTxi(const AmiLibrary& library, const ChannelSet& channels, const LinkTiming& timing,
              double tailTime, double outputGain, TxiSweep& sweep, std::string& error,
              const StatisticalRequest* statistical = nullptr);

}  // namespace norvask::host

#endif  // NORVASK_HOST_TXISWEEP_H_
