#include "host/base/DecimalText.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <system_error>

namespace norvask::host {

namespace {

// Most numbers in channel files have a few significant digits and a small
// exponent. Then the digits as an integer m <= 2^53 and 10^|e| <= 10^22 are
// both exact doubles, and the one multiply or divide m * 10^e or m / 10^-e is
// rounded once, correctly, as strtod rounds; no wider arithmetic is needed
// (where double arithmetic is evaluated wider, the short road stays closed).
constexpr std::uint64_t kExactMantissaLimit = std::uint64_t{1} << 53;
constexpr int kExactPowerLimit = 22;
constexpr double kExactPowers[kExactPowerLimit + 1] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Appends the digits from `next` on to `mantissa`; returns where they end.
const char* readDigits(const char* next, const char* last, std::uint64_t& mantissa) {
  for (; next != last && isDigit(*next); ++next)
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(*next - '0');
  return next;
}

const char* skipZeros(const char* next, const char* last) {
  while (next != last && *next == '0')
    ++next;
  return next;
}

// Reads an exponent after the 'e': [sign] digits; returns where it ends, or
// nullptr when it has no digits or more than four significant ones.
const char* readExponent(const char* next, const char* last, int& exponent) {
  const bool negative = next != last && *next == '-';
  if (next != last && (*next == '-' || *next == '+'))
    ++next;
  std::uint64_t written = 0;
  const char* const digitsStart = skipZeros(next, last);
  const char* const end = readDigits(digitsStart, last, written);
  if (end == next || end - digitsStart > 4)
    return nullptr;
  exponent = negative ? -static_cast<int>(written) : static_cast<int>(written);
  return end;
}

}  // namespace

const char* readShortDecimal(const char* next, const char* last, double& value) {
#if FLT_EVAL_METHOD == 0  // double arithmetic rounds to double, not wider
  const bool negative = next != last && *next == '-';
  if (next != last && (*next == '-' || *next == '+'))
    ++next;
  const char* const wholeStart = next;
  const char* const wholeDigits = skipZeros(next, last);  // leading zeros are not significant
  std::uint64_t mantissa = 0;
  next = readDigits(wholeDigits, last, mantissa);
  long significant = next - wholeDigits;
  bool anyDigit = next != wholeStart;
  int exponent = 0;
  if (next != last && *next == '.') {
    const char* const fractionStart = ++next;
    const char* const fractionDigits = mantissa == 0 ? skipZeros(next, last) : next;
    next = readDigits(fractionDigits, last, mantissa);
    significant += next - fractionDigits;
    exponent = -static_cast<int>(next - fractionStart);
    anyDigit = anyDigit || next != fractionStart;
  }
  if (!anyDigit)
    return nullptr;
  int written = 0;
  if (next != last && (*next == 'e' || *next == 'E'))
    next = readExponent(next + 1, last, written);
  exponent += written;
  if (next == nullptr || significant > 19 || mantissa > kExactMantissaLimit ||
      exponent < -kExactPowerLimit || exponent > kExactPowerLimit) {
    return nullptr;
  }
  const auto magnitude = static_cast<double>(mantissa);
  const double scaled =
      exponent < 0 ? magnitude / kExactPowers[-exponent] : magnitude * kExactPowers[exponent];
  value = negative ? -scaled : scaled;
  return next;
#else
  (void)next;
  (void)last;
  (void)value;
  return nullptr;
#endif
}

namespace {

// The rest of the plain decimal form (long mantissas, large exponents,
// subnormals): std::from_chars rounds it as strtod does and still several
// times faster, but it refuses a leading '+' and leaves out-of-range results to
// the caller. Anything it does not turn into a finite number goes to strtod, so
// the rarely seen forms and every refusal stay strtod's own.
bool readPlainDecimal(const char* first, const char* last, double& value) {
#if defined(__cpp_lib_to_chars)
  const char* digits = first != last && *first == '+' ? first + 1 : first;
  if (digits != first && digits != last && *digits == '-')
    return false;  // "+-1" is no number; from_chars would read the "-1"
  double converted = 0.0;
  const std::from_chars_result result = std::from_chars(digits, last, converted);
  if (result.ec != std::errc() || result.ptr != last || !std::isfinite(converted))
    return false;
  value = converted;
  return true;
#else
  (void)first;
  (void)last;
  (void)value;
  return false;
#endif
}

bool readWithStrtod(const char* first, const char* last, double& value) {
  const std::string text(first, last);
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0';
}

}  // namespace

bool readDecimal(const char* first, const char* last, double& value) {
  return readShortDecimal(first, last, value) == last || readPlainDecimal(first, last, value) ||
         readWithStrtod(first, last, value);
}

}  // namespace norvask::host
