// Loads the built shared library the way a channel simulator does and calls
// its entry points, so end-to-end tests see exactly what a host sees.
#ifndef NORVASK_TESTS_SUPPORT_AMILIBRARY_H_
#define NORVASK_TESTS_SUPPORT_AMILIBRARY_H_

#include <dlfcn.h>

#include <string>
#include <vector>

namespace norvask::testing {

using AmiInitFunction = long (*)(double*, long, long, double, double, char*, char**, void**,
                                 char**);
using AmiCloseFunction = long (*)(void*);

class AmiLibrary {
 public:
  AmiLibrary() : handle_(dlopen(NORVASK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ != nullptr) {
      init_ = reinterpret_cast<AmiInitFunction>(dlsym(handle_, "AMI_Init"));
      close_ = reinterpret_cast<AmiCloseFunction>(dlsym(handle_, "AMI_Close"));
    }
  }
  ~AmiLibrary() {
    if (handle_ != nullptr)
      dlclose(handle_);
  }
  AmiLibrary(const AmiLibrary&) = delete;
  AmiLibrary& operator=(const AmiLibrary&) = delete;

  bool loaded() const { return init_ != nullptr && close_ != nullptr; }
  AmiInitFunction init() const { return init_; }
  AmiCloseFunction close() const { return close_; }

 private:
  void* handle_;
  AmiInitFunction init_ = nullptr;
  AmiCloseFunction close_ = nullptr;
};

// What one AMI_Init / AMI_Close pair returned.
struct AmiCall {
  long initResult = -1;
  long closeResult = -1;
  std::string message;
  bool handleSet = false;
  bool messageSet = false;
};

// Calls AMI_Init on `matrix` (rows x (aggressors + 1), column after column)
// and AMI_Close on its handle; `parameters` null passes a null string.
inline AmiCall CallAmi(const AmiLibrary& library, std::vector<double>& matrix, long rows,
                       long aggressors, double sampleInterval, double bitTime,
                       const char* parameters) {
  AmiCall call;
  std::string parameterText = parameters == nullptr ? std::string() : parameters;
  char* outParameters = reinterpret_cast<char*>(&call);  // must come back untouched
  void* handle = reinterpret_cast<void*>(&call);
  char* message = nullptr;
  call.initResult = library.init()(
      matrix.empty() ? nullptr : matrix.data(), rows, aggressors, sampleInterval, bitTime,
      parameters == nullptr ? nullptr : parameterText.data(), &outParameters, &handle, &message);
  call.handleSet = handle != reinterpret_cast<void*>(&call);
  call.messageSet = message != nullptr;
  if (message != nullptr)
    call.message = message;
  if (outParameters != reinterpret_cast<char*>(&call))
    call.message += "<out parameters changed>";
  if (call.handleSet)
    call.closeResult = library.close()(handle);
  return call;
}

}  // namespace norvask::testing

#endif  // NORVASK_TESTS_SUPPORT_AMILIBRARY_H_
