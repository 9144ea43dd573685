// What a parameter of an .ami tree accepts: values of its type, within its
// range, on its list, its increment or its steps; the allowed values as a
// user reads them; and a value as the parameter string writes it.
#ifndef NORVASK_HOST_KIT_AMIVALUE_H_
#define NORVASK_HOST_KIT_AMIVALUE_H_

#include <string>

#include "host/base/Status.h"
#include "host/kit/AmiTree.h"

namespace norvask::host {

// Whether `text` reads as a value of `type`: a finite number (Float, UI,
// Tap), a whole number (Integer), True or False (Boolean), anything (String).
bool fitsType(AmiType type, const std::string& text);

// The format's own values make sense: min <= max, a positive increment, a
// positive whole number of steps. A failure says what was expected.
// REQUIRES: every value fits the parameter's type.
Status checkFormatValues(const AmiParameter& parameter);

// Whether the parameter accepts `text`.
bool allows(const AmiParameter& parameter, const std::string& text);

// "0 to 15", "a, b, c", "0 to 1 in steps of 0.25", "True or False".
std::string allowedValues(const AmiParameter& parameter);

// Checks `text` against the parameter and gives it as the parameter string
// writes it (numbers in their shortest exact form, strings quoted). A refusal
// reads "<name> <text> <why>; allowed: <values>".
Status checkSetting(const AmiParameter& parameter, const std::string& text, std::string& written);

// A value the parameter holds as the parameter string writes it.
// REQUIRES: fitsType(parameter.type, text).
std::string writtenValue(const AmiParameter& parameter, const std::string& text);

}  // namespace norvask::host

#endif  // NORVASK_HOST_KIT_AMIVALUE_H_
