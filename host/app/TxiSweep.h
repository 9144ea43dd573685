// Runs the channel through the Norvask model once for every driver setting
// `txi` and ranks the settings by eye opening.
//
// By default the settings rank by the eye height at the target BER: the
// statistical eye is computed for every setting anyway, and unlike the
// worst-case height at the model's eye centre it does not jump with the
// samples per bit. Two rankings of the worst-case figures remain: by eye
// height, or by the worst-case/best-case eye opening ratio as the
// equalizer's own step-response search ranks. Ties keep the lower txi, and a setting whose
// figures are undefined (or whose eye is closed at the BER) never wins.
// Aggressors count in every figure.
#ifndef NORVASK_HOST_APP_TXISWEEP_H_
#define NORVASK_HOST_APP_TXISWEEP_H_

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "host/analysis/RunAnalysis.h"
#include "host/base/Status.h"
#include "host/model/ModelLibrary.h"

namespace norvask::host {

enum class EyeRank { kHeightAtBer, kHeight, kRatio };

// "ber", "height" or "ratio".
bool parseEyeRank(const std::string& text, EyeRank& rank);
std::string eyeRankName(EyeRank rank);

// The criterion as the report names it: "largest eye height".
std::string rankCriterion(EyeRank rank);

struct SweepRequest {
  double tailTime = 0.0;
  double outputGain = 1.0;
  EyeRank rank = EyeRank::kHeightAtBer;
  bool rankByBer = false;  // rank by the eye height at the target BER whatever `rank` says
  StatisticalRequest statistical;
  std::ostream* progress = nullptr;  // where to say which txi is running, or nowhere
};

struct TxiSweepRow {
  std::int32_t txi = 0;
  EyeMetrics eye;
  EyeAtBer atBer;
};

struct TxiSweep {
  std::vector<TxiSweepRow> rows;
  std::int32_t bestTxi = -1;  // -1 when no setting had defined figures
};

// The txi of the row that ranks first by `request`, -1 when none may win.
std::int32_t bestTxi(const std::vector<TxiSweepRow>& rows, const SweepRequest& request);

// One AMI_Init per txi, each analysed as the single run is. A failure names
// the txi; a refusal brings every line of the model's message.
// REQUIRES: library.loaded(); channels.channel not empty.
Status sweepTxi(const AmiLibrary& library, const ChannelSet& channels, const LinkTiming& timing,
                const SweepRequest& request, TxiSweep& sweep);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_TXISWEEP_H_
