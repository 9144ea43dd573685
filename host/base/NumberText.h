// Numbers read from text the user wrote: command-line values, fields of
// channel files, keyword arguments. The whole text must be the number (white
// space before it is allowed, anything after it is not), so "5Gbps" or "1,5"
// never passes as 5 or 1.
#ifndef NORVASK_HOST_BASE_NUMBERTEXT_H_
#define NORVASK_HOST_BASE_NUMBERTEXT_H_

#include <string>

namespace norvask::host {

// A finite number; on false `value` is unspecified.
bool readFinite(const std::string& text, double& value);

// True when the text starts a number, finite or not, and holds nothing else:
// tells a data line ("0 nan") from a column title.
bool looksLikeNumber(const std::string& text);

// A whole number from `low` to `high` (decimal, no exponent).
bool readInteger(const std::string& text, long long low, long long high, long long& value);

}  // namespace norvask::host

#endif  // NORVASK_HOST_BASE_NUMBERTEXT_H_
