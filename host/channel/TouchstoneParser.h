// The Touchstone reader's state machine, shared by the file that reads the
// keywords and the option line (TouchstoneParser.cpp) and the one that reads
// the network data (Touchstone.cpp). It reads the text line by line, keeping
// the state the keywords and the option line set, and collects the numbers of
// each frequency point until it is whole.
#ifndef NORVASK_HOST_CHANNEL_TOUCHSTONEPARSER_H_
#define NORVASK_HOST_CHANNEL_TOUCHSTONEPARSER_H_

#include <complex>
#include <cstddef>
#include <istream>
#include <string>
#include <vector>

#include "host/base/Status.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

namespace touchstone {

enum class Format { kRealImaginary, kMagnitudeAngle, kDecibelAngle };
enum class Matrix { kFull, kLower, kUpper };
enum class Section { kHeader, kReference, kNetwork, kNoise, kInformation, kEnd };

std::string upper(std::string text);

}  // namespace touchstone

class TouchstoneParser {
 public:
  using Format = touchstone::Format;
  using Matrix = touchstone::Matrix;
  using Section = touchstone::Section;

  TouchstoneParser(const std::string& sourceName, int portsFromName, NetworkData& network)
      : source_(sourceName), network_(network) {
    network_ = NetworkData{};
    network_.ports = portsFromName;
  }

  Status Parse(std::istream& text) {
    return ParseLines(text) ? Status::Ok() : Status::Error(error_);
  }

 private:
  bool ParseLines(std::istream& text);
  bool ParseLine(const std::string& content);

  // The keywords and the option line (TouchstoneParser.cpp).
  bool ParseKeyword(const std::string& content);
  bool ParseVersion(const std::string& argument);
  bool ParsePortCount(const std::string& argument);
  bool ParseTwoPortOrder(const std::string& argument);
  bool ParseFrequencyCount(const std::string& argument);
  bool StartReferences(const std::string& argument);
  bool ParseReferences(const std::string& content);
  bool ParseMatrixFormat(const std::string& argument);
  bool StartNetworkData();
  bool EndNetworkData(Section next);
  bool ParseOptionLine(const std::string& content);

  // The network data (Touchstone.cpp).
  bool ParseNumbers(const std::string& content);
  bool StartsNoiseData(const char* first, const char* end) const;
  bool PortCountMismatch(const char* rest, const char* end);
  bool StorePoint();
  bool StoreMatrix();
  bool ImplausibleValue(std::complex<double> value, std::size_t to, std::size_t from);
  bool Finish();
  bool IncompletePoint();
  bool TooMuchData();
  std::size_t ValuesPerPoint() const {
    const auto n = static_cast<std::size_t>(network_.ports);
    return matrix_ == Matrix::kFull ? 2 * n * n : n * (n + 1);
  }
  double PortsSquared() const { return static_cast<double>(network_.ports) * network_.ports; }

  bool Fail(const std::string& message);

  const std::string& source_;
  NetworkData& network_;
  std::string error_;
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
  long long declaredFrequencies_ = -1;
  int referencesRead_ = 0;
  std::vector<double> references_;  // as [Reference] lists them
  std::vector<double> point_;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_TOUCHSTONEPARSER_H_
