#include "host/model/ModelLibrary.h"

#include "host/model/LoaderPlatform.h"

namespace norvask::host {

namespace {

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
    platform::closeLibrary(handle_);
  handle_ = nullptr;
  init_ = nullptr;
  close_ = nullptr;
}

Status AmiLibrary::Load(const std::string& path) {
  Unload();
  // A bare name would send the loader through the system's library folders
  // and could load another file of that name; the user means the file here.
  const bool bare = path.find_first_of("/\\") == std::string::npos;
  const std::string file = bare ? std::string(".") + platform::pathSeparator() + path : path;
  handle_ = platform::openLibrary(file);
  if (handle_ == nullptr) {
    return Status::Error(
        "cannot load the IBIS-AMI library " + path +
        (bare ? " (a name without a folder is a file in the current folder)" : "") + ": " +
        platform::lastLoadError());
  }
  init_ = reinterpret_cast<AmiInitFunction>(platform::findSymbol(handle_, "AMI_Init"));
  close_ = reinterpret_cast<AmiCloseFunction>(platform::findSymbol(handle_, "AMI_Close"));
  if (loaded())
    return Status::Ok();
  const char* missing = init_ == nullptr ? "AMI_Init" : "AMI_Close";
  Unload();
  return Status::Error(path + " is not an IBIS-AMI model: it does not export " + missing);
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

std::string sharedLibraryFileName(const std::string& stem) {
  return platform::sharedLibraryFileName(stem);
}

std::string besideProgramFolder(const char* programPath, const std::string& fileName) {
  const std::string programFolder = parentFolder(platform::executablePath(programPath));
  return parentFolder(programFolder) + platform::pathSeparator() + fileName;
}

}  // namespace norvask::host
