// Built with -ffp-contract=off, as the filter is: every pair is a multiply and
// a separate add, the filter's own arithmetic.
#include "MachineLimit.h"
#include "MachineLimitChains.h"

namespace norvask::bench {

double RunUnfusedChains(FirKernel::InstructionSet set, double* result) {
  return RunChains(set, result);
}

}  // namespace norvask::bench
