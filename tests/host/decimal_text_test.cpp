// Numbers of the channel files read as std::strtod reads them, bit for bit,
// on the forms that test a converter's rounding and range, with its refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "host/base/DecimalText.h"

namespace norvask::host {
namespace {

bool read(const std::string& text, double& value) {
  return readDecimal(text.data(), text.data() + text.size(), value);
}

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(DecimalText, ReadsEveryDecimalFormBitForBitAsStrtod) {
  const char* const kTexts[] = {
      // signs and the short forms
      "0", "-0", "+0", "+1.5", "-2.25", ".5", "-.5", "+.5", "5.", "-5.", "5.e3", "1e5", "1E-5",
      "1e+5", "+1E+05", "007", "0000000000000000000000000000000000001.25",
      "0.0000000000000000000000000000000000000000000000000000001",
      // 17 significant digits, and the halfway points of rounding
      "0.10000000000000001", "0.30000000000000004", "1.7976931348623157e308", "9007199254740993",
      "9007199254740992.5", "2.5000000000000004", "123456789012345678",
      "3.14159265358979323846264338327950288419716939937510582097494459",
      "1.00000000000000011102230246251565404236316680908203125",
      "1.000000000000000111022302462515654042363166809082031250000000001",
      // exponents near the limits; subnormals and their rounding to the smallest
      "1e308", "1.7976931348623158e308", "2.2250738585072014e-308", "2.2250738585072011e-308",
      "4.9406564584124654e-324", "4.9e-324", "3e-324", "2.4703282292062328e-324", "1e-320",
      "-1e-310", "1e-0000000000000000300", "0.000001e-300", "10000000000e298",
      // what the S-parameter writers print
      "-0.0123456789", "179.999999", "-3.5e-05", "2.5e+10", "1.000000000", "-12.3456789012"};
  for (const char* text : kTexts) {
    char* end = nullptr;
    const double expected = std::strtod(text, &end);
    ASSERT_EQ(*end, '\0') << text;
    double value = -7.0;
    EXPECT_TRUE(read(text, value)) << text;
    EXPECT_TRUE(sameBits(value, expected)) << text << ": " << value << " vs " << expected;
  }
}

TEST(DecimalText, TakesTheRareFormsStrtodTakesWithStrtodsValue) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const std::pair<std::string, double> kCases[] = {
      {"0x1p3", 8.0},         {"0X1.8P1", 3.0},          {"+0x10", 16.0},
      {"inf", kInfinity},     {"-Infinity", -kInfinity}, {"1e400", kInfinity},
      {"-1e400", -kInfinity}, {"2e-324", 0.0},           {"1e-400", 0.0},
      {" \t\v7", 7.0},        {{"3\0x", 3}, 3.0}};
  for (const auto& [text, expected] : kCases) {
    double value = 0.0;
    EXPECT_TRUE(read(text, value)) << text;
    EXPECT_TRUE(sameBits(value, expected)) << text << ": " << value;
  }
  for (const char* text : {"nan", "-NaN(12)"}) {
    double value = 0.0;
    EXPECT_TRUE(read(text, value) && std::isnan(value)) << text;
  }
}

TEST(DecimalText, RefusesWhatIsNotOneNumber) {
  const char* const kTexts[] = {"",     "+",     "-",    ".",    "e5",   "+e5", "1e",
                                "1e+",  "1.5x",  "+-1",  "-+1",  "--1",  "++1", "1..2",
                                "1,5",  "1 2",   "1 ",   "1\n",  "0x",   "abc", "- 1",
                                "1e5.", "1.2.3", "nanx", "infx", "0x1p", "1d5", "٣"};
  for (const char* text : kTexts) {
    double value = 0.0;
    EXPECT_FALSE(read(text, value)) << "'" << text << "'";
  }
}

TEST(DecimalText, ReadsOnlyTheGivenRange) {
  const std::string text = "12.5e3 rest";
  double value = 0.0;
  EXPECT_TRUE(readDecimal(text.data(), text.data() + 4, value) && value == 12.5);
  EXPECT_TRUE(readDecimal(text.data(), text.data() + 6, value) && value == 12500.0);
  EXPECT_FALSE(readDecimal(text.data(), text.data() + 5, value));
}

TEST(DecimalText, ShortRoadReadsALeadingNumberOrDeclines) {
  const struct {
    const char* text;
    int length;  // characters read
    double value;
  } kCases[] = {{"1.5 2", 3, 1.5}, {"-2e3,", 4, -2000.0}, {"7", 1, 7.0},   {".5e-2 ", 5, 0.005},
                {"1.5x", 3, 1.5},  {"+0.25", 5, 0.25},    {"-0", 2, -0.0}, {"1e22", 4, 1e22}};
  for (const auto& c : kCases) {
    double value = 0.0;
    EXPECT_EQ(readShortDecimal(c.text, c.text + std::strlen(c.text), value), c.text + c.length)
        << c.text;
    EXPECT_TRUE(sameBits(value, c.value)) << c.text << ": " << value;
  }
  for (const char* text : {"1e23", "1e-23", "1e", "1e+ ", "x1", ".", "+-1", "9007199254740993",
                           "0.10000000000000001", "12345678901234567890"}) {
    double value = 0.0;
    EXPECT_EQ(readShortDecimal(text, text + std::strlen(text), value), nullptr) << text;
  }
}

}  // namespace
}  // namespace norvask::host
