// The parameter tree of an .ami file: the model's root name, its branches in
// file order, and every parameter with its usage, type, format and default.
// Reserved_Parameters holds what the model declares to the simulator (its
// flow, its version); Model_Specific and any other branch hold what the user
// may set. Nothing here knows a particular model.
#ifndef NORVASK_HOST_KIT_AMITREE_H_
#define NORVASK_HOST_KIT_AMITREE_H_

#include <string>
#include <vector>

#include "host/base/Status.h"

namespace norvask::host {

enum class AmiUsage { kIn, kOut, kInOut, kInfo };
enum class AmiType { kFloat, kInteger, kUi, kTap, kBoolean, kString };
enum class AmiFormat { kNone, kValue, kRange, kList, kCorner, kIncrement, kSteps };

struct AmiParameter {
  std::string name;
  long line = 0;
  AmiUsage usage = AmiUsage::kInfo;
  AmiType type = AmiType::kString;
  AmiFormat format = AmiFormat::kNone;
  std::vector<std::string> values;  // the format's values in file order, strings unquoted
  std::string defaultValue;         // the Default, else the format's first (typical) value
  bool hasDefault = false;          // a Default or a format gave defaultValue
  std::vector<std::string> listTips;
  std::string description;
  bool reserved = false;  // under Reserved_Parameters

  // In or InOut, and not reserved: the user sets it and it goes into the
  // parameter string.
  bool settable() const;
};

// A branch holds entries; a leaf holds one parameter.
struct AmiEntry {
  std::string name;
  long line = 0;
  bool branch = false;
  AmiParameter parameter;  // a leaf's
  std::string description;
  std::vector<AmiEntry> children;  // a branch's
};

struct AmiTree {
  std::string root;
  std::string description;
  std::vector<AmiEntry> entries;
};

// Reads an .ami file's text. A failure reads "<fileName>: line N: expected
// ..." and names the parameter it was reading.
Status readAmiTree(const std::string& text, const std::string& fileName, AmiTree& tree);

// Every parameter of the tree, depth first in file order.
std::vector<const AmiParameter*> amiParameters(const AmiTree& tree);

// Whether the model declares Init_Returns_Impulse True: its AMI_Init returns
// the impulse matrix it filtered.
bool returnsImpulse(const AmiTree& tree);

// "In", "Float", "Range" as the file writes them.
std::string usageName(AmiUsage usage);
std::string typeName(AmiType type);
std::string formatName(AmiFormat format);

}  // namespace norvask::host

#endif  // NORVASK_HOST_KIT_AMITREE_H_
