#include "host/app/OptionTable.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "host/app/NorvaskModel.h"
#include "host/base/NumberText.h"
#include "host/kit/SweepAxes.h"

namespace norvask::host {

namespace {

// Beyond this the grid is a typing error: 65536 samples per bit.
constexpr std::int32_t kMaxSamplesPerBit = 1 << 16;

using Options = HostOptions;

std::string helpNumber(double value);
using Value = const std::string&;

Status expected(const std::string& what, Value text) {
  return Status::Error("expected " + what + ", got '" + text + "'");
}

Status positive(Value text, const char* unit, double& number) {
  if (readFinite(text, number) && number > 0.0)
    return Status::Ok();
  return expected("a positive number (" + std::string(unit) + ")", text);
}

Status nonNegative(Value text, const char* unit, double& number) {
  if (readFinite(text, number) && number >= 0.0)
    return Status::Ok();
  return expected("a number >= 0 (" + std::string(unit) + ")", text);
}

// A number from 0 to `most` inclusive; beyond it the run would only cost time.
Status upTo(Value text, double most, const char* unit, double& number) {
  if (readFinite(text, number) && number >= 0.0 && number <= most)
    return Status::Ok();
  return expected("a number from 0 to " + helpNumber(most) + " (" + unit + ")", text);
}

Status finite(Value text, double& number) {
  return readFinite(text, number) ? Status::Ok() : expected("a number", text);
}

Status integer(Value text, std::int32_t low, std::int32_t high, std::int32_t& number) {
  long long value = 0;
  if (!readInteger(text, low, high, value))
    return expected("an integer from " + std::to_string(low) + " to " + std::to_string(high), text);
  number = static_cast<std::int32_t>(value);
  return Status::Ok();
}

// An option naming one of a few choices; `parse` maps the name to the value.
template <typename Choice>
Status choice(Value text, bool (*parse)(const std::string&, Choice&), Choice& value,
              const char* choices) {
  return parse(text, value) ? Status::Ok() : expected(choices, text);
}

bool parseCrosstalkPhase(const std::string& name, CrosstalkPhase& phase) {
  if (name != "worst" && name != "average")
    return false;
  phase = name == "worst" ? CrosstalkPhase::kWorstCase : CrosstalkPhase::kAveraged;
  return true;
}

Status targetBer(Value text, double& ber) {
  Status read = positive(text, "bit-error ratio", ber);
  if (read.ok() && !(ber < 0.5))
    return Status::Error("expected a bit-error ratio below 0.5");
  return read;
}

// A number as --help writes it: "2e9", "2.5e-9", "0.8".
std::string helpNumber(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  std::string shown = text;
  const auto e = shown.find('e');
  if (e == std::string::npos)
    return shown;
  std::string exponent = shown.substr(e + 1);
  const bool negative = exponent[0] == '-';
  exponent.erase(0, exponent.find_first_not_of("+-0"));
  return shown.substr(0, e + 1) + (negative ? "-" : "") + exponent;
}

std::string windowName(BandWindow window) {
  return window == BandWindow::kHann   ? "hann"
         : window == BandWindow::kNone ? "none"
                                       : "raised-cosine";
}

// Setters and defaults shared by several options.
template <std::string Options::*Field>
Status text(Options& options, Value value) {
  options.*Field = value;
  return Status::Ok();
}

template <std::vector<std::string> Options::*Field>
Status appended(Options& options, Value value) {
  (options.*Field).push_back(value);
  return Status::Ok();
}

std::string theFirst(const Options&) {
  return "the first";
}

template <bool Options::*Field>
Status flag(Options& options, Value) {
  options.*Field = true;
  return Status::Ok();
}

const char* const kModel = "Model";
const char* const kLink = "Link";
const char* const kChannel = "Channel";
const char* const kStatistical =
    "Statistical eye (BER over all data patterns, 1 V peak-to-peak data)";
const char* const kOutput = "Output";

std::vector<OptionSpec> optionTable() {
  return {
      {"--library", nullptr, "PATH", kModel, "IBIS-AMI shared library to load",
       text<&Options::libraryPath>, [](const Options&) { return defaultLibraryText(); }},
      {"--ibs", nullptr, "FILE", kModel,
       "model kit: the .ibs file; the library and .ami file\nof its [Algorithmic Model] for this "
       "platform are\nloaded from beside it, the parameter string built\nfrom the .ami tree",
       text<&Options::ibsFile>, nullptr},
      {"--component", nullptr, "NAME", kModel, "component of the --ibs file",
       text<&Options::component>, theFirst},
      {"--model", nullptr, "NAME", kModel, "model of the component with an [Algorithmic Model]",
       text<&Options::modelName>, theFirst},
      {"--set", nullptr, "NAME=VALUE", kModel,
       "set a parameter of the --ibs model, checked against\nits .ami file; repeat for more",
       appended<&Options::settings>, nullptr},
      {"--list-params", nullptr, nullptr, kModel,
       "list the settable parameters of the --ibs model and\nexit", flag<&Options::listParameters>,
       nullptr},
      {"--rx-ibs", nullptr, "FILE", kModel,
       "receiver kit: its AMI_Init gets the transmitter's\nreturned impulse matrix, and the eye "
       "is taken at\nits output; it must declare Init_Returns_Impulse True",
       text<&Options::rxIbsFile>, nullptr},
      {"--rx-model", nullptr, "NAME", kModel, "model of the --rx-ibs file",
       text<&Options::rxModelName>, theFirst},
      {"--rx-set", nullptr, "NAME=VALUE", kModel, "set a parameter of the receiver; repeat",
       appended<&Options::rxSettings>, nullptr},
      {"--txi", nullptr, "N", kModel, "driver step response, " + txiRangeText(),
       [](Options& o, Value v) {
         return integer(v, std::numeric_limits<std::int32_t>::min(),
                        std::numeric_limits<std::int32_t>::max(), o.txi);
       },
       [](const Options& o) { return std::to_string(o.txi); }},
      {"--gain", nullptr, "X", kModel, "OutputGain, linear factor on the output",
       [](Options& o, Value v) { return finite(v, o.outputGain); },
       [](const Options& o) { return helpNumber(o.outputGain); }},
      {"--params", nullptr, "TEXT", kModel,
       "raw AMI parameter string, passed unchanged instead of\nthe one built from --txi and "
       "--gain,\ne.g. \"" +
           norvaskParameters(4, 1.0) + "\"",
       text<&Options::parameters>, nullptr},
      {"--sweep-txi", nullptr, nullptr, kModel, "the same as --sweep txi",
       [](Options& o, Value) { return appended<&Options::sweeps>(o, "txi"); }, nullptr},
      {"--sweep", nullptr, "NAME[=VALS]", kModel,
       "run the model at every value of a parameter and print\none row each (eye height, opening "
       "ratio), marking\nthe best: every value of an integer range, a list,\nan increment or "
       "steps; VALS is START:STOP:STEP or\na,b,c; repeat for the product of several, at most\n" +
           std::to_string(kMaxSweepPoints) + " points; without --ibs only txi, " + txiRangeText(),
       appended<&Options::sweeps>, nullptr},
      {"--rank", nullptr, "ber|height|ratio", kModel,
       "what \"best\" means in the sweep: the largest eye height\nat the target BER (--ber), "
       "the largest worst-case eye\nheight or the largest eye opening ratio",
       [](Options& o, Value v) { return choice(v, parseEyeRank, o.rank, "ber, height or ratio"); },
       [](const Options& o) { return eyeRankName(o.rank); }},

      {"--bit-rate", nullptr, "BPS", kLink, "bits per second",
       [](Options& o, Value v) { return positive(v, "bits per second", o.bitRate); },
       [](const Options& o) { return helpNumber(o.bitRate); }},
      {"--samples-per-bit", nullptr, "N", kLink,
       "samples per unit interval, " + std::to_string(kMinSamplesPerBit) + " to " +
           std::to_string(kMaxSamplesPerBit) + ";\nthe sample interval is 1 / (bit rate x N)",
       [](Options& o, Value v) {
         return integer(v, kMinSamplesPerBit, kMaxSamplesPerBit, o.samplesPerBit);
       },
       [](const Options& o) { return std::to_string(o.samplesPerBit); }},
      {"--tail", nullptr, "SECONDS", kLink,
       "zeros appended after the longest response so the\nmodel's own response fits",
       [](Options& o, Value v) { return nonNegative(v, "seconds", o.tailTime); },
       [](const Options& o) { return helpNumber(o.tailTime); }},

      {"--channel", nullptr, "FILE", kChannel,
       "channel impulse response: two columns, time in s and\nh(t) in 1/s (h summed x sample "
       "interval = step\nresponse), white space or comma separated, header and\ncomment lines "
       "(#, !, %, ;, *) skipped; resampled\nlinearly onto the sample interval;\nor Touchstone "
       "S-parameters (FILE.sNp, 2 to 32 ports,\nversion 1 or 2): S21 of a 2-port, SDD21 of a lane",
       text<&Options::channelFile>,
       [](const Options&) { return std::string("the built-in lossy channel"); }},
      {"--ports", nullptr, "P,N,P,N", kChannel,
       "the lane of a Touchstone --channel: P-in, N-in, P-out,\nN-out, e.g. 1,3,2,4",
       text<&Options::portMap>,
       [](const Options&) {
         return std::string(
             "found from the strongest through paths\nat the lowest frequency; 4k ports");
       }},
      {"--window", nullptr, "NAME", kChannel,
       "band edge taper of S-parameter data: raised-cosine\n(top quarter of the band), hann "
       "(whole band), none",
       [](Options& o, Value v) {
         return choice(v, parseBandWindow, o.window, "raised-cosine, hann or none");
       },
       [](const Options& o) { return windowName(o.window); }},
      {"--aggressor", nullptr, "SOURCE", kChannel,
       "crosstalk, repeat for more aggressors; SOURCE is\n"
       "  FILE            impulse file as above, or the S21\n"
       "                  of a 2-port Touchstone file\n"
       "  FILE@P,N,P,N    Touchstone file, transfer from the\n"
       "                  pair P-in,N-in to P-out,N-out\n"
       "  @P,N            pair P,N of the --channel file\n"
       "                  driven, seen at the victim's output\n"
       "                  (at its input end: far-end, at its\n"
       "                  output end: near-end crosstalk)\n"
       "  @all            every pair of every other lane of\n"
       "                  the --channel file",
       appended<&Options::aggressorFiles>, nullptr},
      {"--loss", nullptr, "DB", kChannel,
       "built-in channel: loss at Nyquist (bit rate / 2) in dB,\n40 % skin effect (~sqrt f), 60 % "
       "dielectric (~f)",
       [](Options& o, Value v) { return nonNegative(v, "dB", o.lossAtNyquist_dB); },
       [](const Options& o) { return helpNumber(o.lossAtNyquist_dB); }},
      {"--channel-ui", nullptr, "N", kChannel, "built-in channel: length in unit intervals",
       [](Options& o, Value v) { return positive(v, "unit intervals", o.channelLengthBits); },
       [](const Options& o) { return helpNumber(o.channelLengthBits); }},

      {"--ber", nullptr, "BER", kStatistical,
       "target bit-error ratio of the eye height and width\nreported next to the worst-case "
       "figures",
       [](Options& o, Value v) { return targetBer(v, o.statistical.targetBer); },
       [](const Options& o) { return helpNumber(o.statistical.targetBer); }},
      {"--noise", nullptr, "V", kStatistical, "Gaussian voltage noise at the receiver, V rms",
       [](Options& o, Value v) { return nonNegative(v, "V rms", o.statistical.settings.noiseRms); },
       [](const Options& o) { return helpNumber(o.statistical.settings.noiseRms); }},
      {"--rj", nullptr, "UI", kStatistical, "random jitter of the sampling clock, UI rms,\n0 to 1",
       [](Options& o, Value v) {
         return upTo(v, kMaxRandomJitterRms, "UI rms", o.statistical.settings.randomJitterRms);
       },
       [](const Options& o) { return helpNumber(o.statistical.settings.randomJitterRms); }},
      {"--dj", nullptr, "UI", kStatistical,
       "dual-Dirac deterministic jitter, UI peak to peak,\n0 to 2",
       [](Options& o, Value v) {
         return upTo(v, kMaxDeterministicJitter, "UI peak to peak",
                     o.statistical.settings.deterministicJitter);
       },
       [](const Options& o) { return helpNumber(o.statistical.settings.deterministicJitter); }},
      {"--xtalk-phase", nullptr, "RULE", kStatistical,
       "worst: each aggressor at its phase of largest peak\ndistortion; average: phase uniform "
       "over the bit",
       [](Options& o, Value v) {
         return choice(v, parseCrosstalkPhase, o.statistical.settings.crosstalkPhase,
                       "worst or average");
       },
       [](const Options& o) {
         return std::string(o.statistical.settings.crosstalkPhase == CrosstalkPhase::kAveraged
                                ? "average"
                                : "worst");
       }},
      {"--rank-ber", nullptr, nullptr, kStatistical,
       "rank the txi sweep by eye height at the target BER\nwhatever --rank says",
       flag<&Options::rankByBer>, nullptr},
      {"--stat-eye", nullptr, nullptr, kStatistical,
       "also write PREFIX_eye.svg (log10 BER heat map with\ncontours), PREFIX_bathtub.svg and "
       "their CSV tables\nPREFIX_eye.csv and PREFIX_bathtub.csv",
       flag<&Options::statEyeFiles>, nullptr},

      {"--out", nullptr, "PREFIX", kOutput,
       "file name prefix: PREFIX_impulse.csv,\nPREFIX_pulse.csv, PREFIX_pulse.svg; a folder "
       "(ending\nin / or existing) holds ami_host_* files and is\ncreated with every missing "
       "level",
       text<&Options::outputPrefix>, [](const Options& o) { return o.outputPrefix; }},
      {"--csv", nullptr, nullptr, kOutput, "print every table as CSV instead of text",
       flag<&Options::csv>, nullptr},
      {"--help", "-h", nullptr, kOutput, "this text", flag<&Options::help>, nullptr},
  };
}

}  // namespace

const std::vector<OptionSpec>& hostOptionTable() {
  static const std::vector<OptionSpec> table = optionTable();
  return table;
}

}  // namespace norvask::host
