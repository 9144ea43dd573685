// The files shipped beside the library, read as a simulator's parser and an
// IBIS checker read them: the .ami parameter tree, the .ibs keywords, tables
// and [Ramp], and the usage note's table of what each txi gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "data/StepResponseTable.h"
#include "support/ScratchFiles.h"

namespace {

// A file shipped beside the library.
std::string slurp(const std::string& name) {
  return norvask::testing::slurp(std::string(NORVASK_SOURCE_DIR) + "/models/" + name);
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// ---- .ami: a tree of parenthesised lists ----

struct AmiNode {
  std::string name;
  std::vector<std::string> atoms;  // words and quoted strings after the name
  std::vector<AmiNode> children;
};

// Parses the list that starts at text[pos] == '('; sets `error` on bad nesting.
AmiNode parseList(const std::string& text, std::size_t& pos, std::string& error) {
  AmiNode node;
  ++pos;
  while (pos < text.size() && text[pos] != ')') {
    const char c = text[pos];
    if (c == '(') {
      node.children.push_back(parseList(text, pos, error));
    } else if (c == '"') {
      const std::size_t end = text.find('"', pos + 1);
      node.atoms.push_back(text.substr(pos + 1, end - pos - 1));
      pos = end == std::string::npos ? text.size() : end + 1;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      ++pos;
    } else {
      const std::size_t end = text.find_first_of("() \t\r\n\"", pos);
      const std::string word = text.substr(pos, end - pos);
      if (node.name.empty())
        node.name = word;
      else
        node.atoms.push_back(word);
      pos = end;
    }
  }
  if (pos >= text.size())
    error = "list " + node.name + " is never closed";
  ++pos;
  return node;
}

const AmiNode* child(const AmiNode& node, const std::string& name) {
  for (const AmiNode& c : node.children)
    if (c.name == name)
      return &c;
  return nullptr;
}

void collectDescriptions(const AmiNode& node, std::vector<std::string>& out) {
  if (node.name == "Description" && !node.atoms.empty())
    out.push_back(node.atoms[0]);
  for (const AmiNode& c : node.children)
    collectDescriptions(c, out);
}

// Balanced, with the reserved parameters and model parameters at their values and defaults, a
// format for every model parameter, and descriptions short enough for a parameter dialog.
TEST(AmiFile, ReservedParametersFormatsAndDescriptions) {
  const std::string text = slurp("Norvask.ami");
  std::size_t pos = text.find('(');
  std::string error;
  const AmiNode root = parseList(text, pos, error);
  EXPECT_EQ(error, "");
  EXPECT_EQ(text.find_first_not_of(" \r\n", pos), std::string::npos) << "text after the root list";
  EXPECT_EQ(root.name, "Norvask");
  ASSERT_NE(child(root, "Reserved_Parameters"), nullptr);
  const AmiNode* specific = child(root, "Model_Specific");
  ASSERT_NE(specific, nullptr);
  for (const AmiNode& parameter : specific->children) {  // Usage and Type: the table below
    int formats = 0;
    for (const char* format : {"Value", "Range", "List", "Increment", "Steps", "Corner", "Table"})
      formats += child(parameter, format) != nullptr;
    EXPECT_EQ(formats, 1) << parameter.name;
  }
  // {group, parameter, entry, its words}: what a simulator shows and passes.
  const std::tuple<const char*, const char*, const char*, std::vector<std::string>> entries[] = {
      {"Reserved_Parameters", "AMI_Version", "Value", {"7.1"}},
      {"Reserved_Parameters", "Init_Returns_Impulse", "Value", {"True"}},
      {"Reserved_Parameters", "GetWave_Exists", "Value", {"False"}},
      {"Reserved_Parameters", "Modulation", "Value", {"NRZ"}},
      {"Reserved_Parameters", "Max_Init_Aggressors", "Value", {"64"}},
      {"Reserved_Parameters", "Ignore_Bits", "Value", {"0"}},
      {"Reserved_Parameters", "Resolve_Exists", "Value", {"False"}},
      {"Model_Specific", "OutputGain", "Usage", {"In"}},
      {"Model_Specific", "OutputGain", "Type", {"Float"}},
      {"Model_Specific", "OutputGain", "Range", {"1", "-10", "10"}},
      {"Model_Specific", "OutputGain", "Default", {"1"}},
      {"Model_Specific", "txi", "Usage", {"In"}},
      {"Model_Specific", "txi", "Type", {"Integer"}},
      {"Model_Specific", "txi", "Range", {"1", "0", "15"}},
      {"Model_Specific", "txi", "Default", {"1"}}};
  for (const auto& [group, name, entry, words] : entries) {
    const AmiNode* parameter = child(*child(root, group), name);
    ASSERT_NE(parameter, nullptr) << name;
    const AmiNode* found = child(*parameter, entry);
    ASSERT_NE(found, nullptr) << name << " " << entry;
    EXPECT_EQ(found->atoms, words) << name << " " << entry;
  }
  EXPECT_EQ(specific->children.size(), 2u);
  std::vector<std::string> descriptions;
  collectDescriptions(root, descriptions);
  EXPECT_EQ(descriptions.size(), 10u);
  for (const std::string& description : descriptions)
    EXPECT_LE(description.size(), 120u) << description;
}

// ---- .ibs: keywords, tables and [Ramp] ----

const std::vector<std::string>& ibsLines() {
  static const std::vector<std::string> lines = linesOf(slurp("norvask.ibs"));
  return lines;
}

// The lines of a keyword's section, up to the next keyword, without comments.
std::vector<std::string> section(const std::string& keyword) {
  std::vector<std::string> body;
  bool inside = false;
  for (const std::string& line : ibsLines()) {
    if (line.rfind('[', 0) == 0) {
      if (inside)
        break;
      inside = line.rfind(keyword, 0) == 0;
      if (inside)
        body.push_back(line.substr(keyword.size()));
    } else if (inside && !line.empty() && line[0] != '|') {
      body.push_back(line);
    }
  }
  return body;
}

std::vector<std::string> words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> out;
  for (std::string word; in >> word;)
    out.push_back(word);
  return out;
}

// An IBIS number: a decimal with an optional scale letter and unit ("22.2mA").
double ibisNumber(const std::string& text) {
  char* rest = nullptr;
  const double value = std::strtod(text.c_str(), &rest);
  static const std::map<char, double> scale{{'k', 1e3},  {'m', 1e-3},  {'u', 1e-6},
                                            {'n', 1e-9}, {'p', 1e-12}, {'f', 1e-15}};
  const auto found = scale.find(*rest);
  return found == scale.end() ? value : value * found->second;
}

// A table of voltage and typ/min/max currents, rows in increasing voltage.
using IvTable = std::vector<std::vector<double>>;

IvTable ivTable(const std::string& keyword) {
  IvTable rows;
  for (const std::string& line : section(keyword)) {
    const auto fields = words(line);
    if (fields.size() == 4) {
      rows.emplace_back();
      for (const auto& field : fields)
        rows.back().push_back(ibisNumber(field));
    }
  }
  return rows;
}

// Current of `table` at `voltage` in corner column 1 (typ), 2 (min) or 3 (max).
double current(const IvTable& table, double voltage, int corner) {
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (voltage <= table[i][0] || i + 1 == table.size()) {
      const double t = (voltage - table[i - 1][0]) / (table[i][0] - table[i - 1][0]);
      return table[i - 1][corner] + t * (table[i][corner] - table[i - 1][corner]);
    }
  }
  return 0.0;
}

