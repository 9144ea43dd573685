// The object behind an AMI_Init memory handle: the transmitter model, the text
// that AMI_Init returns, and the per-column driver that runs the model over
// the host's impulse matrix.
//
// Every AMI_Init builds its own Kx_Norvask and AMI_Close destroys it; separate
// objects share nothing, so a host may run several on separate threads.
#ifndef NORVASK_AMI_KX_NORVASK_H_
#define NORVASK_AMI_KX_NORVASK_H_

#include <cstdint>
#include <memory>
#include <sstream>

#include "ami/Norvask.h"

namespace norvask {

// The arguments of AMI_Init that the driver uses, as the host passed them.
struct AmiInitArguments {
  double* impulseMatrix = nullptr;   // column after column, channel first
  std::int64_t rowSize = 0;          // samples per column
  std::int64_t aggressors = 0;       // the matrix has aggressors + 1 columns
  double sampleInterval = 0.0;       // seconds
  double bitTime = 0.0;              // seconds
  const char* parameters = nullptr;  // the model's AMI parameter string
};

class Kx_Norvask {
 public:
  Norvask model;
  std::ostringstream amiMessageStream;

  // Run the model once per row instead of a column at a time. The results
  // are the same bit for bit; tests and benchmarks use this as the reference.
  bool perSampleRun = false;

  // The work of AMI_Init once the object exists: reads the parameters, filters
  // every column in place and keeps the message text. Returns 1 when every
  // phase of every column it ran succeeded, else 0.
  long Init(const AmiInitArguments& arguments);

  // The work of AMI_Close before the object is destroyed. Returns 1, or 0 when
  // the model's Finalize failed.
  long Close();

  // The NUL-terminated message text handed to the host; null before Init.
  char* messageText() const { return messageText_.get(); }

 private:
  bool SetRates(const AmiInitArguments& arguments);
  bool CheckHostArguments(const AmiInitArguments& arguments, bool ratesValid);
  bool RunColumns(const AmiInitArguments& arguments);
  bool RunColumn(double* column, std::int64_t rowSize, bool gatherMessages);
  bool RunRows(double* column, std::int64_t rowSize, bool gatherMessages);
  bool RunWholeColumn(double* column, std::int64_t rowSize, bool gatherMessages);
  void GatherModelMessages(bool gatherMessages);
  void TakeMessageText();

  std::unique_ptr<char[]> messageText_;
};

}  // namespace norvask

#endif  // NORVASK_AMI_KX_NORVASK_H_
