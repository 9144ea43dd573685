// The kit room: .ami trees and their parameter strings, the refusals of the
// readers and of --set, the .ibs choice of model and platform, the shipped kit.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/app/NorvaskModel.h"
#include "host/kit/AmiExpression.h"
#include "host/kit/AmiTree.h"
#include "host/kit/AmiValue.h"
#include "host/kit/IbsFile.h"
#include "host/kit/ModelKit.h"
#include "host/kit/ParameterString.h"
#include "host/kit/SweepAxes.h"
#include "support/HostStatus.h"

namespace norvask::host {
namespace {

using testing::failure;
using testing::succeeded;

// The string a tree gives with the settings applied.
std::string stringOf(const std::string& ami, const std::vector<std::string>& sets = {}) {
  AmiTree tree;
  Status status = readAmiTree(ami, "t.ami", tree);
  AmiSettings settings;
  for (const std::string& set : sets) {
    if (status.ok())
      status = applySetting(tree, set, settings);
  }
  return status.ok() ? buildParameterString(tree, settings) : "error: " + status.message();
}

const char* const kEveryFormat = R"((Rx
  (Description "every type and format")
  (Reserved_Parameters
    (AMI_Version (Usage Info) (Type String) (Value "7.1"))
    (Init_Returns_Impulse (Usage Info) (Type Boolean) (Value True)))
  (Model_Specific
    (gain (Usage In) (Type Float) (Range 1.50 -2 2))
    | a comment (with parentheses) is skipped
    (taps (Usage In) (Type Integer) (List 3 5 7) (List_Tip "three" "five" "seven") (Default 5))
    (delay (Usage InOut) (Type UI) (Increment 0.5 0 2 0.25))
    (w (Usage In) (Type Tap) (Steps 0 -1 1 4))
    (on (Usage In) (Type Boolean) (Default False))
    (mode (Usage In) (Type String) (List "fast" "slow lane"))
    (corner (Usage In) (Type Float) (Corner 1 0.9 1.1))
    (fixed (Usage In) (Type Integer) (Value 42))
    (old (Usage In) (Type Float) (Format Range 0.25 0 1))
    (seen (Usage Out) (Type Float) (Value 0))
    (note (Usage Info) (Type String) (Value "x"))
    (Eq (Description "a nested branch")
      (Stage1 (pole (Usage In) (Type Float) (Default 2e9)))
      (Stage2 (zero (Usage InOut) (Type Float) (Range 1e9 1e8 1e10) (Label "ignored")))
      (Empty (hidden (Usage Info) (Type Integer) (Value 1)))))))";

TEST(AmiTree, EveryTypeAndFormatGivesItsParameterString) {
  const std::string all =
      "(Rx (gain 1.5)(taps 5)(delay 0.5)(w 0)(on False)(mode \"fast\")(corner 1)(fixed 42)"
      "(old 0.25)(Eq (Stage1 (pole 2e+09))(Stage2 (zero 1e+09))))";
  const struct {
    std::vector<std::string> sets;
    std::string expected;
  } cases[] = {
      {{}, all},
      {{"gain=-2", "taps=7", "delay=1.75", "w=-0.5"},
       "(Rx (gain -2)(taps 7)(delay 1.75)(w -0.5)(on False)(mode \"fast\")(corner 1)(fixed 42)"
       "(old 0.25)(Eq (Stage1 (pole 2e+09))(Stage2 (zero 1e+09))))"},
      {{"on=True", "mode=slow lane", "corner=1.1", "old=1", "pole=3.5e9", "zero=1e8"},
       "(Rx (gain 1.5)(taps 5)(delay 0.5)(w 0)(on True)(mode \"slow lane\")(corner 1.1)(fixed 42)"
       "(old 1)(Eq (Stage1 (pole 3.5e+09))(Stage2 (zero 1e+08))))"},
      {{"gain=0.80", "gain=1e0"}, "(Rx (gain 1)" + all.substr(all.find("(taps"))},
      {{"w=1", "fixed=42"}, "(Rx (gain 1.5)(taps 5)(delay 0.5)(w 1)" + all.substr(all.find("(on"))},
  };
  for (const auto& c : cases)
    EXPECT_EQ(stringOf(kEveryFormat, c.sets), c.expected) << ::testing::PrintToString(c.sets);
}

