// Feeds arbitrary bytes to the .ami reader as a parameter tree, and whatever
// tree it accepts to everything the host does with one: the parameter string
// at the defaults, a --set of every settable parameter with a value taken
// from the input, and the sweep axes of every settable parameter.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/kit/AmiTree.h"
#include "host/kit/ParameterString.h"
#include "host/kit/SweepAxes.h"

namespace {

using namespace norvask::host;

void useTree(const AmiTree& tree, const std::string& text) {
  AmiSettings settings;
  buildParameterString(tree, settings);
  const std::string value = text.substr(0, text.size() % 13);
  for (const AmiParameter* parameter : amiParameters(tree)) {
    if (!parameter->settable())
      continue;
    (void)applySetting(tree, parameter->name + "=" + value, settings);
    SweepAxis axis;
    (void)readSweepAxis(tree, parameter->name, axis);
    (void)readSweepAxis(tree, parameter->name + "=" + value, axis);
  }
  buildParameterString(tree, settings);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  AmiTree tree;
  if (readAmiTree(text, "fuzz.ami", tree).ok())
    useTree(tree, text);
  return 0;
}
