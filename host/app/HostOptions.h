// The settings of one ami_host run: what to load, which channel to use, how
// to set the model, and what to write. A default-built HostOptions holds the
// defaults --help shows.
#ifndef NORVASK_HOST_APP_HOSTOPTIONS_H_
#define NORVASK_HOST_APP_HOSTOPTIONS_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "host/analysis/RunAnalysis.h"
#include "host/app/NorvaskModel.h"
#include "host/app/ParameterSweep.h"
#include "host/channel/SParameterChannel.h"

namespace norvask::host {

// What the run's files are called when --out names none, or names a folder.
inline constexpr char kDefaultOutputName[] = "ami_host";

struct HostOptions {
  std::string libraryPath;  // empty: the Norvask library of this build
  std::string channelFile;  // empty: the built-in lossy channel
  std::string portMap;      // lane of a Touchstone channel, empty: found from the data
  std::vector<std::string> aggressorFiles;  // --aggressor arguments, see AggressorInput.h
  BandWindow window = BandWindow::kRaisedCosine;
  double lossAtNyquist_dB = 5.0;
  double channelLengthBits = 64.0;  // built-in channel length, unit intervals
  double bitRate = 2e9;
  std::int32_t samplesPerBit = 32;
  std::int32_t txi = 1;
  double outputGain = 1.0;
  std::string parameters;  // raw parameter string; replaces txi and gain when set
  double tailTime = kDefaultTailTime;
  std::vector<std::string> sweeps;  // --sweep NAME[=VALUES] (--sweep-txi: txi), in order
  EyeRank rank = EyeRank::kHeightAtBer;
  bool rankByBer = false;  // --rank-ber: the sweep ranks by the eye height at --ber
  bool csv = false;
  std::string outputPrefix = kDefaultOutputName;
  bool help = false;
  StatisticalRequest statistical;  // --ber, --noise, --rj, --dj, --xtalk-phase
  bool statEyeFiles = false;       // --stat-eye: write the eye and bathtub figures

  // A model kit read as a simulator reads it, and the receiver after it.
  std::string ibsFile;
  std::string component;              // empty: the .ibs file's first
  std::string modelName;              // empty: the component's first with an [Algorithmic Model]
  std::vector<std::string> settings;  // --set NAME=VALUE
  bool listParameters = false;
  std::string rxIbsFile;
  std::string rxModelName;
  std::vector<std::string> rxSettings;  // --rx-set NAME=VALUE

  // Progress lines on `notes` for a long run: only when it is a terminal,
  // which main knows and a test never is.
  bool progress = false;

  std::set<std::string> given;  // the options on the command line, by name
  std::string programPath;      // argv[0], for the default library

  bool sweeping() const { return !sweeps.empty(); }
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_HOSTOPTIONS_H_