TEST(AmiTree, KeepsTypesFormatsTipsAndDescriptions) {
  AmiTree tree;
  ASSERT_TRUE(succeeded(readAmiTree(kEveryFormat, "t.ami", tree)));
  EXPECT_EQ(tree.root, "Rx");
  EXPECT_EQ(tree.description, "every type and format");
  std::string summary;
  for (const AmiParameter* p : amiParameters(tree)) {
    summary += p->name + " " + usageName(p->usage) + " " + typeName(p->type) + " " +
               formatName(p->format) + " [" + allowedValues(*p) + "] " + p->defaultValue +
               (p->reserved ? " reserved" : "") + (p->listTips.empty() ? "" : " tips") + "\n";
  }
  EXPECT_EQ(summary,
            "AMI_Version Info String Value [\"7.1\"] 7.1 reserved\n"
            "Init_Returns_Impulse Info Boolean Value [True] True reserved\n"
            "gain In Float Range [-2 to 2] 1.50\n"
            "taps In Integer List [3, 5, 7] 5 tips\n"
            "delay InOut UI Increment [0 to 2 in steps of 0.25] 0.5\n"
            "w In Tap Steps [-1 to 1 in 4 steps] 0\n"
            "on In Boolean none [True or False] False\n"
            "mode In String List [\"fast\", \"slow lane\"] fast\n"
            "corner In Float Corner [1, 0.9, 1.1] 1\n"
            "fixed In Integer Value [42] 42\n"
            "old In Float Range [0 to 1] 0.25\n"
            "seen Out Float Value [0] 0\n"
            "note Info String Value [\"x\"] x\n"
            "pole In Float none [any Float] 2e9\n"
            "zero InOut Float Range [1e+08 to 1e+10] 1e9\n"
            "hidden Info Integer Value [1] 1\n");
}

// "(a (a (a ..." `depth` deep.
std::string nested(int depth) {
  std::string text;
  for (int level = 0; level < depth; ++level)
    text += "(a ";
  return text;
}

// Tree M holding one Float parameter a with `rest` after its type.
std::string floatA(const std::string& rest) {
  return "(M (a (Usage In) (Type Float)" + rest + "))";
}

TEST(AmiTree, RefusesMalformedTreesNamingLineAndExpectation) {
  const std::pair<std::string, std::string> cases[] = {
      {"", "line 1: expected '(' opening the parameter tree"},
      {"(M\n (a (Usage In) (Type Float) (Default 1))",
       "line 2: expected ')' closing (M of line 1 before the end of the file"},
      {"(M)\n(N)", "line 2: expected nothing after the tree's closing ')'"},
      {"(M (\"x\"))", "line 1: expected a name after '('"},
      {"(M\n  (d \"unclosed))", "line 2: expected '\"' closing the string opened here"},
      {"(M stray)", "line 1: expected a parameter or branch in parentheses in M, found 'stray'"},
      {"(M (a (Type Float) (Default 1)))",
       "line 1: expected (Usage In|Out|InOut|Info) in parameter a"},
      {"(M (a (Usage In) (Default 1)))",
       "line 1: expected (Type Float|Integer|UI|Tap|Boolean|String) in parameter a"},
      {"(M (a (Usage Inn) (Type Float)))",
       "line 1: expected Usage In, Out, InOut or Info in parameter a"},
      {"(M (a (Usage In) (Type Double)))",
       "line 1: expected Type Float, Integer, UI, Tap, Boolean or String in parameter a"},
      {floatA(" (Range 1 2)"), "line 1: expected 3 values after Range in parameter a"},
      {floatA(" (Corner 1 2)"), "line 1: expected 3 or 4 values after Corner in parameter a"},
      {floatA(" (List)"), "line 1: expected at least 1 values after List in parameter a"},
      {floatA(" (Value 1) (List 1 2)"),
       "line 1: expected one format (Value, Range, List, Corner, Increment, Steps) in parameter a"},
      {floatA(" (Format Table 1)"),
       "line 1: expected a format Value, Range, List, Corner, Increment or Steps in parameter a"},
      {"(M\n (a (Usage In) (Type Integer) (Range 1 0 x)))",
       "line 2: expected Integer values, found 'x' in parameter a"},
      {floatA(" (Range 1 2 0)"), "line 1: expected min <= max, found 2 > 0 in parameter a"},
      {floatA(" (Increment 1 0 2 0)"),
       "line 1: expected a positive increment, found 0 in parameter a"},
      {floatA(" (Steps 1 0 2 0.5)"),
       "line 1: expected a positive whole number of steps, found 0.5 in parameter a"},
      {floatA(" (List 1 2) (List_Tip \"one\")"),
       "line 1: expected one List_Tip per List value in parameter a"},
      {floatA(" (Range 1 0 2) (Default 3)"),
       "line 1: expected a Default among the allowed values (0 to 2), found '3' in parameter a"},
      {floatA(""), "line 1: expected a Default or a format giving one in parameter a"},
      {floatA(" (Default 1 2)"), "line 1: expected one value after Default in parameter a"},
      {floatA(" (Default (x))"), "line 1: expected (Keyword values...) in parameter a"},
      {nested(kMaxAmiDepth + 1), "line 1: expected at most 64 nested lists"},
  };
  for (const auto& [text, error] : cases) {
    AmiTree tree;
    EXPECT_EQ(failure(readAmiTree(text, "t.ami", tree)), "t.ami: " + error) << text;
  }
}