// The pin voltage in [0, vcc] where `balance` changes sign (bisection).
template <typename Balance>
double solvePin(double vcc, Balance balance) {
  double low = 0.0, high = vcc;
  for (int i = 0; i < 100; ++i) {
    const double mid = (low + high) / 2;
    (balance(mid) * balance(low) > 0 ? low : high) = mid;
  }
  return (low + high) / 2;
}

// Short lines without tabs, the required keywords in order, its own file
// name, and executables that the kit ships.
TEST(IbsFile, LinesKeywordsFileNameAndExecutables) {
  std::vector<std::string> keywords;
  for (const std::string& line : ibsLines()) {
    EXPECT_LE(line.size(), 120u) << line;
    EXPECT_EQ(line.find('\t'), std::string::npos) << line;
    if (line.rfind('[', 0) == 0)
      keywords.push_back(line.substr(0, line.find(']') + 1));
  }
  ASSERT_FALSE(keywords.empty());
  EXPECT_EQ(keywords.front(), "[IBIS Ver]");
  EXPECT_EQ(keywords.back(), "[End]");
  for (const char* required :
       {"[File Name]", "[File Rev]", "[Component]", "[Manufacturer]", "[Package]", "[Pin]",
        "[Model]", "[Voltage Range]", "[Pulldown]", "[Pullup]", "[Ramp]", "[Algorithmic Model]",
        "[End Algorithmic Model]"})
    EXPECT_NE(std::find(keywords.begin(), keywords.end(), required), keywords.end()) << required;
  EXPECT_EQ(words(section("[File Name]").at(0)), std::vector<std::string>{"norvask.ibs"});
  const std::string kit = std::string(",") + NORVASK_KIT_FILES + ",";
  int executables = 0;
  for (const std::string& line : section("[Algorithmic Model]")) {
    const auto fields = words(line);
    if (fields.empty() || fields[0] != "Executable")
      continue;
    ++executables;
    ASSERT_EQ(fields.size(), 4u) << line;
    EXPECT_NE(kit.find("," + fields[2] + ","), std::string::npos) << fields[2];
    EXPECT_NE(kit.find("," + fields[3] + ","), std::string::npos) << fields[3];
  }
  EXPECT_EQ(executables, 2);
}

TEST(IbsFile, IvTablesSpanMinusVccToTwiceVccAtEveryCorner) {
  const auto supply = words(section("[Voltage Range]").at(0));
  const double highest =
      std::max({ibisNumber(supply[0]), ibisNumber(supply[1]), ibisNumber(supply[2])});
  EXPECT_DOUBLE_EQ(highest, 1.05);
  for (const char* keyword : {"[Pulldown]", "[Pullup]"}) {
    const IvTable table = ivTable(keyword);
    ASSERT_GE(table.size(), 2u) << keyword;
    EXPECT_LE(table.front()[0], -highest) << keyword;
    EXPECT_GE(table.back()[0], 2 * highest) << keyword;
  }
}

