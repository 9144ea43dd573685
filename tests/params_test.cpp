// Pins the parameter text rules: how the text is normalised and marked, how
// the root, the names at levels 2 and 3 and the value token are found, how
// values convert, and the default-setting message the model's reads write.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "params/AmiParamString.h"
#include "params/ParameterLookup.h"

namespace norvask {
namespace {

std::string textOf(const AmiParamString& params) {
  return std::string(params.text.get(), params.length);
}

std::vector<std::int32_t> MarksOf(const AmiParamString& params) {
  return std::vector<std::int32_t>(params.nestingMark.begin(),
                                   params.nestingMark.begin() + params.length);
}

// One lookup on a fresh parse: the value found, or nothing.
template <typename T>
struct Read {
  const char* input;
  const char* path;
  std::optional<T> expected;
};

template <typename T>
void expectReads(const std::vector<Read<T>>& reads) {
  for (const Read<T>& read : reads) {
    AmiParamString params = parseParameters(read.input);
    T value = 0;
    bool found = false;
    if constexpr (std::is_same_v<T, double>)
      found = getDoubleParameter(params, value, read.path);
    else
      found = getIntParameter(params, value, read.path);
    EXPECT_EQ(found, read.expected.has_value()) << read.input << " / " << read.path;
    EXPECT_EQ(value, read.expected.value_or(-1)) << read.input << " / " << read.path;
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
  const std::pair<const char*, const char*> texts[] = {
      {"(Norvask(OutputGain 0.8)(txi 3))", "(Norvask (OutputGain 0.8) (txi 3))"},
      {"a (b\t(c", "a (b\t (c"},
      {"(a(b)(c))", "(a (b) (c))"}};
  for (const auto& [input, normalised] : texts)
    EXPECT_EQ(textOf(parseParameters(input)), normalised);
  const std::pair<const char*, std::vector<std::int32_t>> marks[] = {
      {"((x))", {1, 0, 2, 0, -2, -1}},
      {"(a(b)(c))", {1, 0, 0, 2, 0, -2, 0, 2, 0, -2, -1}},
      {")(", {0, 0, 0}},  // surplus ')' drive the level negative and the marks follow
      {"))", {0, 1}},
  };
  for (const auto& [input, expected] : marks)
    EXPECT_EQ(MarksOf(parseParameters(input)), expected) << input;
  EXPECT_EQ(parseParameters("no lists").firstParen, -1);
  EXPECT_EQ(parseParameters("ab (c").firstParen, 3);
  EXPECT_EQ(parseParameters("").text, nullptr);
  EXPECT_EQ(parseParameters(nullptr).text, nullptr);
  // The limit applies to the normalised text, inserted spaces included.
  EXPECT_EQ(detail::parseParameters("(a(b)(c))", 10).text, nullptr);
  EXPECT_EQ(textOf(detail::parseParameters("(a(b)(c))", 11)), "(a (b) (c))");
}

TEST(ParamsRoot, RootMustMatchAndBeFollowedByABlankParenthesisOrTheEnd) {
  expectReads<std::int32_t>({{"(   Norvask\n(txi 3))", "Norvask.txi", 3},
                             {"(Norvask\t(txi 3))", "Norvask.txi", {}},
                             {"(NorvaskX (txi 3))", "Norvask.txi", {}},
                             {"(Norvas (txi 3))", "Norvask.txi", 3},  // a prefix of the path's root
                             {"(Norvask (txi 3))", nullptr, {}},
                             {"(Norvask (txi 3))", "Norvask", {}},
                             // The path root skips leading blanks and parentheses, but the rest of
                             // the path starts as many characters in as the root has: name1 is "k".
                             {"(Norvask (k (txi 5)))", "( Norvask.txi", 5}});
  // The root is recorded by the first lookup only: the second read finds its value.
  double gain = 0;
  std::int32_t txi = 0;
  EXPECT_EQ(readModel("(Other (OutputGain 2) (txi 3))", gain, txi), defaultLine("OutputGain", "1"));
  EXPECT_EQ(gain, 1.0);
  EXPECT_EQ(txi, 3);
}

TEST(ParamsNames, NameIsAWholeWordInsideTheRootAtLevel2OrAnywhereAfterName1AtLevel3) {
  expectReads<std::int32_t>({
      {"(Norvask (Group (txi 3)))", "Norvask.txi", {}},
      {"(Norvask (txi\t3))", "Norvask.txi", {}},
      {"(Norvask (TXI 3))", "Norvask.txi", {}},
      {"(Norvask (txi2 5) (txi 4))", "Norvask.txi", 4},
      {"(Norvask (txi 2) (txi 5))", "Norvask.txi", 2},
      {"(Norvask (   txi\n6))", "Norvask.txi", 6},
      {"(Norvask\r(txi\r7))", "Norvask.txi", 7},
      {"(Norvask\f(txi\f8))", "Norvask.txi", 8},
      {"(Norvask (txi       ", "Norvask.txi", {}},
      {"(Norvask (txi     )", "Norvask.txi", 0},  // ')' is the last character
      {"(Norvask (txi 3))", "Norvask.txi.", {}},  // a final dot is kept
      // A level 3 name is searched anywhere after name1.
      {"(Norvask (Group (txi 3)))", "Norvask.Group.txi", 3},
      {"(Norvask (A 1) (B (txi 7)))", "Norvask.A.txi", 7},
      {"(Norvask (B (txi 7)) (A 1))", "Norvask.A.txi", {}},
      {"(Norvask (txi 3))", "Norvask.Group.txi", {}},
      {"(Norvask (Group (x (txi 3))))", "Norvask.Group.txi", {}},
      {"(Norvask (a (b 1)))", "Norvask.a.b.c", 1},  // level 4 is ignored
  });
}

TEST(ParamsValues, TokenEndsAtABlankOrParenthesisAndConvertsAsAtofAndAtoi) {
  const char* gain = "Norvask.OutputGain";
  expectReads<double>(
      {{"(Norvask (OutputGain 2 3))", gain, 2.0},
       {"(Norvask (OutputGain abc))", gain, 0.0},
       {"(Norvask (OutputGain (0.5)))", gain, 0.0},  // '(' ends the token first
       {"(Norvask (Gain 0.5))", gain, {}},
       {"(Norvask (OutputGain -0.125x))", gain, -0.125},
       {"(Norvask (OutputGain 1e999))", gain, std::numeric_limits<double>::infinity()}});
  expectReads<std::int32_t>({{"(Norvask (txi 3", "Norvask.txi", 0},  // never the last character
                             {"(Norvask (txi 35", "Norvask.txi", 3},
                             {"(Norvask (txi 3.7))", "Norvask.txi", 3},
                             // Decimal, never octal or hexadecimal.
                             {"(Norvask (txi 010))", "Norvask.txi", 10},
                             {"(Norvask (txi 08))", "Norvask.txi", 8},
                             {"(Norvask (txi 0x1F))", "Norvask.txi", 0},
                             {"(Norvask (txi\n\t+5))", "Norvask.txi", 5},
                             {"(Norvask (txi 99999999999))", "Norvask.txi", INT32_MAX},
                             {"(Norvask (txi -99999999999999999999999))", "Norvask.txi", INT32_MIN},
                             // After surplus ')' a later ')' carries mark 2 and opens a "list".
                             {"(Norvask )))) txi 3)", "Norvask.txi", 3},
                             {"(Norvask) (txi 4)", "Norvask.txi", {}}});
  // The token is cut by a NUL written into the text, which ends a second read too.
  AmiParamString params = parseParameters("(Norvask (OutputGain 2))");
  double value = 0.0;
  ASSERT_TRUE(getDoubleParameter(params, value, gain));
  EXPECT_EQ(textOf(params), std::string("(Norvask (OutputGain 2\0)", 24));
  EXPECT_TRUE(getDoubleParameter(params, value, gain));
  EXPECT_EQ(value, 2.0);
}

TEST(ParamsDefaults, MissingParametersKeepTheirDefaultsWithAMessage) {
  double gain = 0;
  std::int32_t txi = 0;
  const std::string both = defaultLine("OutputGain", "1") + defaultLine("txi", "1");
  EXPECT_EQ(readModel("(Norvask (OutputGain 0.8) (txi 3))", gain, txi), "");
  EXPECT_TRUE(gain == 0.8 && txi == 3);
  EXPECT_EQ(readModel("(Norvask (txi 3))", gain, txi), defaultLine("OutputGain", "1"));
  EXPECT_EQ(readModel("(Norvask (OutputGain abc))", gain, txi), defaultLine("txi", "1"));
  EXPECT_EQ(readModel("", gain, txi), both);
  for (const char* input :
       {"(", ")", "((((((", "()()()", "( ", "(Norvask", "(Norvask ((((", "(Norvask ))))(txi 3)",
        "\xFF\xFE(\x80 (\xC0", "(Norvask (OutputGain"}) {
    EXPECT_EQ(readModel(input, gain, txi), both) << input;
    EXPECT_TRUE(gain == 1.0 && txi == 1) << input;
  }
}

TEST(ParamsDefaults, DefaultValuePrintsWithSixSignificantDigitsWhateverTheStreamFormat) {
  const std::pair<double, const char*> doubles[] = {
      {0.5, "0.5"},       {-2.25, "-2.25"},   {123456.0, "123456"},   {1234567.0, "1.23457e+06"},
      {0.0001, "0.0001"}, {0.00001, "1e-05"}, {3.14159265, "3.14159"}};
  for (const auto& [field, printed] : doubles) {
    AmiParamString params = parseParameters("(Norvask)");
    std::ostringstream messages;
    messages << std::fixed;  // the host stream's own format must not leak into the line
    messages.precision(2);
    double value = field;
    initDoubleParameter(messages, params, "OutputGain", value);
    EXPECT_EQ(value, field);
    EXPECT_EQ(messages.str(), defaultLine("OutputGain", printed));
  }
}

}  // namespace
}  // namespace norvask
