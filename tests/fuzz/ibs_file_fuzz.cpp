// Feeds arbitrary bytes to the .ibs reader, and whatever file it accepts to
// the choice of component, model and Executable line a run makes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/kit/IbsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace norvask::host;
  const std::string text(reinterpret_cast<const char*>(data), size);
  IbsFile file;
  if (!readIbsFile(text, "fuzz.ibs", file).ok())
    return 0;
  const IbsComponent* component = nullptr;
  const IbsModel* model = nullptr;
  const IbsExecutable* executable = nullptr;
  if (selectAlgorithmicModel(file, "fuzz.ibs", "", "", component, model).ok()) {
    (void)pickExecutable(*model, "fuzz.ibs", "Linux", 64, executable);
    (void)pickExecutable(*model, "fuzz.ibs", "Windows", 32, executable);
  }
  return 0;
}
