#include <windows.h>

#include "host/model/LoaderPlatform.h"

namespace norvask::host::platform {

char pathSeparator() {
  return '\\';
}

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

std::string sharedLibraryFileName(const std::string& stem) {
  return stem + ".dll";
}

}  // namespace norvask::host::platform
