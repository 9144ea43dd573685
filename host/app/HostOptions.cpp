#include "host/app/HostOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace norvask::host {

namespace {

bool parseDouble(const std::string& text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool parseInt32(const std::string& text, std::int32_t& value) {
  char* end = nullptr;
  errno = 0;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 ||
      parsed < std::numeric_limits<std::int32_t>::min() ||
      parsed > std::numeric_limits<std::int32_t>::max()) {
    return false;
  }
  value = static_cast<std::int32_t>(parsed);
  return true;
}

// Walks argv, handing out option values and describing what went wrong.
class ArgumentReader {
 public:
  ArgumentReader(int argc, const char* const* argv, std::string& error)
      : argc_(argc), argv_(argv), error_(error) {}

  bool done() const { return next_ >= argc_; }
  std::string take() { return argv_[next_++]; }

  bool value(const std::string& option, std::string& text) {
    if (done())
      return fail(option + " needs a value");
    text = take();
    return true;
  }

  bool positive(const std::string& option, const char* unit, double& number) {
    std::string text;
    if (!value(option, text))
      return false;
    if (!parseDouble(text, number) || !(number > 0.0)) {
      return fail(option + ": expected a positive number (" + unit + "), got '" + text + "'");
    }
    return true;
  }

  bool nonNegative(const std::string& option, const char* unit, double& number) {
    std::string text;
    if (!value(option, text))
      return false;
    if (!parseDouble(text, number) || number < 0.0) {
      return fail(option + ": expected a number >= 0 (" + unit + "), got '" + text + "'");
    }
    return true;
  }

  bool finite(const std::string& option, double& number) {
    std::string text;
    if (!value(option, text))
      return false;
    if (!parseDouble(text, number))
      return fail(option + ": expected a number, got '" + text + "'");
    return true;
  }

  bool integer(const std::string& option, std::int32_t low, std::int32_t high,
               std::int32_t& number) {
    std::string text;
    if (!value(option, text))
      return false;
    if (!parseInt32(text, number) || number < low || number > high) {
      return fail(option + ": expected an integer from " + std::to_string(low) + " to " +
                  std::to_string(high) + ", got '" + text + "'");
    }
    return true;
  }

  bool fail(const std::string& message) {
    error_ = message;
    return false;
  }

 private:
  int argc_;
  const char* const* argv_;
  std::string& error_;
  int next_ = 1;
};

// An option naming one of a few choices; `parse` maps the name to the value.
template <typename Value>
bool parseChoice(const std::string& option, ArgumentReader& in,
                 bool (*parse)(const std::string&, Value&), Value& value, const char* expected) {
  std::string name;
  return in.value(option, name) &&
         (parse(name, value) ||
          in.fail(option + ": expected " + expected + ", got '" + name + "'"));
}

bool parseCrosstalkPhase(const std::string& name, CrosstalkPhase& phase) {
  if (name != "worst" && name != "average")
    return false;
  phase = name == "worst" ? CrosstalkPhase::kWorstCase : CrosstalkPhase::kAveraged;
  return true;
}

bool parseStatistical(const std::string& option, ArgumentReader& in, HostOptions& options) {
  StatisticalRequest& request = options.statistical;
  StatisticalEyeSettings& settings = request.settings;
  if (option == "--ber") {
    double& ber = request.targetBer;
    return in.positive(option, "bit-error ratio", ber) &&
           (ber < 0.5 || in.fail("--ber: expected a bit-error ratio below 0.5"));
  }
  if (option == "--noise")
    return in.nonNegative(option, "V rms", settings.noiseRms);
  if (option == "--rj")
    return in.nonNegative(option, "UI rms", settings.randomJitterRms);
  if (option == "--dj")
    return in.nonNegative(option, "UI peak to peak", settings.deterministicJitter);
  if (option == "--xtalk-phase") {
    return parseChoice(option, in, parseCrosstalkPhase, settings.crosstalkPhase,
                       "worst or average");
  }
  if (option == "--rank-ber")
    return request.rankSweep = true;
  if (option == "--stat-eye")
    return options.statEyeFiles = true;
  return in.fail("unknown option '" + option + "' (see --help)");
}

bool parseOne(const std::string& option, ArgumentReader& in, HostOptions& options) {
  if (option == "--help" || option == "-h")
    return options.help = true;
  if (option == "--sweep-txi")
    return options.sweep = true;
  if (option == "--csv")
    return options.csv = true;
  if (option == "--library")
    return in.value(option, options.libraryPath);
  if (option == "--channel")
    return in.value(option, options.channelFile);
  if (option == "--ports")
    return in.value(option, options.portMap);
  if (option == "--window")
    return parseChoice(option, in, parseBandWindow, options.window, "raised-cosine, hann or none");
  if (option == "--rank")
    return parseChoice(option, in, parseEyeRank, options.rank, "height or ratio");
  if (option == "--aggressor") {
    options.aggressorFiles.emplace_back();
    return in.value(option, options.aggressorFiles.back());
  }
  if (option == "--params")
    return in.value(option, options.parameters);
  if (option == "--out")
    return in.value(option, options.outputPrefix);
  if (option == "--loss")
    return in.nonNegative(option, "dB", options.lossAtNyquist_dB);
  if (option == "--channel-ui")
    return in.positive(option, "unit intervals", options.channelLengthBits);
  if (option == "--bit-rate")
    return in.positive(option, "bits per second", options.bitRate);
  if (option == "--tail") {
    options.tailGiven = true;
    return in.nonNegative(option, "seconds", options.tailTime);
  }
  if (option == "--gain")
    return in.finite(option, options.outputGain);
  if (option == "--samples-per-bit") {
    return in.integer(option, kMinSamplesPerBit, 1 << 16, options.samplesPerBit);
  }
  if (option == "--txi") {
    return in.integer(option, std::numeric_limits<std::int32_t>::min(),
                      std::numeric_limits<std::int32_t>::max(), options.txi);
  }
  return parseStatistical(option, in, options);
}

}  // namespace