TEST(AmiTree, InitReturnsImpulseCountsOnlyAsAReservedTrue) {
  const std::string reserved =
      "(R (Reserved_Parameters (Init_Returns_Impulse (Usage Info) (Type Boolean) (Value ";
  const std::pair<std::string, bool> cases[] = {
      {reserved + "True))))", true},
      {reserved + "False))))", false},
      {"(R (Reserved_Parameters (GetWave_Exists (Usage Info) (Type Boolean) (Value True))))",
       false},
      {"(R (Model_Specific (Init_Returns_Impulse (Usage In) (Type Boolean) (Default True))))",
       false},
  };
  for (const auto& [text, returns] : cases) {
    AmiTree tree;
    ASSERT_TRUE(succeeded(readAmiTree(text, "r.ami", tree))) << text;
    EXPECT_EQ(returnsImpulse(tree), returns) << text;
  }
}

// What every refusal of an unknown or unsettable name of kEveryFormat lists.
const std::string kSettable =
    "settable: gain, taps, delay, w, on, mode, corner, fixed, old, pole, zero";

TEST(AmiSettings, RefusesWrongTypeOutsideRangeAndOffListWithTheAllowedValues) {
  const std::pair<std::string, std::string> cases[] = {
      {"gain", "expected NAME=VALUE, got 'gain'"},
      {"=1", "expected NAME=VALUE, got '=1'"},
      {"nope=1", "Rx has no parameter nope; " + kSettable},
      {"AMI_Version=7.0", "AMI_Version is not settable (reserved, Usage Info); " + kSettable},
      {"seen=1", "seen is not settable (Usage Out); " + kSettable},
      {"gain=high", "gain high is not a Float; allowed: -2 to 2"},
      {"gain=2.5", "gain 2.5 is outside the range; allowed: -2 to 2"},
      {"gain=nan", "gain nan is not a Float; allowed: -2 to 2"},
      {"taps=5.0", "taps 5.0 is not an Integer; allowed: 3, 5, 7"},
      {"taps=4", "taps 4 is not in the list; allowed: 3, 5, 7"},
      {"delay=0.3", "delay 0.3 is not on the increment; allowed: 0 to 2 in steps of 0.25"},
      {"delay=2.25", "delay 2.25 is not on the increment; allowed: 0 to 2 in steps of 0.25"},
      {"w=0.25", "w 0.25 is not on the steps; allowed: -1 to 1 in 4 steps"},
      {"on=yes", "on yes is not a Boolean; allowed: True or False"},
      {"mode=medium", "mode medium is not in the list; allowed: \"fast\", \"slow lane\""},
      {"corner=1.05", "corner 1.05 is not in the list; allowed: 1, 0.9, 1.1"},
      {"fixed=41", "fixed 41 is not the fixed value; allowed: 42"},
      {"zero=1e11", "zero 1e11 is outside the range; allowed: 1e+08 to 1e+10"},
      {"pole=", "pole  is not a Float; allowed: any Float"},
  };
  AmiTree tree;
  ASSERT_TRUE(succeeded(readAmiTree(kEveryFormat, "t.ami", tree)));
  for (const auto& [set, error] : cases) {
    AmiSettings settings;
    EXPECT_EQ(failure(applySetting(tree, set, settings)), error) << set;
    EXPECT_TRUE(settings.empty()) << set;
  }
}

