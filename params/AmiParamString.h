// The parameter text that AMI_Init receives, prepared for lookups by path.
// parseParameters keeps a normalised copy of the text and marks every
// parenthesis with its nesting level instead of building a tree; the lookups in
// ParameterLookup.h search that marked copy by level and by name.
#ifndef NORVASK_PARAMS_AMIPARAMSTRING_H_
#define NORVASK_PARAMS_AMIPARAMSTRING_H_

#include <cstdint>
#include <memory>
#include <vector>

namespace norvask {

// The parsed parameter text. Lookups change it (they replace name1/name2,
// record rootName once and write a NUL after every value they read), so one
// caller at a time uses it, and only for lookups.
struct AmiParamString {
  // Normalised text, NUL-terminated; null when there is nothing to look up in.
  std::unique_ptr<char[]> text;
  // One entry per character of `text` plus its NUL: +level at '(', -level at
  // ')', 0 elsewhere.
  std::vector<std::int32_t> nestingMark;
  // Position of the first '(' in `text`, or -1.
  std::int32_t firstParen = -1;
  // Characters in `text` without the NUL.
  std::uint64_t length = 0;
  // Root component of the path of the first lookup; null until then.
  std::unique_ptr<char[]> rootName;
  // Second and third path components of the current lookup.
  std::unique_ptr<char[]> name1;
  std::unique_ptr<char[]> name2;
  std::int32_t rootNameLength = 0;
  std::int32_t name1Length = 0;
  std::int32_t name2Length = 0;
};

// Positions in the text are signed 32-bit; a normalised text longer than this
// is refused as a whole (no text, so every lookup fails).
inline constexpr std::uint64_t kMaxParamTextLength = INT32_MAX - 1;

// Parses a NUL-terminated parameter text; null reads as an empty text. Never
// fails and never reports: what the text lacks, the lookups find out.
AmiParamString parseParameters(const char* input);

// Releases every buffer; the object is then as an empty text leaves it.
void releaseParameters(AmiParamString& params);

namespace detail {
// parseParameters with an adjustable length limit, so the refusal of an
// over-long text can be exercised without gigabytes of input.
AmiParamString parseParameters(const char* input, std::uint64_t maxLength);
}  // namespace detail

}  // namespace norvask

#endif  // NORVASK_PARAMS_AMIPARAMSTRING_H_
