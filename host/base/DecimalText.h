// Reading numbers out of channel files, the step that dominates how long a
// large S-parameter file takes to load. The result is always the one
// std::strtod gives, bit for bit, so a faster reader changes no figure and no
// refusal; only the plain decimal form takes the fast road.
#ifndef NORVASK_HOST_BASE_DECIMALTEXT_H_
#define NORVASK_HOST_BASE_DECIMALTEXT_H_

namespace norvask::host {

// Reads the text [first, last) as std::strtod reads a C string holding it:
// true when strtod would read a number and stop only at the end of the text
// (or at a NUL inside it), with `value` the number strtod returns. Everything
// strtod takes is taken (a leading '+', ".5", "5.", exponents, hexadecimal,
// "inf" and "nan", overflow as an infinity, underflow as a subnormal or zero),
// so callers that want finite numbers check for them.
// REQUIRES: first <= last.
bool readDecimal(const char* first, const char* last, double& value);

// The short road alone, for a reader that splits words itself: reads a plain
// decimal of at most 19 significant digits and a power of ten within 10^-22 to
// 10^22 (most numbers in channel files) from `first` on, and returns where it
// ends, with `value` the number strtod reads from those characters; nullptr
// when the text there does not start with such a number. A word that does not
// end where the number does is for readDecimal.
// REQUIRES: first <= last.
const char* readShortDecimal(const char* first, const char* last, double& value);

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_DECIMALTEXT_H_
