// The two IBIS-AMI functions the model library exports, declared once for the
// library that defines them and for every program that calls them: the host's
// loader, the fuzz target and the test programs. A loader that looks the
// functions up by name casts to the pointer types below, so a change to either
// signature is a compile error everywhere at once.
#ifndef NORVASK_AMI_AMIENTRYPOINTS_H_
#define NORVASK_AMI_AMIENTRYPOINTS_H_

#if defined(_WIN32)
#define NORVASK_AMI_EXPORT __declspec(dllexport)
#else
#define NORVASK_AMI_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Filters the impulse matrix (row_size rows; the channel, then `aggressors`
// crosstalk columns) in place with the driver's response. Always sets the
// memory handle and the message when given a place for them; returns 1 on
// success, 0 on failure.
NORVASK_AMI_EXPORT long AMI_Init(double* impulse_matrix, long row_size, long aggressors,
                                 double sample_interval, double bit_time, char* AMI_parameters_in,
                                 char** AMI_parameters_out, void** AMI_memory_handle,
                                 char** AMI_msg);

// Releases what AMI_Init left behind the handle; returns 1, or 0 for a null
// handle.
NORVASK_AMI_EXPORT long AMI_Close(void* AMI_memory_handle);

}  // extern "C"

namespace norvask {

using AmiInitFunction = decltype(&AMI_Init);
using AmiCloseFunction = decltype(&AMI_Close);

}  // namespace norvask

#endif  // NORVASK_AMI_AMIENTRYPOINTS_H_
