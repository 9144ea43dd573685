#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iomanip>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "params/AmiParamString.h"
#include "params/ParameterLookup.h"

namespace norvask {
namespace {

std::string textOf(const AmiParamString& params) {
  return std::string(params.text.get(), params.length);
}

// Lookups {input, path, value} on a fresh parse, as a double for OutputGain and
// as an integer otherwise; no value: not found, and the value reads -1.
void expectReads(
    std::initializer_list<std::tuple<const char*, const char*, std::optional<double>>> reads) {
  for (const auto& [input, path, expected] : reads) {
    AmiParamString params = parseParameters(input);
    double value = 0.0;
    std::int32_t integer = 0;
    const bool isDouble = std::strstr(path, "Gain") != nullptr;
    const bool found =
        isDouble ? getDoubleParameter(params, value, path) : getIntParameter(params, integer, path);
    value = isDouble ? value : integer;
    EXPECT_EQ(found, expected.has_value()) << input;
    EXPECT_EQ(value, expected.value_or(-1)) << input;
  }
}

// Both model parameters read as AMI_Init does, from their defaults.
std::string readModel(const char* input, double& outputGain, std::int32_t& txi) {
  AmiParamString params = parseParameters(input);
  std::ostringstream messages;
  outputGain = 1.0;
  txi = 1;
  initDoubleParameter(messages, params, "OutputGain", outputGain);
  initIntParameter(messages, params, "txi", txi);
  return messages.str();
}

std::string defaultLine(const std::string& name, const std::string& value) {
  return "The IBIS-AMI model, Norvask, is unable to initialize the parameter " + name +
         " from the AMI_Init arguments.The model will use the default setting = " + value + ".\n";
}

TEST(ParamsNormalisation, SpaceGoesBeforeEveryParenthesisAndParenthesesCarryTheirLevel) {
  EXPECT_EQ(textOf(parseParameters("(Norvask(OutputGain 0.8)(txi 3))")),
            "(Norvask (OutputGain 0.8) (txi 3))");
  const std::pair<const char*, std::vector<std::int32_t>> marks[] = {
      {"(a(b)(c))", {1, 0, 0, 2, 0, -2, 0, 2, 0, -2, -1}},
      {")(", {0, 0, 0}},  // surplus ')' drive the level negative and the marks follow
      {"))", {0, 1}}};
  for (const auto& [input, expected] : marks) {
    const AmiParamString params = parseParameters(input);
    EXPECT_EQ(std::vector<std::int32_t>(params.nestingMark.begin(),
                                        params.nestingMark.begin() + params.length),
              expected)
        << input;
  }
  EXPECT_EQ(parseParameters("no lists").firstParen, -1);
  EXPECT_EQ(parseParameters("ab (c").firstParen, 3);
  EXPECT_TRUE(parseParameters("").text == nullptr && parseParameters(nullptr).text == nullptr);
  // The limit applies to the normalised text, inserted spaces included.
  EXPECT_EQ(detail::parseParameters("(a(b)(c))", 10).text, nullptr);
  EXPECT_EQ(textOf(detail::parseParameters("(a(b)(c))", 11)), "(a (b) (c))");
}

TEST(ParamsLookup, RootThenAWholeWordNameAtLevel2OrAnywhereAfterName1AtLevel3) {
  expectReads({{"(   Norvask\n(txi 3))", "Norvask.txi", 3},
               {"(Norvask\t(txi 3))", "Norvask.txi", {}},
               {"(NorvaskX (txi 3))", "Norvask.txi", {}},
               {"(Norvas (txi 3))", "Norvask.txi", 3},  // a prefix of the path's root
               {"(Norvask (Group (txi 3)))", "Norvask.txi", {}},
               {"(Norvask (txi2 5) (txi 4))", "Norvask.txi", 4},
               {"(Norvask (txi 2) (txi 5))", "Norvask.txi", 2},
               // A name ends at a space, line feed, carriage return or form feed, not a tab.
               {"(Norvask\r(txi\r7))", "Norvask.txi", 7},
               {"(Norvask\n(txi\n6)\n)", "Norvask.txi", 6},
               {"(Norvask\f(txi\f5))", "Norvask.txi", 5},
               {"(Norvask (txi\t3))", "Norvask.txi", {}},
               {"(Norvask (txi     )", "Norvask.txi", 0},  // ')' is the last character
               {"(Norvask (txi 3))", "Norvask.txi.", {}},  // a final dot is kept
               {"(Norvask (Group (txi 3)))", "Norvask.Group.txi", 3},
               {"(Norvask (A 1) (B (txi 7)))", "Norvask.A.txi", 7},
               {"(Norvask (a (b 1)))", "Norvask.a.b.c", 1}});  // level 4 is ignored
}

TEST(ParamsValues, TokenEndsAtABlankOrParenthesisAndConvertsAsAtofAndAtoi) {
  const char* gain = "Norvask.OutputGain";
  expectReads({{"(Norvask (OutputGain 2 3))", gain, 2.0},
               {"(Norvask (OutputGain (0.5)))", gain, 0.0},  // '(' ends the token first
               {"(Norvask (Gain 0.5))", gain, {}},
               {"(Norvask (OutputGain -0.125x))", gain, -0.125},
               {"(Norvask (OutputGain 1e999))", gain, std::numeric_limits<double>::infinity()},
               {"(Norvask (txi 3", "Norvask.txi", 0},  // never the last character
               // Decimal, never octal or hexadecimal.
               {"(Norvask (txi 010))", "Norvask.txi", 10},
               {"(Norvask (txi 08))", "Norvask.txi", 8},
               {"(Norvask (txi 0x1F))", "Norvask.txi", 0},
               {"(Norvask (txi 99999999999))", "Norvask.txi", INT32_MAX},
               // After surplus ')' a later ')' carries mark 2 and opens a "list".
               {"(Norvask )))) txi 3)", "Norvask.txi", 3},
               {"(Norvask) (txi 4)", "Norvask.txi", {}}});
}

TEST(ParamsDefaults, MissingParametersKeepTheirDefaultsWithAMessage) {
  double gain = 0;
  std::int32_t txi = 0;
  const std::string both = defaultLine("OutputGain", "1") + defaultLine("txi", "1");
  EXPECT_EQ(readModel("(Norvask (OutputGain 0.8) (txi 3))", gain, txi), "");
  EXPECT_TRUE(gain == 0.8 && txi == 3);
  EXPECT_EQ(readModel("(Norvask (OutputGain abc))", gain, txi), defaultLine("txi", "1"));
  for (const char* input : {"", "((((((", "(Norvask ))))(txi 3)", "\xFF\xFE(\x80 (\xC0"}) {
    EXPECT_EQ(readModel(input, gain, txi), both) << input;
    EXPECT_TRUE(gain == 1.0 && txi == 1) << input;
  }
  // A default prints with six significant digits, whatever the stream's own format.
  const std::pair<double, const char*> defaults[] = {
      {123456.0, "123456"}, {1234567.0, "1.23457e+06"}, {1e-5, "1e-05"}, {3.14159265, "3.14159"}};
  for (const auto& [value, printed] : defaults) {
    AmiParamString params = parseParameters("(Norvask)");
    std::ostringstream messages;
    messages << std::fixed << std::setprecision(2);
    double field = value;
    initDoubleParameter(messages, params, "OutputGain", field);
    EXPECT_EQ(messages.str(), defaultLine("OutputGain", printed));
  }
}

}  // namespace
}  // namespace norvask
