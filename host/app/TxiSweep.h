// Runs the channel through the Norvask model once for every driver setting
// `txi` and ranks the settings by eye opening.
//
// Two rankings: by worst-case eye height (the default: the eye a receiver
// sees), or by the worst-case/best-case eye opening ratio as the equalizer's
// own step-response search ranks. Ties keep the lower txi, and a setting whose
// figures are undefined never wins. Aggressors count in both.
#ifndef NORVASK_HOST_APP_TXISWEEP_H_
#define NORVASK_HOST_APP_TXISWEEP_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/model/ModelLibrary.h"
#include "host/analysis/EyeMetrics.h"
#include "host/model/ModelRun.h"
#include "host/analysis/RunAnalysis.h"

namespace norvask::host {

inline constexpr std::int32_t kTxiSettings = 16;

// The parameter string a simulator builds from the .ami file for these values.
std::string norvaskParameters(std::int32_t txi, double outputGain);

enum class EyeRank { kHeight, kRatio };

// "height" or "ratio".
bool parseEyeRank(const std::string& text, EyeRank& rank);

// The criterion as the report names it: "largest eye height".
std::string rankCriterion(EyeRank rank);

struct TxiSweepRow {
  std::int32_t txi = 0;
  EyeMetrics eye;
  EyeAtBer atBer;  // statistical eye at the requested BER, when one was requested
};

struct TxiSweep {
  std::vector<TxiSweepRow> rows;
  std::int32_t bestTxi = -1;  // -1 when no setting had defined figures
};

// One AMI_Init per txi = 0 .. 15. On failure (the model refused a setting or
// the eye could not be measured) returns false with `error` naming the txi,
// followed by every line of the model's message. With `statistical`, every
// row also gets the statistical eye at its target BER, and with
// statistical->rankSweep the largest open eye height there wins instead of
// `rank` (ties keep the lower txi).
// REQUIRES: library.loaded(); channels.channel not empty.
bool sweepTxi(const AmiLibrary& library, const ChannelSet& channels, const LinkTiming& timing,
              double tailTime, double outputGain, EyeRank rank, TxiSweep& sweep, std::string& error,
              const StatisticalRequest* statistical = nullptr);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_TXISWEEP_H_