bool parseHostOptions(int argc, const char* const* argv, HostOptions& options, std::string& error) {
  ArgumentReader in(argc, argv, error);
  bool gainOrTxiGiven = false;
  while (!in.done()) {
    const std::string option = in.take();
    if (!parseOne(option, in, options))
      return false;
    gainOrTxiGiven = gainOrTxiGiven || option == "--txi" || option == "--gain";
  }
  if (!options.parameters.empty() && (gainOrTxiGiven || options.sweep)) {
    return in.fail(
        "--params replaces --txi and --gain and cannot be combined with them or with "
        "--sweep-txi");
  }
  return true;
}

std::string hostUsage() {
  return R"USAGE(Usage: ami_host [options]

Loads an IBIS-AMI model library, passes a channel impulse response through
AMI_Init the way a channel simulator does, and reports what the model does to
it: the model's message, its taps, the main cursor, the worst-case eye height
and eye opening ratio (peak distortion, 1 V peak-to-peak data), CSV files of
the impulse and pulse responses and an SVG plot of the pulse responses.

Model
  --library PATH        IBIS-AMI shared library to load
                        (default: libnorvask.so / norvask.dll of this build,
                        one folder above this program)
  --txi N               driver step response, 0 to 15 (default 1)
  --gain X              OutputGain, linear factor on the output (default 1)
  --params TEXT         raw AMI parameter string, passed unchanged instead of
                        the one built from --txi and --gain,
                        e.g. "(Norvask (OutputGain 1)(txi 4))"
  --sweep-txi           run every txi from 0 to 15 and print one row each
                        (eye height, opening ratio), marking the best
  --rank height|ratio   what "best" means in the sweep: the largest worst-case
                        eye height (default) or the largest eye opening ratio

Link
  --bit-rate BPS        bits per second (default 2e9)
  --samples-per-bit N   samples per unit interval, 4 to 65536 (default 32);
                        the sample interval is 1 / (bit rate x N)
  --tail SECONDS        zeros appended after the longest response so the
                        model's own response fits (default 2.5e-9)

Channel
  --channel FILE        channel impulse response: two columns, time in s and
                        h(t) in 1/s (h summed x sample interval = step
                        response), white space or comma separated, header and
                        comment lines (#, !, %, ;, *) skipped; resampled
                        linearly onto the sample interval;
                        or Touchstone S-parameters (FILE.sNp, 2 to 32 ports,
                        version 1 or 2): S21 of a 2-port, SDD21 of a lane
                        (default: the built-in lossy channel)
  --ports P,N,P,N       the lane of a Touchstone --channel: P-in, N-in, P-out,
                        N-out, e.g. 1,3,2,4 (default: found from the strongest
                        through paths at the lowest frequency; 4k ports)
  --window NAME         band edge taper of S-parameter data: raised-cosine
                        (top quarter of the band, default), hann, none
  --aggressor SOURCE    crosstalk, repeat for more aggressors; SOURCE is
                          FILE            impulse file as above, or the S21
                                          of a 2-port Touchstone file
                          FILE@P,N,P,N    Touchstone file, transfer from the
                                          pair P-in,N-in to P-out,N-out
                          @P,N            pair P,N of the --channel file
                                          driven, seen at the victim's output
                                          (at its input end: far-end, at its
                                          output end: near-end crosstalk)
                          @all            every pair of every other lane of
                                          the --channel file
  --loss DB             built-in channel: loss at Nyquist (bit rate / 2) in dB,
                        40 % skin effect (~sqrt f), 60 % dielectric (~f)
                        (default 5)
  --channel-ui N        built-in channel: length in unit intervals (default 64)

Statistical eye (BER over all data patterns, 1 V peak-to-peak data)
  --ber BER             target bit-error ratio of the eye height and width
                        reported next to the worst-case figures (default 1e-12)
  --noise V             Gaussian voltage noise at the receiver, V rms (default 0)
  --rj UI               random jitter of the sampling clock, UI rms (default 0)
  --dj UI               dual-Dirac deterministic jitter, UI peak to peak
                        (default 0)
  --xtalk-phase RULE    worst: each aggressor at its phase of largest peak
                        distortion (default); average: phase uniform over the bit
  --rank-ber            rank the txi sweep by eye height at the target BER
                        instead of the opening ratio
  --stat-eye            also write PREFIX_eye.svg (log10 BER heat map with
                        contours), PREFIX_bathtub.svg and their CSV tables
                        PREFIX_eye.csv and PREFIX_bathtub.csv

Output
  --out PREFIX          file name prefix (default ami_host): PREFIX_impulse.csv,
                        PREFIX_pulse.csv, PREFIX_pulse.svg
  --csv                 print every table as CSV instead of text
  --help, -h            this text
)USAGE";
}

}  // namespace norvask::host
