#include "host/output/OutputFiles.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace norvask::host {

std::string fullPath(const std::string& path) {
  std::error_code ignored;
  const auto absolute = std::filesystem::absolute(path, ignored);
  return absolute.empty() ? path : absolute.lexically_normal().string();
}

Status writeFile(const std::string& path, const std::string& what,
                 const std::function<void(std::ostream&)>& write) {
  std::ofstream file(path);
  if (!file.is_open())
    return Status::Error("cannot write the " + what + " to " + fullPath(path));
  write(file);
  return Status::Ok();
}

}  // namespace norvask::host
