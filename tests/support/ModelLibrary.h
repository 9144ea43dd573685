// The built shared library, loaded and called as a channel simulator does.
#ifndef NORVASK_TESTS_SUPPORT_MODELLIBRARY_H_
#define NORVASK_TESTS_SUPPORT_MODELLIBRARY_H_

#include <string>
#include <vector>

#include "host/model/ModelLibrary.h"

namespace norvask::testing {

// The library this build made, loaded through the host program's loader.
struct ModelLibrary : host::AmiLibrary {
  ModelLibrary() : loadError(Load(NORVASK_LIBRARY_PATH).message()) {}
  std::string loadError;
};

// What AMI_Init and AMI_Close returned; closeResult is -1 without a handle.
struct AmiCall {
  long initResult = -1;
  long closeResult = -1;
  std::string message;
};

// AMI_Init on `matrix` (column after column; null `parameters` passes null),
// then AMI_Close on its handle. Changed output parameters show in the message.
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
