#include "params/ParameterLookup.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

namespace norvask {
namespace {

// Positions are 32-bit values; sums of them are formed in 64 bits so that no
// step can overflow, and anything past the 32-bit range is refused.
using Pos = std::int64_t;
constexpr Pos kNotFound = -1;

constexpr std::int32_t kName1Level = 2;
constexpr std::int32_t kName2Level = 3;

Pos textLength(const AmiParamString& params) {
  return static_cast<Pos>(params.length);
}

Pos skipSpaces(const char* text, Pos from, Pos end) {
  while (from < end && text[from] == ' ')
    ++from;
  return from;
}

// Only these end a name in the text; a tab does not.
bool isNameSeparator(char c) {
  return c == ' ' || c == '\n' || c == '\f' || c == '\r';
}

// What may follow the root in the text instead of the end of the root name.
bool isRootTrailer(char c) {
  return c == '\n' || c == '\f' || c == '\r' || c == ' ' || c == '(';
}

bool isRootLead(char c) {
  return c == '\t' || c == '\n' || c == ' ' || c == '(' || c == ')';
}

std::unique_ptr<char[]> copyOf(const char* from, Pos count) {
  auto copy = std::make_unique<char[]>(static_cast<std::size_t>(count) + 1);
  std::memcpy(copy.get(), from, static_cast<std::size_t>(count));
  copy[count] = '\0';
  return copy;
}

// The root starts at the path's first character that is not a blank or a
// parenthesis and ends before the next '.'. Records it; false without a dot.
bool recordRoot(AmiParamString& params, const char* path, Pos pathLength) {
  Pos start = 0;
  while (start < pathLength && isRootLead(path[start]))
    ++start;
  if (start == pathLength)
    return false;
  const void* dot = std::memchr(path + start, '.', static_cast<std::size_t>(pathLength - start));
  if (dot == nullptr)
    return false;
  const Pos rootLength = static_cast<const char*>(dot) - (path + start);
  params.rootName = copyOf(path + start, rootLength);
  params.rootNameLength = static_cast<std::int32_t>(rootLength);
  return true;
}

// The text's root is the word after the first '(' and its spaces. It matches
// when it equals the recorded root followed by a blank, a '(' or the end of
// the text; a shorter word that is a prefix of the root passes as well.
bool rootMatchesText(const AmiParamString& params) {
  const Pos length = textLength(params);
  const Pos rootLength = params.rootNameLength;
  const char* text = params.text.get();
  const Pos firstParen = params.firstParen;
  const Pos s = skipSpaces(text, firstParen + 1, std::min(firstParen + rootLength + 2, length));
  // The window includes the character after the root, at most the text's NUL.
  Pos window = std::min(rootLength + 1, length - s + 1);
  while (window > 1 && isRootTrailer(text[s + window - 1]))
    --window;
  return std::memcmp(params.rootName.get(), text + s, static_cast<std::size_t>(window)) == 0;
}

// Runs on the first lookup only; the root stays recorded even when it does
// not match, so later lookups search the text whatever its root is.
bool checkRoot(AmiParamString& params, const char* path, Pos pathLength) {
  if (pathLength == 0 || !recordRoot(params, path, pathLength))
    return false;
  return rootMatchesText(params);
}

// The path component starting at `from`: up to the next '.', or to the end of
// the path, where a final '.' belongs to the component.
Pos componentLength(const char* path, Pos from, Pos pathLength) {
  Pos end = from;
  while (path[end] != '.' && end < pathLength - 1)
    ++end;
  return (path[end] == '.' && end < pathLength - 1) ? end - from : end - from + 1;
}

bool splitPath(AmiParamString& params, const char* path) {
  if (params.text == nullptr)
    return false;
  const Pos pathLength = path == nullptr ? 0 : static_cast<Pos>(std::strlen(path));
  if (pathLength > static_cast<Pos>(kMaxParamTextLength))
    return false;
  if (params.rootName == nullptr && !checkRoot(params, path, pathLength))
    return false;

  // Later paths are taken to begin with the root recorded by the first one.
  const Pos name1Start = params.rootNameLength + 1;
  if (name1Start >= pathLength)
    return false;
  const Pos name1Length = componentLength(path, name1Start, pathLength);
  params.name1 = copyOf(path + name1Start, name1Length);
  params.name1Length = static_cast<std::int32_t>(name1Length);
  if (params.rootNameLength + name1Length + 1 >= pathLength)
    return true;

  const Pos name2Start = params.rootNameLength + name1Length + 2;
  if (name2Start >= pathLength)
    return false;
  const Pos name2Length = componentLength(path, name2Start, pathLength);
  params.name2 = copyOf(path + name2Start, name2Length);
  params.name2Length = static_cast<std::int32_t>(name2Length);
  return true;
}

struct NameAttempt {
  bool matched;
  Pos stop;  // the separator position on a match, else where the attempt ended
};

// Compares the name with the text at `at`. The last character of the text is
// never part of a name, and a name that runs up to it needs no separator.
NameAttempt matchNameAt(const AmiParamString& params, Pos at, const char* name, Pos nameLength) {
  const Pos last = textLength(params) - 1;
  const char* text = params.text.get();
  for (Pos k = 0; k < nameLength; ++k) {
    const Pos pos = at + k;
    if (pos >= last || text[pos] != name[k])
      return {false, pos};
  }
  const Pos separator = at + nameLength;
  if (separator < last && !isNameSeparator(text[separator]))
    return {false, separator};
  return {true, separator};
}

// First list at `level`, from `start` on, whose name is `name`; returns the
// position just after the name, or kNotFound.
Pos findName(const AmiParamString& params, Pos start, std::int32_t level, const char* name,
             Pos nameLength) {
  const Pos length = textLength(params);
  Pos i = start;
  while (i < length) {
    if (params.nestingMark[i] != level) {
      ++i;
      continue;
    }
    const Pos at = skipSpaces(params.text.get(), i + 1, length);
    if (at >= length) {
      ++i;
      continue;
    }
    const NameAttempt attempt = matchNameAt(params, at, name, nameLength);
    if (attempt.matched)
      return attempt.stop;
    i = attempt.stop + 1;
  }
  return kNotFound;
}

// Position of the value's first character, or kNotFound.
Pos findValue(const AmiParamString& params) {
  Pos end = findName(params, 0, kName1Level, params.name1.get(), params.name1Length);
  if (end == kNotFound)
    return kNotFound;
  if (params.name2Length > 0) {
    end = findName(params, end, kName2Level, params.name2.get(), params.name2Length);
    if (end == kNotFound)
      return kNotFound;
  }
  const Pos length = textLength(params);
  const Pos value = end + 1;
  if (value >= length)
    return kNotFound;
  const Pos start = skipSpaces(params.text.get(), value, length);
  return start < length ? start : kNotFound;
}

// Finds the value at `path` and ends its token with a NUL written into the
// text, so the conversion stops there; returns the token, or null.
const char* cutValueToken(AmiParamString& params, const char* path) {
  params.name1.reset();
  params.name2.reset();
  params.name1Length = 0;
  params.name2Length = 0;
  if (!splitPath(params, path))
    return nullptr;
  const Pos start = findValue(params);
  if (start == kNotFound)
    return nullptr;

  const Pos last = textLength(params) - 1;
  char* text = params.text.get();
  Pos end = start;
  while (end < last && params.nestingMark[end] == 0 && text[end] != ' ')
    ++end;
  text[end] = '\0';
  return text + start;
}

std::string modelPath(const char* name) {
  return std::string("Norvask.") + (name == nullptr ? "" : name);
}

// Composed on its own stream so that the host's stream flags cannot change
// the number format and the line arrives in one piece.
template <typename Number>
void writeDefaultSetting(std::ostream& messages, const char* name, Number value) {
  std::ostringstream line;
  line << "The IBIS-AMI model, Norvask, is unable to initialize the parameter "
       << (name == nullptr ? "" : name)
       << " from the AMI_Init arguments.The model will use the default setting = " << value
       << ".\n";
  messages << line.str();
}

}  // namespace

bool getDoubleParameter(AmiParamString& params, double& value, const char* path) {
  value = -1.0;
  const char* token = cutValueToken(params, path);
  if (token == nullptr)
    return false;
  // strtod is atof with defined results for out-of-range values.
  value = std::strtod(token, nullptr);
  return true;
}

bool getIntParameter(AmiParamString& params, std::int32_t& value, const char* path) {
  value = -1;
  const char* token = cutValueToken(params, path);
  if (token == nullptr)
    return false;
  // atoi's digits, but out-of-range values clamp instead of being undefined.
  const long long parsed = std::strtoll(token, nullptr, 10);
  value = static_cast<std::int32_t>(
      std::min<long long>(std::max<long long>(parsed, INT32_MIN), INT32_MAX));
  return true;
}

void initDoubleParameter(std::ostream& messages, AmiParamString& params, const char* name,
                         double& field) {
  double value = 0.0;
  if (getDoubleParameter(params, value, modelPath(name).c_str())) {
    field = value;
  } else {
    writeDefaultSetting(messages, name, field);
  }
}

void initIntParameter(std::ostream& messages, AmiParamString& params, const char* name,
                      std::int32_t& field) {
  std::int32_t value = 0;
  if (getIntParameter(params, value, modelPath(name).c_str())) {
    field = value;
  } else {
    writeDefaultSetting(messages, name, field);
  }
}

}  // namespace norvask
