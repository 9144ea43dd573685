// Loads the built shared library the way a channel simulator does and calls
// its entry points, so end-to-end tests see exactly what a host sees.
#ifndef NORVASK_TESTS_SUPPORT_MODELLIBRARY_H_
#define NORVASK_TESTS_SUPPORT_MODELLIBRARY_H_

#include <string>
#include <vector>

#include "host/AmiLibrary.h"

namespace norvask::testing {

// The library this build made, loaded through the host program's loader.
struct ModelLibrary : host::AmiLibrary {
  ModelLibrary() { Load(NORVASK_LIBRARY_PATH, loadError); }
  std::string loadError;
};

// What one AMI_Init / AMI_Close pair returned; closeResult stays -1 when
// AMI_Init set no handle.
struct AmiCall {
  long initResult = -1;
  long closeResult = -1;
  std::string message;
};

// Calls AMI_Init on `matrix` (rows x (aggressors + 1), column after column)
// and AMI_Close on its handle; `parameters` null passes a null string. A
// change to the output parameters shows up in the message.
inline AmiCall callAmi(const host::AmiLibrary& library, std::vector<double>& matrix, long rows,
                       long aggressors, double sampleInterval, double bitTime,
                       const char* parameters) {
  AmiCall call;
  std::string parameterText = parameters == nullptr ? std::string() : parameters;
  char* outParameters = reinterpret_cast<char*>(&call);
  void* handle = reinterpret_cast<void*>(&call);
  char* message = nullptr;
  call.initResult = library.init()(
      matrix.empty() ? nullptr : matrix.data(), rows, aggressors, sampleInterval, bitTime,
      parameters == nullptr ? nullptr : parameterText.data(), &outParameters, &handle, &message);
  call.message = message == nullptr ? "<no message>" : message;
  if (outParameters != reinterpret_cast<char*>(&call))
    call.message += "<out parameters changed>";
  if (handle != reinterpret_cast<void*>(&call))
    call.closeResult = library.close()(handle);
  return call;
}

}  // namespace norvask::testing

#endif  // NORVASK_TESTS_SUPPORT_MODELLIBRARY_H_
