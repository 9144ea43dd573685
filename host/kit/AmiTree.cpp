#include "host/kit/AmiTree.h"

#include <array>
#include <utility>

#include "host/kit/AmiExpression.h"
#include "host/kit/AmiValue.h"

namespace norvask::host {

namespace {

const std::array<std::pair<AmiUsage, const char*>, 4> kUsages{{{AmiUsage::kIn, "In"},
                                                               {AmiUsage::kOut, "Out"},
                                                               {AmiUsage::kInOut, "InOut"},
                                                               {AmiUsage::kInfo, "Info"}}};
const std::array<std::pair<AmiType, const char*>, 6> kTypes{{{AmiType::kFloat, "Float"},
                                                             {AmiType::kInteger, "Integer"},
                                                             {AmiType::kUi, "UI"},
                                                             {AmiType::kTap, "Tap"},
                                                             {AmiType::kBoolean, "Boolean"},
                                                             {AmiType::kString, "String"}}};
const std::array<std::pair<AmiFormat, const char*>, 6> kFormats{
    {{AmiFormat::kValue, "Value"},
     {AmiFormat::kRange, "Range"},
     {AmiFormat::kList, "List"},
     {AmiFormat::kCorner, "Corner"},
     {AmiFormat::kIncrement, "Increment"},
     {AmiFormat::kSteps, "Steps"}}};

template <typename Enum, std::size_t N>
bool lookUp(const std::array<std::pair<Enum, const char*>, N>& names, const std::string& text,
            Enum& value) {
  for (const auto& [candidate, name] : names) {
    if (text == name) {
      value = candidate;
      return true;
    }
  }
  return false;
}

template <typename Enum, std::size_t N>
std::string nameOf(const std::array<std::pair<Enum, const char*>, N>& names, Enum value) {
  for (const auto& [candidate, name] : names) {
    if (candidate == value)
      return name;
  }
  return "";
}

// The value counts a format takes: at least, at most.
std::pair<std::size_t, std::size_t> valueCount(AmiFormat format) {
  switch (format) {
    case AmiFormat::kValue:
      return {1, 1};
    case AmiFormat::kRange:
      return {3, 3};
    case AmiFormat::kCorner:
      return {3, 4};
    case AmiFormat::kIncrement:
    case AmiFormat::kSteps:
      return {4, 4};
    default:
      return {1, static_cast<std::size_t>(-1)};
  }
}

class TreeReader {
 public:
  explicit TreeReader(const std::string& fileName) : fileName_(fileName) {}

  Status ReadRoot(const AmiExpression& root, AmiTree& tree) const {
    tree.root = root.text;
    AmiEntry top;
    top.name = root.text;
    if (Status read = ReadChildren(root, false, top); !read.ok())
      return read;
    tree.description = top.description;
    tree.entries = std::move(top.children);
    return Status::Ok();
  }

 private:
  Status Expected(long line, const std::string& what) const {
    return Status::Error(fileName_ + ": line " + std::to_string(line) + ": expected " + what);
  }

  static bool IsParameter(const AmiExpression& list) {
    for (const AmiExpression& item : list.items) {
      if (item.list && (item.text == "Usage" || item.text == "Type"))
        return true;
    }
    return false;
  }

  Status ReadChildren(const AmiExpression& list, bool reserved, AmiEntry& branch) const {
    for (const AmiExpression& item : list.items) {
      if (!item.list)
        return Expected(item.line, "a parameter or branch in parentheses in " + list.text +
                                       ", found '" + item.text + "'");
      if (item.text == "Description") {
        branch.description = JoinAtoms(item);
        continue;
      }
      branch.children.emplace_back();
      AmiEntry& entry = branch.children.back();
      entry.name = item.text;
      entry.line = item.line;
      const bool underReserved = reserved || item.text == "Reserved_Parameters";
      entry.branch = !IsParameter(item);
      Status read = entry.branch ? ReadChildren(item, underReserved, entry)
                                 : ReadParameter(item, underReserved, entry.parameter);
      if (!read.ok())
        return read;
      entry.description = entry.branch ? entry.description : entry.parameter.description;
    }
    return Status::Ok();
  }

  static std::string JoinAtoms(const AmiExpression& list) {
    std::string text;
    for (const AmiExpression& item : list.items) {
      if (!item.list)
        text += (text.empty() ? "" : " ") + item.text;
    }
    return text;
  }

  // The atoms of `list`; false when it holds a list.
  static bool Atoms(const AmiExpression& list, std::vector<std::string>& atoms) {
    atoms.clear();
    for (const AmiExpression& item : list.items) {
      if (item.list)
        return false;
      atoms.push_back(item.text);
    }
    return true;
  }

  Status ReadParameter(const AmiExpression& list, bool reserved, AmiParameter& parameter) const {
    parameter.name = list.text;
    parameter.line = list.line;
    parameter.reserved = reserved;
    bool hasUsage = false, hasType = false;
    for (const AmiExpression& item : list.items) {
      Status read = ReadProperty(item, parameter, hasUsage, hasType);
      if (!read.ok())
        return read;
    }
    if (!hasUsage)
      return Expected(list.line, "(Usage In|Out|InOut|Info) in parameter " + list.text);
    if (!hasType)
      return Expected(list.line,
                      "(Type Float|Integer|UI|Tap|Boolean|String) in parameter " + list.text);
    return CheckValues(parameter);
  }

