#include "host/Touchstone.h"

#include "host/TextInput.h"
#include "host/base/DecimalText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace norvask::host {

namespace {

enum class Format { kRealImaginary, kMagnitudeAngle, kDecibelAngle };
enum class Matrix { kFull, kLower, kUpper };
enum class Section { kHeader, kReference, kNetwork, kNoise, kInformation, kEnd };

std::string upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos)
    return "";
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
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

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> result;
  for (std::string word; in >> word;)
    result.push_back(word);
  return result;
}

bool readFiniteNumber(const char* first, const char* last, double& value) {
  return readDecimal(first, last, value) && std::isfinite(value);
}

bool parseNumber(const std::string& text, double& value) {
  return readFiniteNumber(text.data(), text.data() + text.size(), value);
}

// The characters that separate words when a stream reads them (the "C" locale's
// white space); the data lines are split where they are, without copies.
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

bool parseInteger(const std::string& text, long& value) {
  char* end = nullptr;
  value = std::strtol(text.c_str(), &end, 10);
  return end != text.c_str() && *end == '\0';
}

std::complex<double> toComplex(Format format, double first, double second) {
  const double radians = second * std::acos(-1.0) / 180.0;
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

// Reads the text line by line, keeping the state the keywords and the option
// line set, and collects the numbers of each frequency point until it is whole.
class TouchstoneParser {
 public:
  TouchstoneParser(const std::string& sourceName, int portsFromName, NetworkData& network,
                   std::string& error)
      : source_(sourceName), network_(network), error_(error) {
    network_ = NetworkData{};
    network_.ports = portsFromName;
  }

  bool Parse(std::istream& text) {
    std::string line;
    std::string content;
    for (LineRead read;
         section_ != Section::kEnd && (read = readBoundedLine(text, line)) != LineRead::kEnd;) {
      ++line_;
      if (read == LineRead::kTooLong)
        return Fail("longer than " + std::to_string(kMaxLineLength) + " characters");
      assignDataPart(line, content);
      if (!content.empty() && !ParseLine(content))
        return false;
    }
    return Finish();
  }

 private:
  bool ParseLine(const std::string& content) {
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

  bool ParseKeyword(const std::string& content) {
    const auto close = content.find(']');
    if (close == std::string::npos)
      return Fail("keyword without ']'");
    const std::string keyword = upper(content.substr(1, close - 1));
    const std::string argument = trimmed(content.substr(close + 1));
    if (section_ == Section::kInformation)
      return keyword != "END INFORMATION" || (section_ = Section::kHeader, true);
    const std::string shown = "[" + content.substr(1, close - 1) + "]";
    if (keyword == "VERSION" && (version_ == 2 || optionSeen_ || !network_.frequencies.empty()))
      return Fail("[Version] must come first");
    if (keyword == "VERSION")
      return ParseVersion(argument);
    if (version_ != 2)
      return Fail(shown + " before [Version]");
    // The layout of the data is fixed once it starts.
    const bool dataStarted = section_ == Section::kNetwork || section_ == Section::kNoise ||
                             !network_.frequencies.empty() || !point_.empty();
    if (dataStarted && keyword != "NOISE DATA" && keyword != "END" &&
        keyword != "BEGIN INFORMATION") {
      return Fail(shown + " after the network data started");
    }
    if (section_ == Section::kReference && referencesRead_ < network_.ports)
      return Fail("[Reference] lists fewer values than ports");
    if (keyword == "NUMBER OF PORTS")
      return ParsePortCount(argument);
    if (keyword == "TWO-PORT DATA ORDER")
      return ParseTwoPortOrder(argument);
    if (keyword == "NUMBER OF FREQUENCIES")
      return ParseFrequencyCount(argument);
    if (keyword == "NUMBER OF NOISE FREQUENCIES")
      return true;
    if (keyword == "REFERENCE")
      return StartReferences(argument);
    if (keyword == "MATRIX FORMAT")
      return ParseMatrixFormat(argument);
    if (keyword == "MIXED-MODE ORDER")
      return Fail("mixed-mode data is not read; export single-ended S-parameters");
    if (keyword == "NETWORK DATA")
      return StartNetworkData();
    if (keyword == "NOISE DATA")
      return EndNetworkData(Section::kNoise);
    if (keyword == "BEGIN INFORMATION")
      return (section_ = Section::kInformation, true);
    if (keyword == "END")
      return EndNetworkData(Section::kEnd);
    return Fail("unknown keyword " + shown);
  }

  bool ParseVersion(const std::string& argument) {
    if (argument.rfind("2.", 0) != 0)
      return Fail("version '" + argument + "' is not read (1.x has no [Version]; 2.x is read)");
    version_ = 2;
    network_.ports = 0;  // a version 2 file states its port count
    return true;
  }

  bool ParsePortCount(const std::string& argument) {
    long ports = 0;
    if (!parseInteger(argument, ports) || ports < kMinTouchstonePorts ||
        ports > kMaxTouchstonePorts) {
      return Fail("[Number of Ports] must be " + std::to_string(kMinTouchstonePorts) + " to " +
                  std::to_string(kMaxTouchstonePorts) + ", found '" + argument + "'");
    }
    network_.ports = static_cast<int>(ports);
    return true;
  }

  bool ParseTwoPortOrder(const std::string& argument) {
    if (argument != "12_21" && argument != "21_12")
      return Fail("[Two-Port Data Order] must be 12_21 or 21_12, found '" + argument + "'");
    twoPortRowMajor_ = argument == "12_21";
    twoPortOrderGiven_ = true;
    return true;
  }

  bool ParseFrequencyCount(const std::string& argument) {
    long count = 0;
    if (!parseInteger(argument, count) || count < 1)
      return Fail("[Number of Frequencies] must be a positive integer, found '" + argument + "'");
    if (network_.ports == 0)
      return Fail("[Number of Frequencies] before [Number of Ports]");
    if (static_cast<double>(count) * PortsSquared() > static_cast<double>(kMaxTouchstoneEntries))
      return TooMuchData();
    declaredFrequencies_ = count;
    network_.frequencies.reserve(static_cast<std::size_t>(count));
    network_.values.reserve(static_cast<std::size_t>(count) * PortsSquared());
    return true;
  }

  bool StartReferences(const std::string& argument) {
    if (network_.ports == 0)
      return Fail("[Reference] before [Number of Ports]");
    section_ = Section::kReference;
    referencesRead_ = 0;
    return argument.empty() || ParseReferences(argument);
  }

  bool ParseReferences(const std::string& content) {
    for (const auto& word : words(content)) {
      double ohms = 0.0;
      if (!parseNumber(word, ohms) || !(ohms > 0.0))
        return Fail("[Reference] expects resistances > 0 ohm, found '" + word + "'");
      if (referencesRead_ >= network_.ports)
        return Fail("[Reference] lists more values than ports");
      if (referencesRead_++ == 0)
        network_.referenceOhms = ohms;
    }
    if (referencesRead_ == network_.ports)
      section_ = Section::kHeader;
    return true;
  }

  bool ParseMatrixFormat(const std::string& argument) {
    const std::string format = upper(argument);
    if (format == "FULL")
      matrix_ = Matrix::kFull;
    else if (format == "LOWER")
      matrix_ = Matrix::kLower;
    else if (format == "UPPER")
      matrix_ = Matrix::kUpper;
    else
      return Fail("[Matrix Format] must be Full, Lower or Upper, found '" + argument + "'");
    return true;
  }

  bool StartNetworkData() {
    if (network_.ports == 0)
      return Fail("[Network Data] before [Number of Ports]");
    if (network_.ports == 2 && !twoPortOrderGiven_)
      return Fail("a 2-port file of version 2 needs [Two-Port Data Order]");
    if (!optionSeen_)
      return Fail("[Network Data] before the option line ('# GHz S MA R 50')");
    section_ = Section::kNetwork;
    return true;
  }

  bool EndNetworkData(Section next) {
    if (!point_.empty())
      return IncompletePoint();
    section_ = next;
    return true;
  }

  bool ParseOptionLine(const std::string& content) {
    const auto tokens = words(content.substr(1));
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      const std::string token = upper(tokens[i]);
      if (token == "HZ" || token == "KHZ" || token == "MHZ" || token == "GHZ") {
        unitScale_ = token == "HZ" ? 1.0 : token == "KHZ" ? 1e3 : token == "MHZ" ? 1e6 : 1e9;
      } else if (token == "S") {
      } else if (token == "Y" || token == "Z" || token == "H" || token == "G") {
        return Fail("parameter type " + tokens[i] + " is not read; only S-parameters are");
      } else if (token == "RI" || token == "MA" || token == "DB") {
        format_ = token == "RI"   ? Format::kRealImaginary
                  : token == "MA" ? Format::kMagnitudeAngle
                                  : Format::kDecibelAngle;
      } else if (token == "R" && i + 1 < tokens.size()) {
        if (!parseNumber(tokens[++i], network_.referenceOhms) || !(network_.referenceOhms > 0.0))
          return Fail("the reference resistance must be a number > 0, found '" + tokens[i] + "'");
      } else {
        return Fail("unknown option '" + tokens[i] + "' in the option line");
      }
    }
    optionSeen_ = true;
    return true;
  }

  bool ParseNumbers(const std::string& content) {
    if (network_.ports == 0) {
      return Fail(
          "cannot tell the number of ports: the name does not end in .sNp (N = 2 to 32) "
          "and there is no [Number of Ports]");
    }
    if (network_.ports < kMinTouchstonePorts || network_.ports > kMaxTouchstonePorts)
      return Fail("the name gives " + std::to_string(network_.ports) + " ports; 2 to 32 are read");
    const char* const end = content.data() + content.size();
    for (const char* next = content.data(); (next = skipSpace(next, end)) != end;) {
      const char* const word = next;
      double value = 0.0;
      next = readShortDecimal(word, end, value);
      if (next == nullptr || (next != end && !isSpace(*next))) {
        next = wordEnd(word, end);
        if (!readFiniteNumber(word, next, value))
          return Fail("expected a number, found '" + std::string(word, next) + "'");
      }
      if (point_.empty()) {
        pointLine_ = line_;
        // In a version 1 two-port file, a frequency that does not increase
        // starts the noise parameters.
        if (version_ == 1 && network_.ports == 2 && !network_.frequencies.empty() &&
            !(value * unitScale_ > network_.frequencies.back())) {
          section_ = Section::kNoise;
          return true;
        }
      }
      point_.push_back(value);
      if (point_.size() == 1 + ValuesPerPoint() && !StorePoint())
        return false;
    }
    return true;
  }

  bool StorePoint() {
    const double frequency = point_[0] * unitScale_;
    if (!network_.frequencies.empty() && !(frequency > network_.frequencies.back())) {
      line_ = pointLine_;
      return Fail("frequency " + Shown(frequency) + " Hz does not increase on the previous " +
                  Shown(network_.frequencies.back()) + " Hz");
    }
    if (frequency < 0.0 || !std::isfinite(frequency)) {
      line_ = pointLine_;
      return Fail("frequency " + Shown(frequency) + " Hz is out of range");
    }
    if (static_cast<double>(network_.frequencies.size() + 1) * PortsSquared() >
        static_cast<double>(kMaxTouchstoneEntries)) {
      return TooMuchData();
    }
    network_.frequencies.push_back(frequency);
    StoreMatrix();
    point_.clear();
    return true;
  }

  void StoreMatrix() {
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
        network_.values[base + to * n + from] = value;
        if (matrix_ != Matrix::kFull)
          network_.values[base + from * n + to] = value;
      }
    }
  }

  bool Finish() {
    if (section_ == Section::kInformation)
      return Fail("[Begin Information] without [End Information]");
    if (!point_.empty())
      return IncompletePoint();
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

  bool IncompletePoint() {
    return Fail("the data ends inside the frequency point that starts on line " +
                std::to_string(pointLine_) + ": " + std::to_string(point_.size()) + " of " +
                std::to_string(1 + ValuesPerPoint()) + " numbers");
  }

  bool TooMuchData() {
    return Fail("more data than the reader keeps (" + std::to_string(kMaxTouchstoneEntries) +
                " matrix entries, 128 MiB)");
  }

  std::size_t ValuesPerPoint() const {
    const auto n = static_cast<std::size_t>(network_.ports);
    return matrix_ == Matrix::kFull ? 2 * n * n : n * (n + 1);
  }

  double PortsSquared() const { return static_cast<double>(network_.ports) * network_.ports; }

  static std::string Shown(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
  }

  bool Fail(const std::string& message) {
    error_ = source_ + ": line " + std::to_string(line_) + ": " + message;
    return false;
  }

  const std::string& source_;
  NetworkData& network_;
  std::string& error_;
  int line_ = 0;
  int pointLine_ = 0;
  int version_ = 1;
  bool optionSeen_ = false;
  double unitScale_ = 1e9;  // the option line's default unit is GHz
  Format format_ = Format::kMagnitudeAngle;
  Matrix matrix_ = Matrix::kFull;
  Section section_ = Section::kHeader;
  bool twoPortRowMajor_ = false;
  bool twoPortOrderGiven_ = false;
  long declaredFrequencies_ = -1;
  int referencesRead_ = 0;
  std::vector<double> point_;
};

}  // namespace

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

bool parseTouchstone(std::istream& text, const std::string& sourceName, int portsFromName,
                     NetworkData& network, std::string& error) {
  return TouchstoneParser(sourceName, portsFromName, network, error).Parse(text);
}

bool readTouchstoneFile(const std::string& path, NetworkData& network, std::string& error) {
  std::ifstream file;
  return openTextFile(path, "a Touchstone file", file, error) &&
         parseTouchstone(file, path, portsFromFileName(path), network, error);
}

}  // namespace norvask::host
