#include "ami/Norvask.h"

#include "data/StepResponseTable.h"

namespace norvask {

void buildStepResponseList(StepRespList& list) {
  list.assign(kStepResponseColumns, std::vector<double>(kStepResponseRows, 0.0));
  // Row by row, so the table is read in the order it is stored.
  const double* start = StepResponseTable;
  for (int i = 0; i < kStepResponseRows; ++i) {
    const double* row = StepResponseTable + kStepResponseColumns * i;
    for (int k = 0; k < kStepResponseColumns; ++k)
      list[k][i] = row[k] - start[k];
  }
}

// Empties the stream only when something was written, so the per-sample Run
// does not touch the buffer in the usual case of no messages.
void Norvask::ClearMessages() {
  messageStream.clear();
  if (messageStream.tellp() != std::streampos(0))
    messageStream.str(std::string());
}

bool Norvask::Setup() {
  ClearMessages();
  unitImpulse.assign(1, 1.0);
  StepRespIndex = txi;
  ChannelImpulse = unitImpulse;
  if (StepResp_data_values.empty())
    buildStepResponseList(StepResp_data_values);

  equalizer_.ChannelImpulse = &ChannelImpulse;
  equalizer_.BitRate = BitRate;
  equalizer_.SamplesPerBit = SamplesPerBit;
  equalizer_.StepRespIndex = StepRespIndex;
  equalizer_.AdaptForLogicLevel = AdaptForLogicLevel;
  equalizer_.Gain_dB = Gain_dB;
  equalizer_.LogicLevel = LogicLevel;
  equalizer_.AdaptStepRespIndex = AdaptStepRespIndex;
  equalizer_.InterpolationType = InterpolationType;
  equalizer_.OutputStepRespData = OutputStepRespData;
  equalizer_.NumStepResp = kNumStepResponses;
  equalizer_.StepResp_data_values = &StepResp_data_values;
  equalizer_.SharedTimeAxis = 1;
  return equalizer_.Setup(nullptr, messageStream);
}

bool Norvask::Initialize() {
  ClearMessages();
  return equalizer_.Initialize(messageStream);
}

bool Norvask::Run() {
  ClearMessages();
  equalizer_.In = In;
  equalizer_.Run(messageStream);
  Out = equalizer_.Out * OutputGain;
  Time = equalizer_.Time;
  return true;
}

bool Norvask::RunBlock(double* column, std::int64_t rows) {
  ClearMessages();
  if (rows <= 0)
    return true;
  In = column[rows - 1];
  equalizer_.RunBlock(column, rows, messageStream);
  // The equalizer yields results of arithmetic, never signalling NaNs, so a
  // gain of exactly 1 would change no bit.
  if (OutputGain != 1.0) {
    for (std::int64_t r = 0; r < rows; ++r)
      column[r] *= OutputGain;
  }
  Out = column[rows - 1];
  Time = equalizer_.Time;
  return true;
}

bool Norvask::Finalize() {
  ClearMessages();
  equalizer_.Finalize();
  return true;
}

}  // namespace norvask
