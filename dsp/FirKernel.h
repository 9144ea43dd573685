// Block kernel of the direct-form FIR: computes many outputs of one filter at
// once, SIMD across outputs, while summing every output exactly as the
// per-sample loop does (0.0 plus each tap's product in increasing tap order,
// a separate multiply and add per term), so its results are bit-identical to
// that loop. The widest instruction set the processor offers is chosen at run
// time, so one portable binary reaches AVX2 or AVX-512 where they exist.
#ifndef NORVASK_DSP_FIRKERNEL_H_
#define NORVASK_DSP_FIRKERNEL_H_

#include <cstdint>
#include <memory>

namespace norvask {

class FirKernel {
 public:
  enum class InstructionSet { kScalar, kAvx2, kAvx512 };

  // The widest set that both this processor and the operating system support.
  static InstructionSet Detect();
  static bool Supported(InstructionSet set);
  static const char* Name(InstructionSet set);

  // Outputs past `count` that a call may compute and throw away: the vector
  // paths work on whole blocks, so they read this many inputs beyond count.
  static constexpr std::int64_t kPadding = 32;

  // REQUIRES: Supported(set).
  explicit FirKernel(InstructionSet set = Detect()) : set_(set) {}
  // A copy has the same instruction set and reservation, with its own scratch.
  FirKernel(const FirKernel& other) : set_(other.set_) { Reserve(other.reservedCount_); }
  FirKernel& operator=(const FirKernel& other);
  FirKernel(FirKernel&&) = default;
  FirKernel& operator=(FirKernel&&) = default;

  // Sizes the scratch for calls of up to maxCount outputs. The only place
  // that allocates; Filter never does.
  void Reserve(std::int64_t maxCount);

  // out[j] = sum over k < n(j) of h[k] * x[j - k], for j in [0, count), where
  // n(j) = min(terms, start + j): the first output sums `start` terms and each
  // later one one more, as near the start of a filter whose history before
  // the first input counts as absent; start >= terms gives every output all.
  // REQUIRES: 1 <= start, 1 <= terms; count <= the reserved count;
  // x[-(terms - 1)] up to x[count + kPadding - 1] readable (the padded inputs
  // only feed discarded outputs, the reach before x[-(start - 1)] only
  // outputs that skip it); out does not overlap x.
  void Filter(const double* h, std::int32_t terms, std::int32_t start, const double* x, double* out,
              std::int64_t count);

 private:
  InstructionSet set_;
  std::int64_t reservedCount_ = 0;
  // Left uninitialised (no zero fill): a short column touches only the few
  // pages it uses, which matters when a host calls AMI_Init on small grids.
  std::unique_ptr<double[]> sums_;  // padded outputs of the vector paths
};

}  // namespace norvask

#endif  // NORVASK_DSP_FIRKERNEL_H_
