// Loads the built shared library, as a channel simulator does, and
// runs many AMI_Init / AMI_Close pairs with varied host inputs: good ones and
// every kind a host should not pass but might (bad txi, negative bit times,
// too few samples per bit, zero or NaN sample intervals, null matrices and
// parameter texts, negative aggressor counts, random parameter texts, no
// place for the handle). Meant to run under valgrind memcheck: any leak or
// invalid access across the cycles is the library's.
//
// Usage: ami_cycles <path to libnorvask.so> [cycles]   (default 10000)
//
// Each cycle also checks what the host can see: a message text always, a
// handle whenever there is a place for it, AMI_Close returning 1, and the
// result that the kind of input must give. A violation is printed and makes
// the exit status nonzero.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "host/AmiLibrary.h"

namespace {

// Ten picoseconds per bit keeps the driver impulse a few hundred samples at
// most, so thousands of cycles stay quick under valgrind.
constexpr double kBitTime = 1e-11;

enum class Kind {
  kValid,
  kBadTxi,
  kNegativeBitTime,
  kTooFewSamplesPerBit,
  kZeroSampleInterval,
  kNanSampleInterval,
  kNullMatrix,
  kNullParameters,
  kNegativeAggressors,
  kRandomParameters,
  kNoHandlePlace,
  kCount
};

// One AMI_Init call as a host would make it, and the result it must give
// (-1: either result is acceptable).
struct HostCall {
  std::vector<double> matrix;
  bool nullMatrix = false;
  long rows = 16;
  long aggressors = 0;
  double sampleInterval = kBitTime / 8;
  double bitTime = kBitTime;
  std::string parameters = "(Norvask (OutputGain 1) (txi 1))";
  bool nullParameters = false;
  bool handlePlace = true;
  long expectedResult = 1;
};

class Randomness {
 public:
  explicit Randomness(unsigned seed) : generator_(seed) {}
  long Integer(long low, long high) {
    return std::uniform_int_distribution<long>(low, high)(generator_);
  }
  double Real(double low, double high) {
    return std::uniform_real_distribution<double>(low, high)(generator_);
  }
  std::string Text(std::size_t maxLength) {
    static const char kAlphabet[] = "()() NorvaskOutputGaintxi0123456789.-+eE\t\n#x";
    std::string text(static_cast<std::size_t>(Integer(0, static_cast<long>(maxLength))), ' ');
    for (char& c : text)
      c = kAlphabet[Integer(0, sizeof kAlphabet - 2)];
    return text;
  }

 private:
  std::mt19937 generator_;
};

std::string modelParameters(Randomness& random, long txi) {
  return "(Norvask (OutputGain " + std::to_string(random.Real(-2.0, 2.0)) + ") (txi " +
         std::to_string(txi) + "))";
}

HostCall makeCall(Kind kind, Randomness& random) {
  HostCall call;
  call.rows = random.Integer(0, 40);
  call.aggressors = random.Integer(0, 3);
  call.sampleInterval = kBitTime / static_cast<double>(random.Integer(4, 24));
  call.parameters = modelParameters(random, random.Integer(0, 15));
  switch (kind) {
    case Kind::kValid:
      break;
    case Kind::kBadTxi:
      call.parameters = modelParameters(
          random, random.Integer(0, 1) == 0 ? random.Integer(16, 1000) : random.Integer(-1000, -2));
      call.expectedResult = 0;
      break;
    case Kind::kNegativeBitTime:
      call.bitTime = -kBitTime;
      call.expectedResult = 0;
      break;
    case Kind::kTooFewSamplesPerBit:
      call.sampleInterval = kBitTime / static_cast<double>(random.Integer(1, 3));
      call.expectedResult = 0;
      break;
    case Kind::kZeroSampleInterval:
      call.sampleInterval = 0.0;
      call.expectedResult = 0;
      break;
    case Kind::kNanSampleInterval:
      call.sampleInterval = std::numeric_limits<double>::quiet_NaN();
      call.expectedResult = 0;
      break;
    case Kind::kNullMatrix:
      call.nullMatrix = true;
      call.rows = random.Integer(1, 40);
      call.expectedResult = 0;
      break;
    case Kind::kNullParameters:
      call.nullParameters = true;
      break;
    case Kind::kNegativeAggressors:
      call.aggressors = random.Integer(-5, -1);
      break;
    case Kind::kRandomParameters:
      call.parameters = random.Text(80);
      call.expectedResult = -1;
      break;
    case Kind::kNoHandlePlace:
      call.handlePlace = false;
      break;
    case Kind::kCount:
      break;
  }
  const long columns = call.aggressors < 0 ? 1 : call.aggressors + 1;
  call.matrix.resize(static_cast<std::size_t>(call.rows * columns));
  for (double& value : call.matrix)
    value = random.Real(-1.0, 1.0);
  return call;
}

// Makes the call; returns an empty string when everything the host sees is
// as it must be, else what went wrong.
std::string checkCall(norvask::AmiInitFunction init, norvask::AmiCloseFunction close,
                      HostCall& call) {
  char* outParameters = nullptr;
  void* handle = nullptr;
  char* message = nullptr;
  const long result = init(call.nullMatrix || call.matrix.empty() ? nullptr : call.matrix.data(),
                           call.rows, call.aggressors, call.sampleInterval, call.bitTime,
                           call.nullParameters ? nullptr : call.parameters.data(), &outParameters,
                           call.handlePlace ? &handle : nullptr, &message);
  std::string fault;
  if (message == nullptr)
    fault += " no message;";
  else if (std::string(message).empty() && result == 0)
    fault += " failed without a message;";
  if (outParameters != nullptr)
    fault += " output parameters written;";
  if (call.expectedResult >= 0 && result != call.expectedResult)
    fault += " AMI_Init returned " + std::to_string(result) + ";";
  if (call.handlePlace) {
    if (handle == nullptr)
      fault += " no handle;";
    else if (close(handle) != 1)
      fault += " AMI_Close did not return 1;";
  }
  return fault;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <path to libnorvask.so> [cycles]\n", argv[0]);
    return 2;
  }
  const long cycles = argc > 2 ? std::atol(argv[2]) : 10000;
  norvask::host::AmiLibrary library;
  std::string error;
  if (!library.Load(argv[1], error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 2;
  }

  Randomness random(20261206u);
  long faults = 0;
  const long kinds = static_cast<long>(Kind::kCount);
  for (long cycle = 0; cycle < cycles; ++cycle) {
    const Kind kind = static_cast<Kind>(cycle % kinds);
    HostCall call = makeCall(kind, random);
    const std::string fault = checkCall(library.init(), library.close(), call);
    if (!fault.empty() && ++faults <= 20)
      std::printf("cycle %ld (kind %ld):%s\n", cycle, cycle % kinds, fault.c_str());
  }
  std::printf("%ld AMI_Init/AMI_Close cycles, %ld with faults\n", cycles, faults);
  return faults == 0 ? 0 : 1;
}
