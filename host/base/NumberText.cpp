#include "host/base/NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace norvask::host {

bool readFinite(const std::string& text, double& value) {
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0' && std::isfinite(value);
}

bool looksLikeNumber(const std::string& text) {
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return end != text.c_str() && *end == '\0';
}

bool readInteger(const std::string& text, long long low, long long high, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(text.c_str(), &end, 10);
  return end != text.c_str() && *end == '\0' && errno == 0 && value >= low && value <= high;
}

}  // namespace norvask::host