TEST(SweepAxes, EveryValueOfAFiniteFormatOrTheValuesGiven) {
  const std::pair<std::string, std::string> cases[] = {
      {"taps", "3 5 7"},
      {"delay", "0 0.25 0.5 0.75 1 1.25 1.5 1.75 2"},
      {"w", "-1 -0.5 0 0.5 1"},
      {"on", "False True"},
      {"mode", "\"fast\" \"slow lane\""},
      {"corner", "1 0.9 1.1"},
      {"fixed", "42"},
      {"gain=-2:2:0.7", "-2 -1.3 -0.6 0.1 0.8 1.5"},
      {"gain=0.1,1e0", "0.1 1"},
      {"old=0:1:0.1", "0 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.9 1"},
      {"zero",
       "zero (Float, allowed: 1e+08 to 1e+10) needs its values: zero=START:STOP:STEP or "
       "zero=a,b,c"},
      {"pole",
       "pole (Float, allowed: any Float) needs its values: pole=START:STOP:STEP or pole=a,b,c"},
      {"gain=0:1", "expected START:STOP:STEP with START <= STOP and STEP > 0, got '0:1'"},
      {"gain=0:1:0", "expected START:STOP:STEP with START <= STOP and STEP > 0, got '0:1:0'"},
      {"taps=3,4", "taps 4 is not in the list; allowed: 3, 5, 7"},
      {"seen", "seen is not settable (Usage Out); " + kSettable},
  };
  AmiTree tree;
  ASSERT_TRUE(succeeded(readAmiTree(kEveryFormat, "t.ami", tree)));
  for (const auto& [spec, expected] : cases) {
    SweepAxis axis;
    const Status read = readSweepAxis(tree, spec, axis);
    std::string values;
    for (const std::string& value : axis.values)
      values += (values.empty() ? "" : " ") + value;
    EXPECT_EQ(read.ok() ? values : read.message(), expected) << spec;
  }
  AmiTree wide;
  ASSERT_TRUE(succeeded(
      readAmiTree("(W (n (Usage In) (Type Integer) (Range 9007199254740000 9007199254740000 "
                  "9007199254740003)) (big (Usage In) (Type Integer) (Range 0 0 4096)))",
                  "w.ami", wide)));
  SweepAxis axis;
  ASSERT_TRUE(succeeded(readSweepAxis(wide, "n", axis)));
  EXPECT_EQ(axis.values.back(), "9007199254740003");
  EXPECT_EQ(failure(readSweepAxis(wide, "big", axis)), "4097 points; the limit is 4096");
  std::vector<SweepAxis> axes;
  EXPECT_EQ(failure(readSweepAxes(wide, {"n", "big=0:4095:1", "n"}, axes)),
            "--sweep n: n is swept twice");
}

const char* const kIbs = R"([IBIS Ver] 7.1
[Comment Char] #_char
# pipes are no comment now: | is text
[Component] Dual Chip
[Manufacturer] nobody
[Pin] signal_name model_name
A1 TX_P sel
A2 TX_N sel
A3 RX_P rx_only
A4 VDD POWER
[Model Selector] sel
plain    no algorithmic part
tx_fast  the fast one
tx_slow  the slow one
[Model] plain
Model_type Output
[Model] tx_fast
[Algorithmic_Model]
Executable_Rx Linux_gcc_64 other.so other.ami
Executable Windows_VisualStudio_64 fast.dll fast.ami
executable_note this line is for another flow
Executable Linux_gcc_32 fast32.so fast.ami
EXECUTABLE linux_clang_64 fast.so fast.ami # comment
[End_Algorithmic_Model]
[Model] tx_slow
[Algorithmic Model]
Executable Linux_gcc_64 slow.so slow.ami
[End Algorithmic Model]
[Model] rx_only
[Algorithmic Model]
Executable Linux_gcc_64 rx.so rx.ami
[End Algorithmic Model]
[Component] Second
[Pin] signal_name model_name
1 X plain
[End]
this is after the end and not read
)";

