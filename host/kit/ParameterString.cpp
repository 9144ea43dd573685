#include "host/kit/ParameterString.h"

#include "host/kit/AmiValue.h"

namespace norvask::host {

namespace {

std::string entriesText(const std::vector<AmiEntry>& entries, const AmiSettings& settings);

std::string entryText(const AmiEntry& entry, const AmiSettings& settings) {
  if (!entry.branch) {
    const AmiParameter& parameter = entry.parameter;
    if (!parameter.settable())
      return "";
    const auto set = settings.find(parameter.name);
    const std::string value =
        set != settings.end() ? set->second : writtenValue(parameter, parameter.defaultValue);
    return "(" + parameter.name + " " + value + ")";
  }
  if (entry.name == "Reserved_Parameters")
    return "";
  const std::string inner = entriesText(entry.children, settings);
  if (entry.name == "Model_Specific" || inner.empty())
    return inner;
  return "(" + entry.name + " " + inner + ")";
}

std::string entriesText(const std::vector<AmiEntry>& entries, const AmiSettings& settings) {
  std::string text;
  for (const AmiEntry& entry : entries)
    text += entryText(entry, settings);
  return text;
}

std::string settableNames(const AmiTree& tree) {
  std::string names;
  for (const AmiParameter* parameter : amiParameters(tree)) {
    if (parameter->settable())
      names += (names.empty() ? "" : ", ") + parameter->name;
  }
  return names.empty() ? "none" : names;
}

}  // namespace

const AmiParameter* findSettable(const AmiTree& tree, const std::string& name) {
  for (const AmiParameter* parameter : amiParameters(tree)) {
    if (parameter->name == name && parameter->settable())
      return parameter;
  }
  return nullptr;
}

Status lookUpSettable(const AmiTree& tree, const std::string& name,
                      const AmiParameter*& parameter) {
  parameter = findSettable(tree, name);
  if (parameter != nullptr)
    return Status::Ok();
  for (const AmiParameter* other : amiParameters(tree)) {
    if (other->name == name)
      return Status::Error(name + " is not settable (" + (other->reserved ? "reserved, " : "") +
                           "Usage " + usageName(other->usage) +
                           "); settable: " + settableNames(tree));
  }
  return Status::Error(tree.root + " has no parameter " + name +
                       "; settable: " + settableNames(tree));
}

Status applySetting(const AmiTree& tree, const std::string& assignment, AmiSettings& settings) {
  const auto equals = assignment.find('=');
  if (equals == std::string::npos || equals == 0)
    return Status::Error("expected NAME=VALUE, got '" + assignment + "'");
  const std::string name = assignment.substr(0, equals);
  const AmiParameter* parameter = nullptr;
  std::string written;
  Status checked = lookUpSettable(tree, name, parameter);
  if (checked.ok())
    checked = checkSetting(*parameter, assignment.substr(equals + 1), written);
  if (checked.ok())
    settings[name] = written;
  return checked;
}

std::string buildParameterString(const AmiTree& tree, const AmiSettings& settings) {
  const std::string inner = entriesText(tree.entries, settings);
  return "(" + tree.root + (inner.empty() ? "" : " " + inner) + ")";
}

}  // namespace norvask::host
