#include "host/channel/TouchstoneParser.h"

#include <cctype>
#include <limits>
#include <sstream>

#include "host/base/NumberText.h"
#include "host/base/TextWords.h"

namespace norvask::host {

namespace touchstone {

std::string upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace touchstone

using touchstone::upper;

bool TouchstoneParser::ParseKeyword(const std::string& content) {
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
  if (keyword == "NOISE DATA") {
    network_.noiseLine = line_;
    return EndNetworkData(Section::kNoise);
  }
  if (keyword == "BEGIN INFORMATION")
    return (section_ = Section::kInformation, true);
  if (keyword == "END")
    return EndNetworkData(Section::kEnd);
  return Fail("unknown keyword " + shown);
}

bool TouchstoneParser::ParseVersion(const std::string& argument) {
  if (argument.rfind("2.", 0) != 0)
    return Fail("version '" + argument + "' is not read (1.x has no [Version]; 2.x is read)");
  version_ = 2;
  network_.ports = 0;  // a version 2 file states its port count
  return true;
}

bool TouchstoneParser::ParsePortCount(const std::string& argument) {
  long long ports = 0;
  if (!readInteger(argument, kMinTouchstonePorts, kMaxTouchstonePorts, ports)) {
    return Fail("[Number of Ports] must be " + std::to_string(kMinTouchstonePorts) + " to " +
                std::to_string(kMaxTouchstonePorts) + ", found '" + argument + "'");
  }
  network_.ports = static_cast<int>(ports);
  return true;
}

bool TouchstoneParser::ParseTwoPortOrder(const std::string& argument) {
  if (argument != "12_21" && argument != "21_12")
    return Fail("[Two-Port Data Order] must be 12_21 or 21_12, found '" + argument + "'");
  twoPortRowMajor_ = argument == "12_21";
  twoPortOrderGiven_ = true;
  return true;
}

bool TouchstoneParser::ParseFrequencyCount(const std::string& argument) {
  long long count = 0;
  if (!readInteger(argument, 1, std::numeric_limits<long long>::max(), count))
    return Fail("[Number of Frequencies] must be a positive integer, found '" + argument + "'");
  if (network_.ports == 0)
    return Fail("[Number of Frequencies] before [Number of Ports]");
  if (static_cast<double>(count) * PortsSquared() > static_cast<double>(kMaxTouchstoneEntries))
    return TooMuchData();
  declaredFrequencies_ = count;
  network_.frequencies.reserve(static_cast<std::size_t>(count));
  network_.pointLines.reserve(static_cast<std::size_t>(count));
  network_.values.reserve(static_cast<std::size_t>(count) * PortsSquared());
  return true;
}

bool TouchstoneParser::StartReferences(const std::string& argument) {
  if (network_.ports == 0)
    return Fail("[Reference] before [Number of Ports]");
  section_ = Section::kReference;
  referencesRead_ = 0;
  references_.clear();
  return argument.empty() || ParseReferences(argument);
}

bool TouchstoneParser::ParseReferences(const std::string& content) {
  for (const auto& word : words(content)) {
    double ohms = 0.0;
    if (!readFinite(word, ohms) || !(ohms > 0.0))
      return Fail("[Reference] expects resistances > 0 ohm, found '" + word + "'");
    if (referencesRead_ >= network_.ports)
      return Fail("[Reference] lists more values than ports");
    if (referencesRead_++ == 0)
      network_.referenceOhms = ohms;
    references_.push_back(ohms);
  }
  if (referencesRead_ == network_.ports)
    section_ = Section::kHeader;
  return true;
}

bool TouchstoneParser::ParseMatrixFormat(const std::string& argument) {
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

bool TouchstoneParser::StartNetworkData() {
  if (network_.ports == 0)
    return Fail("[Network Data] before [Number of Ports]");
  if (network_.ports == 2 && !twoPortOrderGiven_)
    return Fail("a 2-port file of version 2 needs [Two-Port Data Order]");
  if (!optionSeen_)
    return Fail("[Network Data] before the option line ('# GHz S MA R 50')");
  section_ = Section::kNetwork;
  return true;
}

bool TouchstoneParser::EndNetworkData(Section next) {
  if (!point_.empty())
    return IncompletePoint();
  section_ = next;
  return true;
}

bool TouchstoneParser::ParseOptionLine(const std::string& content) {
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
      if (!readFinite(tokens[++i], network_.referenceOhms) || !(network_.referenceOhms > 0.0))
        return Fail("the reference resistance must be a number > 0, found '" + tokens[i] + "'");
    } else {
      return Fail("unknown option '" + tokens[i] + "' in the option line");
    }
  }
  optionSeen_ = true;
  return true;
}

}  // namespace norvask::host
