// A probability mass function of a sampled voltage on integer multiples of a
// voltage bin: the building block of the statistical eye.
//
// Every operation only adds and multiplies non-negative numbers, so each mass
// keeps its relative accuracy however small it gets: a tail of 1e-30 is as
// good as the bulk. Cumulative probabilities are summed upward from the lowest
// bin for the same reason, never formed as one minus something.
#ifndef NORVASK_HOST_ANALYSIS_VOLTAGEDISTRIBUTION_H_
#define NORVASK_HOST_ANALYSIS_VOLTAGEDISTRIBUTION_H_

#include <cstdint>
#include <vector>

namespace norvask::host {

class VoltageDistribution {
 public:
  // Certainly at `bin`.
  static VoltageDistribution PointAt(std::int64_t bin);

  // Adds an independent term of +shift or -shift bins, each with probability
  // one half: one cursor times a random bit. Cost: the current support.
  void AddSymmetricPair(std::int64_t shift);

  // The distribution of the sum with an independent `other`. Cost: the
  // product of the two supports (zero masses skipped).
  VoltageDistribution Plus(const VoltageDistribution& other) const;

  // The same distribution on bins `factor` times as wide: fine bin f moves to
  // the nearest coarse bin, f / factor rounded. `largestMove` is the farthest
  // any mass moved, in fine bins.
  VoltageDistribution Rebinned(std::int64_t factor, std::int64_t& largestMove) const;

  // Adds weight x other to the masses: builds a mixture term by term.
  void Accumulate(const VoltageDistribution& other, double weight);

  // For every bin b from `from` to `to`: the probability that this value plus
  // independent Gaussian noise (rms `noiseBins` bins, 0 for none) lies below
  // b + 1/2, the decision threshold between bin b and bin b + 1.
  std::vector<double> LowerTail(std::int64_t from, std::int64_t to, double noiseBins) const;

  std::int64_t highestBin() const { return lowest_ + static_cast<std::int64_t>(mass_.size()) - 1; }
  double At(std::int64_t bin) const;

 private:
  // Probability of a value at or below each bin from `from` to `to`.
  std::vector<double> Cumulative(std::int64_t from, std::int64_t to) const;

  std::int64_t lowest_ = 0;
  std::vector<double> mass_;
};

}  // namespace norvask::host

#endif  // NORVASK_HOST_ANALYSIS_VOLTAGEDISTRIBUTION_H_
