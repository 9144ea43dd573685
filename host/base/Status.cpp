#include "host/base/Status.h"

namespace norvask::host {

Status Status::Error(std::string message) {
  const auto last = message.find_last_not_of('\n');
  message.erase(last == std::string::npos ? 0 : last + 1);
  return Status(std::move(message));
}

}  // namespace norvask::host
