// Built with -ffp-contract=fast: the compiler fuses each multiply and add,
// which the filter may not do; for reference only.
#include "MachineLimit.h"
#include "MachineLimitChains.h"

namespace norvask::bench {

double RunFusedChains(FirKernel::InstructionSet set, double* result) {
  return RunChains(set, result);
}

}  // namespace norvask::bench
