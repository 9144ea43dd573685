#include "host/output/OutputFiles.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace norvask::host {

std::string fullPath(const std::string& path) {
  std::error_code ignored;
  const auto absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

Status outputPrefix(const std::string& named, const std::string& defaultName, std::string& prefix) {
  std::error_code failure;
  const bool folder =
      (!named.empty() && named.back() == '/') || std::filesystem::is_directory(named, failure);
  if (!folder) {
    prefix = named;
    return Status::Ok();
  }
  std::filesystem::create_directories(named, failure);
  if (failure || !std::filesystem::is_directory(named, failure))
    return Status::Error("cannot create the folder " + fullPath(named));
  prefix = (std::filesystem::path(named) / defaultName).string();
  return Status::Ok();
}

namespace {

Status cannotWrite(const std::string& what, const std::string& path) {
  return Status::Error("cannot write the " + what + " to " + fullPath(path));
}

// A temporary name no other writer of `path` picks at the same moment, be it
// another run in the same folder: the clock and where this call's frame sits
// (which differs between processes) tell two writers apart.
std::string temporaryName(const std::string& path) {
  const int here = 0;
  std::ostringstream name;
  name << path << ".part" << std::hex << std::chrono::steady_clock::now().time_since_epoch().count()
       << '-' << reinterpret_cast<std::uintptr_t>(&here);
  return name.str();
}

}  // namespace

// The file appears whole or not at all: a full disk or a failing writer leaves
// any earlier file of that name as it was, never a truncated one a plotting
// script would read without complaint. The temporary sits in the same folder
// so the rename stays within one file system.
Status writeFile(const std::string& path, const std::string& what,
                 const std::function<void(std::ostream&)>& write) {
  const std::string temporary = temporaryName(path);
  std::ofstream file(temporary, std::ios::binary);
  if (!file.is_open())
    return cannotWrite(what, path);
  write(file);
  file.close();
  std::error_code failure;
  if (!file.fail())
    std::filesystem::rename(temporary, path, failure);
  if (file.fail() || failure) {
    std::filesystem::remove(temporary, failure);
    return cannotWrite(what, path);
  }
  return Status::Ok();
}

}  // namespace norvask::host
