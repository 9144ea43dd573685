// Turns one measured step response, picked from a list sampled on its own time
// axis, into samples on the simulation grid (spacing 1 / BitRate /
// SamplesPerBit) and, by default, differentiates it into an impulse response
// whose samples add up to the step's final value. The result yDataOut is read
// in place by the owner's FIR filter. With interpolation off, Run hands out the
// chosen response's raw rows instead.
#ifndef NORVASK_BLOCKS_INTERPOLATE_STEP_RESP_DATA_H_
#define NORVASK_BLOCKS_INTERPOLATE_STEP_RESP_DATA_H_

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <vector>

#include "dsp/BlockTrace.h"
#include "dsp/InterpolateData.h"
#include "dsp/SettingsCheck.h"

namespace norvask {

// The step-response list the model owns: vectors of one common length. With
// SharedTimeAxis set, vector 0 is the time axis and vectors 1..NumStepResp the
// responses; otherwise response i is the pair (time 2i-2, values 2i-1).
using StepRespList = std::vector<std::vector<double>>;

class InterpolateStepRespData {
 public:
  // The engine holds pointers to this object's vectors, and the owner's FIR
  // reads yDataOut in place, so the block stays where it was built.
  InterpolateStepRespData();
  InterpolateStepRespData(const InterpolateStepRespData&) = delete;
  InterpolateStepRespData& operator=(const InterpolateStepRespData&) = delete;

  // Settings, written by the owner before Setup; the block never changes them.
  double BitRate = 2.8e10;
  std::int32_t SamplesPerBit = 32;
  std::int32_t StepRespIndex = 1;  // counted from 1
  std::int32_t EnableInterpolation = 1;
  std::int32_t InterpolationType = 2;  // 0 linear, 1 shape-preserving cubic, 2 Lagrange
  std::int32_t DifferentiateData = 1;
  std::int32_t NumStepResp = 10;
  std::int32_t StepData = 1;
  // The owner's list; null or empty counts as absent.
  // REQUIRES: alive and unchanged from Setup to the last Run.
  const StepRespList* StepResp_data_values = nullptr;
  std::int32_t SharedTimeAxis = 0;  // only zero or nonzero matters

  // Ports, rewritten by every Run.
  double Time = 0.0;
  double Out = 0.0;

  // The result: the impulse (or step) on the simulation grid, valid from
  // Initialize to the next Initialize.
  std::vector<double> yDataOut;

  // Checks settings and data, writing every violation, and sets the engine up.
  // Beyond the checks every owner relies on, a list with fewer vectors than
  // its layout and NumStepResp need is refused instead of read past its end.
  bool Setup(TraceStream* trace, std::ostream& messages);
  // Resamples (and differentiates) through the engine, trims trailing exact
  // zeros of an impulse and restarts the output. When the engine's inputs and
  // settings are bit for bit those of the last successful run, and no trace
  // is open, the result of that run is kept instead of computed again (an
  // owner filters column after column with the same response); the owner
  // must then not have written to yDataOut. Without a successful Setup
  // (or after a failed run, whose engine inputs only Setup refills) it only
  // restarts the output and fails.
  bool Initialize(std::ostream& messages);
  // Sets Time and Out for the next sample. Writes nothing; the stream keeps
  // the phases' common shape.
  void Run(std::ostream& messages);
  void Finalize();

 private:
  // What the engine's result depends on besides its data.
  struct ResampleSettings {
    double timeStep = 0.0;
    std::int32_t interpolationType = 0;
    std::int32_t differentiateData = 0;
    std::int32_t stepData = 0;
    bool operator==(const ResampleSettings& other) const;
  };

  void CheckSettings(SettingsCheck& check) const;
  bool CheckListShape(std::ostream& messages) const;
  std::size_t CountUsablePoints() const;
  void ConfigureEngine();
  void TrimTrailingZeros();
  void RunInterpolated();
  void RunRawRows();

  BlockTrace trace_{"InterpolateStepRespData"};

  // Fixed by Setup.
  bool setupPassed_ = false;
  std::size_t usablePoints_ = 0;                   // P
  double timeStep_ = 0.0;                          // seconds per output sample
  const std::vector<double>* timeAxis_ = nullptr;  // X of the chosen response
  const std::vector<double>* values_ = nullptr;    // Y of the chosen response

  // The engine's vectors; it keeps pointers to them.
  std::vector<double> yData_;
  std::vector<double> xData_;
  std::vector<double> x_Data_;
  InterpolateData engine_;

  // yDataOut is the result of a run on the data in yData_ and xData_ with
  // these settings; reuseResult_: the next Initialize keeps it.
  bool haveResult_ = false;
  bool reuseResult_ = false;
  ResampleSettings resultSettings_;

  std::int32_t outputCount_ = 0;
};

}  // namespace norvask

#endif  // NORVASK_BLOCKS_INTERPOLATE_STEP_RESP_DATA_H_
