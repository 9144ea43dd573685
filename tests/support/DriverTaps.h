// Independent reference for what the model does to a column: the driver taps
// straight from the interpolation block, and a plain convolution with them.
#ifndef NORVASK_TESTS_SUPPORT_DRIVERTAPS_H_
#define NORVASK_TESTS_SUPPORT_DRIVERTAPS_H_

#include <sstream>
#include <vector>

#include "ami/Norvask.h"
#include "blocks/InterpolateStepRespData.h"

namespace norvask::testing {

// The driver impulse response of 1-based step response `index` on a grid.
inline std::vector<double> driverTaps(int index, double bitRate = 2.8e10, int samplesPerBit = 32) {
  StepRespList list;
  buildStepResponseList(list);
  InterpolateStepRespData block;
  block.BitRate = bitRate;
  block.SamplesPerBit = samplesPerBit;
  block.StepRespIndex = index;
  block.NumStepResp = 16;
  block.SharedTimeAxis = 1;
  block.StepResp_data_values = &list;
  std::ostringstream messages;
  if (!block.Setup(nullptr, messages) || !block.Initialize(messages))
    return {};
  return block.yDataOut;
}

// y[r] = gain * sum over k of taps[k] * x[r - k], for the first x.size() rows.
inline std::vector<double> convolve(const std::vector<double>& x, const std::vector<double>& taps,
                                    double gain = 1.0) {
  std::vector<double> y(x.size(), 0.0);
  for (std::size_t r = 0; r < x.size(); ++r) {
    for (std::size_t k = 0; k < taps.size() && k <= r; ++k)
      y[r] += taps[k] * x[r - k];
    y[r] *= gain;
  }
  return y;
}

}  // namespace norvask::testing

#endif  // NORVASK_TESTS_SUPPORT_DRIVERTAPS_H_