  Status ReadProperty(const AmiExpression& item, AmiParameter& parameter, bool& hasUsage,
                      bool& hasType) const {
    const std::string where = " in parameter " + parameter.name;
    std::vector<std::string> atoms;
    if (!item.list || !Atoms(item, atoms))
      return Expected(item.line, "(Keyword values...)" + where);
    if (item.text == "Usage") {
      hasUsage = atoms.size() == 1 && lookUp(kUsages, atoms[0], parameter.usage);
      return hasUsage ? Status::Ok() : Expected(item.line, "Usage In, Out, InOut or Info" + where);
    }
    if (item.text == "Type") {
      hasType = atoms.size() == 1 && lookUp(kTypes, atoms[0], parameter.type);
      return hasType
                 ? Status::Ok()
                 : Expected(item.line, "Type Float, Integer, UI, Tap, Boolean or String" + where);
    }
    if (item.text == "Format" && !atoms.empty()) {
      const std::string format = atoms[0];
      atoms.erase(atoms.begin());
      return ReadFormat(item.line, format, atoms, parameter);
    }
    AmiFormat format = AmiFormat::kNone;
    if (lookUp(kFormats, item.text, format))
      return ReadFormat(item.line, item.text, atoms, parameter);
    return ReadOther(item, atoms, parameter);
  }

  Status ReadFormat(long line, const std::string& name, const std::vector<std::string>& atoms,
                    AmiParameter& parameter) const {
    const std::string where = " in parameter " + parameter.name;
    if (parameter.format != AmiFormat::kNone)
      return Expected(line, "one format (Value, Range, List, Corner, Increment, Steps)" + where);
    if (!lookUp(kFormats, name, parameter.format))
      return Expected(line, "a format Value, Range, List, Corner, Increment or Steps" + where);
    const auto [least, most] = valueCount(parameter.format);
    if (atoms.size() < least || atoms.size() > most) {
      const std::string count = least == most ? std::to_string(least)
                                : most == static_cast<std::size_t>(-1)
                                    ? "at least " + std::to_string(least)
                                    : std::to_string(least) + " or " + std::to_string(most);
      return Expected(line, count + " values after " + name + where);
    }
    parameter.values = atoms;
    return Status::Ok();
  }

  Status ReadOther(const AmiExpression& item, const std::vector<std::string>& atoms,
                   AmiParameter& parameter) const {
    const std::string where = " in parameter " + parameter.name;
    if (item.text == "Default") {
      if (atoms.size() != 1)
        return Expected(item.line, "one value after Default" + where);
      parameter.defaultValue = atoms[0];
      parameter.hasDefault = true;
    } else if (item.text == "List_Tip") {
      parameter.listTips = atoms;
    } else if (item.text == "Description") {
      parameter.description = JoinAtoms(item);
    }
    // Anything else (Label, a newer keyword) is the simulator's business.
    return Status::Ok();
  }

  Status CheckValues(AmiParameter& parameter) const {
    const std::string where = " in parameter " + parameter.name;
    for (const std::string& value : parameter.values) {
      if (!fitsType(parameter.type, value))
        return Expected(parameter.line,
                        typeName(parameter.type) + " values, found '" + value + "'" + where);
    }
    if (Status ordered = checkFormatValues(parameter); !ordered.ok())
      return Expected(parameter.line, ordered.message() + where);
    if (!parameter.listTips.empty() && parameter.listTips.size() != parameter.values.size())
      return Expected(parameter.line, "one List_Tip per List value" + where);
    if (!parameter.hasDefault && !parameter.values.empty()) {
      parameter.defaultValue = parameter.values[0];
      parameter.hasDefault = true;
    }
    if (parameter.hasDefault && !parameter.values.empty() &&
        !allows(parameter, parameter.defaultValue))
      return Expected(parameter.line, "a Default among the allowed values (" +
                                          allowedValues(parameter) + "), found '" +
                                          parameter.defaultValue + "'" + where);
    if (parameter.settable() && !parameter.hasDefault)
      return Expected(parameter.line, "a Default or a format giving one" + where);
    return Status::Ok();
  }

  const std::string& fileName_;
};

void collect(const std::vector<AmiEntry>& entries, std::vector<const AmiParameter*>& parameters) {
  for (const AmiEntry& entry : entries) {
    if (entry.branch)
      collect(entry.children, parameters);
    else
      parameters.push_back(&entry.parameter);
  }
}

}  // namespace

bool AmiParameter::settable() const {
  return !reserved && (usage == AmiUsage::kIn || usage == AmiUsage::kInOut);
}

Status readAmiTree(const std::string& text, const std::string& fileName, AmiTree& tree) {
  tree = AmiTree{};
  AmiExpression root;
  if (Status read = readAmiExpression(text, fileName, root); !read.ok())
    return read;
  return TreeReader(fileName).ReadRoot(root, tree);
}

std::vector<const AmiParameter*> amiParameters(const AmiTree& tree) {
  std::vector<const AmiParameter*> parameters;
  collect(tree.entries, parameters);
  return parameters;
}

bool returnsImpulse(const AmiTree& tree) {
  for (const AmiParameter* parameter : amiParameters(tree)) {
    if (parameter->reserved && parameter->name == "Init_Returns_Impulse")
      return parameter->defaultValue == "True";
  }
  return false;
}

std::string usageName(AmiUsage usage) {
  return nameOf(kUsages, usage);
}

std::string typeName(AmiType type) {
  return nameOf(kTypes, type);
}

std::string formatName(AmiFormat format) {
  return format == AmiFormat::kNone ? "none" : nameOf(kFormats, format);
}

}  // namespace norvask::host
