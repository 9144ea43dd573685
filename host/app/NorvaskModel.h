// Why the model refused its parameters, in the user's terms. The Norvask
// model reports a bad driver setting by its internal name (a 1-based step
// response index); the user set txi, 0 to 15, and should read that.
#ifndef NORVASK_HOST_APP_NORVASKMODEL_H_
#define NORVASK_HOST_APP_NORVASKMODEL_H_

#include <string>

namespace norvask::host {

// One line: "txi 16 is outside 0 to 15" when the model refused the step
// response index, with the txi value as `parameters` give it; otherwise
// "see the model's message".
std::string refusalReason(const std::string& parameters, const std::string& message);

}  // namespace norvask::host

#endif  // NORVASK_HOST_APP_NORVASKMODEL_H_
