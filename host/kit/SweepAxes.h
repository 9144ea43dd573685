// The values a sweep takes of each parameter it names: every value of an
// integer range, a list, an increment or steps; a float range given as
// NAME=START:STOP:STEP; or a list given as NAME=a,b,c. Every value is checked
// against the parameter as a --set value is, and the product of all axes
// stays within kMaxSweepPoints runs.
#ifndef NORVASK_HOST_KIT_SWEEPAXES_H_
#define NORVASK_HOST_KIT_SWEEPAXES_H_

#include <string>
#include <vector>

#include "host/base/Status.h"
#include "host/kit/AmiTree.h"

namespace norvask::host {

// A run of the model and both eyes per point: at a few hundred milliseconds
// each, more than this is an afternoon, and a typing error.
inline constexpr long kMaxSweepPoints = 4096;

struct SweepAxis {
  std::string name;
  std::vector<std::string> values;  // as the parameter string writes them
};

// One axis from "NAME", "NAME=START:STOP:STEP" or "NAME=a,b,c", NAME a
// settable parameter of the tree. A failure says what is wrong and what the
// parameter allows.
Status readSweepAxis(const AmiTree& tree, const std::string& spec, SweepAxis& axis);

// Every axis, each named once, with the size of their product checked.
Status readSweepAxes(const AmiTree& tree, const std::vector<std::string>& specs,
                     std::vector<SweepAxis>& axes);

}  // namespace norvask::host

#endif  // NORVASK_HOST_KIT_SWEEPAXES_H_