TEST(IbsFile, ReachesModelsThroughPinsAndSelectorsAndPicksThePlatform) {
  const struct {
    std::string component, model, os;
    int bits;
    std::string expected;
  } cases[] = {
      {"", "", "Linux", 64, "Dual Chip tx_fast linux_clang_64 fast.so fast.ami line 23"},
      {"Dual Chip", "tx_slow", "Linux", 64,
       "Dual Chip tx_slow Linux_gcc_64 slow.so slow.ami line 27"},
      {"", "rx_only", "linux", 64, "Dual Chip rx_only Linux_gcc_64 rx.so rx.ami line 31"},
      {"", "", "Linux", 32, "Dual Chip tx_fast Linux_gcc_32 fast32.so fast.ami line 22"},
      {"", "", "Windows", 64,
       "Dual Chip tx_fast Windows_VisualStudio_64 fast.dll fast.ami line 20"},
      {"", "", "Windows", 32,
       "k.ibs: model tx_fast has no Executable for Windows 32-bit; it names: "
       "Windows_VisualStudio_64, Linux_gcc_32, linux_clang_64"},
      {"", "plain", "Linux", 64,
       "k.ibs: component Dual Chip has no pin on model plain with an [Algorithmic Model]; those "
       "it has: tx_fast, tx_slow, rx_only"},
      {"Second", "", "Linux", 64,
       "k.ibs: component Second has no pin on any model with an [Algorithmic Model]; those it "
       "has: none"},
      {"Third", "", "Linux", 64, "k.ibs: has no component Third; components: Dual Chip, Second"},
  };
  IbsFile file;
  ASSERT_TRUE(succeeded(readIbsFile(kIbs, "k.ibs", file)));
  EXPECT_EQ(file.version, "7.1");
  for (const auto& c : cases) {
    const IbsComponent* component = nullptr;
    const IbsModel* model = nullptr;
    const IbsExecutable* executable = nullptr;
    Status status = selectAlgorithmicModel(file, "k.ibs", c.component, c.model, component, model);
    if (status.ok())
      status = pickExecutable(*model, "k.ibs", c.os, c.bits, executable);
    const std::string got = status.ok()
                                ? component->name + " " + model->name + " " + executable->platform +
                                      " " + executable->library + " " + executable->amiFile +
                                      " line " + std::to_string(executable->line)
                                : status.message();
    EXPECT_EQ(got, c.expected) << c.component << "/" << c.model << "/" << c.os << c.bits;
  }
}

TEST(IbsFile, LinesOfBlanksOrOnlyACommentHoldNoRecord) {
  const std::string text =
      "[IBIS Ver] 7.1\n[Component] C\n[Pin] signal_name model_name\n \t\n  | pins follow\n"
      "1 P sel\n[Model Selector] sel\n\f\n   | only a note\nm fast\n[Model] m\n"
      "[Algorithmic Model]\n\v \nExecutable Linux_gcc_64 m.so m.ami\n"
      "[End Algorithmic Model]\n";
  IbsFile file;
  ASSERT_TRUE(succeeded(readIbsFile(text, "b.ibs", file)));
  ASSERT_EQ(file.components.size(), 1u);
  EXPECT_EQ(file.components[0].pins.size(), 1u);
  ASSERT_EQ(file.selectors.size(), 1u);
  EXPECT_EQ(file.selectors[0].models, std::vector<std::string>{"m"});
  ASSERT_EQ(file.models.size(), 1u);
  EXPECT_EQ(file.models[0].executables.size(), 1u);
}

