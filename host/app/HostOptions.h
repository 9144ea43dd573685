// The command line of the ami_host program: what to load, which channel to
// use, how to set the model, and what to write.
//
// Parsing checks every value as it reads it, so a typing error ends the run
// with one line naming the option instead of a simulation on a wrong setting.
#ifndef NORVASK_HOST_APP_HOSTOPTIONS_H_
#define NORVASK_HOST_APP_HOSTOPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/model/ModelRun.h"
#include "host/channel/SParameterChannel.h"
#include "host/analysis/RunAnalysis.h"
#include "host/app/TxiSweep.h"

namespace norvask::host {

struct HostOptions {
  std::string libraryPath;  // empty: the Norvask library of this build
  std::string channelFile;  // empty: the built-in lossy channel
  std::string portMap;      // lane of a Touchstone channel, empty: found from the data
  std::vector<std::string> aggressorFiles;  // --aggressor arguments, see ChannelInput.h
  BandWindow window = BandWindow::kRaisedCosine;
  double lossAtNyquist_dB = 5.0;
  double channelLengthBits = 64.0;  // built-in channel length, unit intervals
  double bitRate = 2e9;
  std::int32_t samplesPerBit = 32;
  std::int32_t txi = 1;
  double outputGain = 1.0;
  std::string parameters;  // raw parameter string; replaces txi and gain when set
  double tailTime = kDefaultTailTime;
  bool tailGiven = false;  // messages name --tail only when the user gave it
  bool sweep = false;
  EyeRank rank = EyeRank::kHeight;
  bool csv = false;
  std::string outputPrefix = "ami_host";
  bool help = false;
  StatisticalRequest statistical;  // --ber, --noise, --rj, --dj, --xtalk-phase, --rank-ber
  bool statEyeFiles = false;       // --stat-eye: write the eye and bathtub figures
};

// Parses argv[1..]. On failure returns false and sets `error` to one line.
// The fewest samples per bit the Norvask model accepts.
inline constexpr std::int32_t kMinSamplesPerBit = 4;

bool parseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error);

// The --help text: every option with its unit and default.
std::string hostUsage();

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_HOSTOPTIONS_H_
