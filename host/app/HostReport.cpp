#include "host/app/HostReport.h"

#include <algorithm>
#include <cmath>

#include "host/base/EngineeringFormat.h"
#include "host/output/OutputFiles.h"

namespace norvask::host {

namespace {

constexpr const char* kUndefinedEye = "eye closed / undefined";

// Eye height in words when there is no number, and said to be closed when
// the number is negative.
std::string eyeHeightText(const EyeMetrics& eye) {
  if (!eye.defined())
    return kUndefinedEye;
  return volts(eye.height()) + (eye.height() <= 0.0 ? " (eye closed)" : "");
}

std::string ratioText(const EyeMetrics& eye) {
  return eye.defined() ? plain(eye.openingRatio()) : kUndefinedEye;
}

std::string csvNumber(double value, bool defined) {
  return defined && std::isfinite(value) ? general(value) : kUndefinedText;
}

std::string atBerText(const EyeAtBer& at, const std::string& value) {
  return at.open ? value : "eye closed";
}

std::string padded(std::string text, std::size_t width) {
  text.resize(std::max(text.size(), width), ' ');
  return text;
}

std::string joined(const std::vector<std::string>& parts, const char* separator) {
  std::string text;
  for (const std::string& part : parts)
    text += (text.empty() ? "" : separator) + part;
  return text;
}

double tapSum(const RunSummary& s) {
  double sum = 0.0;
  for (double tap : s.taps)
    sum += tap;
  return sum;
}

void summaryCsv(std::ostream& out, const RunSummary& s) {
  const double dt = s.sampleInterval;
  const EyeMetrics& c = s.channelEye;
  const EyeMetrics& l = s.linkEye;
  out << "quantity,channel,channel_plus_model\n"
      << "main_cursor_V," << c.mainCursor << ',' << l.mainCursor << '\n'
      << "main_cursor_time_s," << static_cast<double>(c.mainCursorIndex) * dt << ','
      << static_cast<double>(l.mainCursorIndex) * dt << '\n'
      << "eye_height_V," << csvNumber(c.height(), c.defined()) << ','
      << csvNumber(l.height(), l.defined()) << '\n'
      << "eye_opening_ratio," << csvNumber(c.openingRatio(), c.defined()) << ','
      << csvNumber(l.openingRatio(), l.defined()) << '\n'
      << "crosstalk_V," << c.crosstalk << ',' << l.crosstalk << '\n'
      << "driver_taps,," << s.taps.size() << '\n'
      << "driver_tap_sum,," << csvNumber(tapSum(s), true) << "\n\n";
}

void summaryText(std::ostream& out, const RunSummary& s) {
  const double cursorTime = static_cast<double>(s.linkEye.mainCursorIndex) * s.sampleInterval;
  out << "Driver taps: " << s.taps.size() << " (sum " << plain(tapSum(s))
      << " = final value of the driver's step response)\n"
      << "Main cursor: " << volts(s.linkEye.mainCursor) << " at " << seconds(cursorTime)
      << " (channel alone: " << volts(s.channelEye.mainCursor) << ")\n"
      << "Worst-case eye height at the eye centre: " << eyeHeightText(s.linkEye)
      << " for 1 V peak-to-peak data (channel alone: " << eyeHeightText(s.channelEye) << ")\n"
      << "Eye opening ratio (worst case / best case): " << ratioText(s.linkEye)
      << " (channel alone: " << ratioText(s.channelEye) << ")\n";
  if (s.aggressors > 0) {
    out << "Crosstalk in those figures: " << volts(s.linkEye.crosstalk) << " off the eye from "
        << s.aggressors << " aggressor(s), every one at its worst at the main cursor's phase\n";
  }
}

}  // namespace

void HostReport::Channel(const ChannelInfo& info, const std::string& libraryPath) const {
  notes_ << "Library: " << fullPath(libraryPath) << "\nChannel: " << info.description << ", "
         << info.aggressorNames.size() << " aggressor(s)\n";
  for (std::size_t a = 0; a < info.aggressorNames.size(); ++a)
    notes_ << "  aggressor " << a + 1 << ": " << info.aggressorNames[a] << '\n';
  const double nyquist = timing_.BitRate / 2.0;
  notes_ << "  insertion loss at Nyquist (" << hertz(nyquist) << "): "
         << (std::isnan(info.lossAtNyquist_dB) ? "not in the data"
                                               : decibels(info.lossAtNyquist_dB))
         << "\n  DC gain: " << plain(info.dcGain) << " (" << info.dcNote << ")"
         << "\n  propagation delay: " << seconds(info.delay) << " (step response at 50 %)"
         << "\n  energy before the main rise: " << percent(info.preRiseEnergy)
         << " (causality: ringing or non-causal data ahead of the rise)\n";
  for (const std::string& warning : info.warnings)
    notes_ << warning << '\n';
  notes_ << "Link: " << bitRate(timing_.BitRate) << ", " << timing_.SamplesPerBit
         << " samples per bit, sample interval " << seconds(timing_.sampleInterval()) << "\n\n";
}

void HostReport::Models(const ModelSetup& tx, const ModelSetup* rx) const {
  const auto line = [this](const char* role, const ModelSetup& setup) {
    notes_ << role << ": model " << setup.kit.model << " of component " << setup.kit.component
           << " (" << setup.kit.platform << "), parameters from " << fullPath(setup.kit.amiPath)
           << ", library " << fullPath(setup.libraryPath) << '\n';
  };
  if (tx.fromKit)
    line("Transmitter", tx);
  if (rx != nullptr)
    line("Receiver", *rx);
}

// Said beside the figures: they are of the data as a receiver of the link's
// own polarity decides, so a reader is not left to guess from a negative main
// cursor. A sweep and the run of its best point say it once between them.
void HostReport::PolarityNote(bool channelInverts, bool linkInverts) const {
  const char* note = nullptr;
  if (linkInverts) {
    note =
        "Note: the link inverts (its main cursor is negative); the eye figures are of the "
        "inverted data\n";
  } else if (channelInverts) {
    note =
        "Note: the channel alone inverts (its main cursor is negative); its eye figures are "
        "of the inverted data\n";
  }
  if (note == nullptr || note == polarityNoteSaid_)
    return;
  notes_ << note;
  polarityNoteSaid_ = note;
}

void HostReport::Sweep(const ParameterSweep& sweep, std::size_t aggressors) const {
  const bool inverts = std::any_of(sweep.rows.begin(), sweep.rows.end(),
                                   [](const SweepRow& row) { return row.eye.inverted; });
  PolarityNote(false, inverts);
  if (aggressors > 0)
    notes_ << "Eye figures with " << aggressors << " aggressor(s), each at its worst:\n";
  if (options_.csv)
    SweepCsv(sweep);
  else
    SweepText(sweep);
}

// The criterion next to "<- best", as the sweep ranked.
std::string HostReport::SweepCriterion() const {
  if (options_.rankByBer || options_.rank == EyeRank::kHeightAtBer)
    return "largest eye height at BER " + plain(options_.statistical.targetBer);
  return rankCriterion(options_.rank);
}

void HostReport::SweepCsv(const ParameterSweep& sweep) const {
  out_ << joined(sweep.names, ",")
       << ",eye_height_V,eye_opening_ratio,eye_height_at_ber_V,eye_width_at_ber_UI,best\n";
  for (std::size_t r = 0; r < sweep.rows.size(); ++r) {
    const SweepRow& row = sweep.rows[r];
    out_ << joined(row.values, ",") << ',' << csvNumber(row.eye.height(), row.eye.defined()) << ','
         << csvNumber(row.eye.openingRatio(), row.eye.defined()) << ',' << row.atBer.height << ','
         << row.atBer.width << ',' << (static_cast<long>(r) == sweep.best ? 1 : 0) << '\n';
  }
  out_ << '\n';
}

void HostReport::SweepText(const ParameterSweep& sweep) const {
  const std::string at = " at BER " + plain(options_.statistical.targetBer);
  const std::size_t berColumn = at.size() + 12;
  const std::string label = joined(sweep.names, ", ");
  std::size_t labelWidth = label.size();
  for (const SweepRow& row : sweep.rows)
    labelWidth = std::max(labelWidth, joined(row.values, ", ").size());
  out_ << padded(label, labelWidth) << "  " << padded("eye height", 24) << "  "
       << padded("eye opening ratio", 22) << "  " << padded("eye height" + at, berColumn)
       << "  eye width" << at << '\n';
  for (std::size_t r = 0; r < sweep.rows.size(); ++r) {
    const SweepRow& row = sweep.rows[r];
    const std::string width = atBerText(row.atBer, plain(row.atBer.width) + " UI");
    // The last column is padded only when the mark follows it.
    const std::string last =
        static_cast<long>(r) == sweep.best
            ? padded(width, at.size() + 9) + "  <- best (" + SweepCriterion() + ")"
            : width;
    const std::string values = joined(row.values, ", ");
    out_ << std::string(labelWidth - values.size(), ' ') << values << "  "
         << padded(eyeHeightText(row.eye), 24) << "  " << padded(ratioText(row.eye), 22) << "  "
         << padded(atBerText(row.atBer, volts(row.atBer.height)), berColumn) << "  " << last
         << '\n';
  }
  out_ << '\n';
}

void HostReport::ModelCall(const std::string& parameters, const ModelRun& run) const {
  notes_ << "Parameters: " << parameters << "\nAMI_Init returned " << run.call.initResult
         << ", AMI_Close returned " << run.call.closeResult
         << "\nModel message:" << (run.call.message.empty() ? " (none)\n" : "\n" + run.call.message)
         << '\n';
}

void HostReport::ReceiverCall(const std::string& parameters, const AmiCallResult& call) const {
  notes_ << "Receiver parameters: " << parameters << "\nReceiver AMI_Init returned "
         << call.initResult << ", AMI_Close returned " << call.closeResult
         << "\nReceiver message:" << (call.message.empty() ? " (none)\n" : "\n" + call.message)
         << "\nThe figures below are taken at the receiver's output.\n\n";
}

void HostReport::Summary(const RunSummary& summary) const {
  PolarityNote(summary.channelEye.inverted, summary.linkEye.inverted);
  if (options_.csv)
    summaryCsv(out_, summary);
  else
    summaryText(out_, summary);
}

// The statistical eye next to the worst-case figures: height and width at the
// target BER, and what the grid and noise settings were.
void HostReport::Statistical(const RunFigures& figures) const {
  const StatisticalEye& eye = figures.statistical;
  const EyeAtBer& at = figures.atBer;
  const double ber = options_.statistical.targetBer;
  const StatisticalEyeSettings& s = options_.statistical.settings;
  const double offset = eye.PhaseOffset(figures.centrePhase) * timing_.bitTime();
  if (options_.csv) {
    out_ << "quantity,value\ntarget_ber," << ber << "\neye_height_at_ber_V," << at.height
         << "\neye_width_at_ber_UI," << at.width << "\neye_centre_from_main_cursor_s," << offset
         << "\neye_centre_phase," << figures.centrePhase << "\nworst_case_eye_height_at_centre_V,"
         << figures.worstCaseAtCentre << "\nvoltage_bin_V," << eye.binWidth()
         << "\nlevel_error_bound_V," << eye.levelErrorBound() << "\n\n";
    return;
  }
  const std::string target = "BER " + plain(ber);
  const double worst = figures.worstCaseAtCentre;
  out_ << "Eye height at " << target << ": " << atBerText(at, volts(at.height))
       << " (worst case at the same phase: " << volts(worst)
       << (worst <= 0.0 ? " (eye closed)" : "") << ")\n"
       << "Eye centre: phase " << figures.centrePhase << " of " << eye.phases() << ", "
       << seconds(offset) << " from the main cursor"
       << (at.open ? "" : " (the eye is closed: the main cursor's phase)") << "\n"
       << "Eye width at " << target << ": "
       << atBerText(at, plain(at.width) + " UI = " + seconds(at.width * timing_.bitTime()))
       << "\nStatistical eye: "
       << (s.crosstalkPhase == CrosstalkPhase::kAveraged ? "averaged" : "worst-case")
       << " crosstalk phase, noise " << volts(s.noiseRms) << " rms, jitter "
       << plain(s.randomJitterRms) << " UI rms random + " << plain(s.deterministicJitter)
       << " UI dual-Dirac; voltage bin " << volts(eye.binWidth()) << ", any pattern's level within "
       << volts(eye.levelErrorBound()) << "\n";
}

}  // namespace norvask::host
