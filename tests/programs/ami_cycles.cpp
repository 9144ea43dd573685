// AMI_Init / AMI_Close cycles through the built shared library with good host inputs and every kind
// a host should not pass but might, for valgrind memcheck: any leak or invalid access is the
// library's. Each cycle checks what the host sees: a message (not empty after a failure), output
// parameters untouched, a handle that AMI_Close takes with 1, and the result the input must give.
// Violations are printed and make the exit status nonzero.
// Usage: ami_cycles <path to libnorvask.so> [cycles]   (default 10000)
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "host/model/ModelLibrary.h"

namespace {

// Ten picoseconds per bit: driver impulses of a few hundred samples at most.
constexpr double kBitTime = 1e-11;

std::mt19937 generator(20261206u);

long integer(long low, long high) {
  return std::uniform_int_distribution<long>(low, high)(generator);
}

double real(double low, double high) {
  return std::uniform_real_distribution<double>(low, high)(generator);
}

std::string modelParameters(long txi) {
  return "(Norvask (OutputGain " + std::to_string(real(-2.0, 2.0)) + ") (txi " +
         std::to_string(txi) + "))";
}

// One AMI_Init call as a host would make it.
struct HostCall {
  long rows = integer(0, 40);
  long aggressors = integer(0, 3);
  double sampleInterval = kBitTime / static_cast<double>(integer(4, 24));
  double bitTime = kBitTime;
  std::string parameters = modelParameters(integer(0, 15));
  bool nullMatrix = false, nullParameters = false, handlePlace = true;
};

// The kinds of input, as changes to a valid call: first those AMI_Init must
// refuse, then those it must accept, last random texts (either result will do).
constexpr long kRefused = 6, kAccepted = 10;
void (*const kKinds[])(HostCall&) = {
    [](HostCall& c) {
      c.parameters = modelParameters(integer(0, 1) ? integer(16, 999) : -integer(2, 999));
    },
    [](HostCall& c) { c.bitTime = -kBitTime; },
    [](HostCall& c) { c.sampleInterval = kBitTime / static_cast<double>(integer(1, 3)); },
    [](HostCall& c) { c.sampleInterval = 0.0; },
    [](HostCall& c) { c.sampleInterval = std::numeric_limits<double>::quiet_NaN(); },
    [](HostCall& c) {
      c.nullMatrix = true;
      c.rows = integer(1, 40);
    },
    [](HostCall&) {},
    [](HostCall& c) { c.nullParameters = true; },
    [](HostCall& c) { c.aggressors = integer(-5, -1); },
    [](HostCall& c) { c.handlePlace = false; },
    [](HostCall& c) {
      c.parameters.clear();
      for (long n = integer(0, 80); n > 0; --n)
        c.parameters += "()() NorvaskOutputGaintxi0123456789.-+eE\t\n#x"[integer(0, 43)];
    },
};
constexpr long kKindCount = sizeof kKinds / sizeof kKinds[0];

// Makes a call of kind `kind` and AMI_Close on its handle; returns what the
// host saw go wrong, else nothing.
std::string runCycle(long kind, norvask::AmiInitFunction init, norvask::AmiCloseFunction close) {
  HostCall call;
  kKinds[kind](call);
  const long expectedResult = kind < kRefused ? 0 : kind < kAccepted ? 1 : -1;
  std::vector<double> matrix(
      static_cast<std::size_t>(call.rows * (call.aggressors < 0 ? 1 : call.aggressors + 1)));
  for (double& value : matrix)
    value = real(-1.0, 1.0);
  char* outParameters = nullptr;
  void* handle = nullptr;
  char* message = nullptr;
  const long result = init(call.nullMatrix || matrix.empty() ? nullptr : matrix.data(), call.rows,
                           call.aggressors, call.sampleInterval, call.bitTime,
                           call.nullParameters ? nullptr : call.parameters.data(), &outParameters,
                           call.handlePlace ? &handle : nullptr, &message);
  std::string fault;
  if (message == nullptr || (result == 0 && *message == '\0'))
    fault += " no message;";
  if (outParameters != nullptr)
    fault += " output parameters written;";
  if (expectedResult >= 0 && result != expectedResult)
    fault += " AMI_Init returned " + std::to_string(result) + ";";
  if (call.handlePlace && (handle == nullptr || close(handle) != 1))
    fault += " no handle, or AMI_Close did not return 1;";
  return fault;
}

}  // namespace

int main(int argc, char** argv) {
  norvask::host::AmiLibrary library;
  const norvask::host::Status loaded =
      argc < 2 ? norvask::host::Status::Error("usage: ami_cycles <path to libnorvask.so> [cycles]")
               : library.Load(argv[1]);
  if (!loaded.ok()) {
    std::fprintf(stderr, "%s\n", loaded.message().c_str());
    return 2;
  }
  const long cycles = argc > 2 ? std::atol(argv[2]) : 10000;
  long faults = 0;
  for (long cycle = 0; cycle < cycles; ++cycle) {
    const std::string fault = runCycle(cycle % kKindCount, library.init(), library.close());
    if (!fault.empty() && ++faults <= 20)
      std::printf("cycle %ld (kind %ld):%s\n", cycle, cycle % kKindCount, fault.c_str());
  }
  std::printf("%ld AMI_Init/AMI_Close cycles, %ld with faults\n", cycles, faults);
  return faults == 0 ? 0 : 1;
}
