// A receiver for the host's tests only: a continuous-time linear equaliser of one zero and one
// pole, H(s) = dc_gain (1 + s/wz) / (1 + s/wp) with the pole peaking_db above the zero, discretised
// with the bilinear transform and run over every column of the impulse matrix in place. AMI_Init
// only.
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>

#include "ami/AmiEntryPoints.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct CtleSettings {
  double dcGain = 1.0;
  double peakingDb = 0.0;
  double zeroHz = 1e9;
};

struct CtleHandle {
  std::string message;
};

// The number after "(name " in the parameter string, or `fallback`.
double numberAfter(const char* parameters, const char* name, double fallback) {
  if (parameters == nullptr)
    return fallback;
  const std::string text(parameters);
  const std::string key = std::string("(") + name + " ";
  const auto at = text.find(key);
  return at == std::string::npos ? fallback : std::strtod(text.c_str() + at + key.size(), nullptr);
}

// y[n] = (dc ((1 + a) x[n] + (1 - a) x[n-1]) - (1 - b) y[n-1]) / (1 + b),
// a = 2 / (T wz), b = 2 / (T wp); without peaking the filter is the gain.
void equalise(double* column, long rows, double dt, const CtleSettings& s) {
  if (s.peakingDb == 0.0) {
    for (long n = 0; n < rows; ++n)
      column[n] *= s.dcGain;
    return;
  }
  const double wz = 2.0 * kPi * s.zeroHz;
  const double wp = wz * std::pow(10.0, s.peakingDb / 20.0);
  const double a = 2.0 / (dt * wz), b = 2.0 / (dt * wp);
  double previousIn = 0.0, previousOut = 0.0;
  for (long n = 0; n < rows; ++n) {
    const double in = column[n];
    column[n] = (s.dcGain * ((1.0 + a) * in + (1.0 - a) * previousIn) - (1.0 - b) * previousOut) /
                (1.0 + b);
    previousIn = in;
    previousOut = column[n];
  }
}

}  // namespace

extern "C" {

NORVASK_AMI_EXPORT long AMI_Init(double* impulse_matrix, long row_size, long aggressors,
                                 double sample_interval, double /*bit_time*/,
                                 char* AMI_parameters_in, char** AMI_parameters_out,
                                 void** AMI_memory_handle, char** AMI_msg) {
  auto* handle = new (std::nothrow) CtleHandle;
  if (AMI_memory_handle != nullptr)
    *AMI_memory_handle = handle;
  if (AMI_parameters_out != nullptr)
    *AMI_parameters_out = nullptr;
  if (handle == nullptr)
    return 0;
  CtleSettings s;
  s.dcGain = numberAfter(AMI_parameters_in, "dc_gain", s.dcGain);
  s.peakingDb = numberAfter(AMI_parameters_in, "peaking_db", s.peakingDb);
  s.zeroHz = numberAfter(AMI_parameters_in, "zero_hz", s.zeroHz);
  const bool valid = impulse_matrix != nullptr && row_size > 0 && aggressors >= 0 &&
                     sample_interval > 0.0 && s.zeroHz > 0.0 && s.peakingDb >= 0.0;
  handle->message = valid ? "CTLE: DC gain " + std::to_string(s.dcGain) + ", peaking " +
                                std::to_string(s.peakingDb) + " dB above a zero at " +
                                std::to_string(s.zeroHz) + " Hz"
                          : "CTLE: invalid matrix or settings";
  if (AMI_msg != nullptr)
    *AMI_msg = &handle->message[0];
  if (!valid)
    return 0;
  for (long c = 0; c <= aggressors; ++c)
    equalise(impulse_matrix + c * row_size, row_size, sample_interval, s);
  return 1;
}

NORVASK_AMI_EXPORT long AMI_Close(void* AMI_memory_handle) {
  delete static_cast<CtleHandle*>(AMI_memory_handle);
  return AMI_memory_handle != nullptr ? 1 : 0;
}

}  // extern "C"
