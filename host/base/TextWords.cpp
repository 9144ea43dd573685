#include "host/base/TextWords.h"

#include <sstream>

namespace norvask::host {

namespace {

constexpr const char* kBlanks = " \t\r\n\f\v";

}  // namespace

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string::npos)
    return "";
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

std::vector<std::string> words(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> result;
  for (std::string word; in >> word;)
    result.push_back(word);
  return result;
}

}  // namespace norvask::host
