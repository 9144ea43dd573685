// The transmitter model: one FIRwStepRespList equalizer fed from the library's
// table of measured driver step responses.
//
// The per-column driver runs Setup, Initialize, Run (once per sample) and
// Finalize for every column of the impulse matrix. Each phase starts by
// emptying messageStream, so after a phase it holds exactly what that phase's
// blocks reported. The model always filters with the step response that `txi`
// selects, without adaptation, scaled by OutputGain.
#ifndef NORVASK_AMI_NORVASK_H_
#define NORVASK_AMI_NORVASK_H_

#include <cstdint>
#include <sstream>
#include <vector>

#include "blocks/FIRwStepRespList.h"

namespace norvask {

// Fills `list` with the library's step responses as the equalizer reads them:
// vector 0 the shared time axis, vector k step response k, each shifted so
// that it starts at 0.
void buildStepResponseList(StepRespList& list);

class Norvask {
 public:
  // Ports.
  double In = 0.0;
  double Time = 0.0;
  double Out = 0.0;

  // Settings the driver writes.
  double BitRate = 2.8e10;
  std::int32_t SamplesPerBit = 32;
  std::int32_t txi = 1;  // 1-based when Setup runs: the driver adds 1 to the parameter
  double OutputGain = 1.0;

  std::ostringstream messageStream;

  // Each phase returns true on success.
  bool Setup();
  bool Initialize();
  bool Run();
  bool Finalize();

  // Runs a whole column in place, exactly as one Run per sample would (the
  // outputs bit for bit, and the ports and state afterwards).
  bool RunBlock(double* column, std::int64_t rows);

 private:
  void ClearMessages();

  // Fixed settings of the equalizer: the model filters with the selected step
  // response, with neither adaptation, at 0 dB inside the block.
  std::int32_t OutputStepRespData = 0;
  FIRwStepRespList equalizer_;
  std::vector<double> ChannelImpulse;
  std::vector<double> unitImpulse;
  std::int32_t StepRespIndex = 1;
  std::uint32_t AdaptForLogicLevel = 0;
  double Gain_dB = 0.0;
  double LogicLevel = 0.5;
  std::uint32_t AdaptStepRespIndex = 0;
  std::int32_t InterpolationType = 2;
  // The library's constant table, built by the first Setup and kept for the
  // model's life: the driver runs Setup once per column of the matrix.
  StepRespList StepResp_data_values;
};

}  // namespace norvask

#endif  // NORVASK_AMI_NORVASK_H_
