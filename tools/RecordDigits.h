// Numbers as the records write them: decimal text with a given count of
// significant digits. Reading and writing go through the same C library
// calls, so a value written here reads back exactly.
#ifndef NORVASK_TOOLS_RECORDDIGITS_H_
#define NORVASK_TOOLS_RECORDDIGITS_H_

#include <string>

namespace norvask::tools {

double parseDecimal(const std::string& literal);

// `value` to `digits` significant digits, as printf's %g writes it.
std::string roundedText(double value, int digits);

// Half a step of the last of `digits` significant digits of `reading`: the
// half-width of the interval a reading of that many digits stands for.
double halfStepOfLastDigit(const char* reading, int digits);

}  // namespace norvask::tools

#endif  // NORVASK_TOOLS_RECORDDIGITS_H_
