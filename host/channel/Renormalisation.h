// S-parameters measured against other reference resistances, brought to the
// 50 ohm at every port that the conversion and the model assume. A 100 ohm
// differential probe or a field solver's port impedance would otherwise be
// read as if it were 50 ohm, and every reflection in the channel with it.
//
// For real references the waves against R and against 50 ohm are related
// port by port, a' = k (a - g b) and b' = k (b - g a) with
// g = (50 - R) / (50 + R) and k = (R + 50) / (2 sqrt(50 R)); so
// S' = K (S - G)(I - G S)^-1 K^-1, with G and K diagonal. K drops out when
// every port has the same reference.
#ifndef NORVASK_HOST_CHANNEL_RENORMALISATION_H_
#define NORVASK_HOST_CHANNEL_RENORMALISATION_H_

#include <string>

#include "host/base/Status.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

inline constexpr double kSystemReferenceOhms = 50.0;

// True when some port's reference is not 50 ohm.
bool needsRenormalisation(const NetworkData& network);

// The references of `network`, for a report: "100 ohm" when all ports share
// it, else every port's in order ("50, 100 ohm").
std::string describeReferences(const NetworkData& network);

// Renormalises every frequency point of `network` to 50 ohm at every port.
// Fails, naming `sourceName` and the frequency, where I - G S is singular,
// which passive data never is.
// REQUIRES: network.references holds one resistance > 0 per port.
Status renormaliseTo50Ohm(NetworkData& network, const std::string& sourceName);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_RENORMALISATION_H_
