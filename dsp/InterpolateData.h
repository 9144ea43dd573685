// Resamples data given as pairs (xData[i], yData[i]) onto new abscissae: an
// explicit list x_Data or a regular grid of nPtsOut points from x_Start in
// steps of x_Step. Kernels: linear, shape-preserving cubic and four-point
// Lagrange, optionally over a logarithmic abscissa. It can turn the result
// into first differences and, for step data on a grid, scale them so that
// they add up to the data's final value (a step response becomes an impulse).
#ifndef NORVASK_DSP_INTERPOLATE_DATA_H_
#define NORVASK_DSP_INTERPOLATE_DATA_H_

#include <cstdint>
#include <ostream>
#include <vector>

#include "dsp/BlockTrace.h"
#include "dsp/SettingsCheck.h"

namespace norvask {

class InterpolateData {
 public:
  // References to the owner's vectors, set before Setup.
  // REQUIRES: all four non-null and alive from Setup to the end of Initialize.
  std::vector<double>* yDataOut = nullptr;     // result, resized by each run
  std::vector<double>* x_Data = nullptr;       // option 1: read; option 0: filled
  const std::vector<double>* yData = nullptr;  // input ordinates
  // Input abscissae. Shifted (and log-transformed) in place during a run and
  // restored exactly at its successful end; a failed run leaves them shifted,
  // so the owner refills them before the next run.
  std::vector<double>* xData = nullptr;

  std::int32_t x_DataOption = 0;  // 1: explicit x_Data; 0: regular grid
  double x_Step = 1.0;            // every run overwrites it from x_Data
  double x_Start = 0.0;           // every run overwrites it with x_Data[0]
  std::int32_t nPtsOut = 0;
  std::int32_t UseLogX = 0;
  std::int32_t InterpolationType = 0;  // 0 linear, 1 shape-preserving cubic, 2 Lagrange
  std::int32_t DifferentiateData = 0;
  std::int32_t ScaleByOneOverXStep = 0;
  std::int32_t ScaleForFinalValue = 0;
  std::int32_t StepData = 0;  // 1: zero before the start, flat after the end

  // Checks the settings and the data, writing every violation; a bad StepData
  // stops the checks, and the order of xData is checked only when all else
  // passed. With an empty xData the x_Start and end-of-grid checks are
  // skipped: there is no abscissa to compare with, and the size messages
  // already tell what is wrong.
  bool Setup(TraceStream* trace, std::ostream& messages);
  // One interpolation run (with the grid built first for option 0), then the
  // differences and their scaling. Fails when a cubic fit fails, and, rather
  // than filling the result with infinities, when differences that are to be
  // scaled add up to exactly 0; the result then keeps the unscaled differences.
  // REQUIRES: a successful Setup since the vectors or settings last changed.
  bool Initialize(std::ostream& messages);
  // Releases the work buffer.
  void Finalize();

 private:
  void CheckGrid(SettingsCheck& check) const;
  bool CheckAscending(std::ostream& messages) const;
  void BuildGrid();
  bool InterpolateOver(const std::vector<double>& outX, std::ostream& messages);
  void ShiftAbscissae();
  void TransformToLogAxis();
  void RestoreAbscissae();
  bool ScaleDifferences(std::ostream& messages);

  BlockTrace trace_{"InterpolateData"};
  double xOrigin_ = 0.0;
  double logXRef_ = 1.0;
  std::vector<double> originalX_;  // work buffer: xData as the run found it
};

}  // namespace norvask

#endif  // NORVASK_DSP_INTERPOLATE_DATA_H_