// 20 % to 80 % of the swing into R_load: to ground for the rising edge (from
// 0 V to where the pullup meets the load), to Vcc for the falling one.
TEST(IbsFile, RampAgreesWithTheIvTablesIntoRload) {
  const auto supply = words(section("[Voltage Range]").at(0));
  const IvTable pullup = ivTable("[Pullup]");
  const IvTable pulldown = ivTable("[Pulldown]");
  std::map<std::string, std::vector<std::string>> ramp;
  double load = 50.0;
  for (const std::string& line : section("[Ramp]")) {
    const auto fields = words(line);
    if (fields.size() == 4)
      ramp[fields[0]] = fields;
    if (line.rfind("R_load", 0) == 0)
      load = ibisNumber(line.substr(line.find('=') + 1));
  }
  for (int corner = 1; corner <= 3; ++corner) {
    const double vcc = ibisNumber(supply[corner - 1]);
    const double high =
        solvePin(vcc, [&](double v) { return current(pullup, vcc - v, corner) + v / load; });
    const double low =
        solvePin(vcc, [&](double v) { return current(pulldown, v, corner) - (vcc - v) / load; });
    const double rising = ibisNumber(ramp.at("dV/dt_r")[corner]);
    const double falling = ibisNumber(ramp.at("dV/dt_f")[corner]);
    EXPECT_NEAR(rising, 0.6 * high, 0.01 * rising) << "corner " << corner;
    EXPECT_NEAR(falling, 0.6 * (vcc - low), 0.01 * falling) << "corner " << corner;
  }
}

// ---- the usage note: final value and 10-90 % rise time of every txi ----

double sample(int row, int txi) {
  return norvask::StepResponseTable[norvask::kStepResponseColumns * row + txi + 1];
}

// Time in ps (1 ps rows) where the response first reaches `level`, linearly
// interpolated between rows.
double firstCrossing(int txi, double level) {
  for (int row = 1; row < norvask::kStepResponseRows; ++row)
    if (sample(row, txi) >= level)
      return row - 1 + (level - sample(row - 1, txi)) / (sample(row, txi) - sample(row - 1, txi));
  return -1.0;
}

TEST(UsageNote, StatesTheMeasuredSwingAndEdgeOfEveryTxi) {
  const std::string note = slurp("USAGE.txt");
  for (int txi = 0; txi < norvask::kNumStepResponses; ++txi) {
    const double final = sample(norvask::kStepResponseRows - 1, txi);
    const double rise = firstCrossing(txi, 0.9 * final) - firstCrossing(txi, 0.1 * final);
    char row[64];
    std::snprintf(row, sizeof row, "\n  %2d     %.3f          %3.0f ps\n", txi, final, rise);
    EXPECT_NE(note.find(row), std::string::npos) << "missing row:" << row;
  }
}

TEST(UsageNote, StatesTheDriversLatencyAndTheBitRatesItsEdgeServes) {
  const std::string note = slurp("USAGE.txt");
  double first10 = 1e9, last10 = 0, first50 = 1e9, last50 = 0, slowest = 0, fastest = 1e9;
  for (int txi = 0; txi < norvask::kNumStepResponses; ++txi) {
    const double final = sample(norvask::kStepResponseRows - 1, txi);
    const double at10 = firstCrossing(txi, 0.1 * final), at50 = firstCrossing(txi, 0.5 * final);
    const double rise = firstCrossing(txi, 0.9 * final) - at10;
    first10 = std::min(first10, at10), last10 = std::max(last10, at10);
    first50 = std::min(first50, at50), last50 = std::max(last50, at50);
    slowest = std::max(slowest, rise), fastest = std::min(fastest, rise);
  }
  char text[4][64];
  std::snprintf(text[0], sizeof text[0], "%.0f to %.0f ps after the step", first10, last10);
  std::snprintf(text[1], sizeof text[1], "%.0f to %.0f ps", first50, last50);
  // One unit interval per 10-90 % rise: the bit rate is 1 / rise.
  std::snprintf(text[2], sizeof text[2], "up to %.2f Gb/s for every txi", 1e3 / slowest);
  std::snprintf(text[3], sizeof text[3], "up to %.2f Gb/s for txi 15", 1e3 / fastest);
  std::string flat = note;
  for (std::size_t at = flat.find("\n  "); at != std::string::npos; at = flat.find("\n  ", at))
    flat.replace(at, 3, " ");
  for (const char* part : text)
    EXPECT_NE(flat.find(part), std::string::npos) << part;
  // The grid limit: two samples within the 2240 rows of 1 ps.
  EXPECT_NE(flat.find("intervals up to 1.1195 ns"), std::string::npos);
  EXPECT_DOUBLE_EQ((norvask::kStepResponseRows - 1) * 1e-12 / 2, 1.1195e-9);
}

}  // namespace
