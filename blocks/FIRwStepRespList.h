// The transmitter's equalizer: a FIR filter whose taps are the driver impulse
// response derived from one entry of a list of measured step responses.
//
// The block resamples and differentiates the chosen step response through its
// InterpolateStepRespData sub-block and filters with the result through its FIR
// engine. On request, Initialize also searches the list for the step response
// that gives the channel plus equalizer the best worst-case eye opening, and
// adapts the output gain so that the eye reaches LogicLevel.
#ifndef NORVASK_BLOCKS_FIRWSTEPRESPLIST_H_
#define NORVASK_BLOCKS_FIRWSTEPRESPLIST_H_

#include <cstdint>
#include <ostream>
#include <vector>

#include "blocks/InterpolateStepRespData.h"
#include "dsp/BlockTrace.h"
#include "dsp/FIR.h"

namespace norvask {

class FIRwStepRespList {
 public:
  // Ports.
  double In = 0.0;
  double Out = 0.0;
  double Time = 0.0;

  // Settings; the owner writes them before every Setup.
  const std::vector<double>* ChannelImpulse = nullptr;  // evaluated with the equalizer
  double BitRate = 2.8e10;                              // bits per second
  std::int32_t SamplesPerBit = 32;
  std::int32_t StepRespIndex = 2;  // 1-based; the search writes its choice back
  std::uint32_t AdaptForLogicLevel = 0;
  double Gain_dB = 0.0;  // the logic-level adaptation writes its gain back
  double LogicLevel = 0.5;
  std::uint32_t AdaptStepRespIndex = 0;
  std::int32_t NumStepResp = 0;
  const StepRespList* StepResp_data_values = nullptr;
  std::int32_t SharedTimeAxis = 0;
  std::int32_t InterpolationType = 2;
  std::int32_t OutputStepRespData = 0;  // nonzero: play out the raw step response
  std::int32_t SuppressAdaptReport = 0;

  bool Setup(TraceStream* trace, std::ostream& messages);
  bool Initialize(std::ostream& messages);
  void Run(std::ostream& messages);
  void Finalize();

  // Runs `count` samples in place, exactly as `count` calls of Run with
  // In = samples[i] would, leaving the same ports and state.
  void RunBlock(double* samples, std::int64_t count, std::ostream& messages);

  // Replaces the first n samples of `response` (n + number of taps samples in
  // all) by their convolution with the taps.
  // REQUIRES: the FIR engine was initialized since its last use.
  void filterImpulseThroughFIR(std::vector<double>& response, std::int64_t n,
                               std::ostream& messages);

  // State that callers and tests read.
  double gain() const { return gain_; }
  double bestEyeRatio() const { return bestEyeRatio_; }
  std::int32_t impulseLength() const { return impulseLength_; }
  bool invertImpulse() const { return invertImpulse_; }
  const std::vector<double>& evalResponse() const { return evalResponse_; }
  const std::vector<double>& taps() const { return interpolation_.yDataOut; }

 private:
  struct EyeLevels {
    double bcUpper = 0.0;
    double wcUpper = 0.0;
  };

  bool IsBypass() const { return OutputStepRespData != 0; }
  bool CheckSettings(std::ostream& messages) const;
  void HandOverSettings();
  bool Adapt(std::ostream& messages);
  bool PrepareSelectedResponse(std::ostream& messages);
  bool SetUpCandidate(std::int32_t index, std::ostream& messages);
  bool SearchStepResponses(std::ostream& messages, EyeLevels& best, bool& found);
  void ReportSearch(std::ostream& messages) const;
  bool AdaptGainToLogicLevel(std::ostream& messages, const EyeLevels* searched);
  void PrepareEvaluationImpulse();
  void FillEvaluationImpulse();
  bool MeasureEye(std::ostream& messages, EyeLevels& levels);

  double gain_ = 1.0;
  std::int32_t impulseLength_ = 0;
  bool invertImpulse_ = false;
  std::vector<double> evalResponse_;
  FIR fir_;
  InterpolateStepRespData interpolation_;
  double bestEyeRatio_ = 0.0;
  BlockTrace trace_{"FIRwStepRespList"};
  double timeStep_ = 0.0;
  std::int64_t sampleCount_ = 0;
  double evalSampleInterval_ = 0.0;
};

}  // namespace norvask

#endif  // NORVASK_BLOCKS_FIRWSTEPRESPLIST_H_
