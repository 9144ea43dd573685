#include "dsp/MatrixMath.h"

#include <cmath>
#include <cstddef>
#include <iostream>
#include <new>

namespace norvask {

namespace {

// The side length of a square matrix of `count` values, or 0 when `count` is
// not a perfect square. Rounding the single-precision root is exact for every
// size this code can afford to expand.
std::size_t squareSide(std::size_t count) {
  const auto side = static_cast<std::size_t>(std::sqrt(static_cast<float>(count)) + 0.5f);
  return side * side == count ? side : 0;
}

// Rows 1..n-1 of `matrix` without column `skipped`, row-major, into `minor`.
void fillMinor(const std::vector<double>& matrix, std::size_t n, std::size_t skipped,
               std::vector<double>& minor) {
  std::size_t next = 0;
  for (std::size_t r = 1; r < n; ++r) {
    for (std::size_t c = 0; c < n; ++c) {
      if (c != skipped)
        minor[next++] = matrix[r * n + c];
    }
  }
}

}  // namespace

bool MatrixMath::MatrixDeterminant(double& det, const std::vector<double>& matrix,
                                   std::int32_t level) {
  determinantTrace_.OnCall(level == 0 ? trace_ : nullptr);
  const std::size_t n = squareSide(matrix.size());
  if (n == 0)
    return false;
  if (n == 1) {
    det = matrix[0];
    return true;
  }
  if (n == 2) {
    det = matrix[3] * matrix[0] - matrix[2] * matrix[1];
    return true;
  }
  std::vector<double> minor;
  try {
    minor.resize((n - 1) * (n - 1));
  } catch (const std::bad_alloc& failure) {
    std::cerr << "bad_alloc: " << failure.what() << "\n";
    return false;
  }
  double sum = 0.0;
  for (std::size_t c = 0; c < n; ++c) {
    fillMinor(matrix, n, c, minor);
    double minorDet = 0.0;
    if (!MatrixDeterminant(minorDet, minor, level + 1))
      return false;
    const double element = (c % 2 == 0) ? matrix[c] : -matrix[c];
    sum += element * minorDet;
  }
  det = sum;
  return true;
}

}  // namespace norvask
