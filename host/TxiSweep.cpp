#include "host/TxiSweep.h"

#include <charconv>

namespace norvask::host {

std::string norvaskParameters(std::int32_t txi, double outputGain) {
  // Shortest text that reads back as the same double: 0.8 stays "0.8".
  char gain[32];
  const auto written = std::to_chars(gain, gain + sizeof gain, outputGain);
  return "(Norvask (OutputGain " + std::string(gain, written.ptr) + ")(txi " + std::to_string(txi) +
         "))";
}

namespace {

std::string firstLine(const std::string& text) {
  return text.substr(0, text.find('\n'));
}

}  // namespace

bool sweepTxi(const AmiLibrary& library, const ChannelSet& channels, const LinkTiming& timing,
              double tailTime, double outputGain, TxiSweep& sweep, std::string& error,
              const StatisticalRequest* statistical) {
  sweep = TxiSweep{};
  double bestScore = -1e40;  // the equalizer's search starts from the same floor
  for (std::int32_t txi = 0; txi < kTxiSettings; ++txi) {
    const ModelRun run =
        runThroughModel(library, channels, timing, tailTime, norvaskParameters(txi, outputGain));
    if (run.call.initResult != 1) {
      error = "AMI_Init failed for txi " + std::to_string(txi) + ": " + firstLine(run.call.message);
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
    if (statistical != nullptr) {
      StatisticalEye eye;
      if (!statisticalEyeOfRun(run, timing, *statistical, eye, eyeError)) {
        error = "statistical eye failed for txi " + std::to_string(txi) + ": " + eyeError;
        return false;
      }
      row.atBer = eye.AtBer(statistical->targetBer);
    }
    const bool byHeight = statistical != nullptr && statistical->rankSweep;
    const double score =
        byHeight ? (row.atBer.open ? row.atBer.height : -2e40)  // a closed eye never wins
                 : row.eye.openingRatio();
    if (score > bestScore) {
      bestScore = score;
      sweep.bestTxi = txi;
    }
    sweep.rows.push_back(row);
  }
  return true;
}

}  // namespace norvask::host
