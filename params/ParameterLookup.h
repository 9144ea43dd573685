// Typed reads of single parameters from a parsed parameter text, addressed by
// a dotted path "root.name1" or "root.name1.name2": name1 is a list directly
// inside the root list, name2 a list one level deeper. The init functions are
// the model's reads: they keep the default and say so when a value is missing.
#ifndef NORVASK_PARAMS_PARAMETERLOOKUP_H_
#define NORVASK_PARAMS_PARAMETERLOOKUP_H_

#include <cstdint>
#include <ostream>

#include "params/AmiParamString.h"

namespace norvask {

// Reads the value at `path` as a decimal floating-point number (0 when the
// token holds none). Returns false when it is not found; `value` is then -1.
// A successful read writes a NUL into params.text just after the value token.
// The root component is checked against the text on the first lookup only.
bool getDoubleParameter(AmiParamString& params, double& value, const char* path);

// As getDoubleParameter, for a decimal integer; a fractional part is cut off
// and a value beyond the 32-bit range is clamped to it.
bool getIntParameter(AmiParamString& params, std::int32_t& value, const char* path);

// Reads "Norvask.<name>" into `field`; when it is missing, `field` keeps its
// value and the default-setting line goes to `messages`.
void initDoubleParameter(std::ostream& messages, AmiParamString& params, const char* name,
                         double& field);
void initIntParameter(std::ostream& messages, AmiParamString& params, const char* name,
                      std::int32_t& field);

}  // namespace norvask

#endif  // NORVASK_PARAMS_PARAMETERLOOKUP_H_
