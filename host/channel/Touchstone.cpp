#include "host/channel/Touchstone.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "host/base/DecimalText.h"
#include "host/base/EngineeringFormat.h"
#include "host/base/MathConstants.h"
#include "host/base/NumberText.h"
#include "host/channel/TextInput.h"
#include "host/channel/TouchstoneParser.h"

namespace norvask::host {

namespace {

using touchstone::Format;
using touchstone::upper;

std::complex<double> toComplex(Format format, double first, double second) {
  const double radians = second * kPi / 180.0;
  switch (format) {
    case Format::kRealImaginary:
      return {first, second};
    case Format::kMagnitudeAngle:
      return std::polar(first, radians);
    case Format::kDecibelAngle:
      break;
  }
  return std::polar(std::pow(10.0, first / 20.0), radians);
}

// std::abs(value) < kMaxSParameterMagnitude, without the cost of std::abs's
// overflow-safe hypot for the values measured data holds: components both
// below 0.7 of the limit cannot reach it together, since 0.7 * sqrt(2) < 1.
bool plausibleMagnitude(std::complex<double> value) {
  constexpr double kSurelyBelow = 0.7 * kMaxSParameterMagnitude;
  if (std::fabs(value.real()) < kSurelyBelow && std::fabs(value.imag()) < kSurelyBelow)
    return true;
  return std::abs(value) < kMaxSParameterMagnitude;
}

// The part of `line` before any '!' comment, without the blanks around it;
// written into `content`, whose storage is reused from line to line.
void assignDataPart(const std::string& line, std::string& content) {
  const auto comment = std::min(line.find('!'), line.size());
  const auto first = line.find_first_not_of(" \t\r");
  const auto last = line.find_last_not_of(" \t\r", comment == 0 ? 0 : comment - 1);
  if (first >= comment || last == std::string::npos)
    content.clear();
  else
    content.assign(line, first, last - first + 1);
}

// The characters that separate words when a stream reads them (the "C"
// locale's white space); the data lines are split where they are, without
// copies.
bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

const char* skipSpace(const char* next, const char* end) {
  while (next != end && isSpace(*next))
    ++next;
  return next;
}

const char* wordEnd(const char* next, const char* end) {
  while (next != end && !isSpace(*next))
    ++next;
  return next;
}

// The next number of a data line from `word` on, returning where its word
// ends, or nullptr when the word is not a finite number. Most words take the
// short road, which finds the number and the word's end in one scan.
const char* readDataWord(const char* word, const char* end, double& value) {
  const char* next = readShortDecimal(word, end, value);
  if (next != nullptr && (next == end || isSpace(*next)))
    return next;
  next = wordEnd(word, end);
  return readDecimal(word, next, value) && std::isfinite(value) ? next : nullptr;
}

}  // namespace

bool TouchstoneParser::ParseLines(std::istream& text) {
  std::string line;
  std::string content;
  for (LineRead read;
       section_ != Section::kEnd && (read = readBoundedLine(text, line)) != LineRead::kEnd;) {
    ++line_;
    if (read == LineRead::kTooLong)
      return Fail("longer than " + std::to_string(kMaxLineLength) + " characters");
    if (line_ == 1)
      dropByteOrderMark(line);
    assignDataPart(line, content);
    if (!content.empty() && !ParseLine(content))
      return false;
  }
  return Finish();
}

bool TouchstoneParser::ParseLine(const std::string& content) {
  if (content[0] == '[')
    return ParseKeyword(content);
  if (section_ == Section::kInformation || section_ == Section::kNoise)
    return true;
  if (content[0] == '#')
    return optionSeen_ || ParseOptionLine(content);
  if (section_ == Section::kReference)
    return ParseReferences(content);
  if (version_ == 2 && section_ != Section::kNetwork)
    return Fail("numbers outside [Network Data]");
  return ParseNumbers(content);
}

bool TouchstoneParser::ParseNumbers(const std::string& content) {
  if (network_.ports == 0) {
    return Fail(
        "cannot tell the number of ports: the name does not end in .sNp (N = 2 to 32) "
        "and there is no [Number of Ports]");
  }
  if (network_.ports < kMinTouchstonePorts || network_.ports > kMaxTouchstonePorts)
    return Fail("the name gives " + std::to_string(network_.ports) + " ports; 2 to 32 are read");
  const char* const end = content.data() + content.size();
  if (point_.empty() && StartsNoiseData(content.data(), end)) {
    section_ = Section::kNoise;
    network_.noiseLine = line_;
    return true;
  }
  for (const char* next = content.data(); (next = skipSpace(next, end)) != end;) {
    const char* const word = next;
    double value = 0.0;
    next = readDataWord(word, end, value);
    if (next == nullptr)
      return Fail("expected a number, found '" + std::string(word, wordEnd(word, end)) + "'");
    if (point_.empty())
      pointLine_ = line_;
    point_.push_back(value);
    if (point_.size() < 1 + ValuesPerPoint())
      continue;
    if (skipSpace(next, end) != end)
      return PortCountMismatch(next, end);
    if (!StorePoint())
      return false;
  }
  return true;
}

// In a version 1 two-port file, a line of five numbers (frequency, minimum
// noise figure, reflection magnitude and angle, noise resistance) whose
// frequency does not increase starts the noise parameters. Any other line
// with such a frequency is an error, not the silent end of the data.
bool TouchstoneParser::StartsNoiseData(const char* first, const char* end) const {
  if (version_ != 1 || network_.ports != 2 || network_.frequencies.empty())
    return false;
  double frequency = 0.0;
  const char* next = readDataWord(skipSpace(first, end), end, frequency);
  if (next == nullptr || frequency * unitScale_ > network_.frequencies.back())
    return false;
  int words = 1;
  for (; (next = skipSpace(next, end)) != end; next = wordEnd(next, end))
    ++words;
  return words == 5;
}

bool TouchstoneParser::PortCountMismatch(const char* rest, const char* end) {
  std::size_t found = point_.size();
  for (const char* next = rest; (next = skipSpace(next, end)) != end; next = wordEnd(next, end))
    ++found;
  const std::string lines = pointLine_ == line_ ? "on line " + std::to_string(line_)
                                                : "on lines " + std::to_string(pointLine_) +
                                                      " to " + std::to_string(line_);
  const std::size_t pairs = ValuesPerPoint() / 2;
  return Fail("expected " + std::to_string(1 + ValuesPerPoint()) +
              " numbers for a frequency point of " + std::to_string(network_.ports) +
              " ports (the frequency and " + std::to_string(pairs) + " value pairs), found " +
              std::to_string(found) + " " + lines +
              "; every point starts on a new line: does the file hold as many ports as it says?");
}

bool TouchstoneParser::StorePoint() {
  const double frequency = point_[0] * unitScale_;
  if (!network_.frequencies.empty() && !(frequency > network_.frequencies.back())) {
    line_ = pointLine_;
    return Fail("frequency " + general(frequency) + " Hz does not increase on the previous " +
                general(network_.frequencies.back()) + " Hz");
  }
  if (frequency < 0.0 || !std::isfinite(frequency)) {
    line_ = pointLine_;
    return Fail("frequency " + general(frequency) + " Hz is out of range");
  }
  if (static_cast<double>(network_.frequencies.size() + 1) * PortsSquared() >
      static_cast<double>(kMaxTouchstoneEntries)) {
    return TooMuchData();
  }
  network_.frequencies.push_back(frequency);
  network_.pointLines.push_back(pointLine_);
  point_.clear();
  return StoreMatrix();
}

bool TouchstoneParser::StoreMatrix() {
  const auto n = static_cast<std::size_t>(network_.ports);
  const std::size_t base = network_.values.size();
  network_.values.resize(base + n * n);
  std::size_t next = 1;
  for (std::size_t row = 0; row < n; ++row) {
    const std::size_t first = matrix_ == Matrix::kUpper ? row : 0;
    const std::size_t last = matrix_ == Matrix::kLower ? row : n - 1;
    for (std::size_t column = first; column <= last; ++column, next += 2) {
      const auto value = toComplex(format_, point_[next], point_[next + 1]);
      // Two-port data in 21_12 order lists S11, S21, S12, S22: column-major.
      const bool columnMajor = n == 2 && !twoPortRowMajor_;
      const std::size_t to = columnMajor ? column : row;
      const std::size_t from = columnMajor ? row : column;
      if (!plausibleMagnitude(value))
        return ImplausibleValue(value, to, from);
      network_.values[base + to * n + from] = value;
      if (matrix_ != Matrix::kFull)
        network_.values[base + from * n + to] = value;
    }
  }
  return true;
}

// A magnitude this large is a corrupt number, not a measurement, and would
// overflow the conversion into infinities far from any line number.
bool TouchstoneParser::ImplausibleValue(std::complex<double> value, std::size_t to,
                                        std::size_t from) {
  line_ = pointLine_;
  const std::string separator = network_.ports > 9 ? "," : "";
  return Fail("S" + std::to_string(to + 1) + separator + std::to_string(from + 1) + " at " +
              general(network_.frequencies.back()) + " Hz has magnitude " +
              general(std::abs(value)) + "; expected an S-parameter below " +
              general(kMaxSParameterMagnitude) + " (a passive network stays at or below 1)");
}

bool TouchstoneParser::Finish() {
  if (section_ == Section::kInformation)
    return Fail("[Begin Information] without [End Information]");
  if (!point_.empty())
    return IncompletePoint();
  network_.references =
      references_.empty()
          ? std::vector<double>(static_cast<std::size_t>(network_.ports), network_.referenceOhms)
          : references_;
  if (network_.frequencies.empty()) {
    error_ = source_ + ": no network data";
    return false;
  }
  if (declaredFrequencies_ >= 0 &&
      static_cast<std::size_t>(declaredFrequencies_) != network_.frequencies.size()) {
    error_ = source_ + ": [Number of Frequencies] says " + std::to_string(declaredFrequencies_) +
             ", the data has " + std::to_string(network_.frequencies.size());
    return false;
  }
  return true;
}

bool TouchstoneParser::IncompletePoint() {
  return Fail("the data ends inside the frequency point that starts on line " +
              std::to_string(pointLine_) + ": " + std::to_string(point_.size()) + " of " +
              std::to_string(1 + ValuesPerPoint()) + " numbers");
}

bool TouchstoneParser::TooMuchData() {
  return Fail("more data than the reader keeps (" + std::to_string(kMaxTouchstoneEntries) +
              " matrix entries, 128 MiB)");
}

bool TouchstoneParser::Fail(const std::string& message) {
  error_ = source_ + ": line " + std::to_string(line_) + ": " + message;
  return false;
}

int portsFromFileName(const std::string& name) {
  const std::string extension = upper(std::filesystem::path(name).extension().string());
  if (extension.size() < 4 || extension[1] != 'S' || extension.back() != 'P')
    return 0;
  const std::string digits = extension.substr(2, extension.size() - 3);
  if (digits.size() > 2 || !std::all_of(digits.begin(), digits.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c)) != 0;
      })) {
    return 0;
  }
  return std::stoi(digits);
}

Status parseTouchstone(std::istream& text, const std::string& sourceName, int portsFromName,
                       NetworkData& network) {
  return TouchstoneParser(sourceName, portsFromName, network).Parse(text);
}

Status readTouchstoneFile(const std::string& path, NetworkData& network) {
  std::ifstream file;
  const Status opened = openTextFile(path, "a Touchstone file", file);
  return opened.ok() ? parseTouchstone(file, path, portsFromFileName(path), network) : opened;
}

}  // namespace norvask::host
