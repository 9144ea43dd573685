// What a channel simulator reads of an .ibs file to reach a model's
// algorithmic part: the components with their pins, the model selectors, and
// every model with the Executable lines of its [Algorithmic Model]. Keywords
// it does not need ([Package], I-V tables, ramps) are passed over; the ones it
// reads are checked, and an error names the file, the line and what was
// expected.
#ifndef NORVASK_HOST_KIT_IBSFILE_H_
#define NORVASK_HOST_KIT_IBSFILE_H_

#include <string>
#include <vector>

#include "host/base/Status.h"

namespace norvask::host {

struct IbsPin {
  std::string name;
  std::string signal;
  std::string model;  // a model, a model selector, or POWER, GND, NC
};

struct IbsComponent {
  std::string name;
  long line = 0;
  std::vector<IbsPin> pins;
};

struct IbsModelSelector {
  std::string name;
  std::vector<std::string> models;
};

struct IbsExecutable {
  std::string platform;  // "Linux_gcc_64": OS, compiler, bits
  std::string library;   // beside the .ibs
  std::string amiFile;
  long line = 0;
};

struct IbsModel {
  std::string name;
  long line = 0;
  bool algorithmic = false;  // has an [Algorithmic Model]
  std::vector<IbsExecutable> executables;
};

struct IbsFile {
  std::string version;
  std::vector<IbsComponent> components;
  std::vector<IbsModelSelector> selectors;
  std::vector<IbsModel> models;
};

// Reads the text of an .ibs file. A failure reads "<fileName>: line N:
// expected ...".
Status readIbsFile(const std::string& text, const std::string& fileName, IbsFile& file);

// The model with an [Algorithmic Model] that the component's pins reach,
// directly or through a model selector: the one called `modelName`, or the
// first one when it is empty. `componentName` empty takes the first
// component.
Status selectAlgorithmicModel(const IbsFile& file, const std::string& fileName,
                              const std::string& componentName, const std::string& modelName,
                              const IbsComponent*& component, const IbsModel*& model);

// The Executable line for an operating system ("Linux", "Windows") and a
// word size in bits: the platform's first field names the system, its last
// the bits, whatever compiler sits between.
Status pickExecutable(const IbsModel& model, const std::string& fileName, const std::string& os,
                      int bits, const IbsExecutable*& executable);

// The operating system and word size this program was built for.
std::string hostOperatingSystem();
int hostBits();

}  // namespace norvask::host

#endif  // NORVASK_HOST_KIT_IBSFILE_H_
