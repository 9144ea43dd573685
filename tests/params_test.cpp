// Pins the parameter text rules: how the text is normalised and marked, how
// the root, the names at levels 2 and 3 and the value token are found, how
// values convert, and the default-setting message the model's reads write.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "params/AmiParamString.h"
#include "params/ParameterLookup.h"

namespace norvask {
namespace {

std::string textOf(const AmiParamString& params) {
  return std::string(params.text.get(), params.length);
}

std::vector<std::int32_t> marksOf(const AmiParamString& params) {
  return std::vector<std::int32_t>(params.nestingMark.begin(),
                                   params.nestingMark.begin() + params.length);
}

// Reads both model parameters as AMI_Init does, from their defaults.
struct ModelReads {
  double outputGain = 1.0;
  std::int32_t txi = 1;
  std::string messages;
};

ModelReads readModel(const char* input) {
  AmiParamString params = parseParameters(input);
  ModelReads reads;
  std::ostringstream messages;
  initDoubleParameter(messages, params, "OutputGain", reads.outputGain);
  initIntParameter(messages, params, "txi", reads.txi);
  reads.messages = messages.str();
  return reads;
}

std::string defaultLine(const std::string& name, const std::string& value) {
  return "The IBIS-AMI model, Norvask, is unable to initialize the parameter " + name +
         " from the AMI_Init arguments.The model will use the default setting = " + value + ".\n";
}

bool readInt(const char* input, const char* path, std::int32_t& value) {
  AmiParamString params = parseParameters(input);
  return getIntParameter(params, value, path);
}

bool readDouble(const char* input, const char* path, double& value) {
  AmiParamString params = parseParameters(input);
  return getDoubleParameter(params, value, path);
}

TEST(ParamsNormalisation, SpaceGoesBeforeEveryParenthesisNotPrecededByOne) {
  AmiParamString params = parseParameters("(Norvask(OutputGain 0.8)(txi 3))");
  EXPECT_EQ(textOf(params), "(Norvask (OutputGain 0.8) (txi 3))");
  EXPECT_EQ(params.length, 34u);
  EXPECT_EQ(params.text[params.length], '\0');
  EXPECT_EQ(params.firstParen, 0);
  EXPECT_EQ(params.rootName, nullptr);
  EXPECT_EQ(params.name1, nullptr);
  EXPECT_EQ(params.name2, nullptr);

  EXPECT_EQ(textOf(parseParameters("a(b")), "a (b");
  EXPECT_EQ(textOf(parseParameters("a (b")), "a (b");
  EXPECT_EQ(textOf(parseParameters("a\t(b")), "a\t (b");
  EXPECT_EQ(textOf(parseParameters("\"(x\"\n")), "\" (x\"\n");
}

TEST(ParamsNormalisation, ParenthesesAreMarkedWithTheirNestingLevel) {
  AmiParamString model = parseParameters("(Norvask(OutputGain 0.8)(txi 3))");
  std::vector<std::int32_t> expected(model.length, 0);
  const std::string text = textOf(model);
  expected[0] = 1;
  expected[text.find("(Output")] = 2;
  expected[text.find(") (txi")] = -2;
  expected[text.find("(txi")] = 2;
  expected[model.length - 2] = -2;
  expected[model.length - 1] = -1;
  EXPECT_EQ(marksOf(model), expected);

  AmiParamString nested = parseParameters("((x))");
  EXPECT_EQ(textOf(nested), "( (x))");
  EXPECT_EQ(marksOf(nested), (std::vector<std::int32_t>{1, 0, 2, 0, -2, -1}));

  // Surplus closing parentheses drive the level negative and the marks follow.
  EXPECT_EQ(marksOf(parseParameters(")(")), (std::vector<std::int32_t>{0, 0, 0}));
  EXPECT_EQ(textOf(parseParameters(")(")), ") (");
  EXPECT_EQ(marksOf(parseParameters("))")), (std::vector<std::int32_t>{0, 1}));

  AmiParamString flat = parseParameters("no lists here");
  EXPECT_EQ(flat.firstParen, -1);
  EXPECT_EQ(marksOf(flat), std::vector<std::int32_t>(flat.length, 0));
  EXPECT_EQ(parseParameters("ab (c").firstParen, 3);
}

TEST(ParamsNormalisation, EmptyNullAndOverLongTextsHaveNoText) {
  EXPECT_EQ(parseParameters("").text, nullptr);
  EXPECT_EQ(parseParameters(nullptr).text, nullptr);

  // The limit applies to the normalised text, spaces inserted included.
  EXPECT_EQ(detail::parseParameters("(a(b)(c))", 10).text, nullptr);
  EXPECT_EQ(textOf(detail::parseParameters("(a(b)(c))", 11)), "(a (b) (c))");
  std::int32_t value = 0;
  AmiParamString refused = detail::parseParameters("(Norvask (txi 3))", 5);
  EXPECT_FALSE(getIntParameter(refused, value, "Norvask.txi"));
  EXPECT_EQ(value, -1);
}

TEST(ParamsNormalisation, ReleaseDropsEveryBuffer) {
  AmiParamString params = parseParameters("(Norvask (Group (txi 3)))");
  std::int32_t value = 0;
  ASSERT_TRUE(getIntParameter(params, value, "Norvask.Group.txi"));
  releaseParameters(params);
  EXPECT_EQ(params.text, nullptr);
  EXPECT_EQ(params.rootName, nullptr);
  EXPECT_EQ(params.name1, nullptr);
  EXPECT_EQ(params.name2, nullptr);
  EXPECT_TRUE(params.nestingMark.empty());
  EXPECT_FALSE(getIntParameter(params, value, "Norvask.Group.txi"));
  releaseParameters(params);
  EXPECT_EQ(params.text, nullptr);
}

TEST(ParamsRoot, RootMustBeFollowedByABlankOrParenthesisOrTheEnd) {
  std::int32_t value = 0;
  EXPECT_TRUE(readInt("(Norvask (txi 3))", "Norvask.txi", value));
  EXPECT_TRUE(readInt("(   Norvask\n(txi 3))", "Norvask.txi", value));
  EXPECT_TRUE(readInt("(Norvask\r(txi 3))", "Norvask.txi", value));
  EXPECT_TRUE(readInt("(Norvask(txi 3))", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(Norvask\t(txi 3))", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(NorvaskX (txi 3))", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(norvask (txi 3))", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(Other (txi 3))", "Norvask.txi", value));
  // A text root that is a prefix of the path's root passes.
  EXPECT_TRUE(readInt("(Norvas (txi 3))", "Norvask.txi", value));
  EXPECT_EQ(value, 3);
}

TEST(ParamsRoot, RootIsRecordedAndCheckedByTheFirstLookupOnly) {
  AmiParamString params = parseParameters("(Other (OutputGain 2) (txi 3))");
  double gain = 0.0;
  EXPECT_FALSE(getDoubleParameter(params, gain, "Norvask.OutputGain"));
  ASSERT_NE(params.rootName, nullptr);
  EXPECT_STREQ(params.rootName.get(), "Norvask");
  EXPECT_EQ(params.rootNameLength, 7);
  std::int32_t txi = 0;
  EXPECT_TRUE(getIntParameter(params, txi, "Norvask.txi"));
  EXPECT_EQ(txi, 3);

  // The model's reads on a foreign root: the first keeps its default, the second finds its value.
  ModelReads reads = readModel("(Other (OutputGain 2) (txi 3))");
  EXPECT_EQ(reads.outputGain, 1.0);
  EXPECT_EQ(reads.txi, 3);
  EXPECT_EQ(reads.messages, defaultLine("OutputGain", "1"));
}

TEST(ParamsRoot, PathRootSkipsLeadingBlanksAndParentheses) {
  AmiParamString params = parseParameters("(Norvask (k (txi 5)))");
  std::int32_t value = 0;
  // The root is "Norvask", but the rest of the path is taken to start right
  // after as many characters as the root has, so "k" becomes name1.
  ASSERT_TRUE(getIntParameter(params, value, "( Norvask.txi"));
  EXPECT_STREQ(params.rootName.get(), "Norvask");
  EXPECT_STREQ(params.name1.get(), "k");
  EXPECT_STREQ(params.name2.get(), "txi");
  EXPECT_EQ(value, 5);

  EXPECT_FALSE(readInt("(Norvask (txi 3))", "", value));
  EXPECT_FALSE(readInt("(Norvask (txi 3))", nullptr, value));
  EXPECT_FALSE(readInt("(Norvask (txi 3))", "Norvask", value));
  EXPECT_FALSE(readInt("(Norvask (txi 3))", "( \t\n)", value));
}

TEST(ParamsNames, PathSplitsIntoNameComponents) {
  AmiParamString params = parseParameters("(Norvask (a (b 1)))");
  std::int32_t value = 0;
  EXPECT_TRUE(getIntParameter(params, value, "Norvask.a.b.c"));
  EXPECT_STREQ(params.name1.get(), "a");
  EXPECT_STREQ(params.name2.get(), "b");
  EXPECT_EQ(params.name1Length, 1);
  EXPECT_EQ(params.name2Length, 1);
  EXPECT_EQ(value, 1);

  // A final dot belongs to the last component.
  EXPECT_FALSE(getIntParameter(params, value, "Norvask.a."));
  EXPECT_FALSE(getIntParameter(params, value, "Norvask.txi."));
  EXPECT_STREQ(params.name1.get(), "txi.");
  EXPECT_EQ(params.name2, nullptr);
  EXPECT_EQ(params.name2Length, 0);
  EXPECT_FALSE(getIntParameter(params, value, "Norvask."));
  EXPECT_EQ(params.name1, nullptr);
}

TEST(ParamsNames, Level2NameIsAWholeWordDirectlyInsideTheRoot) {
  std::int32_t value = 0;
  EXPECT_FALSE(readInt("(Norvask (Group (txi 3)))", "Norvask.txi", value));
  EXPECT_EQ(value, -1);
  EXPECT_FALSE(readInt("(Norvask (txi\t3))", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(Norvask (TXI 3))", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(Norvask (txi2 5))", "Norvask.txi", value));
  EXPECT_TRUE(readInt("(Norvask (txi2 5) (txi 4))", "Norvask.txi", value));
  EXPECT_EQ(value, 4);
  EXPECT_TRUE(readInt("(Norvask (txi 2) (txi 5))", "Norvask.txi", value));
  EXPECT_EQ(value, 2);
  EXPECT_TRUE(readInt("(Norvask (   txi\n6))", "Norvask.txi", value));
  EXPECT_EQ(value, 6);
  EXPECT_TRUE(readInt("(Norvask (txi\r7) )", "Norvask.txi", value));
  EXPECT_EQ(value, 7);
  EXPECT_TRUE(readInt("(Norvask (txi\f8))", "Norvask.txi", value));
  EXPECT_EQ(value, 8);
  // Names compare byte for byte, bytes above 0x7f included.
  EXPECT_TRUE(readInt("(Norvask (\xC3\xA9t\xE9\xFF 9))", "Norvask.\xC3\xA9t\xE9\xFF", value));
  EXPECT_EQ(value, 9);
}

TEST(ParamsNames, NameRunningToTheEndOfTheTextHasNoValue) {
  std::int32_t value = 0;
  EXPECT_FALSE(readInt("(Norvask (txi", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(Norvask (txi ", "Norvask.txi", value));
  EXPECT_FALSE(readInt("(Norvask (txi       ", "Norvask.txi", value));
  // A ')' at the end is the last character: found, with an empty token.
  EXPECT_TRUE(readInt("(Norvask (txi     )", "Norvask.txi", value));
  EXPECT_EQ(value, 0);
}

TEST(ParamsNames, Level3NameIsSearchedAnywhereAfterName1) {
  std::int32_t value = 0;
  EXPECT_TRUE(readInt("(Norvask (Group (txi 3)))", "Norvask.Group.txi", value));
  EXPECT_EQ(value, 3);
  // Not confined to name1's own list.
  EXPECT_TRUE(readInt("(Norvask (A 1) (B (txi 7)))", "Norvask.A.txi", value));
  EXPECT_EQ(value, 7);
  // Level 3 lists before name1 do not count.
  EXPECT_FALSE(readInt("(Norvask (B (txi 7)) (A 1))", "Norvask.A.txi", value));
  EXPECT_FALSE(readInt("(Norvask (txi 3))", "Norvask.Group.txi", value));
  EXPECT_FALSE(readInt("(Norvask (Group (x (txi 3))))", "Norvask.Group.txi", value));
}

TEST(ParamsValues, ValueTokenEndsAtABlankOrParenthesisWithANulInTheText) {
  AmiParamString params = parseParameters("(Norvask (OutputGain 2))");
  double gain = 0.0;
  ASSERT_TRUE(getDoubleParameter(params, gain, "Norvask.OutputGain"));
  EXPECT_EQ(gain, 2.0);
  EXPECT_EQ(textOf(params), std::string("(Norvask (OutputGain 2\0)", 24));
  ASSERT_TRUE(getDoubleParameter(params, gain, "Norvask.OutputGain"));
  EXPECT_EQ(gain, 2.0) << "the NUL left by the first read ends the second";

  double value = 0.0;
  EXPECT_TRUE(readDouble("(Norvask (OutputGain 2 3))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, 2.0);
  EXPECT_TRUE(readDouble("(Norvask (OutputGain    0.25))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, 0.25);
  EXPECT_TRUE(readDouble("(Norvask (OutputGain abc))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, 0.0);
  EXPECT_TRUE(readDouble("(Norvask (OutputGain (0.5)))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, 0.0) << "a '(' ends the token before it starts";
  EXPECT_FALSE(readDouble("(Norvask (Gain 0.5))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, -1.0);

  // The last character of the text is never part of the token.
  std::int32_t txi = 0;
  EXPECT_TRUE(readInt("(Norvask (txi 3", "Norvask.txi", txi));
  EXPECT_EQ(txi, 0);
  EXPECT_TRUE(readInt("(Norvask (txi 35", "Norvask.txi", txi));
  EXPECT_EQ(txi, 3);
}

TEST(ParamsValues, ConversionFollowsAtofAndAtoi) {
  double value = 0.0;
  EXPECT_TRUE(readDouble("(Norvask (OutputGain 1e3))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, 1000.0);
  EXPECT_TRUE(readDouble("(Norvask (OutputGain -0.125x))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, -0.125);
  EXPECT_TRUE(readDouble("(Norvask (OutputGain 1e999))", "Norvask.OutputGain", value));
  EXPECT_EQ(value, std::numeric_limits<double>::infinity());

  std::int32_t txi = 0;
  EXPECT_TRUE(readInt("(Norvask (txi 3.7))", "Norvask.txi", txi));
  EXPECT_EQ(txi, 3);
  EXPECT_TRUE(readInt("(Norvask (txi -12))", "Norvask.txi", txi));
  EXPECT_EQ(txi, -12);
  EXPECT_TRUE(readInt("(Norvask (txi\n\t+5))", "Norvask.txi", txi)) << "leading white space";
  EXPECT_EQ(txi, 5);
  EXPECT_TRUE(readInt("(Norvask (txi 0x1F))", "Norvask.txi", txi));
  EXPECT_EQ(txi, 0);
  EXPECT_TRUE(readInt("(Norvask (txi \xE9))", "Norvask.txi", txi));
  EXPECT_EQ(txi, 0);
  // Beyond the 32-bit range the value clamps rather than wraps.
  EXPECT_TRUE(readInt("(Norvask (txi 99999999999))", "Norvask.txi", txi));
  EXPECT_EQ(txi, INT32_MAX);
  EXPECT_TRUE(readInt("(Norvask (txi -99999999999999999999999))", "Norvask.txi", txi));
  EXPECT_EQ(txi, INT32_MIN);
}

TEST(ParamsValues, ModelReadsBothParameters) {
  ModelReads reads = readModel("(Norvask (OutputGain 0.8) (txi 3))");
  EXPECT_EQ(reads.outputGain, 0.8);
  EXPECT_EQ(reads.txi, 3);
  EXPECT_EQ(reads.messages, "");

  reads = readModel("(Norvask(txi 3)(OutputGain 0.8))");
  EXPECT_EQ(reads.outputGain, 0.8);
  EXPECT_EQ(reads.txi, 3);

  reads = readModel("(Norvask (OutputGain abc))");
  EXPECT_EQ(reads.outputGain, 0.0);
  EXPECT_EQ(reads.messages, defaultLine("txi", "1"));
}

TEST(ParamsValues, MalformedTextsFailOrReadWithinTheText) {
  for (const char* input : {"(", ")", "((((((", "))))))", "()()()", ")(", "( ", " )", "(Norvask",
                            "(Norvask (", "(Norvask ((((", "(Norvask ))))(txi 3)", "(Norvask (txi",
                            "\xFF\xFE(\x80 (\xC0", "(Norvask (OutputGain"}) {
    ModelReads reads = readModel(input);
    EXPECT_EQ(reads.outputGain, 1.0) << input;
    EXPECT_EQ(reads.txi, 1) << input;
  }
  // Marks follow the rule in unbalanced text too: after surplus ')' a later
  // ')' carries the positive mark 2 and opens a "list" for the lookup.
  std::int32_t value = 0;
  EXPECT_TRUE(readInt("(Norvask )))) txi 3)", "Norvask.txi", value));
  EXPECT_EQ(value, 3);
  EXPECT_FALSE(readInt("(Norvask) (txi 4)", "Norvask.txi", value));

  std::string deep(100000, '(');
  deep += "Norvask";
  EXPECT_EQ(readModel(deep.c_str()).messages,
            defaultLine("OutputGain", "1") + defaultLine("txi", "1"));
  std::string longList = "(Norvask " + std::string(1000000, ' ') + "(txi 3))";
  EXPECT_TRUE(readInt(longList.c_str(), "Norvask.txi", value));
  EXPECT_EQ(value, 3);
}

TEST(ParamsDefaults, MissingParametersKeepTheirDefaultsWithAMessage) {
  ModelReads reads = readModel("");
  EXPECT_EQ(reads.outputGain, 1.0);
  EXPECT_EQ(reads.txi, 1);
  EXPECT_EQ(reads.messages, defaultLine("OutputGain", "1") + defaultLine("txi", "1"));
  EXPECT_EQ(reads.messages,
            "The IBIS-AMI model, Norvask, is unable to initialize the parameter OutputGain from "
            "the AMI_Init arguments.The model will use the default setting = 1.\n"
            "The IBIS-AMI model, Norvask, is unable to initialize the parameter txi from the "
            "AMI_Init arguments.The model will use the default setting = 1.\n");

  reads = readModel("(Norvask (txi 3))");
  EXPECT_EQ(reads.txi, 3);
  EXPECT_EQ(reads.messages, defaultLine("OutputGain", "1"));

  reads = readModel("(Norvask (Group (txi 3)))");
  EXPECT_EQ(reads.txi, 1);
  EXPECT_EQ(reads.messages, defaultLine("OutputGain", "1") + defaultLine("txi", "1"));
}

TEST(ParamsDefaults, DefaultValuePrintsWithSixSignificantDigits) {
  const std::vector<std::pair<double, std::string>> doubles = {{0.5, "0.5"},
                                                               {1.0, "1"},
                                                               {-2.25, "-2.25"},
                                                               {123456.0, "123456"},
                                                               {1234567.0, "1.23457e+06"},
                                                               {0.0001, "0.0001"},
                                                               {0.00001, "1e-05"},
                                                               {3.14159265, "3.14159"}};
  for (const auto& [field, printed] : doubles) {
    AmiParamString params = parseParameters("");
    std::ostringstream messages;
    double value = field;
    initDoubleParameter(messages, params, "OutputGain", value);
    EXPECT_EQ(value, field);
    EXPECT_EQ(messages.str(), defaultLine("OutputGain", printed));
  }

  AmiParamString params = parseParameters("(Norvask)");
  std::ostringstream messages;
  std::int32_t txi = -7;
  initIntParameter(messages, params, "txi", txi);
  EXPECT_EQ(messages.str(), defaultLine("txi", "-7"));

  // The host stream's own number format does not leak into the line.
  std::ostringstream formatted;
  formatted << std::fixed;
  formatted.precision(2);
  double gain = 0.5;
  initDoubleParameter(formatted, params, "OutputGain", gain);
  EXPECT_EQ(formatted.str(), defaultLine("OutputGain", "0.5"));
}

}  // namespace
}  // namespace norvask
