// A model kit opened as a channel simulator opens it: the .ibs file, the
// component and the model with an [Algorithmic Model], the Executable line of
// this platform, and the library and .ami file it names, both beside the
// .ibs.
#ifndef NORVASK_HOST_KIT_MODELKIT_H_
#define NORVASK_HOST_KIT_MODELKIT_H_

#include <string>

#include "host/base/Status.h"
#include "host/kit/AmiTree.h"

namespace norvask::host {

struct KitRequest {
  std::string ibsPath;
  std::string component;  // empty: the first
  std::string model;      // empty: the first with an [Algorithmic Model]
};

struct ModelKit {
  std::string component;
  std::string model;
  std::string platform;  // of the Executable line taken
  std::string libraryPath;
  std::string amiPath;
  AmiTree tree;
};

// Opens the kit for this program's platform. Failures name the file.
Status openModelKit(const KitRequest& request, ModelKit& kit);

// The whole of a text file of at most kMaxKitFileBytes.
Status readKitFile(const std::string& path, std::string& text);

// No .ibs or .ami file is near this size; the bound keeps a wrong path (a
// disk image) from being read into memory.
inline constexpr long kMaxKitFileBytes = 16L << 20;

}  // namespace norvask::host

#endif  // NORVASK_HOST_KIT_MODELKIT_H_
