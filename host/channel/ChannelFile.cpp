#include "host/channel/ChannelFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "host/base/EngineeringFormat.h"
#include "host/base/NumberText.h"
#include "host/channel/TextInput.h"

namespace norvask::host {

namespace {

bool isCommentMark(char c) {
  return c == '#' || c == '!' || c == '%' || c == ';' || c == '*';
}

bool isBlankOrComment(const std::string& line) {
  const auto first = line.find_first_not_of(" \t\r");
  return first == std::string::npos || isCommentMark(line[first]);
}

// Splits on white space and commas; a line "1e-12, 3.5" gives two fields. A
// comment mark ends the data, so exports that annotate a line ("0 1e9 # peak")
// read as they would without the note.
std::vector<std::string> splitFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : line) {
    if (isCommentMark(c))
      break;
    if (c == ',' || c == ' ' || c == '\t' || c == '\r') {
      if (!field.empty())
        fields.push_back(field);
      field.clear();
    } else {
      field.push_back(c);
    }
  }
  if (!field.empty())
    fields.push_back(field);
  return fields;
}

// A line whose first field reads as a number, finite or not, is data: a
// column title never starts with one, and "0 nan" must not pass as a title.
bool looksLikeData(const std::vector<std::string>& fields) {
  return !fields.empty() && looksLikeNumber(fields[0]);
}

// Two finite numbers and nothing else.
Status parseDataLine(const std::vector<std::string>& fields, double& time, double& value) {
  const std::string expected = "expected two numbers (time in s, value in 1/s)";
  if (fields.size() != 2) {
    return Status::Error(expected + ", found " + std::to_string(fields.size()) +
                         (fields.size() == 1 ? " field" : " fields"));
  }
  for (std::size_t i = 0; i < 2; ++i) {
    if (!readFinite(fields[i], i == 0 ? time : value))
      return Status::Error(expected + ", found '" + fields[i] + "'");
  }
  // Far beyond any response, and large enough to overflow the sums later.
  if (!(std::abs(value) <= kMaxImpulseMagnitude)) {
    return Status::Error("expected a value in 1/s of magnitude up to " +
                         general(kMaxImpulseMagnitude) + ", found '" + fields[1] + "'");
  }
  return Status::Ok();
}

// What is wrong with data line (time, value) after the ones already read.
Status checkSample(const SampledWaveform& waveform, double time, const std::string& timeText) {
  if (waveform.time.empty() && time < 0.0) {
    return Status::Error("the response starts at a negative time (" + timeText +
                         " s); an impulse response starts at 0 s or later");
  }
  if (waveform.time.size() >= kMaxDataLines)
    return Status::Error("more than " + std::to_string(kMaxDataLines) + " data lines");
  if (!waveform.time.empty() && !(time > waveform.time.back()))
    return Status::Error("time must increase from line to line");
  return Status::Ok();
}

std::string where(const std::string& sourceName, int lineNumber) {
  return sourceName + ": line " + std::to_string(lineNumber);
}

}  // namespace

Status parseTwoColumnText(std::istream& text, const std::string& sourceName,
                          SampledWaveform& waveform) {
  waveform = SampledWaveform{};
  std::string line;
  int lineNumber = 0;
  for (LineRead read; (read = readBoundedLine(text, line)) != LineRead::kEnd;) {
    ++lineNumber;
    if (read == LineRead::kTooLong) {
      return Status::Error("longer than " + std::to_string(kMaxLineLength) + " characters")
          .Within(where(sourceName, lineNumber));
    }
    if (lineNumber == 1)
      dropByteOrderMark(line);
    if (isBlankOrComment(line))
      continue;
    const std::vector<std::string> fields = splitFields(line);
    // Column titles may precede the data; once numbers started, a line that
    // is not two numbers means the file is not what the user thinks it is.
    if (waveform.time.empty() && !looksLikeData(fields))
      continue;
    double time = 0.0;
    double value = 0.0;
    Status status = parseDataLine(fields, time, value);
    if (status.ok())
      status = checkSample(waveform, time, fields[0]);
    if (!status.ok())
      return status.Within(where(sourceName, lineNumber));
    waveform.time.push_back(time);
    waveform.value.push_back(value);
  }
  if (waveform.time.size() < 2)
    return Status::Error(sourceName + ": needs at least two data lines (time in s, value in 1/s)");
  return Status::Ok();
}

Status readTwoColumnFile(const std::string& path, SampledWaveform& waveform) {
  std::ifstream file;
  const Status opened = openTextFile(path, "a file", file);
  return opened.ok() ? parseTwoColumnText(file, path, waveform) : opened;
}

double resampledLength(const SampledWaveform& waveform, double sampleInterval) {
  const double span = waveform.time.back() - waveform.time.front();
  return std::floor(span / sampleInterval * (1.0 + 1e-12)) + 1.0;
}

std::vector<double> resampleLinear(const SampledWaveform& waveform, double sampleInterval) {
  const double start = waveform.time.front();
  // The small allowance in resampledLength keeps the last instant when the
  // span is a whole number of intervals that rounding puts a hair above it.
  const auto count = static_cast<std::size_t>(resampledLength(waveform, sampleInterval));
  std::vector<double> samples(count);
  std::size_t segment = 0;
  for (std::size_t k = 0; k < count; ++k) {
    const double t = start + static_cast<double>(k) * sampleInterval;
    while (segment + 2 < waveform.time.size() && waveform.time[segment + 1] < t)
      ++segment;
    const double t0 = waveform.time[segment];
    const double t1 = waveform.time[segment + 1];
    const double weight = std::min(1.0, (t - t0) / (t1 - t0));
    samples[k] =
        waveform.value[segment] + weight * (waveform.value[segment + 1] - waveform.value[segment]);
  }
  return samples;
}

}  // namespace norvask::host
