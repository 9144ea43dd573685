#include "host/app/TxiSweep.h"

#include <charconv>

namespace norvask::host {

std::string norvaskParameters(std::int32_t txi, double outputGain) {
  // Shortest text that reads back as the same double: 0.8 stays "0.8".
  char gain[32];
  const auto written = std::to_chars(gain, gain + sizeof gain, outputGain);
  return "(Norvask (OutputGain " + std::string(gain, written.ptr) + ")(txi " + std::to_string(txi) +
         "))";
}

bool parseEyeRank(const std::string& text, EyeRank& rank) {
  if (text != "height" && text != "ratio")
    return false;
  rank = text == "height" ? EyeRank::kHeight : EyeRank::kRatio;
  return true;
}

std::string rankCriterion(EyeRank rank) {
  return rank == EyeRank::kHeight ? "largest eye height" : "largest eye opening ratio";
}

bool sweepTxi(const AmiLibrary& library, const ChannelSet& channels, const LinkTiming& timing,
              double tailTime, double outputGain, EyeRank rank, TxiSweep& sweep, std::string& error,
              const StatisticalRequest* statistical) {
  sweep = TxiSweep{};
  double bestScore = 0.0;
  for (std::int32_t txi = 0; txi < kTxiSettings; ++txi) {
    const ModelRun run =
        runThroughModel(library, channels, timing, tailTime, norvaskParameters(txi, outputGain));
    if (run.call.initResult != 1) {
      error = "AMI_Init failed for txi " + std::to_string(txi) + "; the model's message:\n" +
              run.call.message;
      while (!error.empty() && error.back() == '\n')
        error.pop_back();
      return false;
    }
    TxiSweepRow row;
    row.txi = txi;
    std::string eyeError;
    if (!measureEye(run.columns[0], timing.sampleInterval(), timing.SamplesPerBit, row.eye,
                    eyeError)) {
      error = "eye analysis failed for txi " + std::to_string(txi) + ": " + eyeError;
      return false;
    }
    const std::vector<std::vector<double>> aggressors(run.columns.begin() + 1, run.columns.end());
    includeCrosstalk(aggressors, timing.sampleInterval(), timing.SamplesPerBit, row.eye);
    if (statistical != nullptr) {
      StatisticalEye eye;
      if (!statisticalEyeOfRun(run, timing, *statistical, eye, eyeError)) {
        error = "statistical eye failed for txi " + std::to_string(txi) + ": " + eyeError;
        return false;
      }
      row.atBer = eye.AtBer(statistical->targetBer);
    }
    const bool byBer = statistical != nullptr && statistical->rankSweep;
    const double score = byBer                      ? row.atBer.height
                         : rank == EyeRank::kHeight ? row.eye.height()
                                                    : row.eye.openingRatio();
    // A closed or undefined eye never wins.
    const bool candidate = byBer ? row.atBer.open : row.eye.defined();
    if (candidate && (sweep.bestTxi < 0 || score > bestScore)) {
      bestScore = score;
      sweep.bestTxi = txi;
    }
    sweep.rows.push_back(row);
  }
  return true;
}

}  // namespace norvask::host
