// What loading a library takes on each platform: ModelLibraryPosix.cpp and
// ModelLibraryWindows.cpp implement it, and the build compiles the one for
// its platform.
#ifndef NORVASK_HOST_MODEL_LOADERPLATFORM_H_
#define NORVASK_HOST_MODEL_LOADERPLATFORM_H_

#include <string>

namespace norvask::host::platform {

void* openLibrary(const std::string& path);
void* findSymbol(void* library, const char* name);
void closeLibrary(void* library);
// Why the last openLibrary failed, in the system's words.
std::string lastLoadError();
// The running program's full path; `programPath` (argv[0]) when unknown.
std::string executablePath(const char* programPath);
std::string sharedLibraryFileName(const std::string& stem);
char pathSeparator();

}  // namespace norvask::host::platform

#endif  // NORVASK_HOST_MODEL_LOADERPLATFORM_H_
