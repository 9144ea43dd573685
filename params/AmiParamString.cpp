#include "params/AmiParamString.h"

#include <cstring>

namespace norvask {
namespace {

// The lookups find a list by the blank before its '(' as well as by its mark,
// so every '(' gets a space in front of it unless it starts the text or one is
// there already.
bool needsSpaceBefore(const char* input, std::uint64_t i) {
  return input[i] == '(' && i > 0 && input[i - 1] != ' ';
}

std::uint64_t normalisedLength(const char* input, std::uint64_t inputLength) {
  std::uint64_t length = inputLength;
  for (std::uint64_t i = 0; i < inputLength; ++i) {
    if (needsSpaceBefore(input, i))
      ++length;
  }
  return length;
}

void copyNormalised(const char* input, std::uint64_t inputLength, char* text) {
  std::uint64_t out = 0;
  for (std::uint64_t i = 0; i < inputLength; ++i) {
    if (needsSpaceBefore(input, i))
      text[out++] = ' ';
    text[out++] = input[i];
  }
  text[out] = '\0';
}

// Unbalanced text is marked by the same rule: after surplus ')' the running
// level is negative, and the marks follow it there.
void markNesting(AmiParamString& params) {
  const char* text = params.text.get();
  std::int64_t level = 0;
  for (std::uint64_t i = 0; i < params.length; ++i) {
    if (text[i] == '(') {
      ++level;
      params.nestingMark[i] = static_cast<std::int32_t>(level);
      if (params.firstParen == -1)
        params.firstParen = static_cast<std::int32_t>(i);
    } else if (text[i] == ')') {
      params.nestingMark[i] = static_cast<std::int32_t>(-level);
      --level;
    }
  }
}

}  // namespace

namespace detail {

AmiParamString parseParameters(const char* input, std::uint64_t maxLength) {
  AmiParamString params;
  if (input == nullptr)
    return params;
  const std::uint64_t inputLength = std::strlen(input);
  if (inputLength == 0)
    return params;
  const std::uint64_t length = normalisedLength(input, inputLength);
  if (length > maxLength)
    return params;

  params.length = length;
  params.text = std::make_unique<char[]>(length + 1);
  params.nestingMark.assign(length + 1, 0);
  copyNormalised(input, inputLength, params.text.get());
  markNesting(params);
  return params;
}

}  // namespace detail

AmiParamString parseParameters(const char* input) {
  return detail::parseParameters(input, kMaxParamTextLength);
}

void releaseParameters(AmiParamString& params) {
  params = AmiParamString{};
}

}  // namespace norvask
