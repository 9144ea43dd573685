// Feeds arbitrary bytes to the parameter text parser and the reads made on it: the model's two
// reads exactly as AMI_Init makes them, then lookups by three-component paths, and lookups whose
// path comes from the input too, so the root check sees arbitrary paths as well as arbitrary texts.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "params/AmiParamString.h"
#include "params/ParameterLookup.h"

namespace {

void readAsTheModelDoes(const std::string& text) {
  norvask::AmiParamString params = norvask::parseParameters(text.c_str());
  std::ostringstream messages;
  double outputGain = 1.0;
  std::int32_t txi = 1;
  norvask::initDoubleParameter(messages, params, "OutputGain", outputGain);
  norvask::initIntParameter(messages, params, "txi", txi);

  double value = 0.0;
  std::int32_t number = 0;
  norvask::getDoubleParameter(params, value, "Norvask.OutputGain.x");
  norvask::getIntParameter(params, number, "Norvask.Group.txi");
  norvask::getIntParameter(params, number, "Norvask.a.");
  norvask::getDoubleParameter(params, value, "Norvask..b");
  norvask::releaseParameters(params);
}

// The first byte says how much of the rest is the path; the remainder is the text.
void readByInputPath(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return;
  const std::size_t pathLength = data[0] % size;
  const std::string path(reinterpret_cast<const char*>(data + 1), pathLength);
  const std::string text(reinterpret_cast<const char*>(data + 1 + pathLength),
                         size - 1 - pathLength);
  norvask::AmiParamString params = norvask::parseParameters(text.c_str());
  double value = 0.0;
  std::int32_t number = 0;
  norvask::getDoubleParameter(params, value, path.c_str());
  norvask::getIntParameter(params, number, path.c_str());
  norvask::getIntParameter(params, number, "Norvask.txi.x");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  readAsTheModelDoes(std::string(reinterpret_cast<const char*>(data), size));
  readByInputPath(data, size);
  return 0;
}
