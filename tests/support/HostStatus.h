// Checking a host Status in a test: success with the message shown when it
// fails, and the message of a failure compared as text.
#ifndef NORVASK_TESTS_SUPPORT_HOSTSTATUS_H_
#define NORVASK_TESTS_SUPPORT_HOSTSTATUS_H_

#include <gtest/gtest.h>

#include <string>

#include "host/base/Status.h"

namespace norvask::testing {

inline ::testing::AssertionResult succeeded(const host::Status& status) {
  if (status.ok())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << status.message();
}

// The message of a failure; "<ok>" for a success, which no message reads as.
inline std::string failure(const host::Status& status) {
  return status.ok() ? "<ok>" : status.message();
}

}  // namespace norvask::testing

#endif  // NORVASK_TESTS_SUPPORT_HOSTSTATUS_H_
