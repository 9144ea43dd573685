// Files the tests write and read, and the built ami_host run as a user runs it.
#ifndef NORVASK_TESTS_SUPPORT_SCRATCHFILES_H_
#define NORVASK_TESTS_SUPPORT_SCRATCHFILES_H_

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace norvask::testing {

// A file of the running test in the build folder; CTest runs tests in
// parallel, so each test keeps its own.
inline std::string scratch(const std::string& name) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string(NORVASK_BINARY_DIR) + "/" + test->test_suite_name() + "_" + test->name() +
         "_" + name;
}

inline std::string slurp(const std::string& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline std::string writeScratch(const std::string& name, const std::string& text) {
  const std::string path = scratch(name);
  std::ofstream(path) << text;
  return path;
}

struct HostOutcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// The built ami_host with `arguments`, its output streams kept apart.
inline HostOutcome runHost(const std::string& arguments) {
  const std::string command = std::string(NORVASK_HOST_PATH) + " " + arguments + " >" +
                              scratch("stdout.txt") + " 2>" + scratch("stderr.txt");
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
          slurp(scratch("stdout.txt")), slurp(scratch("stderr.txt"))};
}

}  // namespace norvask::testing

#endif  // NORVASK_TESTS_SUPPORT_SCRATCHFILES_H_
