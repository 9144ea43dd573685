#include "host/model/ModelLibrary.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace norvask::host {

namespace {

#ifdef _WIN32
constexpr const char* kLibraryFileName = "norvask.dll";
constexpr char kSeparator = '\\';

void* openLibrary(const std::string& path) {
  return LoadLibraryA(path.c_str());
}
void* findSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void closeLibrary(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}
std::string lastLoadError() {
  return "Windows error " + std::to_string(GetLastError());
}
std::string executablePath(const char* programPath) {
  char buffer[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(buffer, length) : std::string(programPath);
}
#else
constexpr const char* kLibraryFileName = "libnorvask.so";
constexpr char kSeparator = '/';

void* openLibrary(const std::string& path) {
  return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}
void* findSymbol(void* library, const char* name) {
  return dlsym(library, name);
}
void closeLibrary(void* library) {
  dlclose(library);
}
std::string lastLoadError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown loader error";
}
std::string executablePath(const char* programPath) {
  // /proc/self/exe finds the program also when it was started through PATH.
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<std::size_t>(length))
                    : std::string(programPath);
}
#endif

std::string parentFolder(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

AmiLibrary::~AmiLibrary() {
  Unload();
}

void AmiLibrary::Unload() {
  if (handle_ != nullptr)
    closeLibrary(handle_);
  handle_ = nullptr;
  init_ = nullptr;
  close_ = nullptr;
}

bool AmiLibrary::Load(const std::string& path, std::string& error) {
  Unload();
  handle_ = openLibrary(path);
  if (handle_ == nullptr) {
    error = "cannot load the IBIS-AMI library " + path + ": " + lastLoadError();
    return false;
  }
  init_ = reinterpret_cast<AmiInitFunction>(findSymbol(handle_, "AMI_Init"));
  close_ = reinterpret_cast<AmiCloseFunction>(findSymbol(handle_, "AMI_Close"));
  if (!loaded()) {
    error = path + " is not an IBIS-AMI model: it does not export " +
            (init_ == nullptr ? "AMI_Init" : "AMI_Close");
    Unload();
    return false;
  }
  return true;
}

AmiCallResult AmiLibrary::InitAndClose(std::vector<double>& matrix, long rows, long aggressors,
                                       double sampleInterval, double bitTime,
                                       const std::string& parameters) const {
  AmiCallResult result;
  std::vector<char> parametersIn(parameters.begin(), parameters.end());
  parametersIn.push_back('\0');
  char* parametersOut = nullptr;
  void* memoryHandle = nullptr;
  char* message = nullptr;
  result.initResult = init_(matrix.data(), rows, aggressors, sampleInterval, bitTime,
                            parametersIn.data(), &parametersOut, &memoryHandle, &message);
  // The message belongs to the model until AMI_Close, so copy it first.
  if (message != nullptr)
    result.message = message;
  // A handle the model never set cannot be closed; every one it set must be.
  if (memoryHandle != nullptr)
    result.closeResult = close_(memoryHandle);
  return result;
}

std::string defaultLibraryPath(const char* programPath) {
  const std::string hostFolder = parentFolder(executablePath(programPath));
  return parentFolder(hostFolder) + kSeparator + kLibraryFileName;
}

}  // namespace norvask::host
