// The AMI_Init parameter string a simulator builds from an .ami tree: the
// root, then every settable parameter (In or InOut) at its set or default
// value, in the tree's order and nesting. Reserved parameters stay out, and
// Model_Specific is the root's own level, not a branch of the string.
#ifndef NORVASK_HOST_KIT_PARAMETERSTRING_H_
#define NORVASK_HOST_KIT_PARAMETERSTRING_H_

#include <map>
#include <string>

#include "host/base/Status.h"
#include "host/kit/AmiTree.h"

namespace norvask::host {

// The values set by the user, by parameter name, as the string writes them.
using AmiSettings = std::map<std::string, std::string>;

// Reads "NAME=VALUE", checks it against the tree's settable parameter NAME
// and records it. A refusal says what is wrong and what is allowed.
Status applySetting(const AmiTree& tree, const std::string& assignment, AmiSettings& settings);

// The settable parameter called `name`; a failure says whether the tree
// has it at all and lists the settable ones.
Status lookUpSettable(const AmiTree& tree, const std::string& name, const AmiParameter*& parameter);

// The settable parameter called `name`, or nullptr.
const AmiParameter* findSettable(const AmiTree& tree, const std::string& name);

// "(Root (a 1)(b (c 2)))"; "(Root)" when nothing is settable.
std::string buildParameterString(const AmiTree& tree, const AmiSettings& settings);

}  // namespace norvask::host

#endif  // NORVASK_HOST_KIT_PARAMETERSTRING_H_
