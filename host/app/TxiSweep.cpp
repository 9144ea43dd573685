#include "host/app/TxiSweep.h"

#include "host/app/NorvaskModel.h"

namespace norvask::host {

namespace {

// The score a row is ranked by, and whether it may win at all.
double score(const TxiSweepRow& row, const SweepRequest& request, bool& candidate) {
  if (request.rankByBer || request.rank == EyeRank::kHeightAtBer) {
    candidate = row.atBer.open;
    return row.atBer.height;
  }
  candidate = row.eye.defined();
  return request.rank == EyeRank::kHeight ? row.eye.height() : row.eye.openingRatio();
}

}  // namespace

bool parseEyeRank(const std::string& text, EyeRank& rank) {
  for (EyeRank each : {EyeRank::kHeightAtBer, EyeRank::kHeight, EyeRank::kRatio}) {
    if (text == eyeRankName(each)) {
      rank = each;
      return true;
    }
  }
  return false;
}

std::string eyeRankName(EyeRank rank) {
  return rank == EyeRank::kHeightAtBer ? "ber" : rank == EyeRank::kHeight ? "height" : "ratio";
}

std::string rankCriterion(EyeRank rank) {
  return rank == EyeRank::kHeightAtBer ? "largest eye height at the target BER"
         : rank == EyeRank::kHeight    ? "largest eye height"
                                       : "largest eye opening ratio";
}

std::int32_t bestTxi(const std::vector<TxiSweepRow>& rows, const SweepRequest& request) {
  std::int32_t best = -1;
  double bestScore = 0.0;
  for (const TxiSweepRow& row : rows) {
    bool candidate = false;
    const double rowScore = score(row, request, candidate);
    if (candidate && (best < 0 || rowScore > bestScore)) {
      bestScore = rowScore;
      best = row.txi;
    }
  }
  return best;
}

Status sweepTxi(const AmiLibrary& library, const ChannelSet& channels, const LinkTiming& timing,
                const SweepRequest& request, TxiSweep& sweep) {
  sweep = TxiSweep{};
  for (std::int32_t txi = 0; txi < kTxiSettings; ++txi) {
    const std::string setting = "txi " + std::to_string(txi);
    if (request.progress != nullptr) {
      *request.progress << "\rsweep: " << setting << " of " << kTxiSettings - 1 << "   "
                        << std::flush;
    }
    const ModelRun run = runThroughModel(library, channels, timing, request.tailTime,
                                         norvaskParameters(txi, request.outputGain));
    if (run.call.initResult != 1) {
      return Status::Error("AMI_Init failed for " + setting + "; the model's message:\n" +
                           run.call.message);
    }
    RunFigures figures;
    if (Status analysed = analyseRun(run, timing, request.statistical, figures); !analysed.ok())
      return analysed.Within(setting);
    sweep.rows.push_back({txi, figures.eye, figures.atBer});
  }
  if (request.progress != nullptr)
    *request.progress << "\r" << std::string(32, ' ') << "\r" << std::flush;
  sweep.bestTxi = bestTxi(sweep.rows, request);
  return Status::Ok();
}

}  // namespace norvask::host
