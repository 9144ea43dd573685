#include "host/analysis/VoltageDistribution.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace norvask::host {

namespace {

// Beyond this many noise rms the Gaussian tail, erfc(37 / sqrt 2) / 2, is
// below 1e-300: the noise kernel is exactly 0 or 1 there in double precision.
constexpr double kNoiseReach = 38.0;

// Probability that the noise lies below (d + 1/2) bins, for d = -reach ..
// reach. erfc keeps full relative accuracy in both tails.
std::vector<double> noiseBelow(std::int64_t reach, double noiseBins) {
  std::vector<double> below(static_cast<std::size_t>(2 * reach + 1));
  for (std::int64_t d = -reach; d <= reach; ++d) {
    const double edge = (static_cast<double>(d) + 0.5) / (noiseBins * std::sqrt(2.0));
    below[static_cast<std::size_t>(d + reach)] = 0.5 * std::erfc(-edge);
  }
  return below;
}

}  // namespace

VoltageDistribution VoltageDistribution::PointAt(std::int64_t bin) {
  VoltageDistribution point;
  point.lowest_ = bin;
  point.mass_ = {1.0};
  return point;
}

void VoltageDistribution::AddSymmetricPair(std::int64_t shift) {
  shift = std::abs(shift);
  if (shift == 0)
    return;
  const std::size_t twice = static_cast<std::size_t>(2 * shift);
  std::vector<double> sum(mass_.size() + twice, 0.0);
  for (std::size_t i = 0; i < mass_.size(); ++i) {
    const double half = 0.5 * mass_[i];
    sum[i] += half;
    sum[i + twice] += half;
  }
  mass_.swap(sum);
  lowest_ -= shift;
}

VoltageDistribution VoltageDistribution::Plus(const VoltageDistribution& other) const {
  VoltageDistribution sum;
  sum.lowest_ = lowest_ + other.lowest_;
  sum.mass_.assign(mass_.size() + other.mass_.size() - 1, 0.0);
  for (std::size_t i = 0; i < mass_.size(); ++i) {
    const double mine = mass_[i];
    if (mine == 0.0)
      continue;
    double* out = sum.mass_.data() + i;
    for (std::size_t j = 0; j < other.mass_.size(); ++j)
      out[j] += mine * other.mass_[j];
  }
  return sum;
}

VoltageDistribution VoltageDistribution::Rebinned(std::int64_t factor,
                                                  std::int64_t& largestMove) const {
  // Nearest coarse bin, halves rounded up: floor((2 f + factor) / (2 factor)).
  auto nearest = [factor](std::int64_t f) {
    const std::int64_t n = 2 * f + factor, d = 2 * factor;
    return n >= 0 ? n / d : -((-n + d - 1) / d);
  };
  VoltageDistribution coarse;
  coarse.lowest_ = nearest(lowest_);
  coarse.mass_.assign(static_cast<std::size_t>(nearest(highestBin()) - coarse.lowest_ + 1), 0.0);
  largestMove = 0;
  for (std::size_t i = 0; i < mass_.size(); ++i) {
    if (mass_[i] == 0.0)
      continue;
    const std::int64_t fine = lowest_ + static_cast<std::int64_t>(i);
    const std::int64_t bin = nearest(fine);
    coarse.mass_[static_cast<std::size_t>(bin - coarse.lowest_)] += mass_[i];
    largestMove = std::max(largestMove, std::abs(bin * factor - fine));
  }
  return coarse;
}

void VoltageDistribution::Accumulate(const VoltageDistribution& other, double weight) {
  if (mass_.empty()) {
    lowest_ = other.lowest_;
    mass_.assign(other.mass_.size(), 0.0);
  }
  const std::int64_t low = std::min(lowest_, other.lowest_);
  const std::int64_t high = std::max(highestBin(), other.highestBin());
  std::vector<double> merged(static_cast<std::size_t>(high - low + 1), 0.0);
  for (std::size_t i = 0; i < mass_.size(); ++i)
    merged[static_cast<std::size_t>(lowest_ - low) + i] = mass_[i];
  for (std::size_t i = 0; i < other.mass_.size(); ++i)
    merged[static_cast<std::size_t>(other.lowest_ - low) + i] += weight * other.mass_[i];
  mass_.swap(merged);
  lowest_ = low;
}

double VoltageDistribution::At(std::int64_t bin) const {
  if (bin < lowest_ || bin > highestBin())
    return 0.0;
  return mass_[static_cast<std::size_t>(bin - lowest_)];
}

std::vector<double> VoltageDistribution::Cumulative(std::int64_t from, std::int64_t to) const {
  std::vector<double> cumulative(static_cast<std::size_t>(to - from + 1));
  double sum = 0.0;
  std::int64_t next = lowest_;  // first bin not yet summed
  for (std::int64_t b = from; b <= to; ++b) {
    for (; next <= b && next <= highestBin(); ++next)
      sum += mass_[static_cast<std::size_t>(next - lowest_)];
    cumulative[static_cast<std::size_t>(b - from)] = sum;
  }
  return cumulative;
}

std::vector<double> VoltageDistribution::LowerTail(std::int64_t from, std::int64_t to,
                                                   double noiseBins) const {
  if (!(noiseBins > 0.0))
    return Cumulative(from, to);
  const auto reach = static_cast<std::int64_t>(std::ceil(kNoiseReach * noiseBins)) + 1;
  const std::vector<double> below = noiseBelow(reach, noiseBins);
  // Masses more than `reach` bins below the threshold count whole.
  const std::vector<double> whole = Cumulative(from - reach - 1, to - reach - 1);
  std::vector<double> tail(static_cast<std::size_t>(to - from + 1));
  for (std::int64_t b = from; b <= to; ++b) {
    double sum = whole[static_cast<std::size_t>(b - from)];
    const std::int64_t first = std::max(b - reach, lowest_);
    const std::int64_t last = std::min(b + reach, highestBin());
    for (std::int64_t m = first; m <= last; ++m) {
      sum += mass_[static_cast<std::size_t>(m - lowest_)] *
             below[static_cast<std::size_t>(b - m + reach)];
    }
    tail[static_cast<std::size_t>(b - from)] = sum;
  }
  return tail;
}

}  // namespace norvask::host
