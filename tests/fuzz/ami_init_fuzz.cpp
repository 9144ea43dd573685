// Fuzzes AMI_Init and AMI_Close with whatever a host might pass: any parameter
// text, row sizes, aggressor counts, sample intervals and bit times (zero,
// negative, NaN, infinite, extreme ratios) and matrices holding NaN and
// infinity. Every call must return, and AMI_Close must release everything.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "ami/AmiEntryPoints.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr double kBit = 3.5714285714285715e-11;  // 28 Gb/s

double pickTime(FuzzedDataProvider& data) {
  static const double kSpecial[] = {0.0,    -0.0,  1e-12, -1e-12, kBit / 32, kBit, 1e-9,
                                    1e-300, 1e300, kTiny, kInf,   -kInf,     kNaN};
  if (data.ConsumeBool())
    return data.PickValueInArray(kSpecial);
  return data.ConsumeFloatingPoint<double>();
}

// NaN, infinity and 1 each one time in eight, else any double.
double pickSample(FuzzedDataProvider& data) {
  static const double kSpecial[] = {kNaN, kInf, 1.0};
  const int pick = data.ConsumeIntegralInRange(0, 7);
  return pick < 3 ? kSpecial[pick] : data.ConsumeFloatingPoint<double>();
}

}  // namespace

// The parameter text comes from the front of the input (up to a backslash that is not doubled), the
// numbers from its end, and the matrix writes are counted up front, so no part of the input starves
// another: a seed that starts with a parameter text keeps that text whatever the mutator appends.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  FuzzedDataProvider data(bytes, size);
  std::string parameters = data.ConsumeRandomLengthString(4096);
  long rows = data.ConsumeIntegralInRange<long>(-4, 3000);
  const long aggressors = data.ConsumeIntegralInRange<long>(-2, 4);
  const double sampleInterval = pickTime(data);
  const double bitTime = pickTime(data);
  const bool nullMatrix = data.ConsumeIntegralInRange(0, 15) == 0;
  const bool nullParameters = data.ConsumeIntegralInRange(0, 15) == 0;
  const int writes = data.ConsumeIntegralInRange(0, 64);

  // Keep each run short: a fine grid makes the driver impulse long, and the
  // filtering costs rows x taps per column. Direct convolution is nearly all
  // of the time a run takes, and more rows than taps add no new paths, so the
  // rows are cut to what about two million multiply-adds allow (at least 8).
  const std::size_t columns = static_cast<std::size_t>(std::max(aggressors + 1, 1L));
  const double taps = std::fabs(2.239e-9 / sampleInterval);
  const double rowBudget = 2e6 / (std::max(taps, 1.0) * static_cast<double>(columns));
  if (!(static_cast<double>(rows) <= rowBudget))
    rows = rowBudget >= 8.0 ? static_cast<long>(rowBudget) : 8L;  // NaN budget: 8 rows

  std::vector<double> matrix(static_cast<std::size_t>(std::max(rows, 0L)) * columns, 0.0);
  for (int i = 0; i < writes && !matrix.empty(); ++i) {
    matrix[data.ConsumeIntegralInRange<std::size_t>(0, matrix.size() - 1)] = pickSample(data);
  }

  char* out = nullptr;
  void* handle = nullptr;
  char* message = nullptr;
  AMI_Init(nullMatrix || matrix.empty() ? nullptr : matrix.data(), rows, aggressors, sampleInterval,
           bitTime, nullParameters ? nullptr : parameters.data(), &out, &handle, &message);
  if (message == nullptr || handle == nullptr || out != nullptr)
    __builtin_trap();
  volatile std::size_t length = std::string(message).size();
  (void)length;
  AMI_Close(handle);
  return 0;
}
