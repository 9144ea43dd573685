// Everything the host knows about the one model it is built with, Norvask:
// its parameter names, the range of its driver setting txi, how it reports a
// bad setting, how long its own response is, and where the build puts it.
// The rooms below the program know none of this and work for any IBIS-AMI
// model loaded with --library.
#ifndef NORVASK_HOST_APP_NORVASKMODEL_H_
#define NORVASK_HOST_APP_NORVASKMODEL_H_

#include <cstdint>
#include <string>

#include "host/base/LinkTiming.h"
#include "host/base/Status.h"
#include "host/kit/AmiTree.h"

namespace norvask::host {

// The driver settings txi = 0 .. kTxiSettings - 1.
inline constexpr std::int32_t kTxiSettings = 16;

// The fewest samples per bit the model accepts.
inline constexpr std::int32_t kMinSamplesPerBit = 4;

// The model's step responses run from 0 to 2.239 ns (2240 samples 1 ps
// apart). It resamples one onto the simulator's grid and differentiates it,
// which takes at least two grid samples inside that span: the longest
// sample interval it takes is half of it.
inline constexpr double kStepResponseSpan = 2.239e-9;
inline constexpr double kMaxSampleInterval = kStepResponseSpan / 2.0;

// The fewest samples per bit the model takes at `bitRate`: enough for the
// longest sample interval, and never fewer than kMinSamplesPerBit.
std::int32_t leastSamplesPerBit(double bitRate);

// Refuses, in the host's words and before AMI_Init is called, a grid the
// model would refuse with its own internal message.
Status checkNorvaskGrid(const LinkTiming& timing);

// Whether `libraryPath` names the Norvask library (empty: this build's).
bool isNorvaskLibrary(const std::string& libraryPath);

// Zero padding after the longest response, in seconds: the model's own
// response must fit in the matrix, or the tail of the filtered response is cut
// off. Norvask's step responses last 2.24 ns.
inline constexpr double kDefaultTailTime = 2.5e-9;

// The driver settings as --help and the messages give them: "0 to 15".
std::string txiRangeText();

// The parameter string a simulator builds from the .ami file for these values.
std::string norvaskParameters(std::int32_t txi, double outputGain);

// What the host knows of the model's .ami tree without its kit: the driver
// setting txi, so that --sweep txi works on the library alone.
AmiTree norvaskBuiltInTree();

// The settings as the plot titles name them: "txi 4, OutputGain 1".
std::string norvaskSettings(std::int32_t txi, double outputGain);

// Why the model refused its parameters, in the user's terms, one line. The
// model reports a bad driver setting by its internal name (a 1-based step
// response index); the user set txi, 0 to 15, and reads "txi 16 is outside
// 0 to 15", with the txi value as `parameters` give it. Otherwise "see the
// model's message".
std::string refusalReason(const std::string& parameters, const std::string& message);

// The library this build makes, one folder above the program (the host lives
// in build/host/, the library at the top of build/).
std::string defaultLibraryPath(const char* programPath);

// How --help names that default.
std::string defaultLibraryText();

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_NORVASKMODEL_H_
