// Constants the host's arithmetic shares.
#ifndef NORVASK_HOST_BASE_MATHCONSTANTS_H_
#define NORVASK_HOST_BASE_MATHCONSTANTS_H_

#include <cmath>

namespace norvask::host {

inline const double kPi = std::acos(-1.0);

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_MATHCONSTANTS_H_
