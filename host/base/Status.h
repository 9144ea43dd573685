// The outcome of a host step that can fail: nothing, or one message a user
// reads. Each caller on the way up may put what it was doing in front
// ("--channel: ..."), so the message the program prints says where it went
// wrong without any step knowing who called it.
#ifndef NORVASK_HOST_BASE_STATUS_H_
#define NORVASK_HOST_BASE_STATUS_H_

#include <string>
#include <utility>

namespace norvask::host {

class [[nodiscard]] Status {
 public:
  static Status Ok() { return Status(); }
  // Line breaks at the end of `message` are dropped: a model's or an
  // analysis's text often ends in one, and the printed message adds its own.
  static Status Error(std::string message);

  bool ok() const { return !failed_; }
  // Empty when ok(). May hold several lines; the first says what failed.
  const std::string& message() const { return message_; }

  // "context: message" for an error; an ok status stays ok.
  Status Within(const std::string& context) const {
    return failed_ ? Error(context + ": " + message_) : Ok();
  }

 private:
  Status() = default;
  explicit Status(std::string message) : message_(std::move(message)), failed_(true) {}

  std::string message_;
  bool failed_ = false;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_STATUS_H_
