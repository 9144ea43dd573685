// The two functions a channel simulator calls. They only build, hand over to
// and destroy the Kx_Norvask object; everything else lives in ordinary C++
// classes. No exception leaves them: a failure inside becomes a result of 0
// and a line in the returned message, never a crash of the host.
#include "ami/AmiEntryPoints.h"

#include <new>

#include "ami/Kx_Norvask.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// Returned when not even the handle object could be built; the host never
// frees the message, so a constant text is safe to hand out.
char kOutOfMemoryMessage[] = "The IBIS-AMI model, Norvask, ran out of memory in AMI_Init.\n";
char kNoHandleMessage[] =
    "The IBIS-AMI model, Norvask, was given no place for its memory handle, so it kept no "
    "message.\n";

}  // namespace

long AMI_Init(double* impulse_matrix, long row_size, long aggressors, double sample_interval,
              double bit_time, char* AMI_parameters_in, char** AMI_parameters_out,
              void** AMI_memory_handle, char** AMI_msg) {
  (void)AMI_parameters_out;  // a statistical Tx model returns no parameters
  norvask::Kx_Norvask* handle = new (std::nothrow) norvask::Kx_Norvask();
  long result = 0;
  if (handle != nullptr) {
    try {
      result = handle->Init(
          {impulse_matrix, row_size, aggressors, sample_interval, bit_time, AMI_parameters_in});
    } catch (...) {
      result = 0;
    }
  }
  char* message = handle != nullptr && handle->messageText() != nullptr ? handle->messageText()
                                                                        : kOutOfMemoryMessage;
  if (AMI_memory_handle != nullptr) {
    *AMI_memory_handle = handle;
  } else {
    // Nowhere to hand the object, so nobody could close it: release it now,
    // and with it the message text it owns.
    delete handle;
    message = kNoHandleMessage;
  }
  if (AMI_msg != nullptr)
    *AMI_msg = message;
  return result;
}

long AMI_Close(void* AMI_memory_handle) {
  auto* handle = static_cast<norvask::Kx_Norvask*>(AMI_memory_handle);
  if (handle == nullptr)
    return 0;
  long result = 0;
  try {
    result = handle->Close();
  } catch (...) {
    result = 0;
  }
  delete handle;
  return result;
}

#if defined(_WIN32)
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  // The model keeps no per-thread state, so thread notifications are not needed.
  if (reason == DLL_PROCESS_ATTACH)
    DisableThreadLibraryCalls(instance);
  return TRUE;
}
#endif
