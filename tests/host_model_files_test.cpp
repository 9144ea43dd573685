// The files shipped with the library: the .ami parameter file a simulator
// reads, and the .ibs file that names library and parameter file. A simulator
// builds the parameter string from the .ami defaults; with it, AMI_Init must
// find every parameter and report no default setting.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/host/AmiLibrary.h"
#include "tools/host/ModelRun.h"

namespace norvask::host {
namespace {

std::string readModelFile(const std::string& name) {
  std::ifstream file(std::string(NORVASK_SOURCE_DIR) + "/models/" + name);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// Where "(name" opens an entry: the name followed by white space.
std::size_t entryStart(const std::string& text, const std::string& name) {
  for (auto at = text.find("(" + name); at != std::string::npos;
       at = text.find("(" + name, at + 1)) {
    const auto after = at + name.size() + 1;
    if (after < text.size() && std::isspace(static_cast<unsigned char>(text[after])))
      return at;
  }
  return std::string::npos;
}

// The text of the parenthesised entry that opens with "(name", as a
// simulator's parser would isolate it.
std::string entry(const std::string& text, const std::string& name) {
  const auto start = entryStart(text, name);
  if (start == std::string::npos)
    return "";
  int depth = 0;
  bool quoted = false;
  for (auto i = start; i < text.size(); ++i) {
    if (text[i] == '"')
      quoted = !quoted;
    if (quoted)
      continue;
    if (text[i] == '(')
      ++depth;
    if (text[i] == ')' && --depth == 0)
      return text.substr(start, i - start + 1);
  }
  return "";
}

// The value of "(field value)" inside an entry.
std::string field(const std::string& entryText, const std::string& name) {
  const std::string inner = entry(entryText, name);
  return inner.empty() ? "" : inner.substr(name.size() + 2, inner.size() - name.size() - 3);
}

TEST(HostModelFiles, AmiFileDeclaresAStatisticalTxModelWithTwoParameters) {
  const std::string ami = readModelFile("Norvask.ami");
  ASSERT_EQ(ami.rfind("(Norvask", 0), 0u);
  EXPECT_EQ(entry(ami, "Norvask").size(), ami.find_last_of(')') + 1) << "unbalanced parentheses";
  const std::string reserved = entry(ami, "Reserved_Parameters");
  EXPECT_EQ(field(entry(reserved, "Init_Returns_Impulse"), "Value"), "True");
  EXPECT_EQ(field(entry(reserved, "GetWave_Exists"), "Value"), "False");
  EXPECT_NE(field(entry(reserved, "AMI_Version"), "Value"), "");

  const std::string specific = entry(ami, "Model_Specific");
  const std::string gain = entry(specific, "OutputGain");
  EXPECT_EQ(field(gain, "Usage"), "In");
  EXPECT_EQ(field(gain, "Type"), "Float");
  const std::string txi = entry(specific, "txi");
  EXPECT_EQ(field(txi, "Usage"), "In");
  EXPECT_EQ(field(txi, "Type"), "Integer");
  EXPECT_EQ(field(txi, "Range"), "1 0 15");
  EXPECT_NE(field(gain, "Description"), "");
  EXPECT_NE(field(txi, "Description"), "");

  // The string a simulator passes when the user changes nothing.
  const std::string defaults =
      "(Norvask (OutputGain " + field(gain, "Default") + ")(txi " + field(txi, "Default") + "))";
  EXPECT_EQ(defaults, "(Norvask (OutputGain 1)(txi 1))");
}

TEST(HostModelFiles, AmiDefaultsThroughAmiInitGiveNoDefaultSettingMessages) {
  AmiLibrary library;
  std::string error;
  ASSERT_TRUE(library.Load(NORVASK_LIBRARY_PATH, error)) << error;
  LinkTiming timing;
  timing.BitRate = 1e10;
  timing.SamplesPerBit = 16;
  ChannelSet unitChannel;
  unitChannel.channel = {1.0 / timing.sampleInterval()};
  unitChannel.aggressors = {{0.25 / timing.sampleInterval()}};

  const ModelRun run = runThroughModel(library, unitChannel, timing, kDefaultTailTime,
                                       "(Norvask (OutputGain 1)(txi 1))");
  EXPECT_EQ(run.call.initResult, 1);
  EXPECT_EQ(run.call.closeResult, 1);
  EXPECT_EQ(run.call.message, "");

  // What a missing parameter looks like, so the check above can fail.
  const ModelRun partial =
      runThroughModel(library, unitChannel, timing, kDefaultTailTime, "(Norvask (txi 1))");
  EXPECT_EQ(partial.call.message,
            "The IBIS-AMI model, Norvask, is unable to initialize the parameter OutputGain from "
            "the AMI_Init arguments.The model will use the default setting = 1.\n");

  // txi 1 is step response 2, whose final value is 0.4292749577: a unit-area
  // channel comes back with that area, the aggressor with a quarter of it.
  double channelArea = 0.0;
  double aggressorArea = 0.0;
  for (long r = 0; r < run.rows; ++r) {
    channelArea += run.columns[0][static_cast<std::size_t>(r)] * timing.sampleInterval();
    aggressorArea += run.columns[1][static_cast<std::size_t>(r)] * timing.sampleInterval();
  }
  EXPECT_NEAR(channelArea, 0.4292749577, 1e-6);
  EXPECT_NEAR(aggressorArea, 0.25 * 0.4292749577, 1e-6);
}

TEST(HostModelFiles, IbisFileNamesLibraryAndParameterFileForBothPlatforms) {
  const std::string ibs = readModelFile("norvask.ibs");
  EXPECT_NE(ibs.find("[IBIS Ver]      7.1"), std::string::npos);
  EXPECT_NE(ibs.find("[File Name]     norvask.ibs"), std::string::npos);
  const auto begin = ibs.find("[Algorithmic Model]");
  const auto end = ibs.find("[End Algorithmic Model]");
  ASSERT_NE(begin, std::string::npos);
  ASSERT_NE(end, std::string::npos);
  std::istringstream block(ibs.substr(begin, end - begin));
  std::string line;
  std::vector<std::string> executables;
  while (std::getline(block, line)) {
    std::istringstream words(line);
    std::string keyword, platform, library, parameters;
    if (words >> keyword >> platform >> library >> parameters && keyword == "Executable") {
      executables.push_back(platform + " " + library + " " + parameters);
    }
  }
  EXPECT_EQ(executables,
            (std::vector<std::string>{"Linux_gcc_64 libnorvask.so Norvask.ami",
                                      "Windows_VisualStudio_64 norvask.dll Norvask.ami"}));
  // IBIS keeps lines to 80 characters for the widest range of tools.
  std::istringstream all(ibs);
  int number = 0;
  while (std::getline(all, line)) {
    ++number;
    EXPECT_LE(line.size(), 80u) << "line " << number;
  }
}

}  // namespace
}  // namespace norvask::host
