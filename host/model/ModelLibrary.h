// An IBIS-AMI model library loaded by path, called the way a channel simulator
// calls it.
//
// The host opens any library that exports AMI_Init and AMI_Close (dlopen, or
// LoadLibrary on Windows), passes the impulse matrix column-major with the
// channel first and the aggressors after it, and closes every handle it got,
// also after a failed AMI_Init, as the IBIS-AMI contract asks.
#ifndef NORVASK_HOST_MODEL_MODELLIBRARY_H_
#define NORVASK_HOST_MODEL_MODELLIBRARY_H_

#include <string>
#include <vector>

#include "ami/AmiEntryPoints.h"
#include "host/base/Status.h"

namespace norvask::host {

// What one AMI_Init / AMI_Close pair gave back.
struct AmiCallResult {
  long initResult = 0;
  long closeResult = 0;
  std::string message;  // the model's message text, empty when it returned none
};

class AmiLibrary {
 public:
  AmiLibrary() = default;
  ~AmiLibrary();
  AmiLibrary(const AmiLibrary&) = delete;
  AmiLibrary& operator=(const AmiLibrary&) = delete;

  // Loads the library and looks up both entry points. A `path` without a
  // folder names a file in the current folder, never one the system's
  // library search would find. On failure leaves
  // nothing loaded.
  Status Load(const std::string& path);

  bool loaded() const { return init_ != nullptr && close_ != nullptr; }

  // The entry points themselves, for callers that pass their own arguments.
  AmiInitFunction init() const { return init_; }
  AmiCloseFunction close() const { return close_; }

  // AMI_Init on `matrix` (rows values per column, aggressors + 1 columns),
  // which it filters in place, then AMI_Close on the handle.
  // REQUIRES: loaded(); matrix.size() == rows * (aggressors + 1).
  AmiCallResult InitAndClose(std::vector<double>& matrix, long rows, long aggressors,
                             double sampleInterval, double bitTime,
                             const std::string& parameters) const;

 private:
  void Unload();

  void* handle_ = nullptr;
  AmiInitFunction init_ = nullptr;
  AmiCloseFunction close_ = nullptr;
};

// The file name a shared library called `stem` has on this platform:
// "libnorvask.so" or "norvask.dll" for "norvask".
std::string sharedLibraryFileName(const std::string& stem);

// `fileName` in the folder above the one holding the running program.
std::string besideProgramFolder(const char* programPath, const std::string& fileName);

}  // namespace norvask::host

#endif  // NORVASK_HOST_MODEL_MODELLIBRARY_H_
