#include <dlfcn.h>
#include <unistd.h>

#include "host/model/LoaderPlatform.h"

namespace norvask::host::platform {

char pathSeparator() {
  return '/';
}

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

std::string sharedLibraryFileName(const std::string& stem) {
  return "lib" + stem + ".so";
}

}  // namespace norvask::host::platform