TEST(IbsFile, RefusesWhatItNeedsNamingLineAndExpectation) {
  const std::string head = "[IBIS Ver] 7.1\n";
  const std::pair<std::string, std::string> cases[] = {
      {"", "line 1: expected [IBIS Ver] in the file"},
      {"| only a comment\n[Component] C\n", "line 2: expected [IBIS Ver] as the first keyword"},
      {"[IBIS Ver] seven\n", "line 1: expected a version number after [IBIS Ver]"},
      {head + "[Component\n", "line 2: expected ']' closing the keyword"},
      {head + "[Component]\n", "line 2: expected a component name"},
      {head + "[Pin] signal_name model_name\n", "line 2: expected [Component] before this keyword"},
      {head + "[Component] C\n[Pin] signal_name model_name\n1 TXP\n",
       "line 4: expected pin_name signal_name model_name"},
      {head + "[Model]  | no name\n", "line 2: expected a model name"},
      {head + "[Model Selector]\n", "line 2: expected a model selector name"},
      {head + "[Model Selector] \f\v\n", "line 2: expected a model selector name"},
      {head + "[Algorithmic Model]\n", "line 2: expected [Model] before [Algorithmic Model]"},
      {head + "[Model] m\n[Algorithmic Model]\nExecutable Linux_gcc_64 m.so\n",
       "line 4: expected Executable platform_compiler_bits library_file parameter_file"},
      {head + "[Model] m\n[Algorithmic Model]\n[Model] n\n",
       "line 4: expected [End Algorithmic Model] before [Model]"},
      {head + "[Model] m\n\n[Algorithmic Model]\nExecutable Linux_gcc_64 m.so m.ami\n",
       "line 5: expected [End Algorithmic Model] closing the one of line 4 before the end "
       "of the file"},
      {head + "[Comment Char] |\n",
       "line 2: expected a character followed by _char after [Comment Char]"},
  };
  for (const auto& [text, error] : cases) {
    IbsFile file;
    EXPECT_EQ(failure(readIbsFile(text, "k.ibs", file)), "k.ibs: " + error) << text;
  }
}

// Read as a simulator reads them, the shipped files give the host's string for every txi.
TEST(ModelKit, ShippedNorvaskFilesGiveTheHostsParameterStringForEveryTxi) {
  ModelKit kit;
  ASSERT_TRUE(succeeded(
      openModelKit({std::string(NORVASK_SOURCE_DIR) + "/models/norvask.ibs", "", ""}, kit)));
  EXPECT_EQ(kit.component, "Norvask_Tx");
  EXPECT_EQ(kit.model, "norvask_tx");
  EXPECT_EQ(kit.platform, "Linux_gcc_64");
  EXPECT_EQ(kit.libraryPath, std::string(NORVASK_SOURCE_DIR) + "/models/libnorvask.so");
  EXPECT_EQ(kit.amiPath, std::string(NORVASK_SOURCE_DIR) + "/models/Norvask.ami");
  EXPECT_EQ(buildParameterString(kit.tree, {}), norvaskParameters(1, 1.0));
  // Its refusals are the host's, compared in the kit run tests.
  for (const std::string gain : {"1", "0.8", "-2.5"}) {
    for (std::int32_t txi = 0; txi < kTxiSettings; ++txi) {
      AmiSettings settings;
      ASSERT_TRUE(succeeded(applySetting(kit.tree, "txi=" + std::to_string(txi), settings)));
      ASSERT_TRUE(succeeded(applySetting(kit.tree, "OutputGain=" + gain, settings)));
      EXPECT_EQ(buildParameterString(kit.tree, settings), norvaskParameters(txi, std::stod(gain)));
    }
  }
}

TEST(ModelKit, MissingFilesAreNamed) {
  ModelKit kit;
  EXPECT_EQ(failure(openModelKit({"/nonexistent/k.ibs", "", ""}, kit)),
            "/nonexistent/k.ibs: cannot open the file");
  EXPECT_EQ(failure(openModelKit({"/", "", ""}, kit)).substr(0, 3), "/: ");
}

}  // namespace
}  // namespace norvask::host
