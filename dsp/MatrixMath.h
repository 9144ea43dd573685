// Small dense-matrix operations for the numeric kernels. A matrix is a vector
// of n x n values in row-major order: element (r, c) is value r * n + c.
// Only the determinant is needed here; the curve fit solves its 4 x 4 system
// with it by Cramer's rule.
#ifndef NORVASK_DSP_MATRIX_MATH_H_
#define NORVASK_DSP_MATRIX_MATH_H_

#include <cstdint>
#include <vector>

#include "dsp/BlockTrace.h"

namespace norvask {

class MatrixMath {
 public:
  // `trace` may be null; it must outlive the object.
  explicit MatrixMath(TraceStream* trace) : trace_(trace) {}

  // Determinant by cofactor expansion along row 0, so O(n!): meant for 4 x 4
  // and smaller. `level` is 0 for an outside call (which may write the trace
  // line) and grows by one per recursion.
  // Fails, leaving `det` unchanged, when the value count is not a perfect
  // square or when the minors' buffer cannot be allocated (then a
  // "bad_alloc: " line goes to standard error, the only place there is to
  // report it). A 1 x 1 matrix yields its value; an empty one fails, as it
  // has nothing to expand.
  bool MatrixDeterminant(double& det, const std::vector<double>& matrix, std::int32_t level);

 private:
  TraceStream* trace_;
  OperationTrace determinantTrace_{"MatrixMath::MatrixDeterminant"};
};

}  // namespace norvask

#endif  // NORVASK_DSP_MATRIX_MATH_H_
