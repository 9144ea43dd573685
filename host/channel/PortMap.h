// Which ports of a multi-port S-parameter file form the link: a differential
// lane is four ports (P-in, N-in, P-out, N-out, 1-based as in the file), and
// its through transfer is the mixed-mode SDD21. A map is given on the
// command line ("1,3,2,4") or found from the data.
#ifndef NORVASK_HOST_CHANNEL_PORTMAP_H_
#define NORVASK_HOST_CHANNEL_PORTMAP_H_

#include <complex>
#include <string>
#include <vector>

#include "host/base/Status.h"
#include "host/channel/Touchstone.h"

namespace norvask::host {

struct PortMap {
  int pIn = 1;
  int nIn = 2;
  int pOut = 3;
  int nOut = 4;
};

// Reads "P-in,N-in,P-out,N-out": four distinct integers from 1 to 32. A
// failure says what is wrong, without naming the option.
Status parsePortMap(const std::string& text, PortMap& map);

// Reads "P,N": the two distinct ports an aggressor is driven on.
Status parsePortPair(const std::string& text, int& p, int& n);

// "P-in 1, N-in 3, P-out 2, N-out 4".
std::string describePortMap(const PortMap& map);

// True when every port of `map` exists in a file of `ports` ports.
bool portMapFits(const PortMap& map, int ports);

// The lanes of a file of 4·k ports, found from its lowest frequency: the
// strongest transfers pair every port with one other into through lines
// (input = the lower port number), and lines taken in the order of their
// input ports form lanes two by two, the first as P and the second as N.
// REQUIRES: network.ports is a multiple of 4; network has a frequency.
std::vector<PortMap> detectLanes(const NetworkData& network);

// Differential transfer from the pair (fromP, fromN) to the pair (toP, toN),
// 1-based, at every frequency: 0.5 (S_pp - S_pn - S_np + S_nn). With the
// ports of one lane this is its SDD21; from another lane's pair it is the
// crosstalk that lane couples into the victim's output.
std::vector<std::complex<double>> differentialTransfer(const NetworkData& network, int fromP,
                                                       int fromN, int toP, int toN);

// S21 of a 2-port file, the transfer from port 1 to port 2.
std::vector<std::complex<double>> singleEndedTransfer(const NetworkData& network);

}  // namespace norvask::host

#endif  // NORVASK_HOST_CHANNEL_PORTMAP_H_
