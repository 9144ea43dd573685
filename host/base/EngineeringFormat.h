// Numbers as an engineer reads them on a report: a value with an SI prefix
// and its unit ("15.63 ps", "2 Gb/s", "408 mV"), four significant digits,
// and words instead of a number when there is none to give. Values beyond
// the prefixes (f to T) keep an exponent and the bare unit.
#ifndef NORVASK_HOST_BASE_ENGINEERINGFORMAT_H_
#define NORVASK_HOST_BASE_ENGINEERINGFORMAT_H_

#include <string>

namespace norvask::host {

// What a non-finite value reads as in every formatter below.
inline constexpr const char* kUndefinedText = "undefined";

// `value` scaled to the SI prefix (f to T) that leaves 1 <= |mantissa| < 1000,
// with `digits` significant digits and trailing zeros dropped, then a space
// and the prefixed unit: withUnit(1.109375e-9, "s") is "1.109 ns". Zero has
// no prefix ("0 V").
std::string withUnit(double value, const std::string& unit, int digits = 4);

std::string seconds(double value);  // "1.109 ns"
std::string hertz(double value);    // "1 GHz"
std::string bitRate(double value);  // "2 Gb/s", "10.3125 Gb/s": up to 7 digits
std::string volts(double value);    // "408 mV"

// Plain number with four significant digits: "0.4049", "-12.5".
std::string plain(double value);

// A number of things: whole, without exponent below 10^15 ("4194304").
std::string count(double value);

// Decibels with two decimals: "5.00 dB".
std::string decibels(double value);

// As a stream prints it by default: six significant digits, an exponent
// when needed ("1e+09", "0.125"). CSV cells and SVG numbers read this way.
std::string general(double value);

// A fraction as a percentage with up to three significant digits: "0.123 %".
std::string percent(double fraction);

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_ENGINEERINGFORMAT_H_
